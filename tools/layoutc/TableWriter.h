// Writes the C tables of one variant in one set, for the layout library's one source file to
// include. Pointer-free tables (scan codes, characters, dead keys, names) are written once; the
// pointer tree twice on 32-bit builds: native and with 8-byte pointer slots.
#pragma once

#include <string>

#include "LayoutModel.h"

namespace layoutc {

std::string WriteTables(const ResolvedLayout& layout, const std::string& sourceName);

// The resource names of one build: display name and description, English and Polish.
std::string WriteResourceNames(const ResolvedLayout& layout);

}  // namespace layoutc
