// The byte patterns by which the installer finds the tables it patches in a layout library
// build: for each table, the shortest upper-case hexadecimal text whose first occurrence in every
// build it serves is exactly the table's start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LayoutModel.h"

namespace layoutc {

struct BuildImage {
    std::string name;
    size_t variant = 0, set = 0;
    std::vector<uint8_t> bytes;
};

// Shortest pattern starting at starts[i] in images[i] whose first occurrence in each image is
// exactly there, at most maxLength bytes long. False with a message when the images differ there
// or no such pattern exists.
bool ShortestPattern(const std::vector<const BuildImage*>& images,
                     const std::vector<size_t>& starts, size_t maxLength, std::string& hex,
                     std::string& error);

// The string-table entries 146 to 151 for the builds of a layout, as TOML. Every table is found
// by its full contents, which must occur exactly once in each build.
bool WritePatterns(const Layout& layout, const std::vector<BuildImage>& builds, std::string& toml,
                   std::string& error);

}  // namespace layoutc
