#include "payload/StringTableWriter.h"

#include "payload/ByteOrder.h"
#include "text/CountedText.h"

#include <algorithm>

int Utf8ToUtf16(const std::string& utf8, std::u16string& utf16) {
    utf16.clear();
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char lead = s[i];
        std::uint32_t cp = 0;
        std::size_t extra = 0;
        std::uint32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            return 0;
        }
        if (n - i <= extra) return 0;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return 0;
            cp = cp << 6 | (s[i + k] & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            utf16.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            utf16.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            utf16.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return 1;
}

namespace {

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t bytes[4];
    StoreLe32(bytes, v);
    out.insert(out.end(), bytes, bytes + 4);
}

int AppendEntry(const StringEntry& entry, std::vector<std::uint8_t>& area, std::string& error) {
    std::u16string wide;
    if (!Utf8ToUtf16(entry.utf8, wide)) {
        error = "id " + std::to_string(entry.id) + ": text is not valid UTF-8";
        return 0;
    }
    const bool narrow = entry.width == EntryWidth::Narrow || (entry.width == EntryWidth::Shortest &&
                                                              entry.utf8.size() <= 2 * wide.size());
    const std::size_t units = narrow ? entry.utf8.size() : wide.size();
    if (units > kCountedLengthMask) {
        error = "id " + std::to_string(entry.id) + ": text too long";
        return 0;
    }
    while (area.size() % 4 != 0) area.push_back(0);
    AppendLe32(area, static_cast<std::uint32_t>(units) | (narrow ? kCountedNarrowBit : 0u));
    if (narrow) {
        area.insert(area.end(), entry.utf8.begin(), entry.utf8.end());
        return 1;
    }
    for (const char16_t unit : wide) {
        area.push_back(static_cast<std::uint8_t>(unit));
        area.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return 1;
}

}  // namespace

int BuildStringTable(std::vector<StringEntry> entries, std::vector<std::uint8_t>& table,
                     std::uint32_t& count, std::string& error) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].id == entries[i - 1].id) {
            error = "id " + std::to_string(entries[i].id) + " appears twice";
            return 0;
        }
    }
    std::vector<std::uint8_t> index;
    std::vector<std::uint8_t> area;
    for (const StringEntry& entry : entries) {
        const std::size_t offset = (area.size() + 3) & ~std::size_t{3};
        if (!AppendEntry(entry, area, error)) return 0;
        AppendLe32(index, entry.id);
        AppendLe32(index, static_cast<std::uint32_t>(offset));
    }
    if (index.size() + area.size() > UINT32_MAX) {
        error = "table too large";
        return 0;
    }
    table = std::move(index);
    table.insert(table.end(), area.begin(), area.end());
    count = static_cast<std::uint32_t>(entries.size());
    return 1;
}
