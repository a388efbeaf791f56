// The remapping store over the working key table: look-ups, normalisation, the remap records
// of the installer key and the scan-code map bytes, as tables of bytes in and bytes out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "install/CInstall.h"
#include "install/engine/KeyRemap.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

struct MapEntry {
    uint16_t produced;
    uint16_t physical;
};

// A scan-code map with the given count field and entries, then the terminating entry.
Bytes Map(uint32_t count, const std::vector<MapEntry>& entries, bool terminate = true) {
    Bytes out;
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, count);
    for (const MapEntry& e : entries) {
        Put16(out, e.produced);
        Put16(out, e.physical);
    }
    if (terminate) Put32(out, 0);
    return out;
}

Bytes Owned(uint8_t* data, uint32_t size) {
    Bytes out(data, data + size);
    std::free(data);
    return out;
}

uint8_t* Copy(const Bytes& bytes) {
    auto* data = static_cast<uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    return data;
}

class KeyRemapTest : public ::testing::Test {
protected:
    // Every row's remaps, for "nothing changed" checks.
    std::vector<uint32_t> Remaps() {
        std::vector<uint32_t> out;
        for (int i = 0; i < install.KeyCount; ++i)
            out.push_back(static_cast<uint32_t>(install.KeyTable[i].vkTarget) << 16 |
                          install.KeyTable[i].scanTarget);
        return out;
    }
    CInstall install;
};

TEST_F(KeyRemapTest, LookupsStopAtTheFirstRowWithoutScanCode) {
    const KeyEntry* a = install.FindDefaultKey(0x1E);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->defaultVk, 0x41);
    EXPECT_EQ(a, &kBuiltinKeyTable[29]);
    KeyEntry* working = install.FindKey(0x1E);
    ASSERT_NE(working, nullptr);
    EXPECT_EQ(working, &install.KeyTable[29]);
    EXPECT_EQ(working->vkTarget, 0);

    ASSERT_NE(install.FindKey(0xE11D), nullptr);
    EXPECT_EQ(install.FindKey(0xE11D)->nameId, 173);
    EXPECT_EQ(install.FindKey(0x54), nullptr);  // not a key of the table
    // Rows 144 and 145 have scan code 0 and are never found by it.
    EXPECT_EQ(install.FindKey(0), nullptr);
    EXPECT_EQ(install.FindDefaultKey(0), nullptr);
}

TEST_F(KeyRemapTest, NormalizeDropsRemapsThatChangeNothing) {
    KeyEntry* q = install.FindKey(0x10);
    KeyEntry* caps = install.FindKey(0x3A);
    ASSERT_TRUE(q && caps);
    q->vkTarget = 0x51;     // Q's own default entry
    q->scanTarget = 0x10;   // Q to itself
    caps->vkTarget = 0xA2;  // a real remap
    caps->scanTarget = 0x1D;
    ASSERT_TRUE(install.NormalizeKeys());
    EXPECT_EQ(q->vkTarget, 0);
    EXPECT_EQ(q->scanTarget, 0);
    EXPECT_EQ(caps->vkTarget, 0xA2);
    EXPECT_EQ(caps->scanTarget, 0x1D);

    install.KeyTable.reset();
    EXPECT_EQ(install.NormalizeKeys(), 0);
    EXPECT_EQ(install.FindKey(0x10), nullptr);
    uint32_t size = 7;
    EXPECT_EQ(install.BuildKeyRemaps(size), nullptr);
    EXPECT_EQ(size, 0u);
}

struct RemapCase {
    const char* what;
    Bytes record;                       // value 157 as stored
    std::vector<MapEntry> expectedOut;  // (vk, scan) pairs written back, in table order
};

TEST_F(KeyRemapTest, RemapRecordsInAndOut) {
    // Records are (scan code, virtual-key entry); expectedOut reuses MapEntry as (vk, scan).
    auto rec = [](std::vector<std::pair<uint16_t, uint16_t>> records, size_t extra = 0) {
        Bytes out;
        for (auto& r : records) {
            Put16(out, r.first);
            Put16(out, r.second);
        }
        for (size_t i = 0; i < extra; ++i) out.push_back(0xEE);
        return out;
    };
    const RemapCase cases[] = {
        {"one record", rec({{0x3A, 0xA2}}), {{0xA2, 0x3A}}},
        {"six bytes: one record, two ignored", rec({{0x3A, 0xA2}}, 2), {{0xA2, 0x3A}}},
        {"three bytes: no record", rec({}, 3), {}},
        {"table order, not record order",
         rec({{0x3A, 0xA2}, {0x10, 0x5A}}),
         {{0x5A, 0x10}, {0xA2, 0x3A}}},
        {"the key's own default", rec({{0x10, 0x51}}), {}},
        {"virtual key 0", rec({{0x3A, 0}}), {}},
        {"key not in the table", rec({{0x54, 0xA2}}), {}},
        {"scan code 0 reaches no row", rec({{0, 0xA2}}), {}},
        {"extended key", rec({{0xE05B, 0x1A2}}), {{0x1A2, 0xE05B}}},
    };
    for (const RemapCase& c : cases) {
        SCOPED_TRACE(c.what);
        CInstall fresh;
        EXPECT_TRUE(fresh.LoadKeyRemaps(Copy(c.record), static_cast<uint32_t>(c.record.size())));
        uint32_t size = 99;
        uint8_t* built = fresh.BuildKeyRemaps(size);
        ASSERT_NE(built, nullptr);  // an empty record list still comes as a buffer
        Bytes expected;
        for (const MapEntry& e : c.expectedOut) {
            Put16(expected, e.physical);
            Put16(expected, e.produced);
        }
        EXPECT_EQ(Owned(built, size), expected);
    }
    EXPECT_EQ(install.LoadKeyRemaps(nullptr, 4), 0);
    EXPECT_EQ(install.LoadKeyRemaps(Copy({1, 2, 3, 4}), 0), 0);  // freed all the same
}

TEST_F(KeyRemapTest, RowsWithoutScanCodeAreNeverWritten) {
    install.KeyTable[144].vkTarget = 0x41;
    install.KeyTable[145].vkTarget = 0x42;
    install.KeyTable[144].scanTarget = 0x1D;
    uint32_t size = 99;
    uint8_t* records = install.BuildKeyRemaps(size);
    ASSERT_NE(records, nullptr);
    EXPECT_EQ(size, 0u);
    std::free(records);
    uint8_t* map = BuildScancodeMap(install, size);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Owned(map, size), Map(1, {}));
}

struct MapCase {
    const char* what;
    Bytes in;
    int applied;
    Bytes out;  // the map written back
};

TEST_F(KeyRemapTest, ScancodeMapsInAndOut) {
    Bytes shortMap = Map(2, {{0x1D, 0x3A}});
    shortMap.resize(15);
    const MapCase cases[] = {
        {"one remap", Map(2, {{0x1D, 0x3A}}), 1, Map(2, {{0x1D, 0x3A}})},
        {"switched off: 0 in, 255 inside, 0 out", Map(2, {{0, 0xE05B}}), 1, Map(2, {{0, 0xE05B}})},
        {"table order", Map(3, {{0x1D, 0x3A}, {0x3A, 0x1D}}), 1,
         Map(3, {{0x3A, 0x1D}, {0x1D, 0x3A}})},
        {"key mapped to itself", Map(2, {{0x1E, 0x1E}}), 1, Map(1, {})},
        {"key the table does not list", Map(2, {{0x1D, 0x54}}), 1, Map(1, {})},
        {"entry of physical key 0", Map(2, {{0x1D, 0}}), 1, Map(1, {})},
        {"count 0", Map(0, {{0x1D, 0x3A}}), 0, Map(1, {})},
        {"count 1", Map(1, {{0x1D, 0x3A}}), 0, Map(1, {})},
        {"negative count", Map(0xFFFFFFFFu, {{0x1D, 0x3A}}), 0, Map(1, {})},
        {"count past the data", Map(3, {{0x1D, 0x3A}}), 0, Map(1, {})},
        {"count whose size wraps 32 bits", Map(0x40000001u, {{0x1D, 0x3A}}), 0, Map(1, {})},
        {"no terminating entry", Map(2, {{0x1D, 0x3A}}, false), 0, Map(1, {})},
        {"shorter than 16 bytes", shortMap, 0, Map(1, {})},
        {"nothing", {}, 0, Map(1, {})},
    };
    for (const MapCase& c : cases) {
        SCOPED_TRACE(c.what);
        CInstall fresh;
        EXPECT_EQ(ApplyScancodeMap(fresh, c.in.empty() ? nullptr : c.in.data(),
                                   static_cast<uint32_t>(c.in.size())),
                  c.applied);
        uint32_t size = 0;
        uint8_t* out = BuildScancodeMap(fresh, size);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(Owned(out, size), c.out);
    }
}

TEST_F(KeyRemapTest, SwitchedOffKeyRoundTrips) {
    install.FindKey(0x3A)->scanTarget = kScanTargetOff;
    uint32_t size = 0;
    uint8_t* map = BuildScancodeMap(install, size);
    ASSERT_NE(map, nullptr);
    const Bytes written = Owned(map, size);
    EXPECT_EQ(written, Map(2, {{0, 0x3A}}));
    CInstall reader;
    ASSERT_TRUE(ApplyScancodeMap(reader, written.data(), static_cast<uint32_t>(written.size())));
    EXPECT_EQ(reader.FindKey(0x3A)->scanTarget, kScanTargetOff);
}

TEST_F(KeyRemapTest, MalformedMapsChangeNothing) {
    const std::vector<uint32_t> before = Remaps();
    const Bytes bad = Map(5, {{0x1D, 0x3A}});
    EXPECT_EQ(ApplyScancodeMap(install, bad.data(), static_cast<uint32_t>(bad.size())), 0);
    EXPECT_EQ(Remaps(), before);
}

}  // namespace
