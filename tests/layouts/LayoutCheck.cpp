#include "LayoutCheck.h"

#include <algorithm>
#include <cstring>

#include "install/engine/KeyTable.h"

namespace kbtest {
namespace {

constexpr uint16_t kNone = 0xF000;
constexpr uint16_t kDead = 0xF001;

bool Moved(const KbExpectBuild& build, unsigned scan) {
    for (const KbExpectMove* move = kVariantMoves; move->variant != nullptr; ++move)
        if (move->scan == scan && std::strcmp(move->variant, build.variant) == 0) return true;
    return false;
}

std::u16string Wide(const char* ascii) {
    std::u16string out;
    for (; *ascii != 0; ++ascii) out.push_back(static_cast<char16_t>(*ascii));
    return out;
}

void CheckFrame(const DecodedLayout& layout, bool hasType, std::vector<std::string>& faults) {
    const std::vector<std::pair<uint8_t, uint8_t>> bits = {{0x10, 1}, {0x11, 2}, {0x12, 4}};
    if (layout.vkToBits != bits) faults.push_back("modifier keys are not Shift, Ctrl, Alt");
    const std::vector<uint8_t> columns = {0, 1, 2, 0x0F, 0x0F, 0x0F, 3, 4};
    if (layout.maxModBits != 7 || layout.modNumber != columns)
        faults.push_back("modifier columns are not base, Shift, Ctrl, AltGr, Shift+AltGr");
    if (layout.localeFlags != 0x00010001)
        faults.push_back("locale flags " + Hex(layout.localeFlags) + ", expected AltGr, version 1");
    if (layout.ligatures != 0 || layout.ligatureMax != 0 || layout.ligatureSize != 0)
        faults.push_back("unexpected ligature table");
    if (hasType && (layout.type != 4 || layout.subType != 0))
        faults.push_back("keyboard type " + Hex(layout.type) + "/" + Hex(layout.subType));
}

void CheckScanCodes(const DecodedLayout& layout, const KbExpectBuild& expected,
                    std::vector<std::string>& faults) {
    if (layout.scanToVk.size() != 0x7F) {
        faults.push_back("scan-code table has " + std::to_string(layout.scanToVk.size()) +
                         " entries, expected 127");
        return;
    }
    for (unsigned i = 0; i < 0x7F; ++i)
        if (layout.scanToVk[i] != expected.scan[i])
            faults.push_back("scan code " + Hex(i) + " gives " + Hex(layout.scanToVk[i]) +
                             ", expected " + Hex(expected.scan[i]));
    const auto compareList = [&](const std::vector<DecodedScanVk>& got, const KbExpectScan* want,
                                 const char* what) {
        size_t i = 0;
        for (; want[i].scan != 0; ++i)
            if (i >= got.size() || got[i].scan != want[i].scan || got[i].vkEntry != want[i].vkEntry)
                faults.push_back(std::string(what) + " entry " + std::to_string(i) + " differs");
        if (got.size() != i) faults.push_back(std::string(what) + " length differs");
    };
    compareList(layout.e0, expected.e0, "E0 table");
    compareList(layout.e1, expected.e1, "E1 table");
}

// The installer's built-in key table names each key's default entry; the library must hold it,
// except where a variant moves a key on purpose.
void CheckKeyTableDefaults(const DecodedLayout& layout, const KbExpectBuild& expected,
                           std::vector<std::string>& faults) {
    for (const KeyEntry& key : kBuiltinKeyTable) {
        if (key.scanCode == 0) break;
        unsigned got = 0x10000;
        if (key.scanCode < 0x7F) {
            if (Moved(expected, key.scanCode) || key.scanCode >= layout.scanToVk.size()) continue;
            got = layout.scanToVk[key.scanCode];
        } else if ((key.scanCode >> 8) == 0xE0 || (key.scanCode >> 8) == 0xE1) {
            const auto& list = (key.scanCode >> 8) == 0xE0 ? layout.e0 : layout.e1;
            for (const DecodedScanVk& entry : list)
                if (entry.scan == (key.scanCode & 0xFF)) got = entry.vkEntry;
        } else {
            continue;  // no key (0xFF): no table entry to hold
        }
        if (got != key.defaultVk)
            faults.push_back("key " + Hex(key.scanCode) + " holds " +
                             (got > 0xFFFF ? std::string("nothing") : Hex(got)) +
                             ", key table default " + Hex(key.defaultVk));
    }
}

void CheckRows(const DecodedLayout& layout, const KbExpectBuild& expected,
               std::vector<std::string>& faults) {
    size_t count = 0;
    for (const KbExpectRow* want = expected.rows; want->vk != 0; ++want, ++count) {
        const std::string key = "virtual key " + Hex(want->vk);
        const auto matches = std::count_if(layout.rows.begin(), layout.rows.end(),
                                           [&](const DecodedRow& r) { return r.vk == want->vk; });
        if (matches != 1) {
            faults.push_back(key + " has " + std::to_string(matches) + " character rows");
            continue;
        }
        const DecodedRow& row =
            *std::find_if(layout.rows.begin(), layout.rows.end(),
                          [&](const DecodedRow& r) { return r.vk == want->vk; });
        if (row.width != want->width) faults.push_back(key + " has the wrong column count");
        if (row.attributes != want->attributes) faults.push_back(key + " has the wrong Caps Lock");
        for (int c = 0; c < 5; ++c) {
            const bool dead = (want->deadMask >> c) & 1;
            const uint16_t got = c < row.width ? row.chars[c] : kNone;
            if (dead) {
                const uint16_t accent = row.deadChars.empty() ? 0 : row.deadChars[c];
                if (got != kDead || accent != want->chars[c])
                    faults.push_back(key + " column " + std::to_string(c) +
                                     " is not the dead key " + Hex(want->chars[c]));
            } else if (got != want->chars[c]) {
                faults.push_back(key + " column " + std::to_string(c) + " types " + Hex(got) +
                                 ", expected " + Hex(want->chars[c]));
            }
        }
    }
    if (layout.rows.size() != count)
        faults.push_back(std::to_string(layout.rows.size()) + " character rows, expected " +
                         std::to_string(count));
}

void CheckDeadKeys(const DecodedLayout& layout, const KbExpectBuild& expected,
                   std::vector<std::string>& faults) {
    size_t count = 0;
    std::vector<uint16_t> accents;
    for (const KbExpectDead* want = expected.dead; want->accent != 0; ++want, ++count) {
        if (std::find(accents.begin(), accents.end(), want->accent) == accents.end())
            accents.push_back(want->accent);
        const bool found = std::any_of(
            layout.deadKeys.begin(), layout.deadKeys.end(), [&](const DecodedDeadKey& d) {
                return d.accent == want->accent && d.base == want->base &&
                       d.composed == want->result && d.flags == 0;
            });
        if (!found)
            faults.push_back("dead key " + Hex(want->accent) + " + " + Hex(want->base) +
                             " does not give " + Hex(want->result));
    }
    if (layout.deadKeys.size() != count) faults.push_back("dead-key table length differs");
    if (layout.deadNames.size() != accents.size())
        faults.push_back("dead-key names: " + std::to_string(layout.deadNames.size()) +
                         ", expected " + std::to_string(accents.size()));
    for (const std::u16string& name : layout.deadNames)
        if (name.size() < 2 || std::find(accents.begin(), accents.end(), name[0]) == accents.end())
            faults.push_back("dead-key name does not start with one of the accents");
}

void CheckNames(const std::vector<DecodedName>& got, const KbExpectName* want, const char* what,
                std::vector<std::string>& faults) {
    size_t i = 0;
    for (; want[i].name != nullptr; ++i)
        if (i >= got.size() || got[i].scan != want[i].scan || got[i].name != Wide(want[i].name))
            faults.push_back(std::string(what) + " " + std::to_string(i) + " differs");
    if (got.size() != i) faults.push_back(std::string(what) + " count differs");
}

}  // namespace

std::vector<std::string> CheckLayout(const DecodedLayout& layout, const KbExpectBuild& expected,
                                     bool hasType) {
    std::vector<std::string> faults;
    CheckFrame(layout, hasType, faults);
    CheckScanCodes(layout, expected, faults);
    CheckKeyTableDefaults(layout, expected, faults);
    CheckRows(layout, expected, faults);
    CheckDeadKeys(layout, expected, faults);
    CheckNames(layout.names, expected.names, "key name", faults);
    CheckNames(layout.namesExt, expected.namesExt, "extended key name", faults);
    return faults;
}

const KbExpectBuild& ExpectedBuild(unsigned variant, unsigned set) {
    return kExpectedBuilds[variant * 2 + set];
}

}  // namespace kbtest
