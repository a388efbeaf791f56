// The program data as the build packed it from data/: every blob unpacks under the stored key
// block to exactly its source, and the string tables answer every id of their sources through
// the installer's look-up order.
#include "PayloadData.h"

#include "payload/Guard.h"
#include "payload/HeapBuffer.h"
#include "payload/StringTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef KB_PAYLOAD_EXPECT
#error "KB_PAYLOAD_EXPECT names the expectations file the packer wrote"
#endif
#ifndef KB_STRING_IDS
#error "KB_STRING_IDS names the string-id catalogue"
#endif

namespace {

struct ExpectedBlob {
    std::string name;
    std::string kind;
    std::uint32_t plainSize = 0;
    std::uint32_t userValue = 0;
    std::uint32_t plainCrc = 0;
    std::string path;
    std::map<std::uint32_t, std::string> entries;  // string tables: id -> UTF-8 text
};

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::map<std::string, ExpectedBlob> ReadExpectations() {
    std::map<std::string, ExpectedBlob> blobs;
    std::ifstream file(KB_PAYLOAD_EXPECT);
    std::string line;
    while (std::getline(file, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string part; std::getline(fields, part, '\t');) f.push_back(part);
        if (f.size() == 7 && f[0] == "blob") {
            ExpectedBlob& b = blobs[f[1]];
            b.name = f[1];
            b.kind = f[2];
            b.plainSize = static_cast<std::uint32_t>(std::stoul(f[3]));
            b.userValue = static_cast<std::uint32_t>(std::stoul(f[4]));
            b.plainCrc = static_cast<std::uint32_t>(std::stoul(f[5]));
            b.path = f[6];
        } else if (f.size() >= 3 && f[0] == "entry") {
            blobs[f[1]].entries[static_cast<std::uint32_t>(std::stoul(f[2]))] =
                f.size() > 3 ? FromHex(f[3]) : std::string();
        }
    }
    return blobs;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>());
}

// A counted text as UTF-8, whichever width it was stored in.
std::string EntryAsUtf8(const CountedText* entry) {
    const std::uint32_t header = CountedHeader(entry);
    const auto* data = static_cast<const std::uint8_t*>(CountedTextData(entry));
    const int length = CountedLength(header);
    if (CountedIsNarrow(header)) return std::string(reinterpret_cast<const char*>(data), length);
    std::string out;
    for (int i = 0; i < length; ++i) {
        std::uint32_t cp = data[2 * i] | data[2 * i + 1] << 8;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < length) {
            const std::uint32_t low = data[2 * i + 2] | data[2 * i + 3] << 8;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

class RoundTrip : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(guard.SetKeyBlock(PayloadKeyBlock.data, PayloadKeyBlock.size));
        expected = ReadExpectations();
        ASSERT_EQ(expected.size(), PayloadEntryCount) << "expectations: " << KB_PAYLOAD_EXPECT;
    }

    int AttachTable(const BlobRef& blob, CStringTable& table) {
        std::uint32_t size = blob.size;
        std::uint32_t count = 0;
        HeapBuffer<std::uint8_t> plain(guard.Unpack(blob.data, size, &count));
        if (!plain || !table.Attach(plain.get(), count, size)) return 0;
        plain.release();
        return 1;
    }

    CGuard guard;
    std::map<std::string, ExpectedBlob> expected;
};

TEST_F(RoundTrip, EveryBlobUnpacksToItsSource) {
    for (unsigned i = 0; i < PayloadEntryCount; ++i) {
        const PayloadEntry& entry = PayloadEntries[i];
        SCOPED_TRACE(entry.name);
        ASSERT_EQ(expected.count(entry.name), 1u);
        const ExpectedBlob& want = expected[entry.name];
        EXPECT_EQ(entry.blob->size % 8, 0u);

        std::uint32_t size = entry.blob->size;
        std::uint32_t user = 0xFFFFFFFF;
        HeapBuffer<std::uint8_t> plain(guard.Unpack(entry.blob->data, size, &user));
        ASSERT_TRUE(plain);
        EXPECT_EQ(size, want.plainSize);
        EXPECT_EQ(user, want.userValue);
        if (want.kind != "strings") {
            const std::vector<std::uint8_t> source = ReadFile(want.path);
            ASSERT_EQ(source.size(), size) << want.path;
            EXPECT_EQ(std::memcmp(source.data(), plain.get(), size), 0) << want.path;
        }
    }
}

TEST_F(RoundTrip, StringTablesHoldExactlyTheirSourceEntries) {
    int tables = 0;
    for (const auto& [name, want] : expected) {
        if (want.kind != "strings") continue;
        SCOPED_TRACE(name);
        ++tables;
        const BlobRef* blob = nullptr;
        for (unsigned i = 0; i < PayloadEntryCount; ++i)
            if (name == PayloadEntries[i].name) blob = PayloadEntries[i].blob;
        ASSERT_NE(blob, nullptr);
        CStringTable table;
        ASSERT_TRUE(AttachTable(*blob, table));
        EXPECT_EQ(static_cast<std::size_t>(table.Count()), want.entries.size());
        for (const auto& [id, text] : want.entries) {
            const CountedText* found = table.Find(id);
            ASSERT_NE(found, nullptr) << "id " << id;
            EXPECT_EQ(EntryAsUtf8(found), text) << "id " << id;
        }
    }
    EXPECT_EQ(tables, 4);
}

// The look-up order of the installer (language table, common, supplementary) over the four
// packed tables finds every catalogue id in both languages, with the text the sources give by
// the same order.
TEST_F(RoundTrip, CatalogueIdsResolveInBothLanguagesAsTheSourcesSay) {
    CStringTable common, supplementary, language[2];
    ASSERT_TRUE(AttachTable(StringTableCommon, common));
    ASSERT_TRUE(AttachTable(StringTableSupplementary, supplementary));
    ASSERT_TRUE(AttachTable(StringTableLanguage0, language[0]));
    ASSERT_TRUE(AttachTable(StringTableLanguage1, language[1]));

    std::vector<std::uint32_t> catalogue;
    std::ifstream file(KB_STRING_IDS);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line[0] >= '0' && line[0] <= '9')
            catalogue.push_back(static_cast<std::uint32_t>(std::stoul(line)));
    }
    ASSERT_GE(catalogue.size(), 278u);

    const char* const names[2] = {"StringTableLanguage0", "StringTableLanguage1"};
    int resolved = 0;
    for (int lang = 0; lang < 2; ++lang) {
        const auto& own = expected[names[lang]].entries;
        const auto& shared = expected["StringTableCommon"].entries;
        const auto& extra = expected["StringTableSupplementary"].entries;
        for (const std::uint32_t id : catalogue) {
            const CountedText* found = language[lang].Find(id);
            if (!found) found = common.Find(id);
            if (!found) found = supplementary.Find(id);
            const std::string* want = nullptr;
            for (const auto* source : {&own, &shared, &extra}) {
                const auto it = source->find(id);
                if (!want && it != source->end()) want = &it->second;
            }
            ASSERT_EQ(found != nullptr, want != nullptr) << "language " << lang << " id " << id;
            if (found) {
                EXPECT_EQ(EntryAsUtf8(found), *want) << "language " << lang << " id " << id;
                ++resolved;
            }
        }
    }
    // the tables are complete: every catalogue id has a text in both languages
    EXPECT_EQ(resolved, static_cast<int>(2 * catalogue.size()));
}

TEST_F(RoundTrip, LicenceTextsAreUtf8AndDifferByLanguage) {
    std::uint32_t size0 = LicenceText0.size;
    std::uint32_t size1 = LicenceText1.size;
    HeapBuffer<std::uint8_t> en(guard.Unpack(LicenceText0.data, size0));
    HeapBuffer<std::uint8_t> pl(guard.Unpack(LicenceText1.data, size1));
    ASSERT_TRUE(en);
    ASSERT_TRUE(pl);
    EXPECT_GT(size0, 100u);
    EXPECT_GT(size1, 100u);
    EXPECT_FALSE(size0 == size1 && std::memcmp(en.get(), pl.get(), size0) == 0);
}

}  // namespace
