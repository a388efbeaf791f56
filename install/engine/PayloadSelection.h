// Which layout library builds a platform gets: the slot of the primary (32-bit) build and of the
// 64-bit companion within a payload set, and which of the six sets the layout choice reads.
#pragma once

#include <cstdint>

#include "payload/BlobFormat.h"

constexpr int kPayloadSlotCount = 13;
constexpr int kPayloadSetCount = 6;

// The slots for a Windows version code and native processor architecture; companion is -1 when
// the platform takes no 64-bit companion. False when the catalogue has no selection for it.
bool PayloadSlots(int32_t osVersion, int16_t architecture, int& primary, int& companion);

// The set for a layout variant: 0 to 2 the standard set of variant 0 to 2, 3 to 5 the
// alternative set, chosen when either flag is set. -1 for a variant other than 0, 1 or 2.
int PayloadSetIndex(int32_t layoutVariant, int32_t altSetFlagA, int32_t altSetFlagB);

// The catalogue: the kPayloadSlotCount entries of set `index`, or null. A slot without a build
// holds a null entry. Defined beside the program data; test programs may define their own.
const BlobRef* LayoutPayloadSet(int index);
