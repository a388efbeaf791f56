// The system scan-code map as bytes, apart from the registry that holds it, so that reading and
// writing it can be checked on any host.
//
// Layout, little-endian: version 0 (u32), flags 0 (u32), n = entries including the terminating
// one (u32), then n - 1 entries of (u16 produced scan code, u16 physical scan code), then a
// terminating u32 0. A produced code of 0 switches the key off.
#pragma once

#include <cstdint>

class CInstall;

// Applies the entries of a map to the working table: each listed key that the table knows gets
// the produced scan code as its scan-code remap (255 for 0, switched off); keys the table does
// not list are dropped. A map shorter than 16 bytes, with a count below 2 or a count that claims
// more bytes than there are, changes nothing. Normalises after applying; 1 when entries were
// applied, 0 otherwise.
int ApplyScancodeMap(CInstall& install, const uint8_t* map, uint32_t size);

// A new map (malloc'ed, the caller frees it) of every scan-code remap up to the first row with
// scan code 0, in table order; 255 is written as 0. Null without a table or memory.
uint8_t* BuildScancodeMap(const CInstall& install, uint32_t& outSize);
