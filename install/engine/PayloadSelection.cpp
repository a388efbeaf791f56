#include "install/engine/PayloadSelection.h"

namespace {

constexpr int16_t kArchX86 = 0;
constexpr int16_t kArchItanium = 6;
constexpr int16_t kArchX64 = 9;

struct VersionSlots {
    int32_t version;
    int x86;      // primary slot
    int itanium;  // companion slots; -1: no selection
    int x64;
};

// Windows 5.2, 6.0 and 6.1 have builds of their own; every later version shares slots 11 and 12.
constexpr VersionSlots kVersionSlots[] = {
    {52, 2, 3, 4},
    {60, 5, 6, 7},
    {61, 8, 9, 10},
};

}  // namespace

bool PayloadSlots(int32_t osVersion, int16_t architecture, int& primary, int& companion) {
    primary = -1;
    companion = -1;
    // Windows 2000 and XP exist only as 32-bit systems here: the processor is not asked.
    if (osVersion == 50 || osVersion == 51) {
        primary = osVersion == 50 ? 0 : 1;
        return true;
    }
    VersionSlots slots = {osVersion, 11, -1, 12};
    for (const VersionSlots& row : kVersionSlots)
        if (row.version == osVersion) slots = row;
    if (architecture == kArchX86) {
        primary = slots.x86;
        return true;
    }
    const int second = architecture == kArchItanium ? slots.itanium
                       : architecture == kArchX64   ? slots.x64
                                                    : -1;
    if (second < 0) return false;
    primary = slots.x86;
    companion = second;
    return true;
}

int PayloadSetIndex(int32_t layoutVariant, int32_t altSetFlagA, int32_t altSetFlagB) {
    if (layoutVariant < 0 || layoutVariant > 2) return -1;
    return layoutVariant + (altSetFlagA != 0 || altSetFlagB != 0 ? 3 : 0);
}
