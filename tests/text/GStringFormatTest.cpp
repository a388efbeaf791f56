// The formatting engine through its public entry points (FormatInto,
// GString::AppendFormat), so that every argument travels through a real
// variable argument list of the target being tested.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "GString.h"

namespace {

using namespace std::string_literals;

// UTF-8 of the units, zero units included, so that failures print readably.
std::string Utf8(const char16_t* units, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        const unsigned u = units[i];
        if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        } else {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string TextOf(const GString& s) {
    return Utf8(s.WideText(0), s.Length());
}

struct Outcome {
    int result;
    std::string text;
};

template <typename... Args>
Outcome FormatWith(uint32_t options, const char16_t* format, Args... args) {
    GString s;
    s.SetFormatOptions(options);
    const int result = FormatInto(s, format, args...);
    return {result, TextOf(s)};
}

template <typename... Args>
Outcome Format(const char16_t* format, Args... args) {
    return FormatWith(0, format, args...);
}

struct Row {
    std::string expected;
    Outcome actual;
    int line;
};

#define ROW(expected, ...)                      \
    Row {                                       \
        expected, Format(__VA_ARGS__), __LINE__ \
    }
#define ROW_OPT(expected, options, ...)                      \
    Row {                                                    \
        expected, FormatWith(options, __VA_ARGS__), __LINE__ \
    }

void CheckRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        EXPECT_EQ(row.actual.text, row.expected) << "row at line " << row.line;
        EXPECT_NE(row.actual.result, 0) << "row at line " << row.line;
    }
}

// A counted-text block: header, then the text without terminator, then
// bytes that must never be read as part of it.
std::vector<unsigned char> Counted(uint32_t header, const void* text, size_t bytes) {
    std::vector<unsigned char> block(4 + bytes);
    for (int i = 0; i < 4; ++i) block[i] = static_cast<unsigned char>(header >> (8 * i));
    std::memcpy(block.data() + 4, text, bytes);
    block.insert(block.end(), {'X', 'X', 'X', 'X', 0, 0});
    return block;
}

const void* const kNullPointer = nullptr;
const char16_t* const kNullText = nullptr;

TEST(GStringFormatTest, Integers) {
    CheckRows({
        ROW("-42", u"%d", -42),
        ROW("-0042", u"%05d", -42),
        ROW("+7", u"%+d", 7),
        ROW("0xff", u"%#x", 255),
        ROW("0xFF", u"%#X", 255),
        ROW("-00042", u"%.5d", -42),
        ROW("010", u"%#o", 8),
        ROW("0y101", u"%#y", 5),
        ROW("1 234 567", u"%`d", 1234567),
        ROW("1 2345", u"%`x", 0x12345),
        ROW("00001234", u"%p", reinterpret_cast<void*>(uintptr_t(0x1234))),
        ROW("  {null}", u"%p", kNullPointer),
        ROW("42", u"%i", 42),
        ROW(" 42", u"% d", 42),
        ROW("-42", u"% d", -42),
        ROW("4294967295", u"%u", -1),
        ROW("ffffffff", u"%x", -1),
        ROW("37777777777", u"%o", -1),
        ROW("11111111", u"%y", 255),
        ROW("0", u"%d", 0),
        ROW("0", u"%.0d", 0),
        ROW("0x0", u"%#x", 0),
        ROW("42", u"%+u", 42),  // unsigned directives never write a sign
        ROW("-2147483648", u"%d", std::numeric_limits<int32_t>::min()),
        ROW("70000", u"%hd", 70000),  // h: integers stay 32-bit
        ROW("-5", u"%ld", -5),        // a single l changes nothing
        ROW("42   |", u"%-5d|", 42),
        ROW("42   |", u"%-05d|", 42),  // zeros are ignored with '-'
        ROW("   42", u"%5d", 42),
        ROW("+0042", u"%+05d", 42),
        ROW("0x00ff", u"%#06x", 255),
        ROW("0x00ff", u"%#.4x", 255),
        ROW("00ff", u"%.4x", 255),
        ROW("-042", u"%.3d", -42),
        ROW("010", u"%#.3o", 8),  // the precision's zeros replace the prefix
        ROW("00010", u"%#.5o", 8),
        ROW("0x12", u"%#.3x", 0x12),  // sign, prefix and digits exceed it
        ROW("0000 1234", u"%`.8x", 0x1234),
        ROW("0x1234 5678", u"%#`p", reinterpret_cast<void*>(uintptr_t(0x12345678))),
        ROW("0x1234ABCD", u"%#P", reinterpret_cast<void*>(uintptr_t(0x1234ABCD))),
        ROW("-1 234", u"%`d", -1234),
        ROW("000 001", u"%`.6d", 1),
        ROW("1 0000 0000", u"%`y", 256),
        ROW("0001 234", u"%0`8d", 1234),  // the zero padding is not grouped
        ROW("    {null}", u"%#p", kNullPointer),
        ROW("      {null}", u"%12p", kNullPointer),
        ROW("0000  {null}", u"%012p", kNullPointer),
        ROW("  {null}    |", u"%-12p|", kNullPointer),
        ROW(std::string(307, '0') + "7", u"%.400d", 7),
    });
}

TEST(GStringFormatTest, UpperHexPrefixFollowsTheOption) {
    EXPECT_EQ(Format(u"%#X", 255).text, "0xFF");
    EXPECT_EQ(FormatWith(0x4, u"%#X", 255).text, "0XFF");
    EXPECT_EQ(FormatWith(0x4, u"%#x", 255).text, "0xff");
    EXPECT_EQ(FormatWith(0x4, u"%#P", reinterpret_cast<void*>(uintptr_t(1))).text, "0X00000001");
}

TEST(GStringFormatTest, SixtyFourBitArgumentsTakeTwoSlots) {
    CheckRows({
        ROW("-1 5", u"%Ld %d", int64_t(-1), 5),
        ROW("-1 5", u"%lld %d", int64_t(-1), 5),
        ROW("18446744073709551615", u"%Lu", ~uint64_t(0)),
        ROW("-9223372036854775808", u"%Ld", std::numeric_limits<int64_t>::min()),
        ROW("123456789abcdef0 7", u"%Lx %d", int64_t(0x123456789abcdef0), 7),
        ROW("1 000 000 000 000", u"%`Ld", int64_t(1000000000000)),
    });
}

TEST(GStringFormatTest, PointerPrintsItsLowThirtyTwoBits) {
    // On a 64-bit build the argument is a full pointer; only the low half shows.
    const uintptr_t value = uintptr_t(0x89ABCDEF);
    EXPECT_EQ(Format(u"%p %d", reinterpret_cast<void*>(value), 3).text, "89abcdef 3");
    EXPECT_EQ(Format(u"%Lp %d", reinterpret_cast<void*>(value), 3).text, "89abcdef 3");
}

TEST(GStringFormatTest, StarTakesWidthAndPrecisionArguments) {
    CheckRows({
        ROW("42    ", u"%*d", -6, 42),
        ROW("    42", u"%*d", 6, 42),
        ROW("00042", u"%.*d", 5, 42),
        ROW("42", u"%.*d", -5, 42),
        ROW("  abc", u"%*.*s", 5, 3, u"abcdef"),
    });
}

TEST(GStringFormatTest, Characters) {
    CheckRows({
        ROW("A", u"%c", u'A'), ROW("\u0416", u"%c", 0x416),
        ROW("A", u"%c", 0x10041),  // the low 16 bits are the unit
        ROW("{1B}", u"%$C", 0x1B), ROW("{1b}", u"%$c", 0x1B), ROW("{e9}", u"%$c", 0xE9),
        ROW("{3a}", u"%$c", 0x263A),  // the low 8 bits of the unit
        ROW("~", u"%$c", u'~'), ROW("{7f}", u"%$c", 0x7F), ROW("{09}", u"%#c", u'\t'),
        ROW("\u00e9", u"%#c", 0xE9), ROW("A", u"%hc", 0x141),  // the low byte, as UTF-8 text
        ROW("    A", u"%5c", u'A'), ROW("A  |", u"%-3c|", u'A'), ROW("0000A", u"%05c", u'A'),
        ROW("  {09}", u"%#6c", u'\t'),
        ROW("a\0b"s, u"a%cb", 0),  // a zero unit is appended like any other
    });
}

TEST(GStringFormatTest, ByteCharacterAboveAsciiFails) {
    GString s;
    EXPECT_EQ(FormatInto(s, u"ab%hccd", 0xE9), 0);
    EXPECT_EQ(TextOf(s), "ab");
}

TEST(GStringFormatTest, WideTexts) {
    const char16_t withZero[] = u"ab\0cd";
    CheckRows({
        ROW("   ab", u"%5s", u"ab"),
        ROW("ab   |", u"%-5s|", u"ab"),
        ROW("a", u"%.1s", u"abc"),
        ROW("abc", u"%.10s", u"abc"),
        ROW("{null}", u"%s", kNullText),
        ROW("  {null}", u"%8s", kNullText),
        ROW("00{null}", u"%08s", kNullText),
        ROW("000ab", u"%05s", u"ab"),
        ROW("a{09}b", u"%$s", u"a\tb"),
        ROW("a{09}{e9}{ac}~", u"%$s", u"a\t\u00e9\u20ac~"),
        ROW("{E9}", u"%$S", u"\u00e9"),
        ROW("a{09}\u00e9", u"%#s", u"a\t\u00e9"),
        ROW("  a{09}", u"%$7s", u"a\t"),
        ROW("zażółć", u"%s", u"zażółć"),
        ROW("ab\0c"s, u"%.*s", -4, withZero),  // exactly that many, zeros too
        ROW("ab", u"%.*s", 4, withZero),
        ROW("ab", u"%.2147483647s", u"ab"),
        ROW("|5", u"|%Ls%d", u"ignored", 5),  // the argument is only taken
        ROW("|5", u"|%Ls%d", kNullText, 5),
    });
}

TEST(GStringFormatTest, Utf8Texts) {
    CheckRows({
        ROW("zażółć", u"%hs", "zażółć"),
        ROW("żó", u"%.2hs", "żółw"),
        ROW("   żó", u"%5hs", "żó"),  // padding counts characters, not bytes
        ROW("żó   |", u"%-5hs|", "żó"),
        ROW("a{c3}{a9}", u"%$hs", "a\xC3\xA9"),
        ROW("a{c3}", u"%$.2hs", "a\xC3\xA9"),  // with '$' the precision counts bytes
        ROW("a{C3}", u"%$.2hS", "a\xC3\xA9"),
        ROW("a{09}ż", u"%#hs", "a\tż"),
        ROW("a{09}ż|", u"%#.3hs|", "a\tżółw"),
        ROW("  a{09}", u"%#7hs", "a\t"),
        ROW("a\0"s, u"%.*hs", -2, "a\0b"),
        ROW("ż\0"s, u"%.*hs", -2, "ż\0b"),
        ROW("{null}", u"%hs", static_cast<const char*>(nullptr)),
        ROW("\x7f\x7f", u"%.2hs", "\x7f\x7f\x7f"),
        ROW("", u"%hs", ""),
        ROW("     ", u"%5hs", ""),
    });
}

TEST(GStringFormatTest, InvalidUtf8FailsAndKeepsEarlierText) {
    for (const char* bad : {"\xC3\x28", "\xF0\x9F\x98\x80", "x\xC3", "\x80"}) {
        GString s;
        EXPECT_EQ(FormatInto(s, u"ok%hs!", bad), 0) << bad;
        EXPECT_EQ(TextOf(s), "ok");
        EXPECT_EQ(s.WideText(0)[s.Length()], 0) << "text stays terminated";
    }
    GString s;
    EXPECT_EQ(FormatInto(s, u"ok%#hs!", "\x01\xC3\x28"), 0);
    EXPECT_EQ(TextOf(s), "ok");
}

TEST(GStringFormatTest, StringObjects) {
    GString wide;
    wide.AssignWideCString(u"wide\u00e9");
    GString narrow;
    narrow.AssignNarrow("nar\xC5\xBC", -1);
    GString empty;
    CheckRows({
        ROW("wideé", u"%z", &wide),
        ROW("narż", u"%z", &narrow),
        ROW("wi", u"%.2z", &wide),
        ROW("wide{E9}", u"%$Z", &wide),
        ROW("  narż", u"%6z", &narrow),
        ROW("{null}", u"%z", static_cast<GString*>(nullptr)),
        ROW("[]", u"[%z]", &empty),
    });
}

TEST(GStringFormatTest, StringObjectNegativePrecisionStaysInsideTheText) {
    GString wide;
    wide.AssignWideCString(u"abc");
    EXPECT_EQ(Format(u"%.*z|", -100, &wide).text, "abc|");
    GString narrow;
    narrow.AssignNarrow("abc", 3);
    EXPECT_EQ(Format(u"%.*z|", -100, &narrow).text, "abc|");
}

TEST(GStringFormatTest, CountedTexts) {
    const char16_t units[] = u"tab\tle";
    const auto wide = Counted(6, units, 12);
    const auto narrow = Counted(0x80000000u | 5,
                                "za\xC5\xBC"
                                "e",
                                5);
    // Bits 29 and 30 carry nothing.
    const auto marked = Counted(0x60000000u | 3, u"abc", 6);
    // Text at an odd address, as entries of a blob may be.
    std::vector<unsigned char> shifted(1);
    const auto odd = Counted(2, u"ok", 4);
    shifted.insert(shifted.end(), odd.begin(), odd.end());
    CheckRows({
        ROW("tab\tle", u"%hz", wide.data()),
        ROW("tab{09}le", u"%#hz", wide.data()),
        ROW("zaże", u"%hz", narrow.data()),
        ROW("za", u"%.2hz", narrow.data()),
        ROW("abc", u"%hz", marked.data()),
        ROW("ok", u"%hz", shifted.data() + 1),
        ROW("{null}", u"%hz", static_cast<void*>(nullptr)),
    });
}

TEST(GStringFormatTest, HexDumps) {
    const unsigned char bytes[] = {1, 2, 3, 4, 5, 6};
    const unsigned char high[] = {0xAB, 0xCD};
    CheckRows({
        ROW("010203040506", u"%.6b", bytes),
        ROW("01 02 03 04 05 06", u"% .6b", bytes),
        ROW("{01}{02}{03}{04}{05}{06}", u"%#.6b", bytes),
        ROW("{01020304}{0506}", u"%#`.6b", bytes),
        ROW("01 02 03 04  05 06", u"% `.6b", bytes),
        ROW("{01 02 03 04} {05 06}", u"%# `.6B", bytes),
        ROW("01020304 0506", u"%`.6b", bytes),
        ROW("01020304", u"%`.4b", bytes),
        ROW("{01} {02}", u"%# .2b", bytes),
        ROW("abcd", u"%.2b", high),
        ROW("ABCD", u"%.2B", high),
        ROW("  0102", u"%6.2b", bytes),
        ROW("0102  |", u"%-6.2b|", bytes),
        ROW("{null}", u"%.3b", kNullPointer),
        ROW("0102", u"%.*b", 2, bytes),
        ROW("[]", u"[%.*b]", -3, bytes),
    });
}

TEST(GStringFormatTest, EmptyHexDumpStillTakesItsArgument) {
    const unsigned char bytes[] = {1};
    EXPECT_EQ(Format(u"[%.0b]%d", bytes, 9).text, "[]9");
    EXPECT_EQ(Format(u"[%b]%d", bytes, 9).text, "[]9");
}

TEST(GStringFormatTest, AddressesAndGuids) {
    const unsigned char loopback[] = {0x01, 0x00, 0x00, 0x7F};
    const unsigned char address[] = {200, 30, 4, 192};
    const unsigned char guid[] = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                                  0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    CheckRows({
        ROW("127.0.0.1", u"%w", loopback),
        ROW("127.000.000.001", u"%0w", loopback),
        ROW("192.4.30.200", u"%W", address),
        ROW("      127.0.0.1", u"%15w", loopback),
        ROW(" 127.000.000.001", u"%016w", loopback),  // spaces only
        ROW("127.0.0.1      |", u"%-15w|", loopback),
        ROW("{12345678-9abc-def0-0123-456789abcdef}", u"%hw", guid),
        ROW("{12345678-9ABC-DEF0-0123-456789ABCDEF}", u"%hW", guid),
        ROW("  {12345678-9abc-def0-0123-456789abcdef}", u"%040hw", guid),
        ROW("    {null}", u"%010w", kNullPointer),
        ROW("{null}", u"%hw", kNullPointer),
    });
}

TEST(GStringFormatTest, FixedExponentAndGeneral) {
    CheckRows({
        ROW("3.141590", u"%f", 3.14159),
        ROW("2.50", u"%.2f", 2.5),
        ROW("1.234500e+03", u"%e", 1234.5),
        ROW("1.234500E+03", u"%E", 1234.5),
        ROW("3", u"%g", 3.14159),
        ROW("3.14159", u"%.6g", 3.14159),
        ROW("0.000123", u"%.3g", 0.0001234),
        ROW("1.23e+06", u"%.3g", 1234567.0),
        ROW("100", u"%.6g", 100.0),
        ROW("1.000000e-100", u"%e", 1e-100),
        ROW("0.000000", u"%f", 0.0),
        ROW("-0.000000", u"%f", -0.0),
        ROW("0.000000", u"%f", 1e-10),
        ROW("0.000001", u"%f", 6e-7),
        ROW("1.000000", u"%.0f", 1.0),  // 0 means 6 places
        ROW("0.12", u"%.2f", 0.125),    // an exact tie goes to the even digit
        ROW("2.67", u"%.2f", 2.675),    // 2.675 is stored below the tie
        ROW("0.1", u"%.1f", 0.05),      // 0.05 is stored above the tie
        ROW("10.0", u"%.1f", 9.96),
        ROW("10000000000000000000000.000000", u"%f", 1e22),
        ROW("0.10000000000000000555", u"%.20f", 0.1),
        ROW("+1.500000", u"%+f", 1.5),
        ROW(" 1.500000", u"% f", 1.5),
        ROW("-000001.50", u"%010.2f", -1.5),
        ROW("-1.50     |", u"%-10.2f|", -1.5),
        ROW("    1.50", u"%8.2f", 1.5),
        ROW("9.99999999999999916e+22", u"%.17e", 1e23),
        ROW("4.940656e-324", u"%e", 4.9406564584124654e-324),
        ROW("1.797693e+308", u"%e", 1.7976931348623157e308),
        ROW("1.0e+01", u"%.1e", 9.96),
        ROW("0.000000e+00", u"%e", 0.0),
        ROW("0", u"%g", 0.0),
        ROW("0.0", u"%#g", 0.0),
        ROW("1.00", u"%#.3g", 1.0),
        ROW("1.", u"%#g", 1.0),
        ROW("0.1", u"%.10g", 0.1),
        ROW("1e-05", u"%.6g", 1e-5),
        ROW("0.0001", u"%.6g", 1e-4),
        ROW("1e+05", u"%.3g", 100000.0),
        ROW("1.00e+05", u"%#.3g", 100000.0),
        ROW("1E-10", u"%G", 1e-10),
        ROW("123457", u"%.6g", 123456.7),
        ROW("1.23457e+06", u"%.6g", 1234567.0),
        ROW("-2.5", u"%.3g", -2.5),
        ROW("1.e+02", u"%#g", 123.0),
    });
}

TEST(GStringFormatTest, ExponentDigitsFollowTheOption) {
    EXPECT_EQ(FormatWith(0x2, u"%e", 1.5).text, "1.500000e+000");
    EXPECT_EQ(FormatWith(0x2, u"%.3g", 1234567.0).text, "1.23e+006");
    EXPECT_EQ(FormatWith(0x2, u"%F", 12345.0).text, "12.3e+003");
}

TEST(GStringFormatTest, SpecialValues) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    CheckRows({
        ROW("{+inf}", u"%f", inf),
        ROW("{-inf}", u"%e", -inf),
        ROW("  { nan}", u"%8f", nan),
        ROW("{ nan}", u"%+.3g", -nan),  // no sign, no precision
        ROW("00{+inf}", u"%08a", inf),
        ROW("{+inf}  |", u"%-8F|", inf),
        ROW("{ nan}", u"%E", nan),
    });
}

TEST(GStringFormatTest, HexFloats) {
    CheckRows({
        ROW("0x1p+0", u"%a", 1.0),
        ROW("0x1.8p+1", u"%a", 3.0),
        ROW("0x1p-1", u"%a", 0.5),
        ROW("0x0p+0", u"%a", 0.0),
        ROW("-0x1p+0", u"%a", -1.0),
        ROW("0x1.8P+1", u"%A", 3.0),
        ROW("0x1.999999999999ap-4", u"%a", 0.1),
        ROW("0x1.999999999999A00P-4", u"%.15A", 0.1),
        ROW("0x1.ap-4", u"%.1a", 0.1),
        ROW("0x2.0p+0", u"%.1a", 1.96875),  // the carry reaches the lead digit
        ROW("0x1.2p+0", u"%.1a", 1.09375),
        ROW("0x1.p+0", u"%#a", 1.0),
        ROW("0x1p-1022", u"%a", 2.2250738585072014e-308),
        ROW("0x0.0000000000001p-1022", u"%a", 4.9406564584124654e-324),
        ROW("0x1.fffffffffffffp+1023", u"%a", 1.7976931348623157e308),
        ROW("-0x001p+0", u"%09a", -1.0),  // zeros after "0x"
        ROW("+0x1p+0", u"%+a", 1.0),
    });
    EXPECT_EQ(FormatWith(0x4, u"%A", 3.0).text, "0X1.8P+1");
    EXPECT_EQ(FormatWith(0x4, u"%a", 3.0).text, "0x1.8p+1");
}

TEST(GStringFormatTest, Engineering) {
    CheckRows({
        ROW("12.3 k", u"%#F", 12345.0),
        ROW("470.0 \u00b5", u"%#.4F", 0.00047),
        ROW("12.3e+03", u"%F", 12345.0),
        ROW("123.e+00", u"%F", 123.0),
        ROW("1.00e+00", u"%F", 1.0),
        ROW("0.00e+00", u"%F", 0.0),
        ROW("0.00  ", u"%#F", 0.0),
        ROW("1.00 M", u"%#F", 1e6),
        ROW("-1.50 m", u"%#F", -0.0015),
        ROW("999. Y", u"%#F", 999e24),
        ROW("1.00e+27", u"%#F", 1e27),
        ROW("100.e-27", u"%#F", 1e-25),
        ROW("10.0 y", u"%#F", 1e-23),
        ROW("12.3e+03", u"%hF", 12345),
        ROW("-12.3 k", u"%#hF", -12345),
        ROW("1.23e+12", u"%LF", int64_t(1234567890123)),
        ROW("  12.3 k", u"%#8F", 12345.0),
        ROW("+012.3 k", u"%+#08F", 12345.0),
    });
    EXPECT_EQ(FormatWith(0x8, u"%#.4F", 0.00047).text, "470.0 u");
}

TEST(GStringFormatTest, BinaryMagnitudes) {
    CheckRows({
        ROW("1.5 Ki", u"%#U", 1536),
        ROW("1.5b10", u"%U", 1536),
        ROW("5.00   ", u"%#.3U", 5),
        ROW("-2.0 Mi", u"%#I", -2097152),
        ROW("1.0b10", u"%U", 1023),  // too many integer digits: one more step
        ROW("0.0   ", u"%#U", 0),
        ROW("4.0 Gi", u"%#U", -1),
        ROW("16. Ei", u"%#LU", ~uint64_t(0)),
        ROW("-8.0 Ei", u"%#LI", std::numeric_limits<int64_t>::min()),
        ROW("1.00 Ki", u"%#.*U", -1, 1024),  // below 0 means 3 digits
        ROW("1.0 Ki", u"%#.1U", 1024),
        ROW("0.98 Ki", u"%#.3U", 1000),
        ROW("+5.0b00", u"%+I", 5),
        ROW("5.0b00", u"%+U", 5),
        ROW("  5.0b00", u"%8U", 5),
        ROW("-005.0b00", u"%09I", -5),
    });
}

TEST(GStringFormatTest, FloatingWidthIsLimited) {
    EXPECT_EQ(Format(u"%1000f", 1.0).text.size(), 512u);
    EXPECT_EQ(Format(u"%1000U", 1).text.size(), 512u);
    EXPECT_EQ(Format(u"%1000d", 1).text.size(), 1000u);  // integers are not
}

TEST(GStringFormatTest, LongPrecisionsAreCapped) {
    const std::string e = Format(u"%.400e", 1.0).text;
    EXPECT_EQ(e, "1." + std::string(308, '0') + "e+00");
    const std::string f = Format(u"%.400f", 0.5).text;
    EXPECT_EQ(f, "0.5" + std::string(307, '0'));
}

TEST(GStringFormatTest, DigitsThatDoNotFitTheirAreaFail) {
    GString s;
    EXPECT_EQ(FormatInto(s, u"x%.308f", 1e300), 0);
    EXPECT_EQ(TextOf(s), "x");
    // 43 integer digits and 308 places still fit, 44 do not.
    EXPECT_NE(FormatInto(s, u"%.308f", 1e42), 0);
    EXPECT_EQ(s.Length(), 43 + 1 + 308);
    EXPECT_EQ(FormatInto(s, u"%.308f", 1e43), 0);
    EXPECT_NE(FormatInto(s, u"%f", 1e300), 0);
    EXPECT_EQ(s.Length(), 301 + 1 + 6);
}

TEST(GStringFormatTest, TemplateScanning) {
    CheckRows({
        ROW("%", u"%%"),
        ROW("50", u"50%"),            // a lone '%' at the end is dropped
        ROW("q", u"%q"),              // the directive goes, the letter stays
        ROW("hd", u"%hhd", 5),        // a second modifier ends the directive
        ROW("D", u"%D"),              // upper case without an entry
        ROW("9d", u"%99999999999d"),  // ten width digits are read, no more
        ROW("a", u"a%5"),             // ends inside a directive: dropped
        ROW("x5y", u"x%-+ 0#$`%dy", 5),
        ROW("a\r\nb", u"a%Nb"),
        ROW("5", u"%ld", 5),
        ROW("", u""),
    });
}

TEST(GStringFormatTest, DroppedDirectiveKeepsStarArguments) {
    // The '*' is taken before the unknown directive is seen.
    EXPECT_EQ(Format(u"%*q%d", 7, 8).text, "q8");
}

TEST(GStringFormatTest, CountStoresUnitsOfThisCallOnly) {
    GString s;
    s.AssignWideCString(u"before");
    int count = -1;
    EXPECT_NE(s.AppendFormat(u"abc%n", &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(TextOf(s), "beforeabc");
    EXPECT_NE(s.AppendFormat(u"x%n%5d%n", static_cast<int*>(nullptr), 1, &count), 0);
    EXPECT_EQ(count, 6);
}

TEST(GStringFormatTest, ReservedDirectivesFailTheCall) {
    for (const char16_t* format : {u"ab%tcd", u"ab%Tcd", u"ab%Ycd"}) {
        GString s;
        EXPECT_EQ(FormatInto(s, format, 1, 2), 0);
        EXPECT_EQ(TextOf(s), "ab");
        EXPECT_EQ(s.WideText(0)[2], 0);
    }
}

TEST(GStringFormatTest, AppendFormatKeepsExistingText) {
    GString s;
    s.AssignWideCString(u"n=");
    EXPECT_NE(s.AppendFormat(u"%d", 5), 0);
    EXPECT_EQ(TextOf(s), "n=5");
}

TEST(GStringFormatTest, FormatIntoEmptiesAndWidensTheTarget) {
    GString s;
    s.AssignNarrow("old", 3);
    EXPECT_NE(FormatInto(s, u"%d", 7), 0);
    EXPECT_TRUE(s.IsWide());
    EXPECT_EQ(TextOf(s), "7");
}

TEST(GStringFormatTest, NullTemplateOrNarrowTargetFails) {
    GString narrow;
    narrow.AssignNarrow("abc", 3);
    EXPECT_EQ(narrow.AppendFormat(u"%d", 1), 0);
    EXPECT_FALSE(narrow.IsWide());
    EXPECT_EQ(narrow.Length(), 3);

    GString wide;
    wide.AssignWideCString(u"abc");
    EXPECT_EQ(wide.AppendFormat(nullptr), 0);
    EXPECT_EQ(TextOf(wide), "abc");
    EXPECT_EQ(FormatInto(wide, nullptr), 0);
    EXPECT_TRUE(wide.IsWide());
    EXPECT_EQ(wide.Length(), 0);
}

TEST(GStringFormatTest, HugeWidthsFailWithoutGrowingTheText) {
    const std::vector<Outcome> outcomes = {
        Format(u"ab%2147483647d", 1),
        Format(u"ab%9999999999s", u"x"),  // saturates rather than wrapping
        Format(u"ab%*d", std::numeric_limits<int>::min(), 1),
        Format(u"ab%2147483647.3b", "xyz"),
    };
    for (const Outcome& outcome : outcomes) {
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.text, "ab");
    }
}

TEST(GStringFormatTest, HugeDumpFailsBeforeReadingTheBytes) {
    const unsigned char one = 1;
    GString s;
    EXPECT_EQ(FormatInto(s, u"ab%.2147483647b", &one), 0);
    EXPECT_EQ(TextOf(s), "ab");
}

TEST(GStringFormatTest, ArgumentInsideTheTargetIsCopiedBeforeGrowth) {
    GString s;
    s.AssignWideCString(u"0123456789");
    // Each append must grow the block, which moves the text the argument
    // points into.
    for (int round = 0; round < 6; ++round) {
        const std::string before = TextOf(s);
        ASSERT_NE(s.AppendFormat(u"%s", s.WideText(0)), 0);
        EXPECT_EQ(TextOf(s), before + before);
    }
    GString t;
    t.AssignWideCString(u"abc");
    ASSERT_NE(t.AppendFormat(u"%z%z%z%z", &t, &t, &t, &t), 0);
    EXPECT_EQ(TextOf(t),
              "abc"
              "abc"
              "abcabc"
              "abcabcabcabc"
              "abcabcabcabcabcabcabcabc");
    GString u;
    u.AssignWideCString(u"%d-");
    ASSERT_NE(u.AppendFormat(u.WideText(0), 1), 0);
    EXPECT_EQ(TextOf(u), "%d-1-");
}

TEST(GStringFormatTest, TextStaysTerminatedAfterEveryCall) {
    GString s;
    ASSERT_NE(FormatInto(s, u"%s%5d%.3b", u"abc", 7, "\x01\x02\x03"), 0);
    EXPECT_EQ(TextOf(s), "abc    7010203");
    EXPECT_EQ(s.WideText(0)[s.Length()], 0);
}

}  // namespace
