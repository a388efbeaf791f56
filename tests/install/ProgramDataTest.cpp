// The installer object over the program's real stored tables.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PayloadData.h"
#include "install/CInstall.h"
#include "tests/install/InstallFixture.h"

#ifndef KB_STRING_IDS
#error "KB_STRING_IDS names the string-id catalogue"
#endif

namespace {

// The ids of the catalogue: the first number of every line that is not a comment.
std::vector<uint32_t> CatalogueIds() {
    std::vector<uint32_t> ids;
    std::ifstream file(KB_STRING_IDS);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        uint32_t id = 0;
        if (fields >> id) ids.push_back(id);
    }
    return ids;
}

// What every part of the program relies on: each id it fetches comes back, as wide text, in
// either language, through the object's own look-up order.
TEST(ProgramData, EveryCatalogueIdIsFetchedInBothLanguages) {
    const std::vector<uint32_t> ids = CatalogueIds();
    ASSERT_GE(ids.size(), 278u);
    CInstall install;
    ASSERT_EQ(install.Init(nullptr), 1);
    for (int32_t language : {0, 1}) {
        ASSERT_EQ(install.SetLanguageIndex(language), 1);
        for (uint32_t id : ids) {
            GString text;
            EXPECT_EQ(install.GetString(id, text), 1) << "language " << language << " id " << id;
            EXPECT_TRUE(text.IsWide()) << "language " << language << " id " << id;
        }
    }
}

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
