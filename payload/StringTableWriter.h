#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Build-time side of the string-table format, used by the packer and by test fixtures.

enum class EntryWidth {
    Shortest,  // narrow (UTF-8) unless UTF-16 is shorter
    Narrow,
    Wide,
};

struct StringEntry {
    std::uint32_t id;
    std::string utf8;
    EntryWidth width = EntryWidth::Shortest;
};

// UTF-8 to UTF-16; 0 on malformed UTF-8 (overlong forms, surrogates, values past U+10FFFF).
int Utf8ToUtf16(const std::string& utf8, std::u16string& utf16);

// The unpacked table bytes for entries in any order: the index sorted by unsigned id, each
// text as a counted text, entries aligned to 4 bytes. 0 with a message in error on a repeated id,
// malformed UTF-8 or a text too long for a counted text.
int BuildStringTable(std::vector<StringEntry> entries, std::vector<std::uint8_t>& table,
                     std::uint32_t& count, std::string& error);
