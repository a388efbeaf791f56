#include "TextCodecs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::string;

struct EncodeCase {
    const char* name;
    std::u16string units;
    Bytes bytes;
};

class Utf16ToUtf8Test : public testing::TestWithParam<EncodeCase> {};

TEST_P(Utf16ToUtf8Test, WritesEachUnitOnItsOwn) {
    const EncodeCase& c = GetParam();
    const int count = int(c.units.size());
    ASSERT_EQ(Utf8SizeOfUtf16(c.units.data(), count, 0), int(c.bytes.size()));
    std::vector<char> out(c.bytes.size() + 4, '#');
    ASSERT_EQ(Utf16ToUtf8(c.units.data(), out.data(), count, 0), int(c.bytes.size()));
    EXPECT_EQ(Bytes(out.data(), c.bytes.size()), c.bytes);
    EXPECT_EQ(out[c.bytes.size()], '#') << "wrote past the converted text";
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, Utf16ToUtf8Test,
    testing::Values(
        EncodeCase{"ascii_latin_euro", u"\x0041\x00E9\x20AC", "\x41\xC3\xA9\xE2\x82\xAC"},
        EncodeCase{"surrogate_pair_as_two_sequences", u"\xD83D\xDE00", "\xED\xA0\xBD\xED\xB8\x80"},
        EncodeCase{"zero_unit_is_one_zero_byte", std::u16string(u"A\0B", 3), Bytes("A\0B", 3)},
        EncodeCase{"two_byte_bounds", u"\x0080\x07FF", "\xC2\x80\xDF\xBF"},
        EncodeCase{"three_byte_bounds", u"\x0800\xFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"}),
    [](const testing::TestParamInfo<EncodeCase>& info) { return info.param.name; });

struct DecodeCase {
    const char* name;
    Bytes bytes;
    int result;  // units written, or -1
    std::u16string units;
};

class Utf8ToUtf16Test : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8ToUtf16Test, DecodesOrRefusesTheWholeText) {
    const DecodeCase& c = GetParam();
    const int count = int(c.bytes.size());
    const int bound = Utf16SizeOfUtf8(c.bytes.data(), count, 0);
    std::vector<char16_t> out(size_t(bound) + 2, u'#');
    const int written = Utf8ToUtf16(c.bytes.data(), out.data(), count, 0);
    ASSERT_EQ(written, c.result);
    if (written >= 0) {
        EXPECT_LE(written, bound) << "the size estimate must cover the decoded text";
        EXPECT_EQ(std::u16string(out.data(), size_t(written)), c.units);
    }
    EXPECT_EQ(out[size_t(bound)], u'#') << "wrote past the estimated size";
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, Utf8ToUtf16Test,
    testing::Values(DecodeCase{"two_byte", "\xC3\xA9", 1, u"\x00E9"},
                    DecodeCase{"three_byte", "\xE2\x82\xAC", 1, u"\x20AC"},
                    DecodeCase{"overlong_zero_accepted", "\xC0\x80", 1, std::u16string(1, u'\0')},
                    DecodeCase{"encoded_surrogates_accepted", "\xED\xA0\xBD\xED\xB8\x80", 2,
                               u"\xD83D\xDE00"},
                    DecodeCase{"mixed", "a\xC3\xA9z", 3, u"a\x00E9z"},
                    DecodeCase{"bad_continuation_C3_28", "\xC3\x28", -1, u""},
                    DecodeCase{"lone_lead", "\xC3", -1, u""},
                    DecodeCase{"lead_then_ascii", "\xC3\x41", -1, u""},
                    DecodeCase{"continuation_as_lead", "\x80", -1, u""},
                    DecodeCase{"four_byte_refused", "\xF0\x9F\x98\x80", -1, u""},
                    DecodeCase{"three_byte_cut", "\xE2\x82", -1, u""},
                    DecodeCase{"three_byte_cut_after_text", "ab\xE2", -1, u""},
                    DecodeCase{"three_byte_bad_last", "\xE2\x82\x41", -1, u""},
                    DecodeCase{"byte_FF", "\xFF", -1, u""},
                    DecodeCase{"five_byte_lead", "\xF8\x88\x80\x80\x80", -1, u""}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

TEST(TextCodecs, SurrogatePairRoundTrips) {
    const char16_t pair[] = {0xD83D, 0xDE00};
    char bytes[6];
    ASSERT_EQ(Utf16ToUtf8(pair, bytes, 2, 0), 6);
    char16_t back[2];
    ASSERT_EQ(Utf8ToUtf16(bytes, back, 6, 0), 2);
    EXPECT_EQ(back[0], pair[0]);
    EXPECT_EQ(back[1], pair[1]);
}

TEST(TextCodecs, SizeOfUtf8CountsLeadBytesAndStopsAtAStrayByte) {
    struct Case {
        Bytes bytes;
        int units;
    } cases[] = {
        {"\xF0\x9F\x98\x80", 1},  // counted, though the decoder refuses it
        {"\x41\x80\x42", 2},      // the stray byte counts and ends the walk
        {"\xC3\xA9\x41", 2},
        {"\xE2\x82\xAC", 1},
        {"\xC3", 1},  // cut sequence
        {"abc", 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf16SizeOfUtf8(c.bytes.data(), int(c.bytes.size()), 0), c.units) << c.bytes;
    }
}

TEST(TextCodecs, HintsAreReturnedUnchanged) {
    EXPECT_EQ(Utf16SizeOfUtf8("abc", 3, 7), 7);
    EXPECT_EQ(Utf8SizeOfUtf16(u"abc", 3, 9), 9);
    EXPECT_EQ(Utf8SizeOfUtf16(u"abc", 3, 0), 3);
}

TEST(TextCodecs, EmptyInputAndNullOutput) {
    char bytes[4];
    char16_t units[4];
    EXPECT_EQ(Utf8SizeOfUtf16(nullptr, 5, 0), 0);
    EXPECT_EQ(Utf16SizeOfUtf8(nullptr, 5, 0), 0);
    EXPECT_EQ(Utf16ToUtf8(nullptr, bytes, 5, 0), 0);
    EXPECT_EQ(Utf8ToUtf16(nullptr, units, 5, 0), 0);
    EXPECT_EQ(Utf16ToUtf8(u"abc", bytes, 0, 0), 0);
    EXPECT_EQ(Utf8ToUtf16("abc", units, 0, 0), 0);
    EXPECT_EQ(Utf16ToUtf8(u"abc", nullptr, 3, 0), -1);
    EXPECT_EQ(Utf8ToUtf16("abc", nullptr, 3, 0), -1);
}

TEST(TextCodecs, NegativeCountsMeanUpToTheTerminator) {
    EXPECT_EQ(NarrowLength("h\xC3\xA9llo"), 6);
    EXPECT_EQ(WideLength(u"h\x00E9llo"), 5);
    EXPECT_EQ(Utf8SizeOfUtf16(u"h\x00E9llo", -1, 0), 6);
    EXPECT_EQ(Utf16SizeOfUtf8("h\xC3\xA9llo", -1, 0), 5);
    char16_t units[8] = {};
    ASSERT_EQ(Utf8ToUtf16("h\xC3\xA9llo", units, -1, 0), 5);
    EXPECT_EQ(std::u16string(units), u"h\x00E9llo");
}

TEST(TextCodecs, AShortOutputIsNeverOverrun) {
    // Decoding: two units do not fit an output of one; the text is refused.
    char16_t units[3] = {u'#', u'#', u'#'};
    EXPECT_EQ(Utf8ToUtf16("ab", units, 2, 1), -1);
    EXPECT_EQ(units[1], u'#');
    // Encoding stops before a sequence that would not fit.
    char bytes[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(Utf16ToUtf8(u"a\x20AC", bytes, 2, 3), 1);
    EXPECT_EQ(bytes[1], '#');
}

TEST(TextCodecs, SkipCharsStepsOverWholeCharacters) {
    const char text[] = "\x41\xC3\xA9\x42";
    EXPECT_EQ(Utf8SkipChars(text, 2, 4), text + 3);
    EXPECT_EQ(Utf8SkipChars(text, 0, 4), text);
    EXPECT_EQ(Utf8SkipChars(text, 4, 4), nullptr);   // the whole text fits
    EXPECT_EQ(Utf8SkipChars(text, 3, 4), text + 4);  // the limit is the byte count, not characters
    EXPECT_EQ(Utf8SkipChars(text, -1, 4), nullptr);
    EXPECT_EQ(Utf8SkipChars(text, 1, 0), nullptr);
    EXPECT_EQ(Utf8SkipChars(nullptr, 1, 4), nullptr);
    EXPECT_EQ(Utf8SkipChars(text, 2, -1), text + 3);
    // A stray continuation byte in lead position is stepped over like a
    // four-byte form and stops the walk.
    const char stray[] =
        "\x80"
        "ABCDE";
    EXPECT_EQ(Utf8SkipChars(stray, 2, 6), stray + 4);
}

TEST(TextCodecs, SkipCharReportsTheEndOfTheBytes) {
    const char text[] =
        "\xE2\x82\xAC"
        "A";
    const char* cursor = text;
    int remaining = 4;
    EXPECT_EQ(Utf8SkipChar(&cursor, &remaining), 1);
    EXPECT_EQ(cursor, text + 3);
    EXPECT_EQ(remaining, 1);
    EXPECT_EQ(Utf8SkipChar(&cursor, &remaining), 0);  // nothing remains after A
    EXPECT_EQ(cursor, text + 4);
    EXPECT_EQ(Utf8SkipChar(&cursor, &remaining), 0);  // nothing to read
    EXPECT_EQ(cursor, text + 4);

    const char cut[] = "\xE2\x82";
    cursor = cut;
    remaining = 2;
    EXPECT_EQ(Utf8SkipChar(&cursor, &remaining), 0);
    EXPECT_EQ(cursor, cut + 2) << "must not step past the bytes it was given";
}

}  // namespace
