// The platforms the installer serves, by Windows version code (major * 10 + minor) and native
// processor architecture (0 x86, 6 Itanium, 9 x64).
#pragma once

#include <cstdint>

// The start-up table: 5.0 and 5.1 on x86 only; 5.2, 6.0, 6.1, 6.2, 6.3 and 10.0 on x86, Itanium
// and x64; nothing else.
bool PlatformInTable(int32_t version, int16_t architecture);
