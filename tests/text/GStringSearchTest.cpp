#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GString.h"
#include "TextRanges.h"
#include "TextTestUtil.h"

namespace {

// A receiver in either mode holding the same text.
void SetIn(GString& s, bool wide, const std::u16string& text) {
    if (wide) {
        Set(s, text);
    } else {
        s.AssignNarrow(nullptr, 0);
        s.AppendWide(text.data(), int(text.size()));
    }
}

std::u16string TextOf(GString& s) {
    GString copy;
    copy.AssignAsWide(&s);
    return WideOf(copy);
}

TEST(RawRanges, CompareIsLengthFirst) {
    struct Case {
        std::string a, b;
        int result;
    } cases[] = {
        {"b", "abc", -1}, {"abd", "abc", 1}, {"abc", "abd", -1},  {"", "", 0},
        {"", "a", -1},    {"a", "", 1},      {"same", "same", 0}, {"\xFF", "\x01", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareBytes(c.a.data(), c.b.data(), int(c.a.size()), int(c.b.size())), c.result)
            << c.a << " vs " << c.b;
    }
    EXPECT_EQ(CompareBytes(nullptr, "x", 5, 1), -1) << "null is empty whatever its length";
    EXPECT_EQ(CompareUnits(u"\xFFFF", u"a", 1, 1), 1) << "units compare unsigned";
    EXPECT_EQ(CompareUnits(nullptr, nullptr, 3, 3), 0);
}

TEST(RawRanges, FindAndFindLast) {
    const char hay[] = "abcabc";
    EXPECT_EQ(FindBytes(hay, "bc", 6, 2, 0), 1);
    EXPECT_EQ(FindBytes(hay, "bc", 6, 2, 2), 4);
    EXPECT_EQ(FindBytes(hay, "bc", 6, 2, 5), -1) << "the needle no longer fits";
    EXPECT_EQ(FindBytes(hay, "bc", 6, 2, -1), -1);
    EXPECT_EQ(FindBytes(hay, "", 6, 0, 0), -1);
    EXPECT_EQ(FindBytes(nullptr, "a", 6, 1, 0), -1);
    EXPECT_EQ(FindBytes(hay, "abcabcx", 6, 7, 0), -1);
    EXPECT_EQ(FindUnits(u"xyxy", u"y", 4, 1, 2), 3);

    EXPECT_EQ(FindLastByte(hay, 'a', 6, 0), 3);
    EXPECT_EQ(FindLastByte(hay, 'a', 6, 4), -1);
    EXPECT_EQ(FindLastUnitIn(u"a\\b\\c", u'\\', 5, 0), 3);
    EXPECT_EQ(FindLastBytes(hay, "ab", 6, 2, 0), 3);
    EXPECT_EQ(FindLastBytes(hay, "ab", 6, 2, 1), 3);
    EXPECT_EQ(FindLastBytes(hay, "ab", 6, 2, 4), -1);
    EXPECT_EQ(FindLastBytes(hay, "abcabcab", 6, 8, 0), -1);
}

struct CompareCase {
    const char* name;
    bool receiverWide;
    std::u16string receiver;
    std::u16string text;
    int result;
};

class GStringCompareTest : public testing::TestWithParam<CompareCase> {};

TEST_P(GStringCompareTest, WideAndNarrowArguments) {
    const CompareCase& c = GetParam();
    GString s;
    SetIn(s, c.receiverWide, c.receiver);
    EXPECT_EQ(s.Compare(c.text.data(), int(c.text.size())), c.result);
    GString narrowText;
    SetIn(narrowText, false, c.text);
    EXPECT_EQ(s.CompareNarrow(narrowText.NarrowText(0), narrowText.Length()), c.result);
    EXPECT_EQ(TextOf(s), c.receiver) << "comparing leaves the string alone";
}

INSTANTIATE_TEST_SUITE_P(
    GStringSearch, GStringCompareTest,
    testing::Values(CompareCase{"shorter_is_smaller_w", true, u"b", u"abc", -1},
                    CompareCase{"shorter_is_smaller_n", false, u"b", u"abc", -1},
                    CompareCase{"first_difference_w", true, u"abd", u"abc", 1},
                    CompareCase{"first_difference_n", false, u"abd", u"abc", 1},
                    CompareCase{"equal_converted_n", false, u"caf\x00E9", u"caf\x00E9", 0},
                    CompareCase{"both_empty", true, u"", u"", 0},
                    CompareCase{"empty_string", false, u"", u"x", -1},
                    CompareCase{"empty_text", true, u"x", u"", 1}),
    [](const testing::TestParamInfo<CompareCase>& info) { return info.param.name; });

TEST(GStringSearch, CompareNullAndNegativeCounts) {
    GString s;
    Set(s, std::u16string(u"abc"));
    EXPECT_EQ(s.Compare(nullptr, 5), 1);
    EXPECT_EQ(s.Compare(u"abc", -1), 0);
    EXPECT_EQ(s.CompareNarrow("abc", -1), 0);
    // A narrow argument that is not UTF-8 cannot be converted: reported as 0.
    EXPECT_EQ(s.CompareNarrow("\xC3\x28", 2), 0);
}

TEST(GStringSearch, StringsEqualAcrossWidths) {
    GString wide, narrow;
    Set(wide, std::u16string(u"abc"));
    Set(narrow, std::string("abc"));
    EXPECT_EQ(StringsEqual(wide, narrow), 1);
    EXPECT_EQ(StringsEqual(narrow, wide), 1);
    EXPECT_EQ(StringsDiffer(wide, narrow), 0);

    GString other;
    Set(other, std::string("abd"));
    EXPECT_EQ(StringsEqual(wide, other), 0);
    EXPECT_EQ(StringsDiffer(wide, other), 1);

    GString e1, e2;
    e2.AssignWide(nullptr, 0);
    EXPECT_EQ(StringsEqual(e1, e2), 1);
}

TEST(GStringSearch, TextThatCannotBeConvertedEqualsNothing) {
    // Regression: Compare reports a failed conversion as 0, which StringsEqual
    // took for "equal", so any text equalled a narrow text that is not UTF-8.
    GString wide, invalid;
    Set(wide, std::u16string(u"zz"));
    Set(invalid, std::string("\xC3\x28"));
    EXPECT_EQ(StringsEqual(wide, invalid), 0);
    EXPECT_EQ(StringsDiffer(wide, invalid), 1);
}

struct FindCase {
    const char* name;
    bool receiverWide;
    std::u16string receiver;
    std::u16string needle;
    int start;
    int result;
};

class GStringFindTest : public testing::TestWithParam<FindCase> {};

TEST_P(GStringFindTest, WideAndNarrowNeedles) {
    const FindCase& c = GetParam();
    GString s;
    SetIn(s, c.receiverWide, c.receiver);
    EXPECT_EQ(s.Find(c.needle.data(), c.start, int(c.needle.size())), c.result);
    GString needle;
    SetIn(needle, false, c.needle);
    EXPECT_EQ(s.FindNarrow(needle.NarrowText(0), c.start, needle.Length()), c.result);
    EXPECT_EQ(s.FindString(needle, c.start), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    GStringSearch, GStringFindTest,
    testing::Values(FindCase{"from_2_w", true, u"abcbc", u"bc", 2, 3},
                    FindCase{"from_2_n", false, u"abcbc", u"bc", 2, 3},
                    FindCase{"needle_no_longer_fits", true, u"abcbc", u"bc", 4, -1},
                    FindCase{"start_at_length", false, u"abcbc", u"bc", 5, -1},
                    FindCase{"negative_start", true, u"abcbc", u"bc", -1, -1},
                    FindCase{"empty_needle", true, u"abc", u"", 0, -1},
                    FindCase{"empty_string", true, u"", u"a", 0, -1},
                    // positions count bytes in a narrow string
                    FindCase{"converted_needle_n", false, u"\x00E9t\x00E9", u"t\x00E9", 0, 2}),
    [](const testing::TestParamInfo<FindCase>& info) { return info.param.name; });

TEST(GStringSearch, FindNullText) {
    GString s;
    Set(s, std::u16string(u"abc"));
    EXPECT_EQ(s.Find(nullptr, 0, 1), -1);
    EXPECT_EQ(s.FindNarrow(nullptr, 0, 1), -1);
    EXPECT_EQ(s.FindNarrow("\xC3\x28", 0, 2), -1) << "invalid UTF-8 needle on a wide string";
}

TEST(GStringSearch, FindLastUnit) {
    for (bool wide : {true, false}) {
        GString s;
        SetIn(s, wide, u"C:\\dir\\file");
        EXPECT_EQ(s.FindLastUnit(u'\\', 0), 6) << wide;
        EXPECT_EQ(s.FindLastUnit(u'\\', 7), -1) << wide;
        EXPECT_EQ(s.FindLastUnit(u'\\', -1), -1) << wide;
        EXPECT_EQ(s.FindLastUnit(u'\\', 11), -1) << wide;
    }
    GString narrow;
    SetIn(narrow, false, u"\x00E9x\x00E9y");
    EXPECT_EQ(narrow.FindLastUnit(0x00E9, 0), 3) << "byte position of the last sequence";
    EXPECT_EQ(narrow.FindLastUnit(0x00E9, 4), -1);
    GString empty;
    EXPECT_EQ(empty.FindLastUnit(u'a', 0), -1);
}

TEST(GStringSearch, EnsureSuffix) {
    for (bool wide : {true, false}) {
        GString s;
        SetIn(s, wide, u"C:\\dir\\");
        EXPECT_EQ(s.EnsureSuffix(u"\\", 1), 1);
        EXPECT_EQ(TextOf(s), u"C:\\dir\\");
        SetIn(s, wide, u"C:\\dir");
        EXPECT_EQ(s.EnsureSuffix(u"\\", -1), 1);
        EXPECT_EQ(TextOf(s), u"C:\\dir\\");
        EXPECT_EQ(s.EnsureSuffixNarrow("ir\\", -1), 1);
        EXPECT_EQ(TextOf(s), u"C:\\dir\\") << "already ends with it";
        EXPECT_EQ(s.EnsureSuffixNarrow(".txt", -1), 1);
        EXPECT_EQ(TextOf(s), u"C:\\dir\\.txt");
        EXPECT_EQ(s.EnsureSuffix(nullptr, 1), 0);
        EXPECT_EQ(s.EnsureSuffix(u"", -1), 0);
        EXPECT_EQ(s.EnsureSuffix(u"x", 0), 0);
        EXPECT_EQ(s.EnsureSuffixNarrow("", -1), 0);
        EXPECT_EQ(TextOf(s), u"C:\\dir\\.txt");
    }
    GString empty;
    EXPECT_EQ(empty.EnsureSuffix(u"ab", 2), 1);
    EXPECT_EQ(NarrowOf(empty), "ab") << "a suffix longer than the string is appended";
}

struct PathCase {
    const char* name;
    std::u16string base;
    std::u16string component;
    std::u16string joined;
};

class AppendPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(AppendPathTest, OneBackslashBetweenTheParts) {
    const PathCase& c = GetParam();
    for (bool wide : {true, false}) {
        GString s;
        SetIn(s, wide, c.base);
        EXPECT_EQ(s.AppendPath(c.component.data(), int(c.component.size())), 1);
        EXPECT_EQ(TextOf(s), c.joined) << (wide ? "wide" : "narrow") << ", wide component";
        EXPECT_EQ(s.IsWide(), wide);

        SetIn(s, wide, c.base);
        GString component;
        SetIn(component, false, c.component);
        EXPECT_EQ(s.AppendPathNarrow(component.NarrowText(0), component.Length()), 1);
        EXPECT_EQ(TextOf(s), c.joined) << (wide ? "wide" : "narrow") << ", narrow component";

        SetIn(s, wide, c.base);
        SetIn(component, !wide, c.component);
        EXPECT_EQ(&s.AppendPathString(component), &s);
        EXPECT_EQ(TextOf(s), c.joined) << (wide ? "wide" : "narrow") << ", string component";
    }
}

INSTANTIATE_TEST_SUITE_P(
    GStringSearch, AppendPathTest,
    testing::Values(
        PathCase{"plain", u"C:\\dir", u"file", u"C:\\dir\\file"},
        PathCase{"base_ends_with_backslash", u"C:\\dir\\", u"file", u"C:\\dir\\file"},
        PathCase{"leading_backslash", u"C:\\dir", u"\\file", u"C:\\dir\\file"},
        PathCase{"leading_slash", u"C:\\dir", u"/file", u"C:\\dir\\file"},
        PathCase{"only_one_separator_dropped", u"C:\\dir", u"\\\\file", u"C:\\dir\\\\file"},
        PathCase{"lone_backslash", u"C:\\dir", u"\\", u"C:\\dir\\"},
        PathCase{"empty_component", u"C:\\dir", u"", u"C:\\dir\\"},
        PathCase{"empty_base", u"", u"file", u"\\file"},
        PathCase{"inner_and_trailing_kept", u"C:\\a/", u"b\\c/", u"C:\\a/\\b\\c/"},
        PathCase{"non_ascii", u"C:\\d\x00E9j\x00E0", u"\x00FC", u"C:\\d\x00E9j\x00E0\\\x00FC"}),
    [](const testing::TestParamInfo<PathCase>& info) { return info.param.name; });

TEST(GStringSearch, AppendPathNullAndOwnText) {
    GString s;
    Set(s, std::u16string(u"C:\\dir"));
    EXPECT_EQ(s.AppendPath(nullptr, 3), 1);
    EXPECT_EQ(WideOf(s), u"C:\\dir\\");

    // Joining a part of its own text, across a reallocation.
    Set(s, std::u16string(27, u'd'));
    ASSERT_EQ(s.AppendPath(s.WideText(20), -1), 1);
    EXPECT_EQ(WideOf(s), std::u16string(27, u'd') + u"\\" + std::u16string(7, u'd'));

    GString bad;
    Set(bad, std::u16string(u"C:"));
    EXPECT_EQ(bad.AppendPathNarrow("\xC3\x28", 2), 0);
    EXPECT_EQ(WideOf(bad), u"C:");
}

TEST(GStringSearch, ChainedPathJoins) {
    GString base, a, b;
    Set(base, std::u16string(u"C:\\Program Files"));
    Set(a, std::string("Lipowa Labs"));
    Set(b, std::u16string(u"\\Kreska"));
    base.AppendPathString(a).AppendPathString(b);
    EXPECT_EQ(WideOf(base), u"C:\\Program Files\\Lipowa Labs\\Kreska");
}

TEST(GStringSearch, ToUpper) {
    GString wide;
    Set(wide, std::u16string(u"stra\x00DF"
                             u"e \x01C5 \x00B5 \x0101\x0430"));
    ASSERT_EQ(wide.ToUpper(), 1);
    EXPECT_EQ(WideOf(wide),
              u"STRA\x00DF"
              u"E \x01C4 \x00B5 \x0100\x0410");

    GString narrow;
    Set(narrow, std::string("stra\xC3\x9F"
                            "e"));
    ASSERT_EQ(narrow.ToUpper(), 1);
    EXPECT_FALSE(narrow.IsWide());
    EXPECT_EQ(NarrowOf(narrow),
              "STRA\xC3\x9F"
              "E");

    GString invalid;
    Set(invalid, std::string("ab\xC3\x28"));
    EXPECT_EQ(invalid.ToUpper(), 0);
    EXPECT_EQ(NarrowOf(invalid), "ab\xC3\x28");

    GString empty;
    EXPECT_EQ(empty.ToUpper(), 1);
}

TEST(GStringSearch, AppendNewline) {
    GString wide;
    Set(wide, std::u16string(u"a"));
    ASSERT_TRUE(wide.AppendNewline());
    EXPECT_EQ(WideOf(wide), u"a\r\n");
    GString narrow;
    ASSERT_TRUE(narrow.AppendNewline());
    EXPECT_EQ(NarrowOf(narrow), "\r\n");
}

// DebugPrint goes through the one replaceable sink.
std::vector<std::u16string>* g_lines = nullptr;

void CollectLine(const char16_t* line) {
    g_lines->push_back(line);
}

class DebugPrintTest : public testing::Test {
protected:
    void SetUp() override {
        g_lines = &lines;
        previous = SetDebugSink(CollectLine);
    }
    void TearDown() override {
        SetDebugSink(previous);
        g_lines = nullptr;
    }
    std::vector<std::u16string> lines;
    DebugSink previous = nullptr;
};

std::u16string Letters(int n) {
    std::u16string text;
    for (int i = 0; i < n; ++i) text += char16_t(u'a' + i % 26);
    return text;
}

TEST_F(DebugPrintTest, SplitsIntoLinesOfEightyCharacters) {
    GString s;
    const std::u16string text = Letters(200);
    Set(s, text);
    s.DebugPrint(65535);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], text.substr(0, 80) + u" \\\n");
    EXPECT_EQ(lines[1], text.substr(80, 80) + u" \\\n");
    EXPECT_EQ(lines[2], text.substr(160) + u"\n");
}

TEST_F(DebugPrintTest, StopsAtTheMaximum) {
    GString s;
    const std::u16string text = Letters(200);
    Set(s, text);
    s.DebugPrint(100);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], text.substr(0, 80) + u" \\\n");
    EXPECT_EQ(lines[1], text.substr(80, 20) + u"\n");
}

TEST_F(DebugPrintTest, LastFullLineEndsWithLineFeedAlone) {
    GString s;
    const std::u16string text = Letters(160);
    Set(s, text);
    s.DebugPrint(65535);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], text.substr(80) + u"\n");
}

TEST_F(DebugPrintTest, NarrowTextSplitsAfterWholeCharacters) {
    GString s;
    std::u16string text(90, u'\x00E9');
    text[85] = u'\x20AC';
    SetIn(s, false, text);
    ASSERT_EQ(s.Length(), 181);
    s.DebugPrint(65535);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], text.substr(0, 80) + u" \\\n");
    EXPECT_EQ(lines[1], text.substr(80) + u"\n");
}

TEST_F(DebugPrintTest, EmptyTextAndLineLengthZero) {
    GString empty;
    empty.DebugPrint(100);
    EXPECT_TRUE(lines.empty());

    GString s;
    Set(s, Letters(100));
    s.SetDebugLineLength(0);
    s.DebugPrint(65535);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], Letters(100) + u"\n");
}

}  // namespace
