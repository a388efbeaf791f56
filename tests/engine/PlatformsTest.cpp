// Which Windows versions and processors the installer serves, and which of them the payload
// catalogue has library builds for.
#include <gtest/gtest.h>

#include "install/engine/EnvironmentPlatforms.h"

namespace {

struct Platform {
    int32_t version;
    int16_t architecture;
    bool inTable;
    bool hasSlots;
};

TEST(PlatformsTest, TableAndLibrarySlots) {
    const Platform cases[] = {
        {50, 0, true, true},
        {51, 0, true, true},
        {51, 9, false, true},
        {51, 6, false, true},
        {50, 9, false, true},
        {52, 0, true, true},
        {52, 6, true, true},
        {52, 9, true, true},
        {60, 6, true, true},
        {61, 9, true, true},
        {61, 6, true, true},
        {62, 0, true, true},
        {62, 9, true, true},
        {63, 9, true, true},
        {100, 0, true, true},
        {100, 9, true, true},
        // Itanium builds stop at 6.1: the table lets these through, the catalogue has none.
        {62, 6, true, false},
        {63, 6, true, false},
        {100, 6, true, false},
        // Versions and processors the installer does not know.
        {53, 0, false, true},
        {64, 0, false, true},
        {0, 0, false, true},
        {110, 9, false, true},
        {61, 5, false, false},
        {61, 12, false, false},
        {61, -1, false, false},
    };
    for (const Platform& p : cases) {
        SCOPED_TRACE(testing::Message() << p.version << " on " << p.architecture);
        EXPECT_EQ(PlatformInTable(p.version, p.architecture), p.inTable);
        EXPECT_EQ(PlatformHasLibrarySlots(p.version, p.architecture), p.hasSlots);
    }
}

}  // namespace
