// Memory failure while formatting is an ordinary result: the call returns 0
// and the text produced before the failing directive stays, terminated. The
// program is linked with --wrap=malloc so that allocations can be refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "AllocLimit.h"
#include "GString.h"

namespace {

std::u16string WideOf(const GString& s) {
    return std::u16string(s.WideText(0), size_t(s.Length()));
}

bool Terminated(const GString& s) {
    return s.WideText(0)[s.Length()] == 0;
}

// 29 units fill the first 64-byte block exactly.
void FillFirstBlock(GString& s) {
    s.AssignWide(nullptr, 0);
    s.AppendWideRepeated(u'x', 29);
    ASSERT_EQ(s.Capacity(), 64);
    ASSERT_EQ(s.FreeSpace(), 0);
}

TEST(GStringFormatAllocFailTest, FreshTargetStaysEmpty) {
    GString s;
    {
        Limit none(0);
        EXPECT_EQ(FormatInto(s, u"abc%d", 5), 0);
    }
    EXPECT_TRUE(s.IsWide());
    EXPECT_EQ(s.Length(), 0);
}

TEST(GStringFormatAllocFailTest, EachKindOfFieldFailsWithoutTouchingTheText) {
    const unsigned char bytes[] = {1, 2, 3, 4};
    GString other;
    other.AssignWideCString(u"text");
    struct Call {
        const char* name;
        int (*run)(GString&, const unsigned char*, GString&);
    };
    const Call calls[] = {
        {"literal",
         [](GString& s, const unsigned char*, GString&) { return s.AppendFormat(u"a"); }},
        {"integer",
         [](GString& s, const unsigned char*, GString&) { return s.AppendFormat(u"%d", 5); }},
        {"text",
         [](GString& s, const unsigned char*, GString&) { return s.AppendFormat(u"%s", u"abc"); }},
        {"utf8", [](GString& s, const unsigned char*,
                    GString&) { return s.AppendFormat(u"%hs", "\xC5\xBC"); }},
        {"object",
         [](GString& s, const unsigned char*, GString& o) { return s.AppendFormat(u"%z", &o); }},
        {"dump",
         [](GString& s, const unsigned char* b, GString&) { return s.AppendFormat(u"%.4b", b); }},
        {"address",
         [](GString& s, const unsigned char* b, GString&) { return s.AppendFormat(u"%w", b); }},
        {"float",
         [](GString& s, const unsigned char*, GString&) { return s.AppendFormat(u"%f", 1.5); }},
        {"null",
         [](GString& s, const unsigned char*, GString&) {
             return s.AppendFormat(u"%s", static_cast<const char16_t*>(nullptr));
         }},
        {"newline",
         [](GString& s, const unsigned char*, GString&) { return s.AppendFormat(u"%N"); }},
    };
    for (const Call& call : calls) {
        GString s;
        FillFirstBlock(s);
        const std::u16string before = WideOf(s);
        int result;
        {
            Limit none(0);
            result = call.run(s, bytes, other);
        }
        EXPECT_EQ(result, 0) << call.name;
        EXPECT_EQ(WideOf(s), before) << call.name;
        EXPECT_TRUE(Terminated(s)) << call.name;
    }
}

// With 0, 1, 2... allocations granted, every refused call leaves a prefix of
// what the successful call produces, terminated.
TEST(GStringFormatAllocFailTest, RefusedCallsLeaveAPrefixOfTheFullText) {
    const char16_t* format = u"%s: %-40d|%.3f|%hs|%50s";
    const auto run = [&](GString& s) {
        return FormatInto(s, format, u"name", 42, 2.5, "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87",
                          u"end");
    };
    GString full;
    ASSERT_NE(run(full), 0);
    const std::u16string expected = WideOf(full);
    bool succeeded = false;
    bool keptPart = false;  // some refused call kept the fields before it
    for (int allowed = 0; allowed < 16 && !succeeded; ++allowed) {
        GString s;
        int result;
        {
            Limit limit(allowed);
            result = run(s);
        }
        const std::u16string text = WideOf(s);
        if (result != 0) {
            EXPECT_EQ(text, expected);
            succeeded = true;
            continue;
        }
        EXPECT_EQ(expected.compare(0, text.size(), text), 0) << "allowed " << allowed;
        if (s.Capacity() > 0) {
            EXPECT_TRUE(Terminated(s)) << "allowed " << allowed;
        }
        keptPart = keptPart || !text.empty();
    }
    EXPECT_TRUE(succeeded);
    EXPECT_TRUE(keptPart);
}

TEST(GStringFormatAllocFailTest, OwnTextAsArgumentNeedsItsCopy) {
    GString s;
    s.AssignWideCString(u"abc");
    int result;
    {
        Limit none(0);
        result = s.AppendFormat(u"%s", s.WideText(0));
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(WideOf(s), u"abc");
    EXPECT_TRUE(Terminated(s));
}

}  // namespace
