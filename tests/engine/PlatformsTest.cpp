// Which Windows versions and processors the installer serves: the start-up table, and a library
// build in every payload set for the platform's slots. The catalogue here is the test's own.
#include <gtest/gtest.h>

#include "install/CInstall.h"
#include "install/engine/EnvironmentPlatforms.h"
#include "install/engine/PayloadSelection.h"

namespace {

const uint8_t kBuildBytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
BlobRef g_sets[kPayloadSetCount][kPayloadSlotCount];

// Every slot filled; then the caller empties what the case needs.
void FillCatalogue() {
    for (auto& set : g_sets) {
        for (BlobRef& entry : set) entry = BlobRef{kBuildBytes, sizeof kBuildBytes};
    }
}

void EmptySlot(int set, int slot) {
    g_sets[set][slot] = BlobRef{nullptr, 0};
}

}  // namespace

const BlobRef* LayoutPayloadSet(int index) {
    return index >= 0 && index < kPayloadSetCount ? g_sets[index] : nullptr;
}

namespace {

struct Platform {
    int32_t version;
    int16_t architecture;
    bool inTable;
};

TEST(PlatformsTest, StartUpTable) {
    const Platform cases[] = {
        {50, 0, true},  {51, 0, true},   {51, 9, false},  {51, 6, false}, {50, 9, false},
        {52, 0, true},  {52, 6, true},   {52, 9, true},   {60, 6, true},  {61, 9, true},
        {62, 0, true},  {62, 6, true},   {63, 9, true},   {100, 0, true}, {100, 6, true},
        {100, 9, true}, {53, 0, false},  {64, 0, false},  {0, 0, false},  {110, 9, false},
        {61, 5, false}, {61, 12, false}, {61, -1, false},
    };
    for (const Platform& p : cases) {
        SCOPED_TRACE(testing::Message() << p.version << " on " << p.architecture);
        EXPECT_EQ(PlatformInTable(p.version, p.architecture), p.inTable);
    }
}

struct Supported {
    int32_t version;
    int16_t architecture;
    int expected;
};

int Check(const Supported& s) {
    CInstall install;
    install.OsVersion = s.version;
    install.ProcessorArchitecture = s.architecture;
    install.Is64Bit = s.architecture == 6 || s.architecture == 9 ? 1 : 0;
    // The variant the user may still change does not matter: not chosen yet here.
    install.LayoutVariant = -1;
    return install.IsSupportedPlatform();
}

TEST(PlatformsTest, SupportedWithACompleteCatalogue) {
    FillCatalogue();
    const Supported cases[] = {
        {50, 0, 1},
        {51, 0, 1},
        {51, 9, 0},
        {52, 6, 1},
        {52, 9, 1},
        {61, 6, 1},
        {61, 9, 1},
        {100, 0, 1},
        {100, 9, 1},
        {63, 9, 1},
        // The table lets 6.2 and later on Itanium through; no build exists for them.
        {62, 6, 0},
        {63, 6, 0},
        {100, 6, 0},
        {53, 0, 0},
        {64, 9, 0},
        {0, 0, 0},
    };
    for (const Supported& s : cases) {
        SCOPED_TRACE(testing::Message() << s.version << " on " << s.architecture);
        EXPECT_EQ(Check(s), s.expected);
    }
}

TEST(PlatformsTest, SlotsTheCatalogueLeavesEmptyAreRefused) {
    // The Itanium builds (slots 3, 6 and 9) missing from every set.
    FillCatalogue();
    for (int set = 0; set < kPayloadSetCount; ++set) {
        EmptySlot(set, 3);
        EmptySlot(set, 6);
        EmptySlot(set, 9);
    }
    EXPECT_EQ(Check({52, 6, 0}), 0);
    EXPECT_EQ(Check({60, 6, 0}), 0);
    EXPECT_EQ(Check({61, 6, 0}), 0);
    EXPECT_EQ(Check({61, 9, 0}), 1);

    // One alternative set without the 64-bit build for 6.2 and later.
    FillCatalogue();
    EmptySlot(4, 12);
    EXPECT_EQ(Check({100, 9, 0}), 0);
    EXPECT_EQ(Check({100, 0, 0}), 1);
    // One standard set without the 32-bit build for 6.1.
    FillCatalogue();
    EmptySlot(1, 8);
    EXPECT_EQ(Check({61, 0, 0}), 0);
    EXPECT_EQ(Check({61, 9, 0}), 0);
    EXPECT_EQ(Check({60, 9, 0}), 1);
}

}  // namespace
