#include "TableWriter.h"

#include <cstdio>
#include <sstream>

#include "VirtualKeys.h"

namespace layoutc {
namespace {

constexpr int kWidths[] = {5, 3, 2, 1};  // table order; the keypad's one-column table comes last

std::string Hex(unsigned value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
    return buffer;
}

std::string CharValue(const KeyChar& ch) {
    if (!ch.present) return "KB_WCH_NONE";
    if (ch.dead) return "KB_WCH_DEAD";
    return Hex(ch.ch, 4);
}

std::string WideText(const std::string& ascii, int lead = -1) {
    std::string out = "{";
    if (lead >= 0) out += Hex(static_cast<unsigned>(lead), 4) + ", ";
    for (char c : ascii) {
        if (c == '\'' || c == '\\')
            out += std::string("'\\") + c + "', ";
        else
            out += std::string("'") + c + "', ";
    }
    return out + "0}";
}

bool HasDead(const CharRow& row) {
    for (const KeyChar& ch : row.chars)
        if (ch.dead) return true;
    return false;
}

class Writer {
public:
    Writer(const ResolvedLayout& layout, std::ostringstream& out) : layout_(layout), out_(out) {
        // The decimal key's row goes into a table of its own among the patchable tables.
        for (const CharRow& row : layout_.rows)
            if (row.vk == 0x6E && row.width == 2 && row.attributes == 0) decimal_ = &row;
    }

    void Flat() {
        Patchable();
        out_ << "static const KbVkToBit kbVkToBits[] = {\n"
                "    {0x10, KB_SHIFT}, {0x11, KB_CTRL}, {0x12, KB_ALT}, {0, 0},\n};\n\n";
        for (int width : kWidths) Rows(width);
        DeadKeys();
        Names();
    }

    void Tree(bool wide) {
        const std::string suffix = wide ? "Wide" : "";
        const auto slot = [wide](const std::string& value) {
            return wide ? "{" + value + "}" : value;
        };
        out_ << "static const KbModifiers" << suffix << " kbModifiers" << suffix << " = {"
             << slot("kbVkToBits")
             << ", 7, {0, 1, 2, KB_SHIFT_INVALID, KB_SHIFT_INVALID, KB_SHIFT_INVALID, 3, 4}};\n";
        out_ << "static const KbVkToWcharTable" << suffix << " kbWcharTables" << suffix
             << "[] = {\n";
        for (int width : kWidths)
            if (RowCount(width) > 0)
                out_ << "    {" << slot("kbRows" + std::to_string(width)) << ", " << width
                     << ", sizeof(KbVkToWchars" << width << ")},\n";
        // Last, so that looking a character up prefers the main block's full stop.
        if (decimal_ != nullptr)
            out_ << "    {" << slot("kbPatchable.Decimal") << ", 2, sizeof(KbVkToWchars2)},\n";
        out_ << "    {" << slot("0") << ", 0, 0},\n};\n";
        NameTable("kbKeyNames" + suffix, "KbVscName" + suffix, layout_.names, "kbName", slot);
        NameTable("kbKeyNamesExt" + suffix, "KbVscName" + suffix, layout_.namesExt, "kbNameExt",
                  slot);
        const bool dead = !layout_.deadKeys.empty();
        if (dead) {
            out_ << "static const " << (wide ? "KbSlot" : "KbWord* const") << " kbKeyNamesDead"
                 << suffix << "[] = {";
            for (size_t i = 0; i < layout_.deadKeys.size(); ++i)
                out_ << slot("kbDeadName" + std::to_string(i)) << ", ";
            out_ << slot("0") << "};\n";
        }
        out_ << "static const KbTables" << suffix << " kbTables" << suffix << " = {\n"
             << "    " << slot("&kbModifiers" + suffix) << ", " << slot("kbWcharTables" + suffix)
             << ", " << slot(dead ? "kbDeadKeys" : "0") << ",\n"
             << "    " << slot("kbKeyNames" + suffix) << ", " << slot("kbKeyNamesExt" + suffix)
             << ", " << slot(dead ? "kbKeyNamesDead" + suffix : "0") << ",\n"
             << "    " << slot("kbPatchable.ScanToVk") << ", " << kScanCount << ", "
             << slot("kbPatchable.E0") << ", " << slot("kbPatchable.E1") << ",\n"
             << "    KB_LOCALE_FLAGS, 0, 0, " << slot("0") << " KB_TYPE_FIELDS\n};\n\n";
    }

private:
    // The tables the installer patches, pointer-free and in one object so that their order in
    // the image is fixed: the installer searches each table after patching the ones before it in
    // this list's reverse (scan codes, E0, E1, decimal key), and a table lying before every
    // patched one cannot be mistaken for bytes a patch wrote.
    void Patchable() {
        out_ << "/* The tables the installer patches, in this order in the image. */\n"
                "static const struct {\n";
        if (decimal_ != nullptr) out_ << "    KbVkToWchars2 Decimal[2];\n";
        out_ << "    KbVscVk E1[" << layout_.e1.size() + 1 << "];\n"
             << "    KbVscVk E0[" << layout_.e0.size() + 1 << "];\n"
             << "    KbWord ScanToVk[" << kScanCount << "];\n"
             << "} kbPatchable = {\n";
        if (decimal_ != nullptr)
            out_ << "    {{" << Hex(decimal_->vk, 2) << ", " << Hex(decimal_->attributes, 2)
                 << ", {" << CharValue(decimal_->chars[kBase]) << ", "
                 << CharValue(decimal_->chars[kShift]) << "}}, {0, 0, {0}}},\n";
        ScanList(layout_.e1);
        ScanList(layout_.e0);
        out_ << "    {";
        for (int i = 0; i < kScanCount; ++i)
            out_ << (i % 8 == 0 ? "\n        " : " ") << Hex(layout_.scanToVk[i], 4) << ",";
        out_ << "\n    },\n};\n\n";
    }

    void ScanList(const std::vector<ScanVk>& list) {
        out_ << "    {\n";
        for (const ScanVk& entry : list)
            out_ << "        {" << Hex(entry.scan, 2) << ", 0, " << Hex(entry.vkEntry, 4) << "},\n";
        out_ << "        {0, 0, 0},\n    },\n";
    }

    bool InTables(const CharRow& row) const { return &row != decimal_; }

    size_t RowCount(int width) const {
        size_t count = 0;
        for (const CharRow& row : layout_.rows)
            if (row.width == width && InTables(row)) ++count;
        return count;
    }

    void Rows(int width) {
        if (RowCount(width) == 0) return;
        out_ << "static const KbVkToWchars" << width << " kbRows" << width << "[] = {\n";
        for (const CharRow& row : layout_.rows) {
            if (row.width != width || !InTables(row)) continue;
            out_ << "    {" << Hex(row.vk, 2) << ", " << Hex(row.attributes, 2) << ", {";
            for (int c = 0; c < width; ++c) out_ << (c ? ", " : "") << CharValue(row.chars[c]);
            out_ << "}}, /* " << VirtualKeyName(row.vk) << " */\n";
            if (!HasDead(row)) continue;
            // The row after a dead-key row holds the accents of its dead columns.
            out_ << "    {0xFF, 0x00, {";
            for (int c = 0; c < width; ++c)
                out_ << (c ? ", " : "")
                     << (row.chars[c].dead ? Hex(row.chars[c].ch, 4) : "KB_WCH_NONE");
            out_ << "}},\n";
        }
        out_ << "    {0, 0, {0}},\n};\n\n";
    }

    void DeadKeys() {
        if (layout_.deadKeys.empty()) return;
        out_ << "static const KbDeadKey kbDeadKeys[] = {\n";
        for (const DeadKey* dead : layout_.deadKeys)
            for (const auto& [base, result] : dead->compositions)
                out_ << "    {" << Hex((static_cast<unsigned>(dead->accent) << 16) | base, 8)
                     << ", " << Hex(result, 4) << ", 0},\n";
        out_ << "    {0, 0, 0},\n};\n\n";
        for (size_t i = 0; i < layout_.deadKeys.size(); ++i)
            out_ << "static const KbWord kbDeadName" << i
                 << "[] = " << WideText(layout_.deadKeys[i]->name, layout_.deadKeys[i]->accent)
                 << ";\n";
        out_ << "\n";
    }

    void Names() {
        for (const KeyName& name : layout_.names)
            out_ << "static const KbWord kbName" << Hex(name.scan, 2).substr(2)
                 << "[] = " << WideText(name.name) << ";\n";
        for (const KeyName& name : layout_.namesExt)
            out_ << "static const KbWord kbNameExt" << Hex(name.scan, 2).substr(2)
                 << "[] = " << WideText(name.name) << ";\n";
        out_ << "\n";
    }

    template <typename Slot>
    void NameTable(const std::string& table, const std::string& type,
                   const std::vector<KeyName>& names, const char* prefix, const Slot& slot) {
        out_ << "static const " << type << " " << table << "[] = {\n";
        for (const KeyName& name : names)
            out_ << "    {" << Hex(name.scan, 2) << ", "
                 << slot(prefix + Hex(name.scan, 2).substr(2)) << "},\n";
        out_ << "    {0, " << slot("0") << "},\n};\n";
    }

    const ResolvedLayout& layout_;
    std::ostringstream& out_;
    const CharRow* decimal_ = nullptr;
};

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string WriteTables(const ResolvedLayout& layout, const std::string& sourceName) {
    std::ostringstream out;
    out << "/* Generated by layoutc from " << sourceName << ": " << layout.displayNameEn()
        << ". Change the layout source, not this file. */\n\n";
    Writer writer(layout, out);
    writer.Flat();
    out << "/* The tree with the build's own pointers. */\n";
    writer.Tree(false);
    out << "#ifndef __x86_64__\n/* The tree with 8-byte pointer slots for 32-bit readers on "
           "64-bit Windows. */\n";
    writer.Tree(true);
    out << "#endif\n";
    return out.str();
}

std::string WriteResourceNames(const ResolvedLayout& layout) {
    std::ostringstream out;
    out << "/* Generated by layoutc. */\n"
        << "#define KB_DISPLAY_NAME_EN " << Quoted(layout.displayNameEn()) << "\n"
        << "#define KB_DISPLAY_NAME_PL " << Quoted(layout.displayNamePl()) << "\n";
    return out.str();
}

}  // namespace layoutc
