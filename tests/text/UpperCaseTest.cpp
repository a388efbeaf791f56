#include "UpperCase.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Every mapping of the rule, as the generator read it from the character
// database (the table holds only the part the ranges do not cover).
const UpperCasePair kReference[] = {
#include "UpperCaseReference.inc"
};

TEST(UpperCase, TableHas402SortedPairs) {
    ASSERT_EQ(kUpperCaseTableSize, 402u);
    for (size_t i = 1; i < kUpperCaseTableSize; ++i) {
        EXPECT_LT(kUpperCaseTable[i - 1].lower, kUpperCaseTable[i].lower) << "at " << i;
    }
    EXPECT_EQ(kUpperCaseTable[0].lower, 0xF8);
    EXPECT_EQ(kUpperCaseTable[0].upper, 0xD8);
    EXPECT_EQ(kUpperCaseTable[kUpperCaseTableSize - 1].lower, 0xA78C);
    EXPECT_EQ(kUpperCaseTable[kUpperCaseTableSize - 1].upper, 0xA78B);
}

TEST(UpperCase, MicroSignAndGreekSymbolLettersStayUnchanged) {
    for (char16_t u : {0x00B5, 0x03D0, 0x03D5, 0x03D6, 0x03F0, 0x03F1}) {
        EXPECT_EQ(UpperCaseUnit(u), u) << std::hex << int(u);
        for (size_t i = 0; i < kUpperCaseTableSize; ++i) EXPECT_NE(kUpperCaseTable[i].lower, u);
    }
}

TEST(UpperCase, SpotChecks) {
    struct Case {
        char16_t in, out;
    } cases[] = {
        {u'a', u'A'},     {u'z', u'Z'},     {u'{', u'{'},     {0xDF, 0xDF},     {0xE9, 0xC9},
        {0xF7, 0xF7},     {0xFF, 0x178},    {0x105, 0x104},   {0x142, 0x141},   {0x17C, 0x17B},
        {0x1C5, 0x1C4},   {0x1C6, 0x1C4},   {0x3C2, 0x3A3},   {0x3D1, 0x398},   {0x44F, 0x42F},
        {0x451, 0x401},   {0x586, 0x556},   {0x1E9B, 0x1E60}, {0x1F80, 0x1F88}, {0x24D0, 0x24B6},
        {0x2C30, 0x2C00}, {0x2D25, 0x10C5}, {0xA76F, 0xA76E}, {0xFF41, 0xFF21}, {0xD83D, 0xD83D},
        {0xDE00, 0xDE00}, {0x10D0, 0x10D0}, {0xA78D, 0xA78D}, {0xFFFF, 0xFFFF},
    };
    for (const Case& c : cases) EXPECT_EQ(UpperCaseUnit(c.in), c.out) << std::hex << int(c.in);
}

TEST(UpperCase, RangesAndTableAgreeWithEveryUnitOfTheDatabase) {
    std::map<char16_t, char16_t> expected;
    for (const UpperCasePair& pair : kReference) expected[pair.lower] = pair.upper;
    ASSERT_GT(expected.size(), 402u);
    for (int u = 0; u <= 0xFFFF; ++u) {
        const auto it = expected.find(char16_t(u));
        const char16_t want = it == expected.end() ? char16_t(u) : it->second;
        ASSERT_EQ(UpperCaseUnit(char16_t(u)), want) << std::hex << u;
    }
}

}  // namespace
