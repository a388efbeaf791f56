// A fresh installer object, its working key table, release and destruction.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "install/CInstall.h"
#include "tests/install/InstallFixture.h"

namespace {

struct NumberCase {
    const char* name;
    int64_t actual;
    int64_t expected;
};

std::vector<NumberCase> FreshNumbers(const CInstall& o) {
    return {
        {"PageCode", o.PageCode, 0},
        {"OsVersion", o.OsVersion, 0},
        {"UiLanguage", o.UiLanguage, 0},
        {"Is64Bit", o.Is64Bit, 0},
        {"ProcessorArchitecture", o.ProcessorArchitecture, -1},
        {"LayoutLangId", o.LayoutLangId, 0},
        {"TargetLangId", o.TargetLangId, 0},
        {"LanguageScriptOption", o.LanguageScriptOption, 1},
        {"AssocMatch", o.AssocMatch, 0},
        {"IsAdmin", o.IsAdmin, 0},
        {"UninstallDone", o.UninstallDone, 0},
        {"InstallDone", o.InstallDone, 0},
        {"RestartRequested", o.RestartRequested, 0},
        {"LicenceAccepted", o.LicenceAccepted, 0},
        {"UserValuesOption", o.UserValuesOption, 1},
        {"DesktopLinksOption", o.DesktopLinksOption, 1},
        {"TextDesktopLinkMade", o.TextDesktopLinkMade, 0},
        {"ProductDocDesktopLinkMade", o.ProductDocDesktopLinkMade, 0},
        {"SharedDocDesktopLinkMade", o.SharedDocDesktopLinkMade, 0},
        {"LayoutVariant", o.LayoutVariant, -1},
        {"DecimalKeyMode", o.DecimalKeyMode, -1},
        {"AltSetFlagA", o.AltSetFlagA, 0},
        {"AltSetFlagB", o.AltSetFlagB, 0},
        {"UpdateMode", o.UpdateMode, 0},
        {"ScancodeMapSeen", o.ScancodeMapSeen, 0},
        {"KeyCount", o.KeyCount, 146},
        {"SharedDocVersion", o.SharedDocVersion, 0},
        {"ProductDocVersion", o.ProductDocVersion, 0},
        {"ProductDocUseCount", o.ProductDocUseCount, 0},
        {"InstalledVersion", o.InstalledVersion, 0},
        {"SharedUseCount", o.SharedUseCount, 0},
    };
}

std::vector<const GString*> PathStrings(const CInstall& o) {
    return {&o.LanguageName,
            &o.FirstInstallLocale,
            &o.VendorDir,
            &o.ProductDir,
            &o.VendorMenuDir,
            &o.ProductMenuDir,
            &o.RecordedProductDocFile,
            &o.ProductDocFile,
            &o.RecordedProductDocMenuLink,
            &o.ProductDocMenuLink,
            &o.RecordedProductDocDesktopLink,
            &o.ProductDocDesktopLink,
            &o.RecordedSharedDocFile,
            &o.SharedDocFile,
            &o.RecordedSharedDocMenuLink,
            &o.SharedDocMenuLink,
            &o.RecordedSharedDocDesktopLink,
            &o.SharedDocDesktopLink,
            &o.RecordedTextFile,
            &o.TextFile,
            &o.RecordedTextMenuLink,
            &o.TextMenuLink,
            &o.RecordedTextDesktopLink,
            &o.TextDesktopLink,
            &o.RecordedMenuPointerFile,
            &o.MenuPointerFile,
            &o.RecordedDesktopPointerFile,
            &o.DesktopPointerFile,
            &o.RecordedPointerTarget,
            &o.PointerTarget,
            &o.InstallerPath,
            &o.InstallerLinkTitle,
            &o.RecordedInstallerCopy,
            &o.InstallerCopy,
            &o.RecordedInstallerMenuLink,
            &o.InstallerMenuLink};
}

// The widths that the rest of the program relies on.
static_assert(std::is_same<decltype(CInstall::ProcessorArchitecture), int16_t>::value, "");
static_assert(std::is_same<decltype(CInstall::LayoutLangId), uint16_t>::value, "");
static_assert(std::is_same<decltype(CInstall::TargetLangId), uint16_t>::value, "");
static_assert(std::is_base_of<CInstallBase, CInstall>::value, "");

TEST(InstallObject, FreshObjectHoldsTheInitialNumbers) {
    CInstall o;
    for (const NumberCase& c : FreshNumbers(o)) EXPECT_EQ(c.actual, c.expected) << c.name;
    EXPECT_EQ(o.ModuleHandle, nullptr);
    EXPECT_EQ(o.Wizard, nullptr);
    EXPECT_EQ(o.GetOwnerWindow(), nullptr);
}

TEST(InstallObject, FreshObjectHasEmptyTextsTablesAndNoKey) {
    CInstall o;
    const std::vector<const GString*> paths = PathStrings(o);
    ASSERT_EQ(paths.size(), 36u);
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(paths[i]->Length(), 0) << "path string " << i;
    EXPECT_EQ(o.WorkText.Length(), 0);

    EXPECT_EQ(o.CommonTable.Count(), 0);
    EXPECT_EQ(o.LanguageTables[0].Count(), 0);
    EXPECT_EQ(o.LanguageTables[1].Count(), 0);
    EXPECT_EQ(o.SupplementaryTable.Count(), 0);
    EXPECT_FALSE(o.Guard.HasKey());
    EXPECT_EQ(o.FindString(0), nullptr);
    EXPECT_EQ(o.FindString(93), nullptr);
}

TEST(InstallObject, WorkingKeyTableIsTheBuiltInTableWithoutRemaps) {
    CInstall o;
    ASSERT_NE(o.KeyTable.get(), nullptr);
    ASSERT_EQ(o.KeyCount, kKeyTableRows);
    for (int i = 0; i < o.KeyCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(o.KeyTable[i].scanCode, kBuiltinKeyTable[i].scanCode);
        EXPECT_EQ(o.KeyTable[i].nameId, kBuiltinKeyTable[i].nameId);
        EXPECT_EQ(o.KeyTable[i].vkTarget, 0);
        EXPECT_EQ(o.KeyTable[i].scanTarget, 0);
    }
    // Each object has a table of its own; the built-in one stays as it was.
    CInstall other;
    o.KeyTable[0].vkTarget = 0x41;
    EXPECT_EQ(other.KeyTable[0].vkTarget, 0);
    EXPECT_EQ(kBuiltinKeyTable[0].defaultVk, 0x1B);
}

TEST(InstallObject, ReleaseTwiceLeavesNothingToFind) {
    FixtureTables fixture;
    std::string error;
    ASSERT_TRUE(fixture.Build(DefaultFixtureTexts(), error)) << error;
    CInstall o;
    ASSERT_TRUE(o.InitFrom(nullptr, fixture.Tables()));
    ASSERT_NE(o.FindString(154), nullptr);

    o.Release();
    for (uint32_t id : {0u, 86u, 93u, 154u}) EXPECT_EQ(o.FindString(id), nullptr) << id;
    EXPECT_FALSE(o.Guard.HasKey());
    GString text;
    EXPECT_EQ(o.GetString(93, text), 0);
    EXPECT_EQ(text.Length(), 0);

    o.Release();
    EXPECT_EQ(o.FindString(93), nullptr);
    EXPECT_EQ(o.SupplementaryTable.Count(), 0);
    // Settings outlive the release.
    EXPECT_EQ(o.LayoutLangId, 0x0415);
    EXPECT_NE(o.KeyTable.get(), nullptr);
}

TEST(InstallObject, ReleaseThroughTheBaseReachesTheSupplementaryTable) {
    FixtureTables fixture;
    std::string error;
    ASSERT_TRUE(fixture.Build(DefaultFixtureTexts(), error)) << error;
    CInstall o;
    ASSERT_TRUE(o.InitFrom(nullptr, fixture.Tables()));
    CInstallBase& base = o;
    ASSERT_NE(base.FindString(154), nullptr);  // only the supplementary table holds 154
    base.Release();
    EXPECT_EQ(o.SupplementaryTable.Count(), 0);
    EXPECT_EQ(base.FindString(154), nullptr);
}

// Destruction after Init failed at each of its steps frees whatever was made; the sanitizer
// build reports any leak or double free.
TEST(InstallObject, DestructionAfterInitFailedHalfWay) {
    FixtureTables fixture;
    std::string error;
    ASSERT_TRUE(fixture.Build(DefaultFixtureTexts(), error)) << error;
    struct Step {
        const char* name;
        std::vector<uint8_t>* blob;
    };
    const Step steps[] = {{"key block", &fixture.keyBlock},
                          {"common", &fixture.common},
                          {"supplementary", &fixture.supplementary},
                          {"language 0", &fixture.language[0]},
                          {"language 1", &fixture.language[1]}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const std::vector<uint8_t> saved = *step.blob;
        step.blob->pop_back();  // a key block of the wrong size, a blob of the wrong size
        fixture.Point();
        {
            CInstall o;
            EXPECT_EQ(o.InitFrom(nullptr, fixture.Tables()), 0);
        }
        *step.blob = saved;
        fixture.Point();
    }
}

TEST(InstallObject, InitReadsTheProgramTables) {
    CInstall o;
    int marker = 0;
    OsModule module = reinterpret_cast<OsModule>(&marker);
    ASSERT_EQ(o.Init(module), 1);
    EXPECT_EQ(o.ModuleHandle, module);
    EXPECT_TRUE(o.Guard.HasKey());
    EXPECT_EQ(o.LayoutLangId, 0x0415);
    EXPECT_EQ(o.Wizard, nullptr);
    GString text;
    ASSERT_EQ(o.GetString(93, text), 1);
    EXPECT_EQ(Utf8Of(text), "Kreska Setup");
}

// Rows as listed for the product: scan code, default entry, name id.
struct KeyRowCase {
    int row;
    uint16_t scanCode;
    uint16_t defaultVk;
    uint16_t nameId;
};

const KeyRowCase kKeyRows[] = {
    {0, 0x01, 0x1B, 175},      {1, 0x02, 0x31, 193},      {11, 0x0C, 0xBD, 308},
    {28, 0x1D, 0xA2, 282},     {53, 0x36, 0x1A1, 281},    {70, 0x47, 0xC24, 180},
    {75, 0x4C, 0xC0C, 168},    {82, 0x53, 0xC2E, 190},    {83, 0x56, 0xE2, 317},
    {86, 0x59, 0x0C, 168},     {87, 0x63, 0x2F, 191},     {99, 0x73, 0xC1, 273},
    {102, 0x7E, 0xC2, 274},    {103, 0xFF, 0xFF, 326},    {104, 0xE010, 0x1B1, 298},
    {106, 0xE01C, 0x10D, 286}, {115, 0xE035, 0x16F, 248}, {116, 0xE037, 0x2C, 188},
    {118, 0xE046, 0x103, 162}, {119, 0xE047, 0x124, 180}, {129, 0xE05B, 0x15B, 228},
    {139, 0xE06A, 0x1A6, 287}, {142, 0xE06D, 0x1B5, 302}, {143, 0xE11D, 0x13, 173},
    {144, 0x00, 0x00, 154},    {145, 0x00, 0x00, 0},
};

TEST(KeyTable, BuiltInRowsAsListed) {
    for (const KeyRowCase& c : kKeyRows) {
        SCOPED_TRACE(c.row);
        const KeyEntry& row = kBuiltinKeyTable[c.row];
        EXPECT_EQ(row.scanCode, c.scanCode);
        EXPECT_EQ(row.defaultVk, c.defaultVk);
        EXPECT_EQ(row.nameId, c.nameId);
        EXPECT_EQ(row.scanTarget, 0);
    }
}

TEST(KeyTable, ShapeOfTheBuiltInTable) {
    int firstZero = -1;
    for (int i = 0; i < kKeyTableRows; ++i) {
        if (kBuiltinKeyTable[i].scanCode == 0) {
            firstZero = i;
            break;
        }
    }
    EXPECT_EQ(firstZero, 144);
    // Scan codes are unique among the key rows, and every key row names its key.
    for (int i = 0; i < 144; ++i) {
        EXPECT_NE(kBuiltinKeyTable[i].nameId, 0) << i;
        for (int j = i + 1; j < 144; ++j)
            EXPECT_NE(kBuiltinKeyTable[i].scanCode, kBuiltinKeyTable[j].scanCode) << i << " " << j;
    }
    // Keys of one function share a display name: numeric-pad keys and their cursor-key twins.
    const uint16_t pairs[][2] = {{0x4C, 0x59},   {0x47, 0xE047}, {0x48, 0xE048}, {0x49, 0xE049},
                                 {0x4B, 0xE04B}, {0x4D, 0xE04D}, {0x4F, 0xE04F}, {0x50, 0xE050},
                                 {0x51, 0xE051}, {0x52, 0xE052}, {0x53, 0xE053}};
    auto nameOf = [](uint16_t scan) -> int {
        for (int i = 0; i < 144; ++i)
            if (kBuiltinKeyTable[i].scanCode == scan) return kBuiltinKeyTable[i].nameId;
        return -1;
    };
    for (const auto& p : pairs) {
        EXPECT_NE(nameOf(p[0]), -1) << std::hex << p[0];
        EXPECT_EQ(nameOf(p[0]), nameOf(p[1])) << std::hex << p[0] << " " << p[1];
    }
}

TEST(KeyTable, WorkingTableConstruction) {
    EXPECT_EQ(KeyTableBytes(146), 1168u);
    EXPECT_EQ(KeyTableBytes(-1), 0u);
    EXPECT_EQ(KeyTableBytes(INT32_MAX), 0u);  // 17 GB does not fit in 32 bits
    EXPECT_EQ(NewWorkingKeyTable(0).get(), nullptr);
    EXPECT_EQ(NewWorkingKeyTable(-5).get(), nullptr);
    EXPECT_EQ(NewWorkingKeyTable(INT32_MAX).get(), nullptr);

    // A longer table keeps the built-in rows first and zero rows after them.
    std::unique_ptr<KeyEntry[]> longer = NewWorkingKeyTable(150);
    ASSERT_NE(longer.get(), nullptr);
    EXPECT_EQ(longer[143].scanCode, 0xE11D);
    EXPECT_EQ(longer[144].nameId, 154);
    for (int i = 146; i < 150; ++i) {
        EXPECT_EQ(longer[i].scanCode, 0);
        EXPECT_EQ(longer[i].nameId, 0);
    }
}

}  // namespace
