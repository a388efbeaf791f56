// The keyboard layout as read from its source file, and the resolved view of one variant in one
// character set that every writer works from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace layoutc {

// Shift states in the order of the character columns of the tables.
enum Column { kBase = 0, kShift, kCtrl, kAltGr, kShiftAltGr, kColumnCount };

// Attribute bits of a character row.
constexpr uint8_t kCapsLock = 0x01;       // Caps Lock acts as Shift
constexpr uint8_t kCapsLockAltGr = 0x04;  // ... also on the AltGr level

// High-byte flags of a scan-code-to-virtual-key entry.
constexpr uint16_t kFlagExt = 0x100;
constexpr uint16_t kFlagMultiVk = 0x200;
constexpr uint16_t kFlagSpecial = 0x400;
constexpr uint16_t kFlagNumpad = 0x800;

// Scan codes run from 0 to kScanCount - 1 in the plain table.
constexpr int kScanCount = 0x7F;

struct KeyChar {
    bool present = false;
    bool dead = false;  // a dead key: ch is the accent it stands for
    uint16_t ch = 0;
};

struct KeyRow {
    int line = 0;
    int scan = -1;         // -1: no scan code; 0xE0xx and 0xE1xx for prefixed keys
    uint16_t vkEntry = 0;  // virtual key in the low byte, flags in the high byte
    bool hasChars = false;
    uint8_t caps = 0;
    std::array<KeyChar, kColumnCount> chars{};
    bool hasAlt = false;
    std::array<KeyChar, 2> altChars{};  // AltGr and Shift+AltGr of the alternative set
    std::string name;                   // key name for the library, ASCII
    uint8_t vk() const { return static_cast<uint8_t>(vkEntry & 0xFF); }
};

struct Variant {
    int line = 0;
    std::string id;
    std::string nameEn, namePl;
    std::vector<std::pair<int, uint8_t>> moves;  // scan code -> virtual key
};

struct CharSet {
    std::string id;
    std::string suffixEn, suffixPl;
};

struct DeadKey {
    int line = 0;
    uint16_t accent = 0;
    std::string name;
    std::vector<std::pair<uint16_t, uint16_t>> compositions;  // base -> result
};

struct Layout {
    std::vector<Variant> variants;
    std::vector<CharSet> sets;  // [0] standard, [1] alternative
    std::vector<KeyRow> keys;
    std::vector<DeadKey> deadKeys;
};

// One character row as the library holds it.
struct CharRow {
    uint8_t vk = 0;
    uint8_t attributes = 0;
    std::array<KeyChar, kColumnCount> chars{};
    int width = 0;  // number of columns the row needs: 1, 2, 3 or 5
};

struct ScanVk {
    uint8_t scan;
    uint16_t vkEntry;
};

struct KeyName {
    uint8_t scan;
    std::string name;
};

// One variant in one set: everything a library build holds.
struct ResolvedLayout {
    const Variant* variant = nullptr;
    const CharSet* set = nullptr;
    bool alternative = false;
    std::array<uint16_t, kScanCount> scanToVk{};
    std::vector<ScanVk> e0, e1;
    std::vector<CharRow> rows;  // in source order
    std::vector<const DeadKey*> deadKeys;
    std::vector<KeyName> names, namesExt;
    std::string displayNameEn() const { return variant->nameEn + set->suffixEn; }
    std::string displayNamePl() const { return variant->namePl + set->suffixPl; }
};

}  // namespace layoutc
