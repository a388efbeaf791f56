// Reads and checks a layout source. Every fault is reported as "FILE:LINE: message" and stops
// the build: a layout that compiles is complete and unambiguous.
#pragma once

#include <string>
#include <string_view>

#include "LayoutModel.h"

namespace layoutc {

// Parses the whole source. On failure returns false with the message in error.
bool ParseLayout(std::string_view text, const std::string& fileName, Layout& layout,
                 std::string& error);

// The tables of one variant in one set (0 standard, 1 alternative) of a parsed layout.
ResolvedLayout ResolveLayout(const Layout& layout, size_t variant, size_t set);

// Decodes one UTF-8 encoded code point that makes up the whole text; -1 when it is not one.
long DecodeSingleCodePoint(std::string_view text);

// UTF-8 encoding of a BMP character.
std::string EncodeUtf8(uint16_t ch);

}  // namespace layoutc
