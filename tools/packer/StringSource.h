#pragma once

#include "payload/StringTableWriter.h"

#include <cstdint>
#include <string>
#include <vector>

// One string-table source: a flat TOML table whose keys are decimal string ids and whose values
// are the texts.
struct SourcedString {
    std::uint32_t id;
    std::string text;  // UTF-8
    int line;
};

struct StringSource {
    std::string path;
    std::vector<SourcedString> entries;  // in id order
};

// Fails with a message naming the file, the line and the id on a TOML error, a key that is not a
// plain decimal id (no sign, no leading zero, below 2^32), a repeated id, or a value that is not
// a string.
int ReadStringSource(const std::string& path, StringSource& source, std::string& error);

// Reads every source and merges them into one table; an id in two of them fails, naming both.
int ReadStringSources(const std::vector<std::string>& paths, StringSource& merged,
                      std::string& error);

std::vector<StringEntry> ToTableEntries(const StringSource& source);
