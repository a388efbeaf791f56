// The patterns by which the installer finds the tables it patches.
#include <gtest/gtest.h>

#include "PatternFinder.h"

namespace {

using layoutc::BuildImage;
using layoutc::ShortestPattern;

BuildImage Image(const char* name, std::vector<uint8_t> bytes) {
    BuildImage image;
    image.name = name;
    image.bytes = std::move(bytes);
    return image;
}

TEST(PatternFinder, ShortestTextWhoseFirstMatchIsTheTableInEveryBuild) {
    // The table starts with AA BB CC; AA BB also occurs earlier in the second build.
    const BuildImage a = Image("a", {0x00, 0xAA, 0x00, 0xAA, 0xBB, 0xCC, 0x01});
    const BuildImage b = Image("b", {0xAA, 0xBB, 0x11, 0x22, 0xAA, 0xBB, 0xCC, 0x02});
    std::string hex, error;
    ASSERT_TRUE(ShortestPattern({&a, &b}, {3, 4}, 16, hex, error)) << error;
    EXPECT_EQ(hex, "AABBCC");
}

TEST(PatternFinder, SingleByteWhenItIsUniqueAlready) {
    const BuildImage a = Image("a", {0x00, 0x01, 0xFE, 0x03});
    std::string hex, error;
    ASSERT_TRUE(ShortestPattern({&a}, {2}, 16, hex, error)) << error;
    EXPECT_EQ(hex, "FE");
}

TEST(PatternFinder, BuildsThatDifferAtTheTableFail) {
    const BuildImage a = Image("a", {0x00, 0x10, 0x20, 0x30});
    const BuildImage b = Image("b", {0x10, 0x00, 0x10, 0x21});
    std::string hex, error;
    EXPECT_FALSE(ShortestPattern({&a, &b}, {1, 2}, 16, hex, error));
    EXPECT_NE(error.find("b differs from a"), std::string::npos) << error;
}

// The table's bytes occur in full before it: no prefix of it can find it first.
TEST(PatternFinder, NoUniquePatternFails) {
    const BuildImage a = Image("a", {0x10, 0x20, 0x30, 0x10, 0x20, 0x30});
    std::string hex, error;
    EXPECT_FALSE(ShortestPattern({&a}, {3}, 16, hex, error));
    EXPECT_NE(error.find("no pattern"), std::string::npos) << error;
}

// A pattern may not reach into the next table that is patched before it is searched.
TEST(PatternFinder, PatternMustEndWithinItsRoom) {
    const BuildImage a = Image("a", {0x10, 0x20, 0x33, 0x10, 0x20, 0x30});
    std::string hex, error;
    ASSERT_TRUE(ShortestPattern({&a}, {3}, 3, hex, error)) << error;
    EXPECT_EQ(hex, "102030");
    EXPECT_FALSE(ShortestPattern({&a}, {3}, 2, hex, error));
}

}  // namespace
