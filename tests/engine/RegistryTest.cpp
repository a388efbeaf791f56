// The registry layer against the Wine registry, under HKCU\Software\KbTest\<test> (and the
// same under HKLM for the machine-wide write).
#include <cstdlib>
#include <cstring>

#include "install/InstallWin32.h"
#include "tests/engine/EngineFixture.h"

namespace {

constexpr uint32_t kSubId = 1100;      // "Sub"
constexpr uint32_t kNameId = 1101;     // "Value"
constexpr uint32_t kEmptyId = 1102;    // ""
constexpr uint32_t kDataId = 1103;     // "Zażółć gęślą jaźń"
constexpr uint32_t kMissingId = 9999;  // in no table
constexpr uint32_t kGrandId = 1104;    // "Sub\\Grand"

class RegistryTest : public EngineTest {
protected:
    void AddTexts(std::vector<StringEntry>& common) override {
        common.push_back(Entry(kSubId, "Sub"));
        common.push_back(Entry(kNameId, "Value"));
        common.push_back(Entry(kEmptyId, ""));
        common.push_back(Entry(kDataId, "Zażółć gęślą jaźń"));
        common.push_back(Entry(kGrandId, "Sub\\Grand"));
    }
    void SetUp() override {
        EngineTest::SetUp();
        root = UserKey();
        ASSERT_NE(root, nullptr);
    }
    void TearDown() override {
        if (root != nullptr) RegCloseKey(root);
        EngineTest::TearDown();
    }
    void SetRaw(const char16_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExW(root, W(name), 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    bool KeyExists(const std::u16string& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, W(path), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    OsKey Root() { return ToOs(root); }
    HKEY root = nullptr;
};

TEST_F(RegistryTest, GuardsRefuseWithoutTouchingTheRegistry) {
    // Null parent, empty name and missing id: null, and nothing is created.
    EXPECT_EQ(install.CreateKey(nullptr, kSubId, KEY_ALL_ACCESS), nullptr);
    EXPECT_EQ(install.CreateKey(Root(), kEmptyId, KEY_ALL_ACCESS), nullptr);
    EXPECT_EQ(install.CreateKey(Root(), kMissingId, KEY_ALL_ACCESS), nullptr);
    EXPECT_EQ(install.CreateKey(Root(), u"", KEY_ALL_ACCESS), nullptr);
    EXPECT_EQ(install.CreateKey(Root(), static_cast<const char16_t*>(nullptr), KEY_ALL_ACCESS),
              nullptr);
    EXPECT_EQ(install.OpenKey(nullptr, kSubId, KEY_READ), nullptr);
    EXPECT_EQ(install.OpenKey(Root(), kEmptyId, KEY_READ), nullptr);
    EXPECT_EQ(install.OpenKey(Root(), kMissingId, KEY_READ), nullptr);
    DWORD subkeys = 99, values = 99;
    ASSERT_EQ(RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 0u);

    GString text;
    uint32_t number = 7;
    uint32_t count = 5;
    EXPECT_EQ(install.WriteDword(nullptr, kNameId, 1), 0);
    EXPECT_EQ(install.WriteDword(Root(), kMissingId, 1), 0);
    EXPECT_EQ(install.WriteDword(Root(), kEmptyId, 1), 0);
    EXPECT_EQ(install.WriteStringId(Root(), kNameId, kMissingId), 0);
    EXPECT_EQ(install.WriteStringId(Root(), kMissingId, kDataId), 0);
    EXPECT_EQ(install.WriteBytes(Root(), kMissingId, nullptr, 0), 0);
    EXPECT_EQ(install.ReadDword(Root(), kMissingId, number), 0);
    EXPECT_EQ(install.ReadString(nullptr, kNameId, text), 0);
    EXPECT_EQ(install.ReadBytes(Root(), kMissingId, count), nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(install.DeleteValue(nullptr, kNameId), 0);
    EXPECT_EQ(install.DeleteKey(nullptr, kSubId), 0);
    EXPECT_EQ(number, 7u);
    ASSERT_EQ(RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 0u);
}

TEST_F(RegistryTest, DeleteKeyWithAnEmptyNameNeverDeletesTheParent) {
    HKEY sub = ToWin(install.CreateKey(Root(), kSubId, KEY_ALL_ACCESS));
    ASSERT_NE(sub, nullptr);
    RegCloseKey(sub);
    EXPECT_EQ(install.DeleteKey(Root(), kEmptyId), 0);
    EXPECT_EQ(install.DeleteKey(Root(), u""), 0);
    EXPECT_TRUE(KeyExists(userRoot + u"\\Sub"));
}

TEST_F(RegistryTest, ChainsOfOpensStopAtTheFirstMissingKey) {
    // The first open fails (no such key), every later one gets a null parent.
    const OsKey first = install.OpenKey(Root(), kSubId, KEY_READ);
    EXPECT_EQ(first, nullptr);
    const OsKey second = install.OpenKey(first, kSubId, KEY_READ);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(install.CreateKey(second, kSubId, KEY_ALL_ACCESS), nullptr);

    // With the keys there, the same chain opens them.
    HKEY grand = ToWin(install.CreateKey(Root(), kGrandId, KEY_ALL_ACCESS));
    ASSERT_NE(grand, nullptr);
    RegCloseKey(grand);
    HKEY sub = ToWin(install.OpenKey(Root(), kSubId, KEY_READ));
    ASSERT_NE(sub, nullptr);
    HKEY opened = ToWin(install.OpenKey(ToOs(sub), u"Grand", KEY_READ));
    EXPECT_NE(opened, nullptr);
    if (opened) RegCloseKey(opened);
    RegCloseKey(sub);
}

TEST_F(RegistryTest, CreateKeyOpensAnExistingKey) {
    HKEY first = ToWin(install.CreateKey(Root(), kSubId, KEY_ALL_ACCESS));
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(install.WriteDword(ToOs(first), kNameId, 0x12345678));
    RegCloseKey(first);
    HKEY again = ToWin(install.CreateKey(Root(), kSubId, KEY_ALL_ACCESS));
    ASSERT_NE(again, nullptr);
    uint32_t value = 0;
    EXPECT_TRUE(install.ReadDword(ToOs(again), kNameId, value));
    EXPECT_EQ(value, 0x12345678u);
    RegCloseKey(again);
}

TEST_F(RegistryTest, StringsRoundTripWithTheirTerminatingNul) {
    ASSERT_TRUE(install.WriteStringId(Root(), kNameId, kDataId));
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(root, W(u"Value"), nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    const std::u16string expected = U16("Zażółć gęślą jaźń");
    EXPECT_EQ(size, (expected.size() + 1) * 2);

    GString read;
    ASSERT_TRUE(install.ReadString(Root(), kNameId, read));
    EXPECT_EQ(TextOf(read), expected);
    GString same, other;
    SetText(same, expected);
    SetText(other, U16("zażółć gęślą jaźń"));
    EXPECT_TRUE(install.ValueEquals(Root(), kNameId, same));
    EXPECT_FALSE(install.ValueEquals(Root(), kNameId, other));  // case counts
    EXPECT_FALSE(install.ValueEquals(Root(), kMissingId, same));

    // A narrow text is written as UTF-16 all the same.
    GString narrow;
    ASSERT_TRUE(narrow.AssignNarrow("Łódź", -1));
    ASSERT_TRUE(install.WriteString(Root(), u"Narrow", narrow));
    ASSERT_TRUE(install.ReadString(Root(), u"Narrow", read));
    EXPECT_EQ(U8(read), "Łódź");
}

TEST_F(RegistryTest, StringsOf32KilobytesRoundTrip) {
    std::u16string big(32 * 1024, u'x');
    for (size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char16_t>(u'a' + i % 26);
    GString value;
    SetText(value, big);
    ASSERT_TRUE(install.WriteString(Root(), u"Big", value));
    GString read;
    ASSERT_TRUE(install.ReadString(Root(), u"Big", read));
    EXPECT_EQ(read.Length(), static_cast<int>(big.size()));
    EXPECT_TRUE(TextOf(read) == big);
}

struct RawString {
    const char* what;
    DWORD type;
    std::vector<uint8_t> bytes;
    int expectedResult;
    std::u16string expected;
};

std::vector<uint8_t> Units(const std::u16string& text, size_t extraBytes = 0) {
    std::vector<uint8_t> bytes(text.size() * 2 + extraBytes, 0);
    std::memcpy(bytes.data(), text.data(), text.size() * 2);
    if (extraBytes) bytes.back() = 0x41;
    return bytes;
}

TEST_F(RegistryTest, ReadStringTakesRawValuesAsTheyAreStored) {
    const std::u16string abcNul(u"abc\0", 4);
    const std::u16string abNulNul(u"ab\0\0", 4);
    const RawString cases[] = {
        {"zero bytes", REG_SZ, {}, 1, u""},
        {"with its NUL", REG_SZ, Units(abcNul), 1, u"abc"},
        // Stored without a NUL by another program: the last character stays.
        {"without a NUL", REG_SZ, Units(u"abc"), 1, u"abc"},
        {"odd byte count", REG_SZ, Units(u"abc", 1), 1, u"abc"},
        {"one NUL stripped, not two", REG_SZ, Units(abNulNul), 1, std::u16string(u"ab\0", 3)},
        {"only a NUL", REG_SZ, Units(std::u16string(1, u'\0')), 1, u""},
        {"expandable", REG_EXPAND_SZ, Units(abcNul), 0, u""},
        {"a number", REG_DWORD, {1, 0, 0, 0}, 0, u""},
        {"bytes", REG_BINARY, Units(abcNul), 0, u""},
    };
    for (const RawString& c : cases) {
        SCOPED_TRACE(c.what);
        SetRaw(u"Raw", c.type, c.bytes.empty() ? nullptr : c.bytes.data(),
               static_cast<DWORD>(c.bytes.size()));
        GString read;
        SetText(read, u"previous");
        EXPECT_EQ(install.ReadString(Root(), u"Raw", read), c.expectedResult);
        if (c.expectedResult) {
            EXPECT_TRUE(TextOf(read) == c.expected) << U8(read);
        }
    }
    GString read;
    EXPECT_EQ(install.ReadString(Root(), u"Absent", read), 0);
}

TEST_F(RegistryTest, ReadDwordTakesOnlyFourByteNumbers) {
    struct Case {
        const char* what;
        DWORD type;
        std::vector<uint8_t> bytes;
        int expectedResult;
        uint32_t expected;
    };
    const Case cases[] = {
        {"four bytes", REG_DWORD, {0x78, 0x56, 0x34, 0x12}, 1, 0x12345678u},
        {"two bytes", REG_DWORD, {1, 2}, 0, 0xDEADu},
        {"eight bytes", REG_DWORD, {1, 2, 3, 4, 5, 6, 7, 8}, 0, 0xDEADu},
        {"zero bytes", REG_DWORD, {}, 0, 0xDEADu},
        {"binary of four bytes", REG_BINARY, {1, 2, 3, 4}, 0, 0xDEADu},
        {"big-endian number", REG_DWORD_BIG_ENDIAN, {1, 2, 3, 4}, 0, 0xDEADu},
        {"text", REG_SZ, {0x31, 0, 0, 0}, 0, 0xDEADu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetRaw(u"Number", c.type, c.bytes.empty() ? nullptr : c.bytes.data(),
               static_cast<DWORD>(c.bytes.size()));
        uint32_t value = 0xDEAD;  // the caller's default survives a refusal
        EXPECT_EQ(install.ReadDword(Root(), u"Number", value), c.expectedResult);
        EXPECT_EQ(value, c.expected);
    }
}

TEST_F(RegistryTest, ReadBytesReturnsABufferOnlyForNonEmptyBinaryValues) {
    uint32_t count = 99;
    SetRaw(u"Bytes", REG_BINARY, nullptr, 0);
    EXPECT_EQ(install.ReadBytes(Root(), u"Bytes", count), nullptr);
    EXPECT_EQ(count, 0u);

    const uint8_t five[] = {1, 2, 3, 0, 0xFF};
    SetRaw(u"Bytes", REG_BINARY, five, sizeof five);
    uint8_t* data = install.ReadBytes(Root(), u"Bytes", count);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(std::memcmp(data, five, 5), 0);
    std::free(data);

    SetRaw(u"Bytes", REG_SZ, W(u"ab"), 6);
    count = 99;
    EXPECT_EQ(install.ReadBytes(Root(), u"Bytes", count), nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(install.ReadBytes(Root(), u"Absent", count), nullptr);
}

TEST_F(RegistryTest, WriteBytesOfZeroBytesWritesAnEmptyBinaryValue) {
    ASSERT_TRUE(install.WriteBytes(Root(), kNameId, nullptr, 0));
    DWORD type = 0, size = 99;
    ASSERT_EQ(RegQueryValueExW(root, W(u"Value"), nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(install.WriteBytes(Root(), kNameId, nullptr, 4), 0);  // no bytes for a count

    const uint8_t bytes[] = {9, 8, 7};
    ASSERT_TRUE(install.WriteBytes(Root(), kNameId, bytes, 3));
    uint32_t count = 0;
    uint8_t* data = install.ReadBytes(Root(), kNameId, count);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(data[2], 7);
    std::free(data);
}

TEST_F(RegistryTest, DeleteKeyLeavesAKeyWithSubkeys) {
    HKEY grand = ToWin(install.CreateKey(Root(), kGrandId, KEY_ALL_ACCESS));
    ASSERT_NE(grand, nullptr);
    RegCloseKey(grand);
    EXPECT_EQ(install.DeleteKey(Root(), kSubId), 0);
    EXPECT_TRUE(KeyExists(userRoot + u"\\Sub"));
    EXPECT_TRUE(install.DeleteKey(Root(), kGrandId));
    EXPECT_TRUE(install.DeleteKey(Root(), kSubId));
    EXPECT_FALSE(KeyExists(userRoot + u"\\Sub"));
    EXPECT_EQ(install.DeleteKey(Root(), kSubId), 0);  // already gone
}

TEST_F(RegistryTest, DeleteValueRemovesOnlyThatValue) {
    ASSERT_TRUE(install.WriteDword(Root(), kNameId, 1));
    ASSERT_TRUE(install.WriteDword(Root(), u"Other", 2));
    EXPECT_TRUE(install.DeleteValue(Root(), kNameId));
    EXPECT_EQ(install.DeleteValue(Root(), kNameId), 0);
    uint32_t value = 0;
    EXPECT_EQ(install.ReadDword(Root(), kNameId, value), 0);
    EXPECT_TRUE(install.ReadDword(Root(), u"Other", value));
    EXPECT_EQ(value, 2u);
}

TEST_F(RegistryTest, WriteMachineStringOpensButNeverCreatesTheKey) {
    // No key yet under HKLM: nothing written, nothing created.
    EXPECT_EQ(install.WriteMachineString(kMachineRootId, kNameId, kDataId), 0);
    HKEY probe = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(machineRoot), 0, KEY_READ, &probe),
              ERROR_SUCCESS);

    HKEY machine = MachineKey();
    ASSERT_NE(machine, nullptr);
    EXPECT_TRUE(install.WriteMachineString(kMachineRootId, kNameId, kDataId));
    GString read;
    EXPECT_TRUE(install.ReadString(ToOs(machine), kNameId, read));
    EXPECT_EQ(U8(read), "Zażółć gęślą jaźń");
    EXPECT_EQ(install.WriteMachineString(kMachineRootId, kNameId, kMissingId), 0);
    RegCloseKey(machine);
}

}  // namespace
