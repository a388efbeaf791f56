// Key table: the physical keys the installer knows, by scan code, with the virtual-key entry a
// layout library gives each by default and the string id of its display name.
#pragma once

#include <cstdint>
#include <memory>

// One row. The built-in table keeps each key's default virtual-key entry in the second field
// (defaultVk); the working table keeps the user's virtual-key remap there (vkTarget), 0 meaning
// none. scanTarget: 0 = not remapped, 255 = switched off, otherwise the scan code to produce.
struct KeyEntry {
    uint16_t scanCode;  // 0xE0xx for E0-prefixed keys, 0xE11D for the E1-prefixed one
    union {
        uint16_t defaultVk;  // built-in table: low byte virtual key, high byte layout flags
        uint16_t vkTarget;   // working table: virtual-key remap
    };
    uint16_t nameId;
    uint16_t scanTarget;
};
static_assert(sizeof(KeyEntry) == 8, "key rows are stored and copied as 8-byte records");

// 144 key rows, then a row with scan code 0 that still names string 154, then an all-zero row.
// Lookups by scan code stop at the first row with scan code 0; whole-table passes visit all rows.
constexpr int32_t kKeyTableRows = 146;

// Flags of a default entry's high byte.
constexpr uint16_t kKeyFlagExtended = 0x100;
constexpr uint16_t kKeyFlagSpecial = 0x400;
constexpr uint16_t kKeyFlagNumpad = 0x800;

// A scanTarget of this value switches the key off (written to the system map as 0).
constexpr uint16_t kScanTargetOff = 255;

// The built-in table; never changed.
extern const KeyEntry kBuiltinKeyTable[kKeyTableRows];

// Byte count of `rows` key rows; 0 when rows is negative or the count would not fit in 32 bits.
uint32_t KeyTableBytes(int32_t rows);

// A new working table of `rows` rows: the built-in rows copied in order (at most the built-in
// count), every vkTarget set to 0 (scanTarget is 0 in every built-in row); rows past the built-in
// ones are all zero. Null when rows is not positive, the byte count overflows or the allocation
// fails.
std::unique_ptr<KeyEntry[]> NewWorkingKeyTable(int32_t rows);
