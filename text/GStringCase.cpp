// Upper-casing: one UTF-16 unit to one unit, by ranges for the common
// scripts and by the generated table for the rest.
#include <algorithm>

#include "GString.h"
#include "UpperCase.h"

namespace {

bool In(char16_t u, char16_t lo, char16_t hi) {
    return u >= lo && u <= hi;
}

}  // namespace

char16_t UpperCaseUnit(char16_t u) {
    // Latin, Cyrillic and full-width letters first: the paths and names the
    // installer handles rarely go further.
    if (u < 0x61) return u;
    if (In(u, 0x61, 0x7A) || In(u, 0xE0, 0xF6) || In(u, 0x430, 0x44F) || In(u, 0xFF41, 0xFF5A)) {
        return char16_t(u - 0x20);
    }
    if (u <= 0xDF) return u;
    if (u & 1) {
        static constexpr char16_t kOddRanges[][2] = {
            {0x101, 0x12F},   {0x14B, 0x177},   {0x1F9, 0x21F},   {0x48B, 0x4BF},  {0x4D1, 0x525},
            {0x1E01, 0x1E95}, {0x1EA1, 0x1EFF}, {0x2C81, 0x2CE3}, {0xA733, 0xA76F}};
        for (const auto& range : kOddRanges) {
            if (In(u, range[0], range[1])) return char16_t(u - 1);
        }
    }
    if (In(u, 0x561, 0x586) || In(u, 0x2C30, 0x2C5E)) return char16_t(u - 0x30);
    if (In(u, 0x24D0, 0x24E9)) return char16_t(u - 0x1A);
    if (In(u, 0x2D00, 0x2D25)) return char16_t(u - 0x1C60);
    if ((u > 0x4CF && u < 0x1D79) || (u > 0x2184 && u < 0x2C61) || (u > 0x2CEE && u < 0xA641) ||
        u > 0xA78C) {
        return u;
    }
    const UpperCasePair* end = kUpperCaseTable + kUpperCaseTableSize;
    const UpperCasePair* hit =
        std::lower_bound(kUpperCaseTable, end, u,
                         [](const UpperCasePair& pair, char16_t key) { return pair.lower < key; });
    return hit != end && hit->lower == u ? hit->upper : u;
}

int GString::ToUpper() {
    if (isWide) {
        auto* text = reinterpret_cast<char16_t*>(TextStart());
        for (int i = 0; i < length; ++i) text[i] = UpperCaseUnit(text[i]);
        return 1;
    }
    if (!PrepareScratch() || !scratch->AssignAsWide(this)) return 0;
    scratch->ToUpper();
    return AssignAsNarrow(scratch);
}
