#include "LayoutParser.h"

#include <algorithm>
#include <locale>
#include <stdexcept>
#include <map>
#include <optional>

#include "VirtualKeys.h"

namespace layoutc {
namespace {

constexpr const char* kColumnNames[kColumnCount] = {"base", "shift", "ctrl", "altgr",
                                                    "shift+altgr"};

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line at blanks; "..." is one token without its quotes.
bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& fault) {
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        Token token;
        if (line[i] == '"') {
            const size_t end = line.find('"', i + 1);
            if (end == std::string_view::npos) {
                fault = "unterminated quoted text";
                return false;
            }
            token.text = std::string(line.substr(i + 1, end - i - 1));
            token.quoted = true;
            i = end + 1;
        } else {
            size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r')
                ++end;
            token.text = std::string(line.substr(i, end - i));
            i = end;
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

std::optional<unsigned> ParseHex(std::string_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

std::string Hex(unsigned value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(digits, '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 15];
    return text;
}

// Letter pairs decide Caps Lock: a letter and its upper case. Sharp s is no such pair: its upper
// case is two letters in common use, so Caps Lock leaves it alone.
// The full Unicode case tables of the C.UTF-8 locale, without touching the global locale.
bool IsCasePair(uint16_t lower, uint16_t upper) {
    if (lower == upper) return false;
    static const std::locale utf8 = [] {
        try {
            return std::locale("C.UTF-8");
        } catch (const std::runtime_error&) {
            return std::locale::classic();
        }
    }();
    const auto& ctype = std::use_facet<std::ctype<wchar_t>>(utf8);
    return ctype.toupper(static_cast<wchar_t>(lower)) == static_cast<wchar_t>(upper);
}

class Parser {
public:
    Parser(const std::string& fileName, Layout& layout, std::string& error)
        : fileName_(fileName), layout_(layout), error_(error) {}

    bool Run(std::string_view text) {
        size_t start = 0;
        int line = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            ++line;
            lastLine_ = line;
            if (!ParseLine(text.substr(start, end - start), line)) return false;
            start = end + 1;
        }
        return Finish();
    }

private:
    bool Fail(int line, const std::string& message) {
        error_ = fileName_ + ":" + std::to_string(line) + ": " + message;
        return false;
    }

    bool ParseLine(std::string_view text, int line) {
        std::vector<Token> tokens;
        std::string fault;
        const size_t first = text.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || text[first] == '#') return true;
        if (!Tokenize(text, tokens, fault)) return Fail(line, fault);
        const std::string& keyword = tokens[0].text;
        if (keyword == "variant") return ParseVariant(tokens, line);
        if (keyword == "set") return ParseSet(tokens, line);
        if (keyword == "key") return ParseKey(tokens, line);
        if (keyword == "dead") return ParseDead(tokens, line);
        return Fail(line,
                    "unknown line kind '" + keyword + "' (expected variant, set, key or dead)");
    }

    bool ParseVariant(const std::vector<Token>& tokens, int line) {
        if (tokens.size() < 4 || tokens[1].quoted || !tokens[2].quoted || !tokens[3].quoted)
            return Fail(line,
                        "expected: variant ID \"English name\" \"Polish name\" [SCAN=VK ...]");
        Variant variant;
        variant.line = line;
        variant.id = tokens[1].text;
        variant.nameEn = tokens[2].text;
        variant.namePl = tokens[3].text;
        for (const Variant& other : layout_.variants)
            if (other.id == variant.id)
                return Fail(line, "duplicate variant '" + variant.id + "' (first on line " +
                                      std::to_string(other.line) + ")");
        for (size_t i = 4; i < tokens.size(); ++i) {
            const std::string& move = tokens[i].text;
            const size_t eq = move.find('=');
            const auto scan = eq == std::string::npos ? std::nullopt : ParseHex(move.substr(0, eq));
            if (tokens[i].quoted || !scan || *scan >= kScanCount)
                return Fail(line, "expected SCAN=VK with a plain scan code, not '" + move + "'");
            const auto vk = VirtualKeyCode(move.substr(eq + 1));
            if (!vk) return Fail(line, "unknown virtual key '" + move.substr(eq + 1) + "'");
            for (const auto& other : variant.moves)
                if (other.first == static_cast<int>(*scan))
                    return Fail(line, "scan code " + Hex(*scan, 2) + " moved twice");
            variant.moves.emplace_back(*scan, static_cast<uint8_t>(*vk));
        }
        layout_.variants.push_back(std::move(variant));
        return true;
    }

    bool ParseSet(const std::vector<Token>& tokens, int line) {
        if (tokens.size() != 4 || tokens[1].quoted || !tokens[2].quoted || !tokens[3].quoted)
            return Fail(line, "expected: set ID \"English suffix\" \"Polish suffix\"");
        if (layout_.sets.size() == 2) return Fail(line, "more than two sets");
        layout_.sets.push_back({tokens[1].text, tokens[2].text, tokens[3].text});
        return true;
    }

    // One character field; dead keys only where allowDead.
    bool ParseChar(const std::string& text, int line, bool allowDead, const char* column,
                   KeyChar& out) {
        out = KeyChar{};
        std::string body = text;
        if (body.rfind("dead:", 0) == 0) {
            if (!allowDead)
                return Fail(line, std::string("dead key in the ") + column +
                                      " column: dead keys belong to the alternative set (alt:)");
            out.dead = true;
            body = body.substr(5);
        }
        if (!out.dead && (body == "-" || body == "none")) return true;
        long code;
        if (body == "space")
            code = 0x20;
        else if (body == "nbsp")
            code = 0xA0;
        else if (body == "minus")
            code = '-';
        else if (body == "hash")
            code = '#';
        else if (body == "quote")
            code = '"';
        else if (body.size() >= 3 && body[0] == 'U' && body[1] == '+') {
            const std::string digits = body.substr(2);
            code = -1;
            if (digits.size() >= 4 && digits.size() <= 6 &&
                digits.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos)
                code = std::stol(digits, nullptr, 16);
        } else {
            code = DecodeSingleCodePoint(body);
        }
        if (code < 0)
            return Fail(line, "'" + text + "' in the " + column +
                                  " column is not one character (write U+XXXX or a name)");
        if (code > 0xFFFF)
            return Fail(line, "character U+" + Hex(static_cast<unsigned>(code), 5) + " in the " +
                                  column + " column is outside the Basic Multilingual Plane");
        if ((code >= 0xD800 && code <= 0xDFFF) || (code >= 0xF000 && code <= 0xF002) || code == 0)
            return Fail(line, "character U+" + Hex(static_cast<unsigned>(code), 4) + " in the " +
                                  column + " column is reserved by the table format");
        out.present = true;
        out.ch = static_cast<uint16_t>(code);
        return true;
    }

    bool ParseScan(const std::string& text, int line, int& scan) {
        if (text == "-") {
            scan = -1;
            return true;
        }
        const auto value = ParseHex(text);
        const bool plain = text.size() == 2 && value && *value < kScanCount && *value != 0;
        const bool prefixed = text.size() == 4 && value &&
                              ((*value >> 8) == 0xE0 || (*value >> 8) == 0xE1) &&
                              (*value & 0xFF) != 0;
        if (!plain && !prefixed)
            return Fail(line, "bad scan code '" + text + "' (01 to 7E, E0xx, E1xx or -)");
        scan = static_cast<int>(*value);
        return true;
    }

    bool ParseVk(const std::string& text, int line, uint16_t& entry) {
        size_t plus = text.find('+');
        const std::string name = text.substr(0, plus);
        const auto vk = VirtualKeyCode(name);
        if (!vk) return Fail(line, "unknown virtual key '" + name + "'");
        entry = static_cast<uint16_t>(*vk);
        while (plus != std::string::npos) {
            const size_t next = text.find('+', plus + 1);
            const std::string flag = text.substr(plus + 1, next - plus - 1);
            if (flag == "ext")
                entry |= kFlagExt;
            else if (flag == "multivk")
                entry |= kFlagMultiVk;
            else if (flag == "special")
                entry |= kFlagSpecial;
            else if (flag == "numpad")
                entry |= kFlagNumpad;
            else
                return Fail(line, "unknown key flag '" + flag + "'");
            plus = next;
        }
        return true;
    }

    bool ParseKey(std::vector<Token> tokens, int line) {
        KeyRow key;
        key.line = line;
        if (!tokens.empty() && tokens.back().quoted) {
            key.name = tokens.back().text;
            tokens.pop_back();
            for (char c : key.name)
                if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
                    return Fail(line, "key names are plain ASCII text");
        }
        if (tokens.size() < 3) return Fail(line, "expected: key SCAN VK [CAPS characters...]");
        if (!ParseScan(tokens[1].text, line, key.scan)) return false;
        if (!ParseVk(tokens[2].text, line, key.vkEntry)) return false;
        if (!key.name.empty() && (key.scan < 0 || (key.scan >> 8) == 0xE1))
            return Fail(line, "only plain and E0 keys carry a name");
        if (tokens.size() > 3 && !ParseCharacters(tokens, line, key)) return false;
        if (key.scan < 0 && !key.hasChars)
            return Fail(line, "a key without a scan code must give its characters");
        if (!CheckDuplicate(key)) return false;
        layout_.keys.push_back(std::move(key));
        return true;
    }

    bool ParseCharacters(const std::vector<Token>& tokens, int line, KeyRow& key) {
        size_t alt = 3;
        while (alt < tokens.size() && tokens[alt].text != "alt:") ++alt;
        const size_t given = alt - 4;  // after the caps field
        if (alt == 3 || given < kColumnCount) {
            const size_t have = alt > 4 ? given : 0;
            return Fail(line, "missing shift state: " + std::to_string(have) + " of " +
                                  std::to_string(kColumnCount) + " characters given, the " +
                                  kColumnNames[have] + " column is missing");
        }
        if (given > kColumnCount) return Fail(line, "more than five characters before alt:");
        const std::string& caps = tokens[3].text;
        if (caps == "-")
            key.caps = 0;
        else if (caps == "C")
            key.caps = kCapsLock;
        else if (caps == "CA")
            key.caps = kCapsLock | kCapsLockAltGr;
        else
            return Fail(line, "caps field must be -, C or CA, not '" + caps + "'");
        for (int c = 0; c < kColumnCount; ++c)
            if (!ParseChar(tokens[4 + c].text, line, false, kColumnNames[c], key.chars[c]))
                return false;
        key.hasChars = true;
        if (alt < tokens.size()) {
            if (tokens.size() - alt - 1 != 2)
                return Fail(line,
                            "missing shift state: alt: needs the altgr and shift+altgr "
                            "columns, " +
                                std::to_string(tokens.size() - alt - 1) + " given");
            key.hasAlt = true;
            for (int c = 0; c < 2; ++c)
                if (!ParseChar(tokens[alt + 1 + c].text, line, true,
                               c == 0 ? "alt: altgr" : "alt: shift+altgr", key.altChars[c]))
                    return false;
        }
        return CheckCaps(key, line);
    }

    // Caps Lock must act on exactly the letter pairs: a pair without it, or a flag on a pair
    // that is not one letter in two cases, is a fault.
    bool CheckCaps(const KeyRow& key, int line) {
        auto pair = [](const KeyChar& a, const KeyChar& b) {
            return a.present && b.present && !a.dead && !b.dead && IsCasePair(a.ch, b.ch);
        };
        const bool basePair = pair(key.chars[kBase], key.chars[kShift]);
        const bool altGrPair = pair(key.chars[kAltGr], key.chars[kShiftAltGr]);
        const bool altSetPair = key.hasAlt && pair(key.altChars[0], key.altChars[1]);
        if ((key.caps & kCapsLock) && !basePair)
            return Fail(line, "Caps Lock flag on a key whose base and shift are not one letter");
        if (!(key.caps & kCapsLock) && basePair)
            return Fail(line, "letter key without Caps Lock (caps field C)");
        if ((key.caps & kCapsLockAltGr) && !altGrPair)
            return Fail(line, "CA on a key whose AltGr level is not one letter in two cases");
        if (!(key.caps & kCapsLockAltGr) && (altGrPair || altSetPair))
            return Fail(line, "AltGr letter without Caps Lock (caps field CA)");
        if ((key.caps & kCapsLockAltGr) && key.hasAlt && !pair(key.altChars[0], key.altChars[1]))
            return Fail(line, "CA on a key whose alternative AltGr level is not one letter");
        return true;
    }

    bool CheckDuplicate(const KeyRow& key) {
        for (const KeyRow& other : layout_.keys) {
            if (key.scan >= 0 && other.scan == key.scan)
                return Fail(key.line, "duplicate key " + ScanText(key.scan) + " (first on line " +
                                          std::to_string(other.line) + ")");
            if (key.hasChars && other.hasChars && other.vk() == key.vk())
                return Fail(key.line, "duplicate characters for virtual key " +
                                          std::string(VirtualKeyName(key.vk())) +
                                          " (first on line " + std::to_string(other.line) + ")");
        }
        return true;
    }

    static std::string ScanText(int scan) { return Hex(scan, scan > 0xFF ? 4 : 2); }

    bool ParseDead(const std::vector<Token>& tokens, int line) {
        if (tokens.size() < 4 || !tokens[2].quoted)
            return Fail(line, "expected: dead ACCENT \"Name\" BASE=RESULT ...");
        DeadKey dead;
        dead.line = line;
        KeyChar accent;
        if (!ParseChar(tokens[1].text, line, false, "accent", accent)) return false;
        if (!accent.present) return Fail(line, "a dead key needs an accent character");
        dead.accent = accent.ch;
        dead.name = tokens[2].text;
        for (const DeadKey& other : layout_.deadKeys)
            if (other.accent == dead.accent)
                return Fail(
                    line, "duplicate dead key (first on line " + std::to_string(other.line) + ")");
        for (size_t i = 3; i < tokens.size(); ++i) {
            const std::string& pairText = tokens[i].text;
            const size_t eq = pairText.find('=', 1);
            if (tokens[i].quoted || eq == std::string::npos)
                return Fail(line, "expected BASE=RESULT, not '" + pairText + "'");
            KeyChar base, result;
            if (!ParseChar(pairText.substr(0, eq), line, false, "dead-key base", base) ||
                !ParseChar(pairText.substr(eq + 1), line, false, "dead-key result", result))
                return false;
            if (!base.present || !result.present)
                return Fail(line, "'" + pairText + "' needs both characters");
            for (const auto& other : dead.compositions)
                if (other.first == base.ch)
                    return Fail(line, "'" + pairText + "': base character composed twice");
            dead.compositions.emplace_back(base.ch, result.ch);
        }
        layout_.deadKeys.push_back(std::move(dead));
        return true;
    }

    bool Finish() {
        const int end = lastLine_;
        if (layout_.variants.empty()) return Fail(end, "no variant line");
        if (layout_.sets.size() != 2)
            return Fail(end, "two set lines are needed: the standard and the alternative set");
        for (const Variant& variant : layout_.variants)
            if (!CheckMoves(variant)) return false;
        // Every dead key used needs its compositions, and every composition list a key.
        for (const KeyRow& key : layout_.keys)
            for (const KeyChar& ch : key.altChars)
                if (ch.dead && FindDead(ch.ch) == nullptr)
                    return Fail(key.line, "dead key U+" + Hex(ch.ch, 4) + " has no dead line");
        for (const DeadKey& dead : layout_.deadKeys) {
            const bool used =
                std::any_of(layout_.keys.begin(), layout_.keys.end(), [&](const KeyRow& key) {
                    for (const KeyChar& ch : key.altChars)
                        if (ch.dead && ch.ch == dead.accent) return true;
                    return false;
                });
            if (!used) return Fail(dead.line, "dead key on no key");
        }
        return true;
    }

    const DeadKey* FindDead(uint16_t accent) const {
        for (const DeadKey& dead : layout_.deadKeys)
            if (dead.accent == accent) return &dead;
        return nullptr;
    }

    // A variant moves keys among themselves: what leaves one scan code arrives at another, so
    // no virtual key is lost or doubled.
    bool CheckMoves(const Variant& variant) {
        std::map<uint8_t, int> balance;
        for (const auto& [scan, vk] : variant.moves) {
            const KeyRow* key = nullptr;
            for (const KeyRow& row : layout_.keys)
                if (row.scan == scan) key = &row;
            if (key == nullptr)
                return Fail(variant.line, "scan code " + Hex(scan, 2) + " has no key line");
            --balance[key->vk()];
            ++balance[vk];
        }
        for (const auto& [vk, count] : balance)
            if (count != 0)
                return Fail(variant.line, "variant " + variant.id + " " +
                                              (count > 0 ? "doubles" : "loses") + " virtual key " +
                                              std::string(VirtualKeyName(vk)));
        return true;
    }

    const std::string& fileName_;
    int lastLine_ = 0;
    Layout& layout_;
    std::string& error_;
};

int RowWidth(const std::array<KeyChar, kColumnCount>& chars) {
    if (chars[kAltGr].present || chars[kShiftAltGr].present) return 5;
    if (chars[kCtrl].present) return 3;
    if (chars[kShift].present) return 2;
    return 1;
}

}  // namespace

long DecodeSingleCodePoint(std::string_view text) {
    if (text.empty()) return -1;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    size_t length;
    long code;
    if (s[0] < 0x80) {
        length = 1;
        code = s[0];
    } else if ((s[0] & 0xE0) == 0xC0) {
        length = 2;
        code = s[0] & 0x1F;
    } else if ((s[0] & 0xF0) == 0xE0) {
        length = 3;
        code = s[0] & 0x0F;
    } else if ((s[0] & 0xF8) == 0xF0) {
        length = 4;
        code = s[0] & 0x07;
    } else {
        return -1;
    }
    if (text.size() != length) return -1;
    for (size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return -1;
        code = (code << 6) | (s[i] & 0x3F);
    }
    static const long kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[length] || code > 0x10FFFF) return -1;
    return code;
}

std::string EncodeUtf8(uint16_t ch) {
    std::string out;
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
    return out;
}

bool ParseLayout(std::string_view text, const std::string& fileName, Layout& layout,
                 std::string& error) {
    layout = Layout{};
    return Parser(fileName, layout, error).Run(text);
}

ResolvedLayout ResolveLayout(const Layout& layout, size_t variantIndex, size_t setIndex) {
    ResolvedLayout out;
    out.variant = &layout.variants.at(variantIndex);
    out.set = &layout.sets.at(setIndex);
    out.alternative = setIndex == 1;
    out.scanToVk.fill(0xFF);
    for (const KeyRow& key : layout.keys) {
        if (key.scan >= 0 && key.scan < kScanCount) {
            out.scanToVk[key.scan] = key.vkEntry;
            if (!key.name.empty()) out.names.push_back({static_cast<uint8_t>(key.scan), key.name});
        } else if ((key.scan >> 8) == 0xE0) {
            out.e0.push_back({static_cast<uint8_t>(key.scan), key.vkEntry});
            if (!key.name.empty())
                out.namesExt.push_back({static_cast<uint8_t>(key.scan), key.name});
        } else if ((key.scan >> 8) == 0xE1) {
            out.e1.push_back({static_cast<uint8_t>(key.scan), key.vkEntry});
        }
        if (!key.hasChars) continue;
        CharRow row;
        row.vk = key.vk();
        row.attributes = key.caps;
        row.chars = key.chars;
        if (out.alternative && key.hasAlt) {
            row.chars[kAltGr] = key.altChars[0];
            row.chars[kShiftAltGr] = key.altChars[1];
        }
        row.width = RowWidth(row.chars);
        out.rows.push_back(row);
    }
    for (const auto& [scan, vk] : out.variant->moves)
        out.scanToVk[scan] = static_cast<uint16_t>((out.scanToVk[scan] & 0xFF00) | vk);
    if (out.alternative)
        for (const DeadKey& dead : layout.deadKeys) out.deadKeys.push_back(&dead);
    return out;
}

}  // namespace layoutc
