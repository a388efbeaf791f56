// Memory failure is an ordinary result: every operation that needs a block
// returns failure and leaves the string as it was. The test program is linked
// with --wrap=malloc so that the library's allocations can be refused; nothing
// but the operation under test may allocate while a Limit is active (under the
// static Windows runtime, operator new allocates through malloc as well).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "AllocLimit.h"
#include "GString.h"
#include "TextTestUtil.h"

namespace {

enum class Mode { Wide, Narrow };

// Runs op on a fresh string with 0, 1, 2... allocations granted, until it
// succeeds. Each refused run must leave the text, mode and block as they were.
void SweepFailures(Mode mode, const std::u16string& text, const std::function<int(GString&)>& op,
                   const std::function<void(GString&)>& checkSuccess) {
    for (int allowed = 0; allowed < 8; ++allowed) {
        GString s;
        if (mode == Mode::Wide) {
            Set(s, text);
        } else {
            s.AssignNarrow(nullptr, 0);
            s.AppendWide(text.data(), int(text.size()));
        }
        const std::u16string wideBefore = WideOf(s);
        const std::string narrowBefore = NarrowOf(s);
        const int capacityBefore = s.Capacity();
        const bool wideModeBefore = s.IsWide();
        int result;
        {
            Limit limit(allowed);
            result = op(s);
        }
        if (result) {
            checkSuccess(s);
            return;
        }
        SCOPED_TRACE("refused with " + std::to_string(allowed) + " allocations granted");
        EXPECT_EQ(s.IsWide(), wideModeBefore);
        EXPECT_EQ(WideOf(s), wideBefore);
        EXPECT_EQ(NarrowOf(s), narrowBefore);
        EXPECT_EQ(s.Capacity(), capacityBefore);
    }
    ADD_FAILURE() << "the operation never succeeded";
}

const std::u16string kFull(28, u'w');  // fills a 64-byte wide block

TEST(GStringAllocFail, AppendsKeepTheText) {
    SweepFailures(
        Mode::Wide, kFull, [](GString& s) { return s.AppendUnits(u"xyz", 3); },
        [](GString& s) { EXPECT_EQ(WideOf(s), kFull + u"xyz"); });
    SweepFailures(
        Mode::Wide, kFull, [](GString& s) { return s.AppendNarrow("\xC3\xA9", 2); },
        [](GString& s) { EXPECT_EQ(WideOf(s), kFull + u"\x00E9"); });
    SweepFailures(
        Mode::Narrow, std::u16string(59, u'n'),
        [](GString& s) { return s.AppendWide(u"\x20AC", 1); },
        [](GString& s) { EXPECT_EQ(NarrowOf(s), std::string(59, 'n') + "\xE2\x82\xAC"); });
    SweepFailures(
        Mode::Narrow, std::u16string(59, u'n'),
        [](GString& s) { return s.AppendNarrowRepeated('z', 10); },
        [](GString& s) { EXPECT_EQ(s.Length(), 69); });
    SweepFailures(
        Mode::Wide, kFull, [](GString& s) { return s.Append(s); },
        [](GString& s) { EXPECT_EQ(WideOf(s), kFull + kFull); });
}

TEST(GStringAllocFail, ModeChangesAreAllOrNothing) {
    SweepFailures(
        Mode::Narrow, u"abc\x00E9", [](GString& s) { return s.ToWide(-1) != nullptr; },
        [](GString& s) { EXPECT_EQ(WideOf(s), u"abc\x00E9"); });
    SweepFailures(
        Mode::Wide, u"abc\x00E9", [](GString& s) { return s.ToNarrow(-1) != nullptr; },
        [](GString& s) { EXPECT_EQ(NarrowOf(s), "abc\xC3\xA9"); });
    SweepFailures(
        Mode::Narrow, u"abc", [](GString& s) { return s.WideBuffer(300) != nullptr; },
        [](GString& s) { EXPECT_GE(s.FreeSpace(), 300); });
    SweepFailures(
        Mode::Narrow, u"str\x00E9", [](GString& s) { return s.ToUpper(); },
        [](GString& s) { EXPECT_EQ(NarrowOf(s), "STR\xC3\x89"); });
}

TEST(GStringAllocFail, AssignmentsKeepTheOldText) {
    const std::u16string longer(100, u'L');
    SweepFailures(
        Mode::Wide, u"old",
        [&](GString& s) { return s.AssignWide(longer.data(), int(longer.size())); },
        [&](GString& s) { EXPECT_EQ(WideOf(s), longer); });
    const std::string longerNarrow(100, 'L');
    SweepFailures(
        Mode::Narrow, u"old",
        [&](GString& s) { return s.AssignNarrowAsWide(longerNarrow.c_str(), -1); },
        [&](GString& s) { EXPECT_EQ(WideOf(s), longer); });
    GString other;
    other.AssignNarrow("0123456789012345678901234567890123456789", -1);
    SweepFailures(
        Mode::Wide, u"old", [&](GString& s) { return s.AssignAsWide(&other); },
        [](GString& s) { EXPECT_EQ(s.Length(), 40); });
}

TEST(GStringAllocFail, SearchesReportFailureWithoutChangingTheString) {
    GString s;
    Set(s, std::string("abcdef"));
    {
        Limit none(0);
        EXPECT_EQ(s.Find(u"cd", 0, 2), -1) << "conversion needs the scratch string";
    }
    EXPECT_EQ(NarrowOf(s), "abcdef");
    EXPECT_EQ(s.Find(u"cd", 0, 2), 2) << "and works once memory is back";
}

TEST(GStringAllocFail, FillConstructorLeavesAnEmptyWideString) {
    Limit none(0);
    GString s(u'*', 10);
    EXPECT_TRUE(s.IsWide());
    EXPECT_EQ(s.Length(), 0);
    EXPECT_EQ(s.Capacity(), 0);
}

}  // namespace
