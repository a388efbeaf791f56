// The choice of layout library builds: every Windows version row and architecture of the slot
// table, every variant, with both alternative-set flags, over the program's real catalogue.
#include <gtest/gtest.h>

#include "PayloadData.h"
#include "install/CInstall.h"
#include "install/engine/PayloadSelection.h"

namespace {

constexpr int kNone = -1;
constexpr int kRefused = -2;  // no selection

// Architecture columns: x86, Itanium, x64, any other (5: ARM).
constexpr int16_t kArchitectures[4] = {0, 6, 9, 5};

struct Row {
    int32_t version;
    int primary[4];
    int companion[4];
};

// The slot table, written out as a reader of the catalogue expects it.
const Row kRows[] = {
    {50, {0, 0, 0, 0}, {kNone, kNone, kNone, kNone}},
    {51, {1, 1, 1, 1}, {kNone, kNone, kNone, kNone}},
    {52, {2, 2, 2, kRefused}, {kNone, 3, 4, kRefused}},
    {60, {5, 5, 5, kRefused}, {kNone, 6, 7, kRefused}},
    {61, {8, 8, 8, kRefused}, {kNone, 9, 10, kRefused}},
    // Any other value: 5.3 to 5.9, 6.2, 6.3, 10.0, and one never seen.
    {53, {11, kRefused, 11, kRefused}, {kNone, kRefused, 12, kRefused}},
    {55, {11, kRefused, 11, kRefused}, {kNone, kRefused, 12, kRefused}},
    {62, {11, kRefused, 11, kRefused}, {kNone, kRefused, 12, kRefused}},
    {63, {11, kRefused, 11, kRefused}, {kNone, kRefused, 12, kRefused}},
    {100, {11, kRefused, 11, kRefused}, {kNone, kRefused, 12, kRefused}},
    {0, {11, kRefused, 11, kRefused}, {kNone, kRefused, 12, kRefused}},
};

const BlobRef* const kStandard[3] = {LayoutSetStandard0, LayoutSetStandard1, LayoutSetStandard2};
const BlobRef* const kAlternative[3] = {LayoutSetAlternative0, LayoutSetAlternative1,
                                        LayoutSetAlternative2};

bool IsItaniumSlot(int slot) {
    return slot == 3 || slot == 6 || slot == 9;
}

TEST(PayloadSelection, SlotTable) {
    for (const Row& row : kRows) {
        for (int a = 0; a < 4; ++a) {
            int primary = 99, companion = 99;
            const bool selected = PayloadSlots(row.version, kArchitectures[a], primary, companion);
            SCOPED_TRACE("version " + std::to_string(row.version) + " architecture " +
                         std::to_string(kArchitectures[a]));
            EXPECT_EQ(selected, row.primary[a] != kRefused);
            if (!selected) continue;
            EXPECT_EQ(primary, row.primary[a]);
            EXPECT_EQ(companion, row.companion[a]);
        }
    }
}

// Through the installer object: the right set's entries, or none at all.
TEST(PayloadSelection, SelectPayloadReadsTheChosenSet) {
    for (const Row& row : kRows) {
        for (int a = 0; a < 4; ++a) {
            for (int32_t variant = 0; variant < 3; ++variant) {
                for (int flags = 0; flags < 4; ++flags) {
                    CInstall o;
                    o.OsVersion = row.version;
                    o.ProcessorArchitecture = kArchitectures[a];
                    o.LayoutVariant = variant;
                    o.AltSetFlagA = flags & 1;
                    o.AltSetFlagB = flags >> 1;
                    SCOPED_TRACE("version " + std::to_string(row.version) + " architecture " +
                                 std::to_string(kArchitectures[a]) + " variant " +
                                 std::to_string(variant) + " flags " + std::to_string(flags));
                    BlobRef primary{nullptr, 0}, companion{nullptr, 0};
                    const int primarySlot = row.primary[a];
                    const int companionSlot = row.companion[a];
                    const bool itanium = IsItaniumSlot(companionSlot);
                    const int result = o.SelectPayload(primary, companion);
                    if (primarySlot == kRefused || itanium) {
                        // No selection, Itanium included: it has no build.
                        EXPECT_EQ(result, 0);
                        EXPECT_EQ(primary.data, nullptr);
                        EXPECT_EQ(primary.size, 0xFFFFFFFFu);
                        EXPECT_EQ(companion.data, nullptr);
                        EXPECT_EQ(companion.size, 0xFFFFFFFFu);
                        continue;
                    }
                    const BlobRef* set = flags != 0 ? kAlternative[variant] : kStandard[variant];
                    ASSERT_EQ(result, 1);
                    EXPECT_EQ(primary.data, set[primarySlot].data);
                    EXPECT_EQ(primary.size, set[primarySlot].size);
                    EXPECT_NE(primary.data, nullptr);
                    if (companionSlot == kNone) {
                        EXPECT_EQ(companion.data, nullptr);
                        EXPECT_EQ(companion.size, 0xFFFFFFFFu);
                    } else {
                        EXPECT_EQ(companion.data, set[companionSlot].data);
                        EXPECT_NE(companion.data, nullptr);
                    }
                }
            }
        }
    }
}

// A variant not yet chosen (or out of range) reads no set at all.
TEST(PayloadSelection, NoVariantNoSelection) {
    for (int32_t variant : {-1, 3, 0x7FFFFFFF}) {
        CInstall o;
        o.OsVersion = 61;
        o.ProcessorArchitecture = 9;
        o.LayoutVariant = variant;
        BlobRef primary{nullptr, 0}, companion{nullptr, 0};
        EXPECT_EQ(o.SelectPayload(primary, companion), 0) << variant;
        EXPECT_EQ(primary.size, 0xFFFFFFFFu);
    }
}

// Every set has a build in each slot but the Itanium ones, and no two entries share a build.
TEST(PayloadSelection, CatalogueIsComplete) {
    std::vector<const uint8_t*> seen;
    for (int set = 0; set < kPayloadSetCount; ++set) {
        const BlobRef* entries = LayoutPayloadSet(set);
        ASSERT_NE(entries, nullptr);
        EXPECT_EQ(entries, set < 3 ? kStandard[set] : kAlternative[set - 3]);
        for (int slot = 0; slot < kPayloadSlotCount; ++slot) {
            if (IsItaniumSlot(slot)) {
                EXPECT_EQ(entries[slot].data, nullptr) << set << "/" << slot;
                continue;
            }
            ASSERT_NE(entries[slot].data, nullptr) << set << "/" << slot;
            EXPECT_GT(entries[slot].size, 0u);
            for (const uint8_t* other : seen) EXPECT_NE(other, entries[slot].data);
            seen.push_back(entries[slot].data);
        }
    }
    EXPECT_EQ(seen.size(), 60u);
    EXPECT_EQ(LayoutPayloadSet(-1), nullptr);
    EXPECT_EQ(LayoutPayloadSet(6), nullptr);
}

}  // namespace
