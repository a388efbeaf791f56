// String tables: the binary search on unsigned ids, the entry forms the writer chooses, and
// tables whose index or entries do not fit their buffer.
#include "PayloadTestSupport.h"

#include "payload/ByteOrder.h"
#include "payload/StringTable.h"
#include "payload/StringTableWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

// A malloc'ed copy, as an unpacked blob would be.
std::uint8_t* HeapCopy(const std::vector<std::uint8_t>& bytes) {
    auto* p = static_cast<std::uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
    return p;
}

std::vector<std::uint8_t> Build(const std::vector<StringEntry>& entries, std::uint32_t& count) {
    std::vector<std::uint8_t> table;
    std::string error;
    EXPECT_TRUE(BuildStringTable(entries, table, count, error)) << error;
    return table;
}

// The text of an entry as UTF-8 (narrow) or as code units (wide), with its width.
struct Decoded {
    bool narrow;
    std::string bytes;
    std::u16string units;
};

Decoded Decode(const CountedText* entry) {
    const std::uint32_t header = CountedHeader(entry);
    const auto* data = static_cast<const std::uint8_t*>(CountedTextData(entry));
    Decoded d{CountedIsNarrow(header), {}, {}};
    const int length = CountedLength(header);
    if (d.narrow) {
        d.bytes.assign(reinterpret_cast<const char*>(data), length);
    } else {
        for (int i = 0; i < length; ++i)
            d.units.push_back(static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8));
    }
    return d;
}

class StringTable : public ::testing::Test {
public:
    void SetUp() override {
        // given out of order on purpose: the writer sorts by unsigned id
        const std::vector<StringEntry> entries = {
            {0xFFFFFFFFu, "last"},
            {93, "Kreska Setup"},
            {0, "first"},
            {0x80000000u, "high bit"},
            {5, ""},
            {7, "Zażółć gęślą jaźń"},
            {8, "→ ↑ ←"},
            {9, "forced wide", EntryWidth::Wide},
        };
        table = Build(entries, count);
        ASSERT_EQ(count, entries.size());
        ASSERT_TRUE(
            strings.Attach(HeapCopy(table), count, static_cast<std::uint32_t>(table.size())));
    }

    std::vector<std::uint8_t> table;
    std::uint32_t count = 0;
    CStringTable strings;
};

TEST_F(StringTable, FindsFirstLastAndHighBitIdsAsUnsigned) {
    for (std::uint32_t id : {0u, 5u, 7u, 8u, 9u, 93u, 0x80000000u, 0xFFFFFFFFu})
        EXPECT_NE(strings.Find(id), nullptr) << id;
    EXPECT_EQ(Decode(strings.Find(0)).bytes, "first");
    EXPECT_EQ(Decode(strings.Find(0xFFFFFFFFu)).bytes, "last");
    EXPECT_EQ(Decode(strings.Find(0x80000000u)).bytes, "high bit");
    for (std::uint32_t id : {1u, 6u, 92u, 94u, 0x7FFFFFFFu, 0xFFFFFFFEu})
        EXPECT_EQ(strings.Find(id), nullptr) << id;
}

TEST(StringTableEnds, IdsBelowTheFirstAndAboveTheLastAreNotFound) {
    std::uint32_t count = 0;
    const auto table = Build({{10, "a"}, {20, "b"}, {30, "c"}}, count);
    CStringTable strings;
    ASSERT_TRUE(strings.Attach(HeapCopy(table), count, static_cast<std::uint32_t>(table.size())));
    EXPECT_EQ(Decode(strings.Find(10)).bytes, "a");
    EXPECT_EQ(Decode(strings.Find(30)).bytes, "c");
    EXPECT_EQ(strings.Find(9), nullptr);
    EXPECT_EQ(strings.Find(31), nullptr);
}

TEST_F(StringTable, EntriesAreNarrowUnlessUtf16IsShorter) {
    const Decoded empty = Decode(strings.Find(5));
    EXPECT_TRUE(empty.narrow);
    EXPECT_TRUE(empty.bytes.empty());

    const Decoded polish = Decode(strings.Find(7));  // 2-byte UTF-8 letters: narrow is not longer
    EXPECT_TRUE(polish.narrow);
    EXPECT_EQ(polish.bytes, "Zażółć gęślą jaźń");

    const Decoded arrows = Decode(strings.Find(8));  // 3-byte UTF-8 arrows: UTF-16 is shorter
    EXPECT_FALSE(arrows.narrow);
    EXPECT_EQ(arrows.units, u"→ ↑ ←");

    const Decoded forced = Decode(strings.Find(9));
    EXPECT_FALSE(forced.narrow);
    EXPECT_EQ(forced.units, u"forced wide");
}

TEST_F(StringTable, AttachRefusesNullOrZeroAndKeepsTheTable) {
    std::uint8_t byte = 0;
    EXPECT_FALSE(strings.Attach(nullptr, 3, 100));
    EXPECT_FALSE(strings.Attach(&byte, 0, 1));
    EXPECT_NE(strings.Find(93), nullptr);
    EXPECT_EQ(strings.Count(), static_cast<std::int32_t>(count));
}

TEST_F(StringTable, AttachReplacesTheHeldBufferAndFreeClearsEverything) {
    std::uint32_t otherCount = 0;
    const auto other = Build({{1, "one"}}, otherCount);
    ASSERT_TRUE(
        strings.Attach(HeapCopy(other), otherCount, static_cast<std::uint32_t>(other.size())));
    EXPECT_EQ(strings.Find(93), nullptr);
    EXPECT_EQ(Decode(strings.Find(1)).bytes, "one");
    strings.Free();
    EXPECT_EQ(strings.Count(), 0);
    EXPECT_EQ(strings.Find(1), nullptr);
    strings.Free();  // twice is harmless
}

TEST(StringTableWriter, RefusesRepeatedIdsAndMalformedUtf8) {
    std::vector<std::uint8_t> table;
    std::uint32_t count = 0;
    std::string error;
    EXPECT_FALSE(BuildStringTable({{4, "a"}, {4, "b"}}, table, count, error));
    EXPECT_NE(error.find("4"), std::string::npos);
    EXPECT_FALSE(BuildStringTable({{4, "\xC3"}}, table, count, error));          // cut sequence
    EXPECT_FALSE(BuildStringTable({{4, "\xC0\xAF"}}, table, count, error));      // overlong
    EXPECT_FALSE(BuildStringTable({{4, "\xED\xA0\x80"}}, table, count, error));  // surrogate
}

// Malformed tables: each is refused at Attach, and the caller keeps (and frees) its buffer.
struct BadTable {
    const char* name;
    std::uint32_t count;
    std::function<void(std::vector<std::uint8_t>&)> spoil;
};

TEST(StringTableBad, MalformedTablesAreRefused) {
    std::uint32_t count = 0;
    const auto good = Build({{1, "alpha"}, {2, "beta"}, {3, "gamma"}}, count);
    ASSERT_EQ(count, 3u);
    const std::uint32_t area = static_cast<std::uint32_t>(good.size() - 24);
    auto setOffset = [](std::vector<std::uint8_t>& t, int entry, std::uint32_t v) {
        StoreLe32(t.data() + 8 * entry + 4, v);
    };
    const BadTable cases[] = {
        {"count larger than the buffer allows", 1000, [](auto&) {}},
        {"count whose index size wraps 32 bits", 0x20000001u, [](auto&) {}},
        {"count past the signed range", 0x80000000u, [](auto&) {}},
        {"offset outside the buffer", 3, [&](auto& t) { setOffset(t, 1, 0x10000); }},
        {"offset leaving no room for a header", 3, [&](auto& t) { setOffset(t, 2, area - 2); }},
        {"offset near 2^32", 3, [&](auto& t) { setOffset(t, 0, 0xFFFFFFFEu); }},
        {"narrow length past the table", 3,
         [&](auto& t) { StoreLe32(t.data() + 24 + LoadLe32(t.data() + 4), 0x80000000u | 100); }},
        {"wide length past the table", 3,
         [&](auto& t) { StoreLe32(t.data() + 24 + LoadLe32(t.data() + 12), 0x1FFFFFFFu); }},
        {"ids out of order", 3, [](auto& t) { StoreLe32(t.data() + 8, 7); }},
        {"repeated id", 3, [](auto& t) { StoreLe32(t.data() + 8, 1); }},
    };
    for (const BadTable& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bad = good;
        c.spoil(bad);
        std::uint8_t* buffer = HeapCopy(bad);
        CStringTable strings;
        EXPECT_FALSE(strings.Attach(buffer, c.count, static_cast<std::uint32_t>(bad.size())));
        EXPECT_EQ(strings.Find(1), nullptr);
        std::free(buffer);
    }

    // the good table attaches, and its last entry may end exactly at the buffer's end
    CStringTable strings;
    ASSERT_TRUE(strings.Attach(HeapCopy(good), count, static_cast<std::uint32_t>(good.size())));
    EXPECT_EQ(Decode(strings.Find(3)).bytes, "gamma");
}

TEST(StringTableBlob, UnpackedBlobAttachesWithTheUserValueAsCount) {
    CGuard guard;
    const auto block = TestKeyBlock();
    ASSERT_TRUE(guard.SetKeyBlock(block.data(), CGuard::kBlockLength));
    std::uint32_t count = 0;
    const auto table = Build({{93, "Kreska Setup"}, {83, "kbdkresk.dll"}}, count);
    const auto stored = SealText(guard, table, count);
    std::uint32_t size = static_cast<std::uint32_t>(stored.size());
    std::uint32_t user = 0;
    std::uint8_t* plain = guard.Unpack(stored.data(), size, &user);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(user, 2u);
    CStringTable strings;
    ASSERT_TRUE(strings.Attach(plain, user, size));
    EXPECT_EQ(Decode(strings.Find(83)).bytes, "kbdkresk.dll");
}

}  // namespace
