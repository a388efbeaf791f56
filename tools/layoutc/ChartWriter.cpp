#include "ChartWriter.h"

#include <sstream>

#include "LayoutParser.h"
#include "VirtualKeys.h"

namespace layoutc {
namespace {

constexpr int kUnit = 64;  // one key width in pixels
constexpr int kKeyHeight = 64;
constexpr int kMargin = 20;
constexpr int kGap = 4;

struct KeySpot {
    int scan;
    double width;       // in key widths
    const char* label;  // for keys that type nothing; nullptr takes the key's name
};

// The main block of a 104/105-key keyboard, row by row.
const std::vector<std::vector<KeySpot>>& Rows() {
    static const std::vector<std::vector<KeySpot>> rows = {
        {{0x29, 1, nullptr},
         {0x02, 1, nullptr},
         {0x03, 1, nullptr},
         {0x04, 1, nullptr},
         {0x05, 1, nullptr},
         {0x06, 1, nullptr},
         {0x07, 1, nullptr},
         {0x08, 1, nullptr},
         {0x09, 1, nullptr},
         {0x0A, 1, nullptr},
         {0x0B, 1, nullptr},
         {0x0C, 1, nullptr},
         {0x0D, 1, nullptr},
         {0x0E, 2, "Backspace"}},
        {{0x0F, 1.5, "Tab"},
         {0x10, 1, nullptr},
         {0x11, 1, nullptr},
         {0x12, 1, nullptr},
         {0x13, 1, nullptr},
         {0x14, 1, nullptr},
         {0x15, 1, nullptr},
         {0x16, 1, nullptr},
         {0x17, 1, nullptr},
         {0x18, 1, nullptr},
         {0x19, 1, nullptr},
         {0x1A, 1, nullptr},
         {0x1B, 1, nullptr},
         {0x2B, 1.5, nullptr}},
        {{0x3A, 1.75, "Caps Lock"},
         {0x1E, 1, nullptr},
         {0x1F, 1, nullptr},
         {0x20, 1, nullptr},
         {0x21, 1, nullptr},
         {0x22, 1, nullptr},
         {0x23, 1, nullptr},
         {0x24, 1, nullptr},
         {0x25, 1, nullptr},
         {0x26, 1, nullptr},
         {0x27, 1, nullptr},
         {0x28, 1, nullptr},
         {0x1C, 2.25, "Enter"}},
        {{0x2A, 1.25, "Shift"},
         {0x56, 1, nullptr},
         {0x2C, 1, nullptr},
         {0x2D, 1, nullptr},
         {0x2E, 1, nullptr},
         {0x2F, 1, nullptr},
         {0x30, 1, nullptr},
         {0x31, 1, nullptr},
         {0x32, 1, nullptr},
         {0x33, 1, nullptr},
         {0x34, 1, nullptr},
         {0x35, 1, nullptr},
         {0x36, 2.75, "Shift"}},
        {{0x1D, 1.25, "Ctrl"},
         {0xE05B, 1.25, "Win"},
         {0x38, 1.25, "Alt"},
         {0x39, 6.25, nullptr},
         {0xE038, 1.25, "AltGr"},
         {0xE05C, 1.25, "Win"},
         {0xE05D, 1.25, "Menu"},
         {0xE01D, 1.25, "Ctrl"}},
    };
    return rows;
}

std::string Xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// What a key cap shows for one character; empty for characters without a glyph of their own.
std::string Glyph(const KeyChar& ch) {
    if (!ch.present || ch.ch < 0x20 || ch.ch == 0x7F) return "";
    if (ch.ch == 0x20) return "";
    if (ch.ch == 0xA0) return "nbsp";
    if (ch.ch == 0x202F) return "nnbsp";
    return EncodeUtf8(ch.ch);
}

const CharRow* FindRow(const ResolvedLayout& layout, uint8_t vk) {
    for (const CharRow& row : layout.rows)
        if (row.vk == vk) return &row;
    return nullptr;
}

uint16_t VkOf(const ResolvedLayout& layout, int scan) {
    if (scan < kScanCount) return layout.scanToVk[scan];
    for (const ScanVk& entry : layout.e0)
        if (entry.scan == (scan & 0xFF)) return entry.vkEntry;
    return 0xFF;
}

void Text(std::ostringstream& out, double x, double y, const std::string& text, const char* cls) {
    if (text.empty()) return;
    out << "<text x=\"" << x << "\" y=\"" << y << "\" class=\"" << cls << "\">" << Xml(text)
        << "</text>";
}

void DrawKey(std::ostringstream& out, const ResolvedLayout& standard,
             const ResolvedLayout& alternative, const KeySpot& spot, double x, double y) {
    const double w = spot.width * kUnit - kGap;
    const double h = kKeyHeight - kGap;
    out << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << w << "\" height=\"" << h
        << "\" rx=\"6\" class=\"key\"/>";
    const uint8_t vk = static_cast<uint8_t>(VkOf(standard, spot.scan) & 0xFF);
    const CharRow* row = FindRow(standard, vk);
    const bool types = row != nullptr && !Glyph(row->chars[kBase]).empty();
    if (!types && spot.scan != 0x39) {
        Text(out, x + 6, y + h - 8, spot.label ? spot.label : std::string(VirtualKeyName(vk)),
             "name");
        return;
    }
    if (spot.scan == 0x39) Text(out, x + w / 2 - 20, y + h - 8, "Space", "name");
    const bool letter = row->attributes & kCapsLock;
    Text(out, x + 7, y + 22, Glyph(row->chars[kShift]), letter ? "letter" : "plain");
    if (!letter) Text(out, x + 7, y + h - 8, Glyph(row->chars[kBase]), "plain");
    const double right = spot.scan == 0x39 ? x + w / 2 + 30 : x + w - 22;
    Text(out, right, y + 22, Glyph(row->chars[kShiftAltGr]), "altgr");
    Text(out, right, y + h - 8, Glyph(row->chars[kAltGr]), "altgr");
    // The alternative set's own AltGr characters, where they differ.
    const CharRow* alt = FindRow(alternative, vk);
    if (alt == nullptr) return;
    std::string differs;
    for (int c : {kAltGr, kShiftAltGr}) {
        const KeyChar& a = alt->chars[c];
        const KeyChar& s = row->chars[c];
        if (a.present && (a.dead != s.dead || a.ch != s.ch || !s.present))
            differs += (differs.empty() ? "" : " ") + Glyph(a);
    }
    Text(out, x + w / 2 - (differs.size() > 3 ? 8 : 3), y + h / 2 + 7, differs, "dead");
}

// Where the alternative set puts a dead key, as "AltGr+2" or "Shift+AltGr+=".
std::string DeadKeyPlace(const Layout& layout, const DeadKey& dead) {
    for (const KeyRow& key : layout.keys)
        for (int c = 0; c < 2; ++c)
            if (key.altChars[c].dead && key.altChars[c].ch == dead.accent)
                return std::string(c ? "Shift+AltGr+" : "AltGr+") + Glyph(key.chars[kBase]);
    return "";
}

}  // namespace

std::string WriteChartSvg(const Layout& layout, size_t variant) {
    const ResolvedLayout standard = ResolveLayout(layout, variant, 0);
    const ResolvedLayout alternative = ResolveLayout(layout, variant, 1);
    const int width = 15 * kUnit + 2 * kMargin;
    const int height = 5 * kKeyHeight + 2 * kMargin + 30;
    std::ostringstream out;
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << " " << height << "\" role=\"img\">"
        << "<title>" << Xml(standard.variant->nameEn) << "</title>"
        << "<style>.key{fill:#fbfbf8;stroke:#555;stroke-width:1.2}"
           "text{font-family:'DejaVu Sans',Arial,sans-serif}"
           ".plain{font-size:17px;fill:#111}.letter{font-size:20px;font-weight:bold;fill:#111}"
           ".altgr{font-size:15px;fill:#1f4fbf}.dead{font-size:20px;fill:#d2691e;font-weight:bold}"
           ".name{font-size:11px;fill:#555}.legend{font-size:13px;fill:#333}</style>"
        << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>";
    double y = kMargin;
    for (const auto& row : Rows()) {
        double x = kMargin;
        for (const KeySpot& spot : row) {
            DrawKey(out, standard, alternative, spot, x, y);
            x += spot.width * kUnit;
        }
        y += kKeyHeight;
    }
    y += 22;
    out << "<text x=\"" << kMargin << "\" y=\"" << y << "\" class=\"legend\">"
        << "Shift / base: black · AltGr, Shift+AltGr: <tspan fill=\"#1f4fbf\">blue</tspan>"
        << " · dead keys of the alternative set: <tspan fill=\"#d2691e\">orange</tspan></text>"
        << "</svg>\n";
    return out.str();
}

std::string WriteChartDocument(const Layout& layout) {
    std::ostringstream out;
    out << "<!DOCTYPE html>\n<html lang=\"pl\">\n<head>\n<meta charset=\"utf-8\">\n"
        << "<title>Kreska – układ klawiatury / keyboard layout</title>\n"
        << "<style>\nbody{font-family:'DejaVu Sans',Arial,sans-serif;margin:24px;color:#222}\n"
           "h1{font-size:22px}h2{font-size:18px;margin-top:28px}\n"
           "section{page-break-after:always}svg{max-width:100%;height:auto}\n"
           "table{border-collapse:collapse;font-size:14px}"
           "td,th{border:1px solid #999;padding:3px 8px;text-align:left}\n"
           "@page{size:A4 landscape;margin:12mm}\n</style>\n</head>\n<body>\n"
        << "<h1>Kreska – układ klawiatury / keyboard layout</h1>\n"
        << "<p>Polskie litery: prawy Alt (AltGr) z literą. Polish letters: right Alt (AltGr) "
           "with the letter. Caps Lock działa także z AltGr / Caps Lock also works with "
           "AltGr.</p>\n";
    for (size_t v = 0; v < layout.variants.size(); ++v) {
        const Variant& variant = layout.variants[v];
        out << "<section id=\"" << Xml(variant.id) << "\">\n<h2>" << Xml(variant.nameEn);
        if (variant.namePl != variant.nameEn) out << " / " << Xml(variant.namePl);
        out << "</h2>\n" << WriteChartSvg(layout, v) << "</section>\n";
    }
    out << "<section id=\"dead-keys\">\n<h2>Martwe klawisze (zestaw alternatywny) / Dead keys "
           "(alternative set)</h2>\n<table>\n<tr><th>Akcent / Accent</th><th>Klawisz / Key</th>"
           "<th>Nazwa / Name</th><th>Litery / Letters</th></tr>\n";
    for (const DeadKey& dead : layout.deadKeys) {
        out << "<tr><td>" << Xml(EncodeUtf8(dead.accent)) << "</td><td>"
            << Xml(DeadKeyPlace(layout, dead)) << "</td><td>" << Xml(dead.name) << "</td><td>";
        for (const auto& [base, result] : dead.compositions)
            if (base != 0x20) out << Xml(EncodeUtf8(result)) << " ";
        out << "</td></tr>\n";
    }
    out << "</table>\n</section>\n</body>\n</html>\n";
    return out.str();
}

}  // namespace layoutc
