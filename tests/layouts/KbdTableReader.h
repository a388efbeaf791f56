// Our own reader of a keyboard-layout table tree in a mapped library image: follows every
// pointer, refusing any that leaves the image, checks that every table is well formed, and
// returns the layout it holds. Portable: it reads the image through a view, not through pointers,
// so it serves the Windows test (the loaded library) and the native checks (a mapped file) alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kbtest {

// "0x" and upper-case hexadecimal digits, for fault messages.
std::string Hex(uint64_t value);

// A mapped image: `size` bytes at address `base` as the image sees it, held in `bytes`.
struct ImageView {
    uint64_t base = 0;
    const uint8_t* bytes = nullptr;
    uint64_t size = 0;
};

struct DecodedRow {
    uint8_t vk = 0;
    uint8_t attributes = 0;
    int width = 0;
    std::vector<uint16_t> chars;
    std::vector<uint16_t> deadChars;  // from the row after a dead-key row; 0xF000 where none
};

struct DecodedDeadKey {
    uint16_t accent, base, composed, flags;
};

struct DecodedName {
    uint8_t scan;
    std::u16string name;
};

struct DecodedScanVk {
    uint8_t scan;
    uint16_t vkEntry;
};

struct DecodedLayout {
    std::vector<std::pair<uint8_t, uint8_t>> vkToBits;
    uint16_t maxModBits = 0;
    std::vector<uint8_t> modNumber;
    std::vector<DecodedRow> rows;  // all tables in table order
    std::vector<DecodedDeadKey> deadKeys;
    std::vector<DecodedName> names, namesExt;
    std::vector<std::u16string> deadNames;
    std::vector<uint16_t> scanToVk;
    std::vector<DecodedScanVk> e0, e1;
    uint32_t localeFlags = 0;
    uint8_t ligatureMax = 0, ligatureSize = 0;
    uint64_t ligatures = 0;
    uint32_t type = 0, subType = 0;
    // Image offsets of the patchable tables, to check that both trees share them.
    uint64_t scanToVkAt = 0, e0At = 0, e1At = 0;
};

// Reads the tree at `tables` with pointers of `pointerSize` bytes (4 or 8); hasType: the table
// ends with the keyboard type fields. False with a message in error when anything is malformed.
bool ReadLayoutTables(const ImageView& image, uint64_t tables, int pointerSize, bool hasType,
                      DecodedLayout& layout, std::string& error);

}  // namespace kbtest
