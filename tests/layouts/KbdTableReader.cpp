#include "KbdTableReader.h"

#include <cstring>

namespace kbtest {

std::string Hex(uint64_t value) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 15]);
        value >>= 4;
    } while (value != 0);
    return "0x" + text;
}

namespace {

constexpr uint16_t kWchDead = 0xF001;
constexpr int kMaxEntries = 4096;  // no table of a layout is longer; stops runaway walks

class Reader {
public:
    Reader(const ImageView& image, int pointerSize, std::string& error)
        : image_(image), pointerSize_(pointerSize), error_(error) {}

    bool Fail(const std::string& message) {
        error_ = message;
        return false;
    }

    bool Bytes(uint64_t address, void* out, uint64_t count, const char* what) {
        if (address < image_.base || address - image_.base > image_.size ||
            count > image_.size - (address - image_.base))
            return Fail(std::string(what) + " at " + Hex(address) + " lies outside the image");
        std::memcpy(out, image_.bytes + (address - image_.base), count);
        return true;
    }

    template <typename T>
    bool Value(uint64_t address, T& out, const char* what) {
        uint8_t raw[sizeof(T)];
        if (!Bytes(address, raw, sizeof(T), what)) return false;
        uint64_t value = 0;
        for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<uint64_t>(raw[i]) << (8 * i);
        out = static_cast<T>(value);
        return true;
    }

    bool Pointer(uint64_t address, uint64_t& out, const char* what) {
        if (pointerSize_ == 4) {
            uint32_t value;
            if (!Value(address, value, what)) return false;
            out = value;
        } else if (!Value(address, out, what)) {
            return false;
        }
        if (out != 0 && (out < image_.base || out >= image_.base + image_.size))
            return Fail(std::string(what) + " points outside the image: " + Hex(out));
        return true;
    }

    bool Text(uint64_t address, std::u16string& out, const char* what) {
        out.clear();
        for (int i = 0; i < kMaxEntries; ++i, address += 2) {
            uint16_t ch;
            if (!Value(address, ch, what)) return false;
            if (ch == 0) return true;
            out.push_back(static_cast<char16_t>(ch));
        }
        return Fail(std::string(what) + " has no end");
    }

    int P() const { return pointerSize_; }

private:
    const ImageView& image_;
    int pointerSize_;
    std::string& error_;
};

bool ReadModifiers(Reader& r, uint64_t at, DecodedLayout& out) {
    if (at == 0) return r.Fail("no modifier table");
    uint64_t bits;
    if (!r.Pointer(at, bits, "modifier bit table") ||
        !r.Value(at + r.P(), out.maxModBits, "modifier count"))
        return false;
    if (bits == 0) return r.Fail("no modifier bit table");
    if (out.maxModBits > 0xFF) return r.Fail("modifier count too large");
    out.modNumber.resize(out.maxModBits + 1u);
    if (!r.Bytes(at + r.P() + 2, out.modNumber.data(), out.modNumber.size(), "modifier numbers"))
        return false;
    for (int i = 0;; ++i) {
        if (i == 16) return r.Fail("modifier bit table has no end");
        uint8_t pair[2];
        if (!r.Bytes(bits + 2 * i, pair, 2, "modifier bits")) return false;
        if (pair[0] == 0) break;
        out.vkToBits.emplace_back(pair[0], pair[1]);
    }
    return true;
}

bool ReadRows(Reader& r, uint64_t rows, int width, DecodedLayout& out) {
    const uint64_t rowSize = 2 + 2 * static_cast<uint64_t>(width);
    for (int i = 0; i < kMaxEntries; ++i) {
        const uint64_t at = rows + i * rowSize;
        uint8_t head[2];
        if (!r.Bytes(at, head, 2, "character row")) return false;
        if (head[0] == 0) return true;
        if (head[0] == 0xFF) return r.Fail("dead-key accent row without a dead-key row before it");
        DecodedRow row;
        row.vk = head[0];
        row.attributes = head[1];
        row.width = width;
        row.chars.resize(width);
        for (int c = 0; c < width; ++c)
            if (!r.Value(at + 2 + 2 * c, row.chars[c], "character")) return false;
        bool dead = false;
        for (uint16_t ch : row.chars) dead |= ch == kWchDead;
        if (dead) {
            ++i;
            const uint64_t next = rows + i * rowSize;
            if (!r.Bytes(next, head, 2, "accent row")) return false;
            if (head[0] != 0xFF) return r.Fail("dead-key row without its accent row");
            row.deadChars.resize(width);
            for (int c = 0; c < width; ++c)
                if (!r.Value(next + 2 + 2 * c, row.deadChars[c], "accent")) return false;
        }
        out.rows.push_back(std::move(row));
    }
    return r.Fail("character table has no end");
}

bool ReadCharTables(Reader& r, uint64_t at, DecodedLayout& out) {
    if (at == 0) return r.Fail("no character tables");
    const uint64_t entrySize = 2 * static_cast<uint64_t>(r.P());
    for (int i = 0; i < 16; ++i) {
        uint64_t rows;
        uint8_t width, size;
        const uint64_t entry = at + i * entrySize;
        if (!r.Pointer(entry, rows, "character table") ||
            !r.Value(entry + r.P(), width, "column count") ||
            !r.Value(entry + r.P() + 1, size, "row size"))
            return false;
        if (rows == 0) return true;
        if (width == 0 || width > 10) return r.Fail("column count out of range");
        if (size != 2 + 2 * width) return r.Fail("row size does not match the column count");
        if (!ReadRows(r, rows, width, out)) return false;
    }
    return r.Fail("character table list has no end");
}

bool ReadDeadKeys(Reader& r, uint64_t at, DecodedLayout& out) {
    if (at == 0) return true;
    for (int i = 0; i < kMaxEntries; ++i) {
        uint32_t both;
        uint16_t composed, flags;
        if (!r.Value(at + 8 * i, both, "dead key") ||
            !r.Value(at + 8 * i + 4, composed, "dead key") ||
            !r.Value(at + 8 * i + 6, flags, "dead key"))
            return false;
        if (both == 0) return true;
        out.deadKeys.push_back({static_cast<uint16_t>(both >> 16),
                                static_cast<uint16_t>(both & 0xFFFF), composed, flags});
    }
    return r.Fail("dead-key table has no end");
}

bool ReadNames(Reader& r, uint64_t at, std::vector<DecodedName>& out) {
    if (at == 0) return true;
    const uint64_t entrySize = 2 * static_cast<uint64_t>(r.P());
    for (int i = 0; i < 256; ++i) {
        uint8_t scan;
        uint64_t text;
        if (!r.Value(at + i * entrySize, scan, "key name") ||
            !r.Pointer(at + i * entrySize + r.P(), text, "key name text"))
            return false;
        if (scan == 0 && text == 0) return true;
        if (text == 0) return r.Fail("key name without text");
        DecodedName name{scan, {}};
        if (!r.Text(text, name.name, "key name text")) return false;
        out.push_back(std::move(name));
    }
    return r.Fail("key name table has no end");
}

bool ReadDeadNames(Reader& r, uint64_t at, std::vector<std::u16string>& out) {
    if (at == 0) return true;
    for (int i = 0; i < 256; ++i) {
        uint64_t text;
        if (!r.Pointer(at + i * static_cast<uint64_t>(r.P()), text, "dead-key name")) return false;
        if (text == 0) return true;
        std::u16string name;
        if (!r.Text(text, name, "dead-key name text")) return false;
        out.push_back(std::move(name));
    }
    return r.Fail("dead-key name table has no end");
}

bool ReadScanList(Reader& r, uint64_t at, std::vector<DecodedScanVk>& out) {
    if (at == 0) return r.Fail("no prefixed scan-code table");
    for (int i = 0; i < 256; ++i) {
        uint8_t scan;
        uint16_t vk;
        if (!r.Value(at + 4 * i, scan, "prefixed scan code") ||
            !r.Value(at + 4 * i + 2, vk, "prefixed scan code"))
            return false;
        if (scan == 0) return true;
        out.push_back({scan, vk});
    }
    return r.Fail("prefixed scan-code table has no end");
}

}  // namespace

bool ReadLayoutTables(const ImageView& image, uint64_t tables, int pointerSize, bool hasType,
                      DecodedLayout& out, std::string& error) {
    out = DecodedLayout{};
    if (pointerSize != 4 && pointerSize != 8) {
        error = "pointer size must be 4 or 8";
        return false;
    }
    Reader r(image, pointerSize, error);
    const int p = pointerSize;
    // Field offsets: pointers in slots of p bytes; the scan-code count padded to a slot; the
    // DWORD flags and the two ligature bytes take one 8-byte slot, or two 4-byte ones.
    const uint64_t flagsAt = 10 * p;
    const uint64_t ligaturesAt = p == 8 ? 11 * 8 : 12 * 4;
    const uint64_t typeAt = ligaturesAt + p;
    uint64_t modifiers, charTables, deadKeys, names, namesExt, deadNames, scanToVk, e0, e1;
    uint8_t maxScan;
    if (!r.Pointer(tables + 0 * p, modifiers, "modifiers") ||
        !r.Pointer(tables + 1 * p, charTables, "character tables") ||
        !r.Pointer(tables + 2 * p, deadKeys, "dead keys") ||
        !r.Pointer(tables + 3 * p, names, "key names") ||
        !r.Pointer(tables + 4 * p, namesExt, "extended key names") ||
        !r.Pointer(tables + 5 * p, deadNames, "dead-key names") ||
        !r.Pointer(tables + 6 * p, scanToVk, "scan-code table") ||
        !r.Value(tables + 7 * p, maxScan, "scan-code count") ||
        !r.Pointer(tables + 8 * p, e0, "E0 table") || !r.Pointer(tables + 9 * p, e1, "E1 table") ||
        !r.Value(tables + flagsAt, out.localeFlags, "locale flags") ||
        !r.Value(tables + flagsAt + 4, out.ligatureMax, "ligature size") ||
        !r.Value(tables + flagsAt + 5, out.ligatureSize, "ligature entry size") ||
        !r.Pointer(tables + ligaturesAt, out.ligatures, "ligatures"))
        return false;
    if (hasType && (!r.Value(tables + typeAt, out.type, "keyboard type") ||
                    !r.Value(tables + typeAt + 4, out.subType, "keyboard subtype")))
        return false;
    if (scanToVk == 0 || maxScan == 0) return r.Fail("no scan-code table");
    out.scanToVk.resize(maxScan);
    for (int i = 0; i < maxScan; ++i)
        if (!r.Value(scanToVk + 2 * i, out.scanToVk[i], "scan-code table")) return false;
    out.scanToVkAt = scanToVk - image.base;
    out.e0At = e0 - image.base;
    out.e1At = e1 - image.base;
    return ReadModifiers(r, modifiers, out) && ReadCharTables(r, charTables, out) &&
           ReadDeadKeys(r, deadKeys, out) && ReadNames(r, names, out.names) &&
           ReadNames(r, namesExt, out.namesExt) && ReadDeadNames(r, deadNames, out.deadNames) &&
           ReadScanList(r, e0, out.e0) && ReadScanList(r, e1, out.e1);
}

}  // namespace kbtest
