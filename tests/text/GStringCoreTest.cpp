#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "GString.h"
#include "TextTestUtil.h"

namespace {

TEST(GStringCore, DefaultStringHasNoBlockAndSharedEmptyTexts) {
    GString a;
    GString b;
    EXPECT_FALSE(a.IsWide());
    EXPECT_EQ(a.Length(), 0);
    EXPECT_EQ(a.Capacity(), 0);
    ASSERT_NE(a.NarrowText(0), nullptr);
    ASSERT_NE(a.WideText(0), nullptr);
    EXPECT_EQ(a.NarrowText(0)[0], 0);
    EXPECT_EQ(a.WideText(0)[0], 0);
    EXPECT_EQ(a.NarrowText(0), b.NarrowText(0)) << "one shared empty narrow string";
    EXPECT_EQ(a.WideText(0), b.WideText(0)) << "one shared empty wide string";
    EXPECT_EQ(a.Terminate(), nullptr);
    EXPECT_EQ(a.Compact(), 0);
    EXPECT_EQ(a.FreeSpace(), 0);
}

TEST(GStringCore, FillConstructor) {
    GString stars(u'*', 5);
    EXPECT_TRUE(stars.IsWide());
    EXPECT_EQ(WideOf(stars), u"*****");
    EXPECT_EQ(stars.WideText(0)[5], 0);

    GString none(u'*', 0);
    EXPECT_TRUE(none.IsWide());
    EXPECT_EQ(none.Length(), 0);
    EXPECT_EQ(none.Capacity(), 0);
}

TEST(GStringCore, FirstWideAppendTakesOneGranule) {
    GString s;
    s.AssignWide(nullptr, 0);
    ASSERT_TRUE(s.AppendUnits(u"abcde", 5));
    EXPECT_EQ(s.Capacity(), 64);
    EXPECT_EQ(s.FreeSpace(), 29 - 5);  // (64 - 4) / 2 - 1 units fit
}

TEST(GStringCore, GrowthAddsAtLeastHalfTheLength) {
    GString s;
    ASSERT_TRUE(s.AppendNarrowRepeated('x', 123));
    ASSERT_EQ(s.Capacity(), 128);  // 123 bytes + terminator + header word
    ASSERT_TRUE(s.DropFront(23));  // 100 bytes left, and no room after them
    ASSERT_EQ(s.Length(), 100);
    ASSERT_EQ(s.FreeSpace(), 0);
    ASSERT_TRUE(s.AppendBytes("y", 1));
    EXPECT_EQ(s.Capacity(), 192);  // 150 bytes asked for: 155 with terminator and header
    EXPECT_EQ(s.HeadOffset(), 0);
    EXPECT_EQ(NarrowOf(s), std::string(100, 'x') + "y");
}

TEST(GStringCore, GrowthKeepsTheTextAndGranularBlocks) {
    GString s;
    s.AssignWide(nullptr, 0);
    std::u16string expected;
    for (int i = 0; i < 1000; ++i) {
        const char16_t unit = char16_t(0x100 + i);
        ASSERT_TRUE(s.AppendUnits(&unit, 1));
        expected += unit;
        ASSERT_EQ(s.Capacity() % 64, 0) << "after " << i + 1 << " units";
    }
    EXPECT_EQ(WideOf(s), expected);
    EXPECT_EQ(s.WideText(0)[1000], 0);
}

TEST(GStringCore, ReserveRules) {
    GString s;
    EXPECT_EQ(s.Reserve(-1), 1);
    EXPECT_EQ(s.Capacity(), 0);
    EXPECT_EQ(s.Reserve(0), 0) << "nothing to compact without a block";

    Set(s, std::string("0123456789"));
    ASSERT_TRUE(s.DropFront(4));
    const int capacity = s.Capacity();
    EXPECT_EQ(s.Reserve(3), 1);  // at most the length: compacts
    EXPECT_EQ(s.HeadOffset(), 0);
    EXPECT_EQ(NarrowOf(s), "456789");

    ASSERT_TRUE(s.DropFront(2));
    const int freeBefore = s.FreeSpace();
    EXPECT_EQ(s.Reserve(s.Length() + freeBefore + 1), 1);  // fits the block only from its start
    EXPECT_EQ(s.Capacity(), capacity);
    EXPECT_EQ(s.HeadOffset(), 0);
    EXPECT_EQ(NarrowOf(s), "6789");
}

TEST(GStringCore, EnsureRoom) {
    GString s;
    EXPECT_EQ(s.EnsureRoom(0), 1);
    EXPECT_EQ(s.EnsureRoom(-5), 1);
    EXPECT_EQ(s.Capacity(), 0);
    EXPECT_EQ(s.EnsureRoom(10), 1);
    EXPECT_GE(s.FreeSpace(), 10);
}

TEST(GStringCore, ClearKeepsModeAndBlock) {
    GString s;
    Set(s, std::u16string(u"abc"));
    const int capacity = s.Capacity();
    s.Clear();
    EXPECT_TRUE(s.IsWide());
    EXPECT_EQ(s.Length(), 0);
    EXPECT_EQ(s.Capacity(), capacity);
}

TEST(GStringCore, TextAccessByPosition) {
    GString s;
    Set(s, std::string("abc"));
    const char* start = s.NarrowText(0);
    EXPECT_STREQ(start, "abc");
    EXPECT_STREQ(s.NarrowText(1), "bc");
    EXPECT_EQ(s.NarrowText(10), start + 3) << "clamped to the terminator";
    GString empty;
    EXPECT_EQ(s.NarrowText(-1), empty.NarrowText(0));
    EXPECT_EQ(s.WideText(0), empty.WideText(0)) << "a narrow string never converts on access";
}

TEST(GStringCore, ToWideConvertsAndSwitchesMode) {
    GString s;
    Set(s, std::string("abc"));
    ASSERT_NE(s.ToWide(-1), nullptr);
    EXPECT_TRUE(s.IsWide());
    EXPECT_EQ(WideOf(s), u"abc");

    Set(s, std::string("h\xC3\xA9"));
    ASSERT_NE(s.ToWide(0), nullptr);
    EXPECT_EQ(WideOf(s), u"h\x00E9");
    EXPECT_NE(s.ToWide(-1), nullptr) << "already wide";
}

TEST(GStringCore, ToWideRefusesInvalidUtf8AndKeepsTheBytes) {
    GString s;
    Set(s, std::string("\xC3\x28"));
    EXPECT_EQ(s.ToWide(-1), nullptr);
    EXPECT_FALSE(s.IsWide());
    EXPECT_EQ(NarrowOf(s), "\xC3\x28");
}

TEST(GStringCore, ToNarrow) {
    GString s;
    Set(s, std::u16string(u"h\x00E9\x20AC"));
    ASSERT_NE(s.ToNarrow(-1), nullptr);
    EXPECT_FALSE(s.IsWide());
    EXPECT_EQ(NarrowOf(s), "h\xC3\xA9\xE2\x82\xAC");

    GString empty;
    empty.AssignWide(nullptr, 0);
    const char* text = empty.ToNarrow(-1);
    ASSERT_NE(text, nullptr);
    EXPECT_FALSE(empty.IsWide());
    EXPECT_EQ(text, GString().NarrowText(0));
}

struct CountedCase {
    const char* name;
    uint32_t header;
    std::string payload;  // the bytes after the header
    bool wide;
    std::u16string text;
};

class AssignCountedTest : public testing::TestWithParam<CountedCase> {};

TEST_P(AssignCountedTest, ModeAndLengthComeFromTheHeader) {
    const CountedCase& c = GetParam();
    // One byte in front so that the block is not aligned, as inside a blob.
    std::string blob(1, '\x55');
    for (int i = 0; i < 4; ++i) blob += char((c.header >> (8 * i)) & 0xFF);
    blob += c.payload;
    GString s;
    ASSERT_EQ(s.AssignCounted(reinterpret_cast<const CountedText*>(blob.data() + 1)), 1);
    EXPECT_EQ(s.IsWide(), c.wide);
    if (c.wide) {
        EXPECT_EQ(WideOf(s), c.text);
    } else {
        EXPECT_EQ(NarrowOf(s), std::string(c.text.begin(), c.text.end()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    GStringCore, AssignCountedTest,
    testing::Values(CountedCase{"wide", 3, std::string("a\0b\0c\0", 6), true, u"abc"},
                    CountedCase{"narrow", 0x80000003u, "abc", false, u"abc"},
                    CountedCase{"narrow_bits_29_30_ignored", 0xE0000003u, "abc", false, u"abc"},
                    CountedCase{"wide_bits_29_30_ignored", 0x60000003u, std::string("a\0b\0c\0", 6),
                                true, u"abc"},
                    CountedCase{"narrow_keeps_bytes_unvalidated", 0x80000002u, "\xC3\x28", false,
                                u"\x00C3\x0028"},
                    CountedCase{"empty_wide", 0, "", true, u""}),
    [](const testing::TestParamInfo<CountedCase>& info) { return info.param.name; });

TEST(GStringCore, AssignCountedNullEmptiesAndFails) {
    GString s;
    Set(s, std::u16string(u"abc"));
    EXPECT_EQ(s.AssignCounted(nullptr), 0);
    EXPECT_EQ(s.Length(), 0);
    EXPECT_TRUE(s.IsWide()) << "mode unchanged";
}

TEST(GStringCore, WidthSpecificAppendsRefuseTheOtherMode) {
    GString wide;
    Set(wide, std::u16string(u"w"));
    EXPECT_EQ(wide.AppendBytes("x", 1), 0);
    EXPECT_EQ(wide.AppendBytes(nullptr, 0), 0) << "wide receivers refuse bytes in every case";
    EXPECT_EQ(WideOf(wide), u"w");

    GString narrow;
    Set(narrow, std::string("n"));
    EXPECT_EQ(narrow.AppendUnits(u"x", 1), 0);
    EXPECT_EQ(narrow.AppendUnit(u'x'), 0);
    EXPECT_EQ(NarrowOf(narrow), "n");
}

TEST(GStringCore, NullOrZeroCountAppendsNothing) {
    GString s;
    Set(s, std::u16string(u"ab"));
    EXPECT_EQ(s.AppendUnits(nullptr, 5), 1);
    EXPECT_EQ(s.AppendUnits(u"zz", 0), 1);
    EXPECT_EQ(s.AppendWide(nullptr, -1), 1);
    EXPECT_EQ(s.AppendNarrow(nullptr, -1), 1);
    EXPECT_EQ(WideOf(s), u"ab");
}

TEST(GStringCore, AppendAcrossWidthsConverts) {
    GString narrow;
    Set(narrow, std::string("caf"));
    ASSERT_TRUE(narrow.AppendWide(u"\x00E9", 1));
    EXPECT_EQ(NarrowOf(narrow), "caf\xC3\xA9");

    GString wide;
    Set(wide, std::u16string(u"caf"));
    ASSERT_TRUE(wide.AppendNarrow("\xC3\xA9!", -1));
    EXPECT_EQ(WideOf(wide), u"caf\x00E9!");
}

TEST(GStringCore, AppendNarrowIsAllOrNothing) {
    GString wide;
    Set(wide, std::u16string(u"ok"));
    EXPECT_EQ(wide.AppendNarrow("abc\xC3\x28", -1), 0);
    EXPECT_EQ(WideOf(wide), u"ok");
    EXPECT_EQ(wide.WideText(0)[2], 0) << "terminator restored over the partial decode";
    EXPECT_EQ(wide.AppendNarrow("\xF0\x9F\x98\x80", 4), 0);
    EXPECT_EQ(WideOf(wide), u"ok");

    GString narrow;
    ASSERT_TRUE(narrow.AppendNarrow("\xC3\x28", 2)) << "narrow receivers copy bytes unchanged";
    EXPECT_EQ(NarrowOf(narrow), "\xC3\x28");
}

TEST(GStringCore, AppendBytesCopiesZeroBytes) {
    GString s;
    ASSERT_TRUE(s.AppendBytes("a\0b", 3));
    EXPECT_EQ(NarrowOf(s), std::string("a\0b", 3));
}

TEST(GStringCore, AppendAnotherString) {
    struct Case {
        bool receiverWide, otherWide;
    } cases[] = {{false, false}, {false, true}, {true, false}, {true, true}};
    for (const Case& c : cases) {
        GString receiver, other;
        if (c.receiverWide)
            Set(receiver, std::u16string(u"a"));
        else
            Set(receiver, std::string("a"));
        if (c.otherWide)
            Set(other, std::u16string(u"\x00E9"));
        else
            Set(other, std::string("\xC3\xA9"));
        ASSERT_TRUE(receiver.Append(other));
        EXPECT_EQ(receiver.IsWide(), c.receiverWide) << "appending never changes the mode";
        if (c.receiverWide) {
            EXPECT_EQ(WideOf(receiver), u"a\x00E9");
        } else {
            EXPECT_EQ(NarrowOf(receiver), "a\xC3\xA9");
        }
    }
}

TEST(GStringCore, AppendingItselfSurvivesGrowth) {
    GString s;
    Set(s, std::u16string(28, u'q'));  // a full 64-byte block
    ASSERT_TRUE(s.Append(s));
    EXPECT_EQ(WideOf(s), std::u16string(56, u'q'));
    ASSERT_TRUE(s.AppendUnits(s.WideText(50), -1));
    EXPECT_EQ(WideOf(s), std::u16string(62, u'q'));

    GString n;
    Set(n, std::string("abc"));
    ASSERT_TRUE(n.AppendBytes(n.NarrowText(0), 3));
    EXPECT_EQ(NarrowOf(n), "abcabc");
}

TEST(GStringCore, RepeatedAppends) {
    GString narrow;
    EXPECT_EQ(narrow.AppendWideRepeated(0x41, 3), 1);
    EXPECT_EQ(NarrowOf(narrow), "AAA");
    EXPECT_EQ(narrow.AppendWideRepeated(0x416, 1), 0);
    EXPECT_EQ(narrow.AppendNarrowRepeated('\xC3', 2), 1) << "bytes go in unchanged";
    EXPECT_EQ(NarrowOf(narrow), "AAA\xC3\xC3");

    GString wide;
    wide.AssignWide(nullptr, 0);
    EXPECT_EQ(wide.AppendNarrowRepeated('B', 2), 1);
    EXPECT_EQ(wide.AppendNarrowRepeated('\x80', 2), 0);
    EXPECT_EQ(wide.AppendWideRepeated(0x416, 2), 1);
    EXPECT_EQ(WideOf(wide), u"BB\x0416\x0416");

    EXPECT_EQ(wide.AppendWideRepeated(0, 5), 1);
    EXPECT_EQ(wide.AppendWideRepeated(u'x', 0), 1);
    EXPECT_EQ(wide.AppendNarrowRepeated('x', -3), 1);
    EXPECT_EQ(wide.Length(), 4);
}

TEST(GStringCore, AppendUnitTakesAnyUnit) {
    GString s;
    s.AssignWide(nullptr, 0);
    ASSERT_TRUE(s.AppendUnit(u'a'));
    ASSERT_TRUE(s.AppendUnit(0));
    ASSERT_TRUE(s.AppendUnit(u'b'));
    s.Terminate();
    EXPECT_EQ(WideOf(s), std::u16string(u"a\0b", 3));
}

TEST(GStringCore, AssignForms) {
    GString source;
    Set(source, std::string("h\xC3\xA9"));
    GString s;
    Set(s, std::u16string(u"old"));
    ASSERT_TRUE(s.Assign(source));
    EXPECT_FALSE(s.IsWide());
    EXPECT_EQ(NarrowOf(s), "h\xC3\xA9");

    ASSERT_TRUE(s.AssignAsWide(&source));
    EXPECT_TRUE(s.IsWide());
    EXPECT_EQ(WideOf(s), u"h\x00E9");

    ASSERT_TRUE(s.AssignAsNarrow(&s));
    EXPECT_EQ(NarrowOf(s), "h\xC3\xA9");

    ASSERT_TRUE(s.AssignNarrowAsWide("\xE2\x82\xAC", -1));
    EXPECT_EQ(WideOf(s), u"\x20AC");

    ASSERT_TRUE(s.AssignWideCString(u"cstr"));
    EXPECT_EQ(WideOf(s), u"cstr");

    ASSERT_TRUE(s.AssignNarrow("bytes", 3));
    EXPECT_EQ(NarrowOf(s), "byt");

    ASSERT_TRUE(s.AssignWide(u"tail", -1));
    ASSERT_TRUE(s.AssignWide(s.WideText(2), -1)) << "from its own text";
    EXPECT_EQ(WideOf(s), u"il");
}

TEST(GStringCore, AssignFromNullOrInvalidText) {
    GString s;
    Set(s, std::string("x"));
    EXPECT_EQ(s.AssignAsWide(nullptr), 0);
    EXPECT_TRUE(s.IsWide());
    EXPECT_EQ(s.Length(), 0);

    EXPECT_EQ(s.AssignAsNarrow(nullptr), 0);
    EXPECT_FALSE(s.IsWide());
    EXPECT_EQ(s.Length(), 0);

    GString invalid;
    Set(invalid, std::string("ab\xC3\x28"));
    EXPECT_EQ(s.AssignAsWide(&invalid), 0);
    EXPECT_TRUE(s.IsWide());
    EXPECT_EQ(s.Length(), 0);
    EXPECT_EQ(s.AssignNarrowAsWide("\xF0\x9F\x98\x80", 4), 0);
    EXPECT_EQ(s.Length(), 0);
}

TEST(GStringCore, WideBufferAndSetLength) {
    GString s;
    s.Clear();
    char16_t* area = s.WideBuffer(261);
    ASSERT_NE(area, nullptr);
    EXPECT_TRUE(s.IsWide());
    EXPECT_GE(s.FreeSpace(), 261);
    const char16_t windows[] = u"C:\\Windows";
    std::memcpy(area, windows, sizeof windows);  // ten units and the terminator
    ASSERT_TRUE(s.SetLength(-1));
    EXPECT_EQ(s.Length(), 10);
    EXPECT_EQ(WideOf(s), u"C:\\Windows");

    // No zero unit anywhere in the area: the length becomes 0.
    s.Clear();
    area = s.WideBuffer(261);
    ASSERT_NE(area, nullptr);
    const int room = s.FreeSpace();
    for (int i = 0; i < room; ++i) area[i] = u'x';
    ASSERT_TRUE(s.SetLength(-1));
    EXPECT_EQ(s.Length(), 0);

    ASSERT_TRUE(s.SetLength(room + 100));
    EXPECT_EQ(s.Length(), room) << "clamped to the available units";
    EXPECT_EQ(s.WideText(0)[room], 0);
}

TEST(GStringCore, SetLengthWithoutBlockFails) {
    GString s;
    EXPECT_EQ(s.SetLength(3), 0);
    EXPECT_EQ(s.SetLength(-1), 0);
}

TEST(GStringCore, NarrowBufferAndWideBufferSwitchModes) {
    GString s;
    Set(s, std::u16string(u"a\x00E9"));
    char* area = s.NarrowBuffer(4);
    ASSERT_NE(area, nullptr);
    EXPECT_FALSE(s.IsWide());
    std::memcpy(area, "xyz", 4);
    ASSERT_TRUE(s.SetLength(-1));
    EXPECT_EQ(NarrowOf(s), "a\xC3\xA9xyz");

    GString invalid;
    Set(invalid, std::string("\xC3\x28"));
    EXPECT_EQ(invalid.WideBuffer(10), nullptr);
    EXPECT_FALSE(invalid.IsWide());
}

TEST(GStringCore, DropFrontMovesNoMemory) {
    GString s;
    Set(s, std::u16string(u"C:\\file"));
    const char16_t* before = s.WideText(0);
    ASSERT_EQ(s.DropFront(3), 1);
    EXPECT_EQ(WideOf(s), u"file");
    EXPECT_EQ(s.WideText(0), before + 3);
    EXPECT_EQ(s.HeadOffset(), 3);

    EXPECT_EQ(s.DropFront(0), 0);
    EXPECT_EQ(s.DropFront(-2), 0);
    EXPECT_EQ(WideOf(s), u"file");

    ASSERT_EQ(s.DropFront(100), 1);
    EXPECT_EQ(s.Length(), 0);
    EXPECT_EQ(s.HeadOffset(), 0);

    Set(s, std::u16string(u"abcdef"));
    ASSERT_TRUE(s.DropFront(2));
    ASSERT_TRUE(s.Compact());
    EXPECT_EQ(s.HeadOffset(), 0);
    EXPECT_EQ(WideOf(s), u"cdef");
    EXPECT_EQ(s.WideText(0)[4], 0);
}

TEST(GStringCore, OversizedRequestsFailAndKeepTheText) {
    GString s;
    Set(s, std::u16string(u"keep"));
    const int capacity = s.Capacity();
    EXPECT_EQ(s.Reserve(INT_MAX), 0);
    EXPECT_EQ(s.EnsureRoom(INT_MAX), 0);
    EXPECT_EQ(s.AppendWideRepeated(u'x', INT_MAX - 2), 0);
    EXPECT_EQ(s.WideBuffer(INT_MAX), nullptr);
    EXPECT_EQ(WideOf(s), u"keep");
    EXPECT_EQ(s.Capacity(), capacity);

    GString n;
    Set(n, std::string("keep"));
    EXPECT_EQ(n.AppendNarrowRepeated('x', INT_MAX - 4), 0);
    EXPECT_EQ(NarrowOf(n), "keep");
}

TEST(GStringCore, DeletingThroughABasePointer) {
    GString* s = new GString(u'x', 3);
    ASSERT_NE(s->ToNarrow(-1), nullptr);  // creates the scratch string too
    delete s;                             // the sanitizer build reports any leak or double free
}

}  // namespace
