#pragma once

#include "StringSource.h"

#include <cstdint>
#include <string>
#include <vector>

// The catalogue of string ids the installer fetches: one id per line, followed by its role in
// words; '#' starts a comment.
int ReadStringCatalogue(const std::string& path, std::vector<std::uint32_t>& ids,
                        std::string& error);

// Every catalogue id must resolve for each language (its table first, then common, then
// supplementary); every id in any table must be in the catalogue; an id in both common and
// supplementary is a duplicate, since the supplementary text could never be read. Each problem is
// one message naming the id and the file; returns 1 when there is none.
int CheckStringCatalogue(const std::vector<std::uint32_t>& catalogue, const StringSource& common,
                         const StringSource& supplementary,
                         const std::vector<StringSource>& languages,
                         std::vector<std::string>& problems);
