// A small PE loader for the native checks: maps a library file the way the system loader does
// (headers and sections at their addresses), rebased to a chosen address with the image's own
// base relocations, and finds an export. Untrusted input: every offset is checked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kbtest {

struct PeImage {
    uint16_t machine = 0;
    uint64_t preferredBase = 0;
    uint64_t base = 0;  // where the image is mapped now
    std::vector<uint8_t> mapped;
};

// Loads `path` mapped at `base` (0: its preferred base). False with a message on any fault.
bool LoadPeImage(const std::string& path, uint64_t base, PeImage& image, std::string& error);

// The same for a file's bytes already read; `name` names it in messages.
bool LoadPeBytes(const std::vector<uint8_t>& file, const std::string& name, uint64_t base,
                 PeImage& image, std::string& error);

// The whole file, or an empty vector.
std::vector<uint8_t> ReadFileBytes(const std::string& path);

// The address of the export `name`, or 0.
uint64_t FindExport(const PeImage& image, const std::string& name);

}  // namespace kbtest
