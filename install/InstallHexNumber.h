// Reads one hexadecimal number from the front of a text the way a "%X" scan does: leading
// white space, an optional sign, an optional 0x or 0X, then at least one hexadecimal digit;
// whatever follows is left alone. The value wraps in 32 bits.
#pragma once

#include <cstdint>

// 1 with the number in `out` when one was read, otherwise 0 with `out` unchanged.
int ParseHexNumber(const char16_t* text, int length, uint32_t& out);
