// String look-up through the installer object, the language index, Init over stored tables, and
// the licence texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "install/CInstall.h"
#include "tests/install/InstallFixture.h"

namespace {

constexpr uint32_t kFirstId = 0;
constexpr uint32_t kHighId = 0x80000001u;  // above INT32_MAX: ordered as unsigned
constexpr uint32_t kLastId = 4000000000u;

FixtureTexts LookupTexts() {
    FixtureTexts t;
    t.common = {Entry(1, "common one"), Entry(5, "common five"), Entry(7, "common seven"),
                Entry(86, "0415"), Entry(kLastId, "common last")};
    t.supplementary = {Entry(7, "supplementary seven"), Entry(9, "supplementary nine"),
                       Entry(13, "grin \xF0\x9F\x98\x80", EntryWidth::Wide)};
    t.language[0] = {Entry(kFirstId, "English first"),
                     Entry(3, "English three"),
                     Entry(5, "English five"),
                     Entry(10, ""),
                     Entry(11, "wide entry", EntryWidth::Wide),
                     Entry(kHighId, "English high"),
                     Entry(kLastId - 1, "English last")};
    t.language[1] = {Entry(4, "Polish four"),
                     Entry(5, "Polish five: za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"),
                     Entry(12, "g\xC4\x99\xC5\x9B", EntryWidth::Narrow)};
    return t;
}

class InstallStrings : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(fixture.Build(LookupTexts(), error)) << error;
        ASSERT_EQ(install.InitFrom(nullptr, fixture.Tables()), 1);
    }

    FixtureTables fixture;
    CInstall install;
};

struct LookupCase {
    int32_t language;
    uint32_t id;
    const char* expected;  // null: not found
};

const LookupCase kLookups[] = {
    {0, 5, "English five"},  // the language table wins over the common one
    {1, 5, "Polish five: za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"},
    {0, 1, "common one"},  // falls back to the common table
    {1, 1, "common one"},
    {0, 7, "common seven"},        // the common table wins over the supplementary one
    {0, 9, "supplementary nine"},  // then the supplementary table
    {1, 9, "supplementary nine"},
    {0, 13, "grin \xF0\x9F\x98\x80"},  // a character outside the basic plane
    {0, 4, nullptr},                   // only in the other language's table
    {1, 3, nullptr},
    {1, 4, "Polish four"},
    {0, kFirstId, "English first"},    // first index entry
    {0, kLastId - 1, "English last"},  // last index entry
    {0, kHighId, "English high"},
    {1, kLastId, "common last"},   // last entry of the common table
    {0, 2, nullptr},               // in no table
    {1, kFirstId, nullptr},        // below the first entry of language 1
    {0, kLastId + 1, nullptr},     // above every last entry
    {0, 11, "wide entry"},         // stored wide
    {1, 12, "g\xC4\x99\xC5\x9B"},  // stored narrow, not ASCII
};

TEST_F(InstallStrings, LookupOrderAndBounds) {
    for (const LookupCase& c : kLookups) {
        SCOPED_TRACE(testing::Message() << "language " << c.language << " id " << c.id);
        ASSERT_EQ(install.SetLanguageIndex(c.language), 1);
        GString out;
        out.AssignWideCString(u"stale");
        const int found = install.GetString(c.id, out);
        if (!c.expected) {
            EXPECT_EQ(found, 0);
            EXPECT_EQ(out.Length(), 0);
            EXPECT_EQ(install.FindString(c.id), nullptr);
            continue;
        }
        EXPECT_EQ(found, 1);
        EXPECT_TRUE(out.IsWide());
        EXPECT_EQ(Utf8Of(out), c.expected);
    }
}

TEST_F(InstallStrings, EmptyEntryIsFoundAndEmpty) {
    GString out;
    out.AssignNarrow("stale", -1);
    EXPECT_EQ(install.GetString(10, out), 1);
    EXPECT_EQ(out.Length(), 0);
    EXPECT_TRUE(out.IsWide());
}

TEST_F(InstallStrings, LanguageSwitchBetweenLookups) {
    GString out;
    ASSERT_EQ(install.GetString(5, out), 1);
    EXPECT_EQ(Utf8Of(out), "English five");
    ASSERT_EQ(install.SetLanguageIndex(1), 1);
    ASSERT_EQ(install.GetString(5, out), 1);
    EXPECT_EQ(Utf8Of(out), "Polish five: za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87");
    ASSERT_EQ(install.SetLanguageIndex(0), 1);
    ASSERT_EQ(install.GetString(5, out), 1);
    EXPECT_EQ(Utf8Of(out), "English five");
}

TEST_F(InstallStrings, LanguageIndexOutsideZeroAndOneIsRefused) {
    ASSERT_EQ(install.SetLanguageIndex(1), 1);
    for (int32_t bad : {2, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(install.SetLanguageIndex(bad), 0) << bad;
        EXPECT_EQ(install.UiLanguage, 1);
    }
    // A value written straight into the member selects no language table instead of reading
    // outside the pair; the shared tables still answer.
    install.UiLanguage = 7;
    GString out;
    EXPECT_EQ(install.GetString(5, out), 1);
    EXPECT_EQ(Utf8Of(out), "common five");
    EXPECT_EQ(install.GetString(3, out), 0);
}

TEST_F(InstallStrings, InitParsedTheLayoutLanguage) {
    EXPECT_EQ(install.LayoutLangId, 0x0415);
    EXPECT_EQ(install.ModuleHandle, nullptr);
}

// String 86 is read as one hexadecimal number; anything else leaves the identifier 0.
struct LangIdCase {
    const char* text;  // null: no string 86 at all
    uint16_t expected;
};

const LangIdCase kLangIds[] = {
    {"0415", 0x0415},
    {"00000415", 0x0415},
    {"415", 0x0415},
    {"  0x0415", 0x0415},
    {"0X41a", 0x041A},
    {"10415", 0x0415},
    {"0415 Polish", 0x0415},
    {"zz", 0},
    {"", 0},
    {"  ", 0},
    {"0x", 0},
    {"-1", 0xFFFF},
    {nullptr, 0},
};

TEST(InstallInit, LayoutLanguageFromString86) {
    for (const LangIdCase& c : kLangIds) {
        SCOPED_TRACE(c.text ? c.text : "(missing)");
        FixtureTexts texts = LookupTexts();
        texts.common = {Entry(1, "common one")};
        if (c.text) texts.common.push_back(Entry(86, c.text));
        FixtureTables fixture;
        std::string error;
        ASSERT_TRUE(fixture.Build(texts, error)) << error;
        CInstall install;
        ASSERT_EQ(install.InitFrom(nullptr, fixture.Tables()), 1);
        EXPECT_EQ(install.LayoutLangId, c.expected);
    }
}

// Raw table bytes: one index entry (id, offset 0) and one counted text.
std::vector<uint8_t> OneEntryTable(uint32_t id, uint32_t header, const std::vector<uint8_t>& text) {
    std::vector<uint8_t> bytes;
    auto put32 = [&bytes](uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put32(id);
    put32(0);
    put32(header);
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

TEST(InstallInit, FailsOnEachBadTable) {
    FixtureTables good;
    std::string error;
    ASSERT_TRUE(good.Build(LookupTexts(), error)) << error;
    struct BadCase {
        const char* name;
        std::vector<uint8_t> blob;
    };
    const BadCase cases[] = {
        {"entry runs past the table",
         good.Seal(OneEntryTable(1, 0x80000000u | 100, {'a', 'b'}), 1)},
        {"count larger than the buffer", good.Seal(OneEntryTable(1, 0x80000002u, {'a', 'b'}), 5)},
        {"count of zero", good.Seal(OneEntryTable(1, 0x80000002u, {'a', 'b'}), 0)},
        {"empty blob", {}},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Each table in turn; the others stay good.
        for (int table = 0; table < 4; ++table) {
            SCOPED_TRACE(table);
            FixtureTables fixture;
            ASSERT_TRUE(fixture.Build(LookupTexts(), error)) << error;
            std::vector<uint8_t>* slots[4] = {&fixture.common, &fixture.supplementary,
                                              &fixture.language[0], &fixture.language[1]};
            *slots[table] = c.blob;
            fixture.Point();
            CInstall install;
            EXPECT_EQ(install.InitFrom(nullptr, fixture.Tables()), 0);
        }
    }
    // A flipped bit anywhere in a stored table is caught by its checks.
    FixtureTables flipped;
    ASSERT_TRUE(flipped.Build(LookupTexts(), error)) << error;
    flipped.language[1][flipped.language[1].size() / 2] ^= 0x10;
    CInstall install;
    EXPECT_EQ(install.InitFrom(nullptr, flipped.Tables()), 0);
}

// A narrow entry that the string class cannot widen is not handed on as an empty success:
// a broken sequence, and a four-byte sequence (outside the basic plane, which narrow entries
// cannot carry; such texts must be stored wide).
TEST(InstallStringsBadText, NarrowEntryThatCannotBeWidenedIsNotFound) {
    FixtureTables fixture;
    std::string error;
    ASSERT_TRUE(fixture.Build(LookupTexts(), error)) << error;
    fixture.supplementary = fixture.Seal(OneEntryTable(20, 0x80000002u, {0xC3, 0x28}), 1);
    fixture.language[0] =
        fixture.SealTable({Entry(21, "grin \xF0\x9F\x98\x80", EntryWidth::Narrow)});
    fixture.Point();
    CInstall install;
    ASSERT_EQ(install.InitFrom(nullptr, fixture.Tables()), 1);
    for (uint32_t id : {20u, 21u}) {
        SCOPED_TRACE(id);
        ASSERT_NE(install.FindString(id), nullptr);
        GString out;
        out.AssignWideCString(u"stale");
        EXPECT_EQ(install.GetString(id, out), 0);
        EXPECT_EQ(out.Length(), 0);
    }
}

// Licence texts.
std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

struct LicenceCase {
    const char* name;
    std::string stored;
    std::string expected;
};

TEST_F(InstallStrings, LicenceTexts) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string polish = "Licencja: za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87";
    const LicenceCase cases[] = {
        {"plain", "Licence text\r\nLine two", "Licence text\r\nLine two"},
        {"with byte-order mark", bom + polish, polish},
        {"only the byte-order mark", bom, ""},
        {"two bytes of a mark", "\xEF\xBB", "\xEF\xBB"},
        {"mark twice", bom + bom, bom},
        {"mark not at the start", "a" + bom, "a" + bom},
        {"empty", "", ""},
    };
    for (const LicenceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> blob = fixture.Seal(Bytes(c.stored), 0);
        ASSERT_FALSE(blob.empty());
        GString out;
        out.AssignWideCString(u"stale");
        ASSERT_NE(install.LoadTextBlob(blob.data(), static_cast<uint32_t>(blob.size()), out), 0);
        EXPECT_FALSE(out.IsWide());
        EXPECT_EQ(std::string(out.NarrowText(), static_cast<size_t>(out.Length())), c.expected);
    }
}

TEST_F(InstallStrings, LicenceFailuresLeaveTheTextAlone) {
    std::vector<uint8_t> blob = fixture.Seal(Bytes("Licence"), 0);
    const uint32_t size = static_cast<uint32_t>(blob.size());
    std::vector<uint8_t> flipped = blob;
    flipped[flipped.size() - 3] ^= 0x01;

    GString out;
    out.AssignWideCString(u"kept");
    EXPECT_EQ(install.LoadTextBlob(nullptr, size, out), 0);
    EXPECT_EQ(install.LoadTextBlob(blob.data(), 0, out), 0);
    EXPECT_EQ(install.LoadTextBlob(blob.data(), size - 8, out), 0);
    EXPECT_EQ(install.LoadTextBlob(flipped.data(), size, out), 0);
    EXPECT_EQ(Utf8Of(out), "kept");

    // After release the key copy is gone: nothing unpacks any more.
    install.Release();
    EXPECT_EQ(install.LoadTextBlob(blob.data(), size, out), 0);
    EXPECT_EQ(Utf8Of(out), "kept");
}

}  // namespace
