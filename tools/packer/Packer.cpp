#include "Packer.h"

#include "Deflate.h"
#include "StringSource.h"

#include "payload/BlobWriter.h"
#include "payload/Guard.h"
#include "payload/HeapBuffer.h"
#include "payload/StringTableWriter.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

int ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be read";
        return 0;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return 1;
}

int ReadKeyBlock(const std::string& path, std::vector<std::uint8_t>& block, std::string& error) {
    std::vector<std::uint8_t> text;
    if (!ReadFileBytes(path, text, error)) return 0;
    block.clear();
    int pending = -1;
    bool comment = false;
    for (const std::uint8_t c : text) {
        if (c == '\n') comment = false;
        if (comment || std::isspace(c)) continue;
        if (c == '#') {
            comment = true;
            continue;
        }
        if (!std::isxdigit(c)) {
            error = path + ": '" + std::string(1, static_cast<char>(c)) + "' is not a hex digit";
            return 0;
        }
        const int digit = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
        if (pending < 0) {
            pending = digit;
        } else {
            block.push_back(static_cast<std::uint8_t>(pending << 4 | digit));
            pending = -1;
        }
    }
    if (pending >= 0) {
        error = path + ": odd number of hex digits";
        return 0;
    }
    return 1;
}

int LoadBlobInput(const BlobInput& input, std::vector<std::uint8_t>& plain,
                  std::uint32_t& userValue, std::string& error) {
    userValue = 0;
    if (input.kind == BlobKind::Strings) {
        std::vector<std::string> paths = {input.path};
        paths.insert(paths.end(), input.morePaths.begin(), input.morePaths.end());
        StringSource source;
        if (!ReadStringSources(paths, source, error)) return 0;
        if (source.entries.empty()) {
            error = input.path + ": a string table needs at least one entry";
            return 0;
        }
        std::string tableError;
        if (!BuildStringTable(ToTableEntries(source), plain, userValue, tableError)) {
            error = input.path + ": " + tableError;
            return 0;
        }
        return 1;
    }
    if (!ReadFileBytes(input.path, plain, error)) return 0;
    if (input.kind == BlobKind::Text) {
        const std::size_t bom =
            plain.size() >= 3 && plain[0] == 0xEF && plain[1] == 0xBB && plain[2] == 0xBF ? 3 : 0;
        std::u16string ignored;
        if (!Utf8ToUtf16(std::string(plain.begin() + bom, plain.end()), ignored)) {
            error = input.path + ": not valid UTF-8";
            return 0;
        }
    }
    return 1;
}

int PackBlob(const CGuard& guard, const BlobInput& input, int zopfliIterations, StoredBlob& out,
             PackedFigures& figures, std::string& error) {
    std::vector<std::uint8_t> plain;
    std::uint32_t userValue = 0;
    if (!LoadBlobInput(input, plain, userValue, error)) return 0;
    if (plain.size() > 0x7FFFFFFFu) {
        error = input.path + ": too large for a blob";
        return 0;
    }
    DeflateResult deflated;
    if (!DeflateBest(plain, zopfliIterations, deflated)) {
        error = input.path + ": deflate failed";
        return 0;
    }
    out.name = input.name;
    if (!SealBlob(guard, deflated.packed, plain.data(), static_cast<std::uint32_t>(plain.size()),
                  userValue, out.bytes)) {
        error = input.path + ": cannot be sealed";
        return 0;
    }

    std::uint32_t size = static_cast<std::uint32_t>(out.bytes.size());
    std::uint32_t readBack = ~userValue;
    HeapBuffer<std::uint8_t> check(guard.Unpack(out.bytes.data(), size, &readBack));
    if (!check || size != plain.size() || readBack != userValue ||
        (size != 0 && std::memcmp(check.get(), plain.data(), size) != 0)) {
        error = input.path + ": the sealed blob does not unpack to its source";
        return 0;
    }

    figures.name = input.name;
    figures.kind = BlobKindName(input.kind);
    figures.plainSize = plain.size();
    figures.storedSize = out.bytes.size();
    figures.method = deflated.method;
    figures.zlibSize = deflated.zlibSize;
    figures.zopfliSize = deflated.zopfliSize;
    figures.userValue = userValue;
    figures.plainCrc = BlobCrc32(plain.data(), static_cast<std::uint32_t>(plain.size()));
    return 1;
}

std::string FormatReport(const std::vector<PackedFigures>& figures) {
    std::string report =
        "blob                          kind      plain   stored  ratio  zlib-9  "
        "zopfli  chosen\n";
    std::size_t plainTotal = 0;
    std::size_t storedTotal = 0;
    char line[256];
    for (const PackedFigures& f : figures) {
        std::snprintf(line, sizeof line, "%-29s %-7s %8zu %8zu %5.1f%% %7zu %7zu  %s\n",
                      f.name.c_str(), f.kind.c_str(), f.plainSize, f.storedSize,
                      f.plainSize ? 100.0 * f.storedSize / f.plainSize : 0.0, f.zlibSize,
                      f.zopfliSize, f.method.c_str());
        report += line;
        plainTotal += f.plainSize;
        storedTotal += f.storedSize;
    }
    std::snprintf(line, sizeof line, "%-29s %-7s %8zu %8zu %5.1f%%\n", "total", "", plainTotal,
                  storedTotal, plainTotal ? 100.0 * storedTotal / plainTotal : 0.0);
    report += line;
    return report;
}
