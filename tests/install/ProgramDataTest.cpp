// The installer object over the program's real stored tables.
#include <gtest/gtest.h>

#include <string>

#include "PayloadData.h"
#include "install/CInstall.h"
#include "tests/install/InstallFixture.h"

namespace {

TEST(ProgramData, InitReadsTheRealTables) {
    CInstall install;
    ASSERT_EQ(install.Init(nullptr), 1);
    EXPECT_NE(install.LayoutLangId, 0);  // string 86 names the layout's language
    GString first, second;
    // Caption of every message box, present and different in the two languages.
    ASSERT_EQ(install.GetString(93, first), 1);
    ASSERT_EQ(install.SetLanguageIndex(1), 1);
    ASSERT_EQ(install.GetString(93, second), 1);
    EXPECT_GT(first.Length(), 0);
    EXPECT_GT(second.Length(), 0);
    EXPECT_NE(Utf8Of(first), Utf8Of(second));
    install.Release();
    EXPECT_EQ(install.GetString(93, first), 0);
}

TEST(ProgramData, LicenceTextsLoad) {
    CInstall install;
    ASSERT_EQ(install.Init(nullptr), 1);
    for (const BlobRef* blob : {&LicenceText0, &LicenceText1}) {
        GString text;
        ASSERT_NE(install.LoadTextBlob(blob->data, blob->size, text), 0);
        EXPECT_FALSE(text.IsWide());
        ASSERT_GT(text.Length(), 100);
        EXPECT_NE(static_cast<unsigned char>(text.NarrowText()[0]), 0xEF);  // no mark left
        EXPECT_NE(text.ToWide(-1), nullptr);                                // valid UTF-8
    }
}

}  // namespace
