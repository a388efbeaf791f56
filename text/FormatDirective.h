// One parsed directive of a format template, shared by the template scanner
// and the field writers.
#pragma once

#include <cstdint>

// Flag bits; the values are those the template language has always used.
enum : uint32_t {
    kFlagPlus = 0x1,      // '+'
    kFlagSpace = 0x2,     // ' '
    kFlagLeft = 0x4,      // '-'
    kFlagZero = 0x8,      // '0'
    kFlagAlt = 0x100,     // '#'
    kFlagEscape = 0x200,  // '$'
    kFlagGroup = 0x8000,  // '`'
};

// Length modifiers; only one is read per directive.
enum : uint32_t {
    kLengthShort = 0x1,  // 'h': the directive's variant
    kLengthLong = 0x2,   // 'l': accepted, no effect
    kLength64 = 0x4,     // 'L' or 'll': 64-bit integer argument
};

// Bits of GString formatOptions.
enum : uint32_t {
    kOptionThreeDigitExponent = 0x2,
    kOptionUpperHexPrefix = 0x4,
    kOptionAsciiMicro = 0x8,
};

struct FormatDirective {
    uint32_t flags = 0;
    int width = -1;     // -1 when absent
    int precision = 0;  // 0 when absent
    uint32_t length = 0;
    bool upper = false;       // upper-case twin: hex digits and exponent letter
    char16_t conversion = 0;  // the directive character, folded to lower case
                              // for the twins
    uint32_t options = 0;     // formatOptions of the target

    bool Has(uint32_t flag) const { return (flags & flag) != 0; }
};

// Widest field the floating-point directives pad to.
constexpr int kFloatWidthLimit = 512;
// Most digits a precision may ask for.
constexpr int kPrecisionLimit = 308;
