// The layout compiler's reading of layout sources: the real source and the faults that must stop
// a build with a message naming the line.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "LayoutParser.h"
#include "install/engine/KeyTable.h"

namespace {

using namespace layoutc;

std::string ReadSource() {
    std::ifstream in(KB_LAYOUT_SOURCE);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const CharRow* FindRow(const ResolvedLayout& layout, uint8_t vk) {
    for (const CharRow& row : layout.rows)
        if (row.vk == vk) return &row;
    return nullptr;
}

class RealSourceTest : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(ParseLayout(ReadSource(), "kreska.kbl", layout_, error)) << error;
    }
    Layout layout_;
};

TEST_F(RealSourceTest, HasThreeVariantsInTwoSets) {
    ASSERT_EQ(layout_.variants.size(), 3u);
    EXPECT_EQ(layout_.variants[0].nameEn, "Kreska QWERTY");
    EXPECT_EQ(layout_.variants[1].nameEn, "Kreska QWERTZ");
    EXPECT_EQ(layout_.variants[2].nameEn, "Kreska Ergo");
    ASSERT_EQ(layout_.sets.size(), 2u);
}

// Every variant holds the installer's default entry for every key of its key table, except the
// keys the variant moves on purpose.
TEST_F(RealSourceTest, ScanCodesMatchTheInstallerKeyTable) {
    for (size_t v = 0; v < layout_.variants.size(); ++v) {
        const ResolvedLayout resolved = ResolveLayout(layout_, v, 0);
        int checked = 0;
        for (const KeyEntry& key : kBuiltinKeyTable) {
            if (key.scanCode == 0) break;
            bool moved = false;
            for (const auto& move : layout_.variants[v].moves) moved |= move.first == key.scanCode;
            if (moved) continue;
            unsigned got = 0x10000;
            if (key.scanCode < kScanCount) {
                got = resolved.scanToVk[key.scanCode];
            } else if ((key.scanCode >> 8) == 0xE0 || (key.scanCode >> 8) == 0xE1) {
                for (const ScanVk& e : (key.scanCode >> 8) == 0xE0 ? resolved.e0 : resolved.e1)
                    if (e.scan == (key.scanCode & 0xFF)) got = e.vkEntry;
            } else {
                continue;
            }
            EXPECT_EQ(got, key.defaultVk)
                << layout_.variants[v].id << " key " << std::hex << key.scanCode;
            ++checked;
        }
        EXPECT_GT(checked, 100);
    }
}

TEST_F(RealSourceTest, QwertzSwapsYAndZ) {
    const ResolvedLayout qwertz = ResolveLayout(layout_, 1, 0);
    EXPECT_EQ(qwertz.scanToVk[0x15], 'Z');
    EXPECT_EQ(qwertz.scanToVk[0x2C], 'Y');
}

TEST_F(RealSourceTest, PolishLettersOnAltGrWithCapsLock) {
    const ResolvedLayout qwerty = ResolveLayout(layout_, 0, 0);
    const struct {
        char vk;
        char16_t lower, upper;
    } kLetters[] = {{'A', u'ą', u'Ą'}, {'C', u'ć', u'Ć'}, {'E', u'ę', u'Ę'},
                    {'L', u'ł', u'Ł'}, {'N', u'ń', u'Ń'}, {'O', u'ó', u'Ó'},
                    {'S', u'ś', u'Ś'}, {'X', u'ź', u'Ź'}, {'Z', u'ż', u'Ż'}};
    for (const auto& letter : kLetters) {
        const CharRow* row = FindRow(qwerty, letter.vk);
        ASSERT_NE(row, nullptr) << letter.vk;
        EXPECT_EQ(row->chars[kAltGr].ch, letter.lower) << letter.vk;
        EXPECT_EQ(row->chars[kShiftAltGr].ch, letter.upper) << letter.vk;
        EXPECT_EQ(row->attributes, kCapsLock | kCapsLockAltGr) << letter.vk;
    }
    // A letter whose AltGr level is a symbol: Caps Lock acts on the letter only.
    EXPECT_EQ(FindRow(qwerty, 'U')->attributes, kCapsLock);
    EXPECT_EQ(FindRow(qwerty, 'U')->chars[kAltGr].ch, u'€');
}

TEST_F(RealSourceTest, TypographicExtras) {
    const ResolvedLayout qwerty = ResolveLayout(layout_, 0, 0);
    EXPECT_EQ(FindRow(qwerty, 0xBD)->chars[kAltGr].ch, u'–');       // en dash
    EXPECT_EQ(FindRow(qwerty, 0xBD)->chars[kShiftAltGr].ch, u'—');  // em dash
    EXPECT_EQ(FindRow(qwerty, 0xDE)->chars[kAltGr].ch, u'„');
    EXPECT_EQ(FindRow(qwerty, 0xDE)->chars[kShiftAltGr].ch, u'”');
    EXPECT_EQ(FindRow(qwerty, 0xBE)->chars[kAltGr].ch, u'…');
    EXPECT_EQ(FindRow(qwerty, 0x20)->chars[kAltGr].ch, 0xA0);  // no-break space
}

// The standard set has no dead key; the alternative set has dead keys and nothing else changes
// besides the AltGr level.
TEST_F(RealSourceTest, DeadKeysOnlyInTheAlternativeSet) {
    for (size_t v = 0; v < layout_.variants.size(); ++v) {
        const ResolvedLayout standard = ResolveLayout(layout_, v, 0);
        const ResolvedLayout alternative = ResolveLayout(layout_, v, 1);
        EXPECT_TRUE(standard.deadKeys.empty());
        EXPECT_FALSE(alternative.deadKeys.empty());
        EXPECT_EQ(standard.scanToVk, alternative.scanToVk);
        int deadColumns = 0;
        ASSERT_EQ(standard.rows.size(), alternative.rows.size());
        for (size_t i = 0; i < standard.rows.size(); ++i) {
            for (int c = 0; c < kColumnCount; ++c) {
                EXPECT_FALSE(standard.rows[i].chars[c].dead);
                deadColumns += alternative.rows[i].chars[c].dead;
                if (c != kAltGr && c != kShiftAltGr) {
                    EXPECT_EQ(standard.rows[i].chars[c].ch, alternative.rows[i].chars[c].ch);
                }
            }
        }
        EXPECT_GE(deadColumns, 12);
    }
}

TEST_F(RealSourceTest, CaronComposesCzechAndLithuanianLetters) {
    const ResolvedLayout alternative = ResolveLayout(layout_, 0, 1);
    const DeadKey* caron = nullptr;
    for (const DeadKey* dead : alternative.deadKeys)
        if (dead->accent == u'ˇ') caron = dead;
    ASSERT_NE(caron, nullptr);
    const auto composes = [&](char16_t base, char16_t result) {
        for (const auto& pair : caron->compositions)
            if (pair.first == base) return pair.second == result;
        return false;
    };
    EXPECT_TRUE(composes(u'c', u'č'));
    EXPECT_TRUE(composes(u'R', u'Ř'));
    EXPECT_TRUE(composes(u'z', u'ž'));
    EXPECT_TRUE(composes(u' ', u'ˇ'));
}

TEST_F(RealSourceTest, DecimalKeyTypesAFullStopInTwoColumns) {
    const ResolvedLayout qwerty = ResolveLayout(layout_, 0, 0);
    const CharRow* decimal = FindRow(qwerty, 0x6E);
    ASSERT_NE(decimal, nullptr);
    EXPECT_EQ(decimal->width, 2);
    EXPECT_EQ(decimal->chars[kBase].ch, u'.');
    EXPECT_EQ(decimal->chars[kShift].ch, u'.');
}

// Bad sources: each must fail with a message that names the file and the faulty line.
struct BadSource {
    const char* name;
    const char* body;  // appended after a valid header; line numbers count from the header
    int line;
    const char* message;
};

constexpr const char* kHeader =
    "variant qwerty \"Q\" \"Q\"\n"
    "set standard \"\" \"\"\n"
    "set alternative \" (dead)\" \" (martwe)\"\n";

const BadSource kBadSources[] = {
    {"DuplicateKey", "key 10 Q C q Q - - -\nkey 11 W C w W - - -\nkey 10 E C e E - - -\n", 6,
     "duplicate key 10 (first on line 4)"},
    {"DuplicateCharacters", "key 10 Q C q Q - - -\nkey - Q C q Q - - -\n", 5,
     "duplicate characters for virtual key Q"},
    {"UnknownVirtualKey", "key 10 Q C q Q - - -\nkey 11 OEM_42 - a b - - -\n", 5,
     "unknown virtual key 'OEM_42'"},
    {"UnknownFlag", "key 36 RSHIFT+extended\n", 4, "unknown key flag 'extended'"},
    {"OutsideBmpLiteral", "key 10 Q - q \xF0\x9F\x98\x80 - - -\n", 4,
     "U+1F600 in the shift column is outside the Basic Multilingual Plane"},
    {"OutsideBmpCodePoint", "key 10 Q - q Q - U+10000 -\n", 4,
     "U+10000 in the altgr column is outside the Basic Multilingual Plane"},
    {"MissingShiftState", "key 10 Q C q Q - -\n", 4,
     "missing shift state: 4 of 5 characters given, the shift+altgr column is missing"},
    {"MissingAlternativeState", "key 02 1 - 1 ! - ¹ ¡ alt: dead:~\ndead ~ \"T\" a=ã\n", 4,
     "missing shift state: alt: needs the altgr and shift+altgr columns, 1 given"},
    {"NotOneCharacter", "key 10 Q - q QQ - - -\n", 4, "'QQ' in the shift column is not one"},
    {"CapsOnANonLetter", "key 02 1 C 1 ! - - -\n", 4, "Caps Lock flag on a key whose base"},
    {"LetterWithoutCaps", "key 1E A - a A - - -\n", 4, "letter key without Caps Lock"},
    {"AltGrLetterWithoutCaps", "key 1E A C a A - ą Ą\n", 4, "AltGr letter without Caps Lock"},
    {"DeadKeyInStandardColumns", "key 02 1 - 1 ! - dead:~ -\n", 4,
     "dead keys belong to the alternative set"},
    {"DeadKeyWithoutCompositions", "key 02 1 - 1 ! - ¹ ¡ alt: dead:~ ¡\n", 4,
     "dead key U+007E has no dead line"},
    {"BadScanCode", "key 80 Q C q Q - - -\n", 4, "bad scan code '80'"},
    {"UnknownLineKind", "keys 10 Q\n", 4, "unknown line kind 'keys'"},
    {"VariantLosesAKey",
     "key 15 Y C y Y - - -\nkey 2C Z C z Z - - -\n"
     "variant qwertz \"Z\" \"Z\" 15=Z\n",
     6, "variant qwertz loses virtual key Y"},
};

class BadSourceTest : public testing::TestWithParam<BadSource> {};

TEST_P(BadSourceTest, FailsNamingTheLine) {
    const BadSource& bad = GetParam();
    Layout layout;
    std::string error;
    EXPECT_FALSE(ParseLayout(std::string(kHeader) + bad.body, "bad.kbl", layout, error));
    const std::string where = "bad.kbl:" + std::to_string(bad.line) + ": ";
    EXPECT_EQ(error.rfind(where, 0), 0u) << error;
    EXPECT_NE(error.find(bad.message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadSourceTest, testing::ValuesIn(kBadSources),
                         [](const testing::TestParamInfo<BadSource>& info) {
                             return std::string(info.param.name);
                         });

TEST(LayoutParser, SmallValidSourceResolves) {
    Layout layout;
    std::string error;
    ASSERT_TRUE(ParseLayout(std::string(kHeader) + "key 10 Q C q Q - - -\n"
                                                   "key 02 1 - 1 ! - ¹ ¡ alt: dead:˝ ¡ \"One\"\n"
                                                   "dead ˝ \"Double Acute\" o=ő space=˝\n",
                            "ok.kbl", layout, error))
        << error;
    const ResolvedLayout alternative = ResolveLayout(layout, 0, 1);
    ASSERT_EQ(alternative.rows.size(), 2u);
    EXPECT_EQ(alternative.rows[1].width, 5);
    EXPECT_TRUE(alternative.rows[1].chars[kAltGr].dead);
    EXPECT_EQ(alternative.rows[1].chars[kAltGr].ch, 0x02DD);
    ASSERT_EQ(alternative.names.size(), 1u);
    EXPECT_EQ(alternative.names[0].name, "One");
    EXPECT_EQ(alternative.scanToVk[0x10], 'Q');
    EXPECT_EQ(alternative.scanToVk[0x11], 0xFF);
}

TEST(LayoutParser, MissingSetsNameTheLastLine) {
    Layout layout;
    std::string error;
    EXPECT_FALSE(
        ParseLayout("variant q \"Q\" \"Q\"\nkey 10 Q C q Q - - -\n", "s.kbl", layout, error));
    EXPECT_EQ(error.rfind("s.kbl:3: two set lines are needed", 0), 0u) << error;
}

}  // namespace
