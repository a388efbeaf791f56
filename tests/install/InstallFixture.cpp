#include "tests/install/InstallFixture.h"

#include "payload/BlobWriter.h"
#include "payload/Guard.h"

std::vector<uint8_t> FixtureTables::TestKeyBlock() {
    std::vector<uint8_t> block(static_cast<size_t>(CGuard::kBlockLength));
    uint32_t state = 0x2545F491u;
    for (uint8_t& b : block) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<uint8_t>(state >> 24);
    }
    return block;
}

std::vector<uint8_t> FixtureTables::Seal(const std::vector<uint8_t>& plain,
                                         uint32_t userValue) const {
    CGuard guard;
    std::vector<uint8_t> packed, stored;
    const uint32_t size = static_cast<uint32_t>(plain.size());
    if (!guard.SetKeyBlock(keyBlock.data(), static_cast<uint32_t>(keyBlock.size()))) return {};
    if (!DeflateRawZlib(plain.data(), size, 9, packed)) return {};
    if (!SealBlob(guard, packed, plain.data(), size, userValue, stored)) return {};
    return stored;
}

std::vector<uint8_t> FixtureTables::SealTable(const std::vector<StringEntry>& entries) const {
    std::vector<uint8_t> table;
    uint32_t count = 0;
    std::string error;
    if (!BuildStringTable(entries, table, count, error)) return {};
    return Seal(table, count);
}

int FixtureTables::Build(const FixtureTexts& texts, std::string& error) {
    const std::vector<StringEntry>* sources[4] = {&texts.common, &texts.supplementary,
                                                  &texts.language[0], &texts.language[1]};
    std::vector<uint8_t>* targets[4] = {&common, &supplementary, &language[0], &language[1]};
    static const char* const kNames[4] = {"common", "supplementary", "language 0", "language 1"};
    for (int i = 0; i < 4; ++i) {
        *targets[i] = SealTable(*sources[i]);
        if (targets[i]->empty()) {
            error = std::string("cannot pack the ") + kNames[i] + " table";
            return 0;
        }
    }
    Point();
    return 1;
}

void FixtureTables::Point() {
    auto ref = [](const std::vector<uint8_t>& bytes) {
        return BlobRef{bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(bytes.size())};
    };
    m_tables.keyBlock = ref(keyBlock);
    m_tables.common = ref(common);
    m_tables.supplementary = ref(supplementary);
    m_tables.language[0] = ref(language[0]);
    m_tables.language[1] = ref(language[1]);
}

StringEntry Entry(uint32_t id, const std::string& utf8, EntryWidth width) {
    StringEntry entry;
    entry.id = id;
    entry.utf8 = utf8;
    entry.width = width;
    return entry;
}

std::string Utf8Of(const GString& text) {
    if (!text.IsWide()) return "<narrow>";
    std::string out;
    const char16_t* p = text.WideText();
    const int n = text.Length();
    for (int i = 0; i < n; ++i) {
        uint32_t c = p[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
