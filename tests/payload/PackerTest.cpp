// The packer's inputs and checks: string-table sources, the id catalogue, manifests, the key
// block, and blobs that read back to their sources.
#include "Deflate.h"
#include "Packer.h"
#include "PackerInputs.h"
#include "StringCatalogue.h"
#include "SourceEmitter.h"
#include "StringSource.h"

#include "payload/BlobFormat.h"
#include "payload/Guard.h"
#include "payload/HeapBuffer.h"
#include "payload/StringTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Packer : public ::testing::Test {
public:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() / (std::string("kbpack-") + info->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string Write(const std::string& name, const std::string& text) {
        const fs::path path = folder / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    std::string ReadError(const std::string& name, const std::string& toml) {
        StringSource source;
        std::string error;
        EXPECT_FALSE(ReadStringSource(Write(name, toml), source, error)) << toml;
        return error;
    }

    fs::path folder;
};

TEST_F(Packer, StringSourceReadsIdsTextsAndEscapesInIdOrder) {
    const std::string path = Write("en.toml",
                                   "# 93: caption of every message box\n"
                                   "93 = \"Kreska Setup\"\n"
                                   "\n"
                                   "# 5: two lines, a tab and a control character\n"
                                   "5 = \"a\\nb\\tc\\u0001\"\n"
                                   "4294967295 = 'literal \\n stays'\n"
                                   "0 = \"\"\n"
                                   "7 = \"Zażółć\"\n");
    StringSource source;
    std::string error;
    ASSERT_TRUE(ReadStringSource(path, source, error)) << error;
    ASSERT_EQ(source.entries.size(), 5u);
    EXPECT_EQ(source.entries[0].id, 0u);
    EXPECT_EQ(source.entries[0].text, "");
    EXPECT_EQ(source.entries[1].id, 5u);
    EXPECT_EQ(source.entries[1].text, std::string("a\nb\tc\x01"));
    EXPECT_EQ(source.entries[1].line, 5);
    EXPECT_EQ(source.entries[2].text, "Zażółć");
    EXPECT_EQ(source.entries[3].id, 93u);
    EXPECT_EQ(source.entries[4].id, 4294967295u);
    EXPECT_EQ(source.entries[4].text, "literal \\n stays");
}

TEST_F(Packer, StringSourceErrorsNameTheFileLineAndId) {
    struct Case {
        const char* toml;
        const char* mustMention;
    };
    const Case cases[] = {
        {"1 = \"a\"\n93 = \"b\"\n93 = \"c\"\n", "en.toml:3: id 93 is defined twice"},
        {"1 = \"a\"\n93 = \"b\"\n\"93\" = \"c\"\n", "en.toml:3: id 93 is defined twice"},
        {"abc = \"x\"\n", "'abc'"},
        {"093 = \"x\"\n", "'093'"},
        {"4294967296 = \"x\"\n", "'4294967296'"},
        {"\"-1\" = \"x\"\n", "'-1'"},
        {"12 = 5\n", "id 12"},
        {"12 = \"unterminated\n", "en.toml:1"},
        {"[section]\n12 = \"x\"\n", "section"},
    };
    for (const Case& c : cases) {
        const std::string error = ReadError("en.toml", c.toml);
        EXPECT_NE(error.find("en.toml"), std::string::npos) << error;
        EXPECT_NE(error.find(c.mustMention), std::string::npos) << c.toml << " -> " << error;
    }
    EXPECT_NE(ReadError("en.toml", "1 = 'a'\n2 = 'b'\n2 = 'c'\n").find("en.toml:3"),
              std::string::npos);
}

TEST_F(Packer, MergedSourcesRefuseAnIdDefinedTwice) {
    const std::string a = Write("common.toml", "3 = 'x'\n4 = 'y'\n");
    const std::string b = Write("patterns.toml", "146 = 'AB'\n4 = 'z'\n");
    StringSource merged;
    std::string error;
    EXPECT_FALSE(ReadStringSources({a, b}, merged, error));
    EXPECT_NE(error.find("patterns.toml:2"), std::string::npos) << error;
    EXPECT_NE(error.find("common.toml:2"), std::string::npos) << error;
    EXPECT_NE(error.find("id 4"), std::string::npos) << error;

    const std::string c = Write("more.toml", "146 = 'AB'\n");
    ASSERT_TRUE(ReadStringSources({a, c}, merged, error)) << error;
    ASSERT_EQ(merged.entries.size(), 3u);
    EXPECT_EQ(merged.entries[2].id, 146u);
}

TEST_F(Packer, CatalogueCheckNamesEveryProblemWithItsIdAndFile) {
    std::vector<std::uint32_t> catalogue;
    std::string error;
    ASSERT_TRUE(ReadStringCatalogue(
        Write("ids.txt", "# ids\n1 caption\n2 title\n3 path\n\n4 name # note\n"), catalogue, error))
        << error;
    ASSERT_EQ(catalogue, (std::vector<std::uint32_t>{1, 2, 3, 4}));

    auto read = [&](const std::string& name, const std::string& toml) {
        StringSource s;
        EXPECT_TRUE(ReadStringSource(Write(name, toml), s, error)) << error;
        return s;
    };
    const StringSource common = read("common.toml", "3 = 'SOFTWARE'\n4 = 'kbdkresk.dll'\n");
    const StringSource supplementary = read("supplementary.toml", "2 = 'fallback'\n");
    const StringSource en = read("en.toml", "1 = 'Setup'\n2 = 'Title'\n");
    const StringSource pl = read("pl.toml", "1 = 'Instalator'\n");
    std::vector<std::string> problems;
    EXPECT_TRUE(CheckStringCatalogue(catalogue, common, supplementary, {en, pl}, problems));
    EXPECT_TRUE(problems.empty());

    const StringSource plMissing = read("pl2.toml", "2 = 'Tytuł'\n");         // 1 missing
    const StringSource enExtra = read("en2.toml", "1 = 'a'\n9 = 'stray'\n");  // 9 unlisted
    const StringSource supplementaryDup = read("sup2.toml", "3 = 'again'\n");
    problems.clear();
    EXPECT_FALSE(
        CheckStringCatalogue(catalogue, common, supplementaryDup, {enExtra, plMissing}, problems));
    std::string all;
    for (const auto& p : problems) all += p + "\n";
    EXPECT_NE(all.find("pl2.toml: id 1 is missing"), std::string::npos) << all;
    EXPECT_NE(all.find("en2.toml:2: id 9 is not in the string-id catalogue"), std::string::npos)
        << all;
    EXPECT_NE(all.find("sup2.toml:1: id 3 is also defined at"), std::string::npos) << all;
    EXPECT_NE(all.find("en2.toml: id 2 is missing"), std::string::npos) << all;

    EXPECT_FALSE(ReadStringCatalogue(Write("bad.txt", "1 a\n1 again\n"), catalogue, error));
    EXPECT_NE(error.find("id 1 listed twice"), std::string::npos) << error;
}

TEST_F(Packer, ManifestsDeclareBlobsAppendSourcesAndGroupThem) {
    const std::string manifest = Write("sub/inputs.manifest",
                                       "# comment\n"
                                       "blob StringTableCommon strings ../common.toml\n"
                                       "blob Lib0 file /abs/lib0.dll   # absolute stays\n"
                                       "blob Lib1 file lib1.dll\n"
                                       "append StringTableCommon ../patterns.toml\n"
                                       "group LayoutSet Lib0 - Lib1 Lib0\n");
    PackerInputs inputs;
    std::string error;
    ASSERT_TRUE(ReadManifest(manifest, inputs, error)) << error;
    ASSERT_EQ(inputs.blobs.size(), 3u);
    const std::string sub = (folder / "sub").string();
    EXPECT_EQ(inputs.blobs[0].path, sub + "/../common.toml");
    EXPECT_EQ(inputs.blobs[0].morePaths, (std::vector<std::string>{sub + "/../patterns.toml"}));
    EXPECT_EQ(inputs.blobs[1].path, "/abs/lib0.dll");
    EXPECT_EQ(inputs.blobs[2].kind, BlobKind::File);
    ASSERT_EQ(inputs.groups.size(), 1u);
    EXPECT_EQ(inputs.groups[0].members, (std::vector<std::string>{"Lib0", "-", "Lib1", "Lib0"}));
    EXPECT_TRUE(CheckInputs(inputs, error)) << error;

    const char* const bad[] = {
        "blob X nonsense a.bin\n",
        "frobnicate X\n",
        "blob X file a.bin\nappend X more.toml\n",  // only string tables take more sources
        "append Nowhere more.toml\n",
    };
    for (const char* text : bad) {
        PackerInputs none;
        EXPECT_FALSE(ReadManifest(Write("bad.manifest", text), none, error)) << text;
        EXPECT_NE(error.find("bad.manifest"), std::string::npos) << error;
    }

    const std::vector<PackerInputs> wrong = {
        {{{"A", BlobKind::File, "a"}, {"A", BlobKind::File, "b"}}, {}},
        {{{"PayloadKeyBlock", BlobKind::File, "a"}}, {}},
        {{{"9lives", BlobKind::File, "a"}}, {}},
        {{{"A", BlobKind::File, "a"}}, {{"Set", {"A", "B"}}}},
        {{{"A", BlobKind::File, "a"}}, {{"Set", {}}}},
    };
    for (const PackerInputs& w : wrong) EXPECT_FALSE(CheckInputs(w, error));
}

TEST_F(Packer, EmittedSourcesDeclareBlobsGroupsAndEmptyEntries) {
    const std::vector<StoredBlob> blobs = {{"Lib0", std::vector<std::uint8_t>(8, 0xAB)},
                                           {"Lib1", std::vector<std::uint8_t>(16, 0xCD)}};
    const std::vector<GroupInput> groups = {{"LayoutSet", {"Lib1", "-", "Lib0"}}};
    const std::string header = (folder / "Data.h").string();
    const std::string source = (folder / "Data.cpp").string();
    std::string error;
    ASSERT_TRUE(EmitPayloadSources(header, source, "Data.h", std::vector<std::uint8_t>(968, 1),
                                   blobs, groups, error))
        << error;
    std::ifstream h(header), c(source);
    const std::string headerText((std::istreambuf_iterator<char>(h)), {});
    const std::string sourceText((std::istreambuf_iterator<char>(c)), {});
    EXPECT_NE(headerText.find("extern const BlobRef Lib1;"), std::string::npos);
    EXPECT_NE(headerText.find("extern const BlobRef LayoutSet[3];"), std::string::npos);
    EXPECT_NE(headerText.find("PayloadEntryCount = 2u"), std::string::npos);
    EXPECT_NE(sourceText.find("{kLib1Bytes, 16u},\n    {nullptr, 0u},\n    {kLib0Bytes, 8u},"),
              std::string::npos)
        << sourceText;
    EXPECT_NE(sourceText.find("const BlobRef PayloadKeyBlock = {kPayloadKeyBlockBytes, 968u};"),
              std::string::npos);
}

TEST_F(Packer, CommandLineArgumentsParse) {
    BlobInput blob;
    GroupInput group;
    std::string error;
    ASSERT_TRUE(ParseBlobArgument("LicenceText0=text:/data/licence/en.txt", blob, error));
    EXPECT_EQ(blob.name, "LicenceText0");
    EXPECT_EQ(blob.kind, BlobKind::Text);
    EXPECT_EQ(blob.path, "/data/licence/en.txt");
    EXPECT_FALSE(ParseBlobArgument("NoKind", blob, error));
    EXPECT_FALSE(ParseBlobArgument("X=zip:/a", blob, error));
    ASSERT_TRUE(ParseGroupArgument("Set=A,B", group, error));
    EXPECT_EQ(group.members, (std::vector<std::string>{"A", "B"}));
}

TEST_F(Packer, KeyBlockIsHexWithComments) {
    std::vector<std::uint8_t> block;
    std::string error;
    ASSERT_TRUE(ReadKeyBlock(Write("k.hex", "# key\n00ff 1A\n# more\n\tb2\n"), block, error));
    EXPECT_EQ(block, (std::vector<std::uint8_t>{0x00, 0xFF, 0x1A, 0xB2}));
    EXPECT_FALSE(ReadKeyBlock(Write("odd.hex", "abc"), block, error));
    EXPECT_FALSE(ReadKeyBlock(Write("bad.hex", "zz"), block, error));
}

TEST_F(Packer, DeflateTakesTheSmallerStream) {
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 5000; ++i)
        data.push_back(static_cast<std::uint8_t>("QWERTZ layout chart "[i % 20] ^ (i % 7)));
    DeflateResult result;
    ASSERT_TRUE(DeflateBest(data, 5, result));
    EXPECT_EQ(result.packed.size(), std::min(result.zlibSize, result.zopfliSize));
    EXPECT_TRUE(result.method == "zopfli" || result.method == "zlib-9");
}

class PackerWithKey : public Packer {
public:
    void SetUp() override {
        Packer::SetUp();
        std::vector<std::uint8_t> block;
        std::string error;
        ASSERT_TRUE(ReadKeyBlock(KB_KEY_BLOCK, block, error)) << error;
        ASSERT_TRUE(guard.SetKeyBlock(block.data(), static_cast<std::uint32_t>(block.size())));
    }
    CGuard guard;
};

TEST_F(PackerWithKey, StringBlobUnpacksToASortedTableWithItsCountAsUserValue) {
    const BlobInput input{"StringTableLanguage0", BlobKind::Strings,
                          Write("en.toml", "93 = 'Kreska Setup'\n0 = 'Kreska'\n8 = '→'\n")};
    StoredBlob stored;
    PackedFigures figures;
    std::string error;
    ASSERT_TRUE(PackBlob(guard, input, 5, stored, figures, error)) << error;
    EXPECT_EQ(stored.bytes.size() % 8, 0u);
    EXPECT_EQ(figures.userValue, 3u);

    std::uint32_t size = static_cast<std::uint32_t>(stored.bytes.size());
    std::uint32_t count = 0;
    HeapBuffer<std::uint8_t> plain(guard.Unpack(stored.bytes.data(), size, &count));
    ASSERT_TRUE(plain);
    CStringTable table;
    ASSERT_TRUE(table.Attach(plain.get(), count, size));
    plain.release();
    const CountedText* arrow = table.Find(8);
    ASSERT_NE(arrow, nullptr);
    EXPECT_FALSE(CountedIsNarrow(CountedHeader(arrow)));  // 3 UTF-8 bytes against 2 UTF-16 bytes
    EXPECT_NE(table.Find(0), nullptr);
    EXPECT_NE(table.Find(93), nullptr);
}

TEST_F(PackerWithKey, PackingIsReproducible) {
    const BlobInput input{"LicenceText0", BlobKind::Text,
                          Write("en.txt", "\xEF\xBB\xBFMIT License\n\nCopyright Lipowa Labs\n")};
    StoredBlob first;
    StoredBlob second;
    PackedFigures figures;
    std::string error;
    ASSERT_TRUE(PackBlob(guard, input, 5, first, figures, error)) << error;
    ASSERT_TRUE(PackBlob(guard, input, 5, second, figures, error)) << error;
    EXPECT_EQ(first.bytes, second.bytes);
}

TEST_F(PackerWithKey, BadInputsFailWithTheirPath) {
    const BlobInput cases[] = {
        {"T", BlobKind::Text, Write("bad.txt", "caf\xE9\n")},  // Latin-1, not UTF-8
        {"S", BlobKind::Strings, Write("empty.toml", "# nothing yet\n")},
        {"F", BlobKind::File, (folder / "missing.bin").string()},
    };
    for (const BlobInput& input : cases) {
        StoredBlob stored;
        PackedFigures figures;
        std::string error;
        EXPECT_FALSE(PackBlob(guard, input, 5, stored, figures, error)) << input.path;
        EXPECT_NE(error.find(input.path), std::string::npos) << error;
    }
}

}  // namespace
