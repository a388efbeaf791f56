#include "PatternFinder.h"

#include <algorithm>
#include <cstdio>

#include "LayoutParser.h"

namespace layoutc {
namespace {

// No table pattern needs to be longer; past this the builds are too alike to tell apart.
constexpr size_t kMaxPattern = 512;

void Word(std::vector<uint8_t>& out, unsigned value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

std::vector<uint8_t> ScanTableBytes(const ResolvedLayout& layout) {
    std::vector<uint8_t> out;
    for (uint16_t entry : layout.scanToVk) Word(out, entry);
    return out;
}

std::vector<uint8_t> ScanListBytes(const std::vector<ScanVk>& list) {
    std::vector<uint8_t> out;
    for (const ScanVk& entry : list) {
        Word(out, entry.scan);
        Word(out, entry.vkEntry);
    }
    out.insert(out.end(), 4, 0);
    return out;
}

// The decimal key's row: virtual key, attributes, then the two characters the installer patches.
std::vector<uint8_t> DecimalRowBytes(const ResolvedLayout& layout) {
    std::vector<uint8_t> out;
    for (const CharRow& row : layout.rows) {
        if (row.vk != 0x6E) continue;
        out.push_back(row.vk);
        out.push_back(row.attributes);
        Word(out, row.chars[kBase].ch);
        Word(out, row.chars[kShift].ch);
    }
    return out;
}

size_t Find(const std::vector<uint8_t>& image, const uint8_t* pattern, size_t length) {
    const auto at = std::search(image.begin(), image.end(), pattern, pattern + length);
    return at == image.end() ? std::string::npos : static_cast<size_t>(at - image.begin());
}

// Where `table` lies in `image`: the one place its whole contents occur.
bool Locate(const BuildImage& image, const std::vector<uint8_t>& table, const char* what,
            size_t& at, std::string& error) {
    if (table.empty()) {
        error = std::string("the layout has no ") + what;
        return false;
    }
    at = Find(image.bytes, table.data(), table.size());
    if (at == std::string::npos) {
        error = image.name + ": the " + what + " is missing";
        return false;
    }
    const std::vector<uint8_t> rest(image.bytes.begin() + at + 1, image.bytes.end());
    if (Find(rest, table.data(), table.size()) != std::string::npos) {
        error = image.name + ": the " + what + " is present more than once";
        return false;
    }
    return true;
}

std::string HexText(const uint8_t* bytes, size_t length) {
    std::string out;
    char pair[3];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        out += pair;
    }
    return out;
}

struct Group {
    int id;
    const char* role;
    std::vector<const BuildImage*> images;
    std::vector<size_t> starts;
    size_t room = kMaxPattern;  // bytes up to the next table patched before this one's search
};

}  // namespace

bool ShortestPattern(const std::vector<const BuildImage*>& images,
                     const std::vector<size_t>& starts, size_t maxLength, std::string& hex,
                     std::string& error) {
    if (images.empty()) {
        error = "no build to find a pattern in";
        return false;
    }
    const std::vector<uint8_t>& first = images[0]->bytes;
    for (size_t length = 1; length <= maxLength && starts[0] + length <= first.size(); ++length) {
        const uint8_t* pattern = first.data() + starts[0];
        bool unique = true;
        for (size_t i = 0; i < images.size() && unique; ++i) {
            const std::vector<uint8_t>& image = images[i]->bytes;
            if (starts[i] + length > image.size() ||
                !std::equal(pattern, pattern + length, image.begin() + starts[i])) {
                error =
                    images[i]->name + " differs from " + images[0]->name + " at the table's start";
                return false;
            }
            unique = Find(image, pattern, length) == starts[i];
        }
        if (unique) {
            hex = HexText(pattern, length);
            return true;
        }
    }
    error = "no pattern finds the table first in every build";
    return false;
}

bool WritePatterns(const Layout& layout, const std::vector<BuildImage>& builds, std::string& toml,
                   std::string& error) {
    std::vector<Group> groups;
    groups.push_back({146,
                      "the numeric keypad's decimal key characters in every layout library build "
                      "(the bytes at offsets 0 and 2 are the ones patched)",
                      {},
                      {}});
    for (size_t v = 0; v < 3; ++v)
        groups.push_back({static_cast<int>(147 + v),
                          "the scan-code-to-virtual-key table of layout variant ",
                          {},
                          {}});
    groups.push_back({150, "the table of scan codes with the E0 prefix in every build", {}, {}});
    groups.push_back({151, "the table of scan codes with the E1 prefix in every build", {}, {}});
    if (layout.variants.size() != 3) {
        error = "the installer knows three layout variants, the source has " +
                std::to_string(layout.variants.size());
        return false;
    }
    for (const BuildImage& build : builds) {
        const ResolvedLayout resolved = ResolveLayout(layout, build.variant, build.set);
        size_t decimal, scan, e0, e1;
        if (!Locate(build, DecimalRowBytes(resolved), "decimal key row", decimal, error) ||
            !Locate(build, ScanTableBytes(resolved), "scan-code table", scan, error) ||
            !Locate(build, ScanListBytes(resolved.e0), "E0 table", e0, error) ||
            !Locate(build, ScanListBytes(resolved.e1), "E1 table", e1, error))
            return false;
        // The installer patches the scan codes, then E0, then E1, then the decimal key, each
        // searched in the image as patched so far: a table must lie before every table patched
        // ahead of it, or a patch could write its pattern earlier in the image.
        if (!(decimal < e1 && e1 < e0 && e0 < scan)) {
            error = build.name +
                    ": the patchable tables are not in the order decimal key, E1, "
                    "E0, scan codes";
            return false;
        }
        // A pattern must also end before the next patched table, or that table's patch could
        // break its match.
        groups[0].room = std::min(groups[0].room, e1 - (decimal + 2));
        groups[4].room = std::min(groups[4].room, scan - e0);
        groups[5].room = std::min(groups[5].room, e0 - e1);
        groups[0].images.push_back(&build);
        groups[0].starts.push_back(decimal + 2);
        groups[1 + build.variant].images.push_back(&build);
        groups[1 + build.variant].starts.push_back(scan);
        groups[4].images.push_back(&build);
        groups[4].starts.push_back(e0);
        groups[5].images.push_back(&build);
        groups[5].starts.push_back(e1);
    }
    toml =
        "# Generated by layoutc from the layout library builds: the byte patterns that find the\n"
        "# tables the installer patches. Each one's first occurrence in every build it serves is\n"
        "# the start of its table.\n";
    for (const Group& group : groups) {
        std::string hex;
        if (!ShortestPattern(group.images, group.starts, group.room, hex, error)) {
            error = "pattern " + std::to_string(group.id) + ": " + error;
            return false;
        }
        std::string role = group.role;
        if (group.id >= 147 && group.id <= 149)
            role += std::to_string(group.id - 147) + " (" + layout.variants[group.id - 147].nameEn +
                    ") in its builds";
        toml += "\n# " + std::to_string(group.id) + ": byte pattern (hex) of " + role + "\n" +
                std::to_string(group.id) + " = \"" + hex + "\"\n";
    }
    return true;
}

}  // namespace layoutc
