// Fuzz target: UTF-8 decoding (Utf8ToUtf16) and GString::AppendNarrow on
// arbitrary bytes. Checks the size bound, the all-or-nothing rule, agreement
// with a straightforward reading of the rules and the round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "GString.h"
#include "TextCodecs.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// The decoding rules, read one sequence at a time.
bool ReferenceDecode(const uint8_t* p, size_t n, std::u16string& out) {
    size_t i = 0;
    while (i < n) {
        const uint8_t b = p[i];
        size_t extra;
        uint32_t unit;
        if (b < 0x80) {
            extra = 0;
            unit = b;
        } else if (b >= 0xC0 && b < 0xE0) {
            extra = 1;
            unit = b & 0x1F;
        } else if (b >= 0xE0 && b < 0xF0) {
            extra = 2;
            unit = b & 0x0F;
        } else {
            return false;
        }
        if (n - i - 1 < extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            unit = (unit << 6) | (p[i + k] & 0x3F);
        }
        out += char16_t(unit);
        i += extra + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    const char* bytes = reinterpret_cast<const char*>(data);
    const int count = int(size);

    // Decoding into exactly the estimated room; a canary after it.
    const int bound = Utf16SizeOfUtf8(bytes, count, 0);
    Check(bound >= 0 && bound <= count);
    std::vector<char16_t> units(size_t(bound) + 1, u'\xFEFE');
    const int written = Utf8ToUtf16(bytes, units.data(), count, bound);
    Check(units[size_t(bound)] == u'\xFEFE');
    std::u16string expected;
    const bool valid = ReferenceDecode(data, size, expected);
    Check(valid == (written >= 0 || size == 0));
    if (valid && size > 0) {
        Check(written <= bound);
        Check(std::u16string(units.data(), size_t(written)) == expected);

        // Encoding the units and decoding again gives the same units.
        const int encodedSize = Utf8SizeOfUtf16(units.data(), written, 0);
        std::string encoded(size_t(encodedSize), '\0');
        Check(Utf16ToUtf8(units.data(), &encoded[0], written, encodedSize) == encodedSize);
        std::vector<char16_t> again(size_t(written) + 1);
        Check(Utf8ToUtf16(encoded.data(), again.data(), encodedSize, 0) == written);
        Check(std::u16string(again.data(), size_t(written)) == expected);
    }

    // Appending to a wide string: all or nothing.
    GString wide;
    wide.AssignWide(u"prefix:", -1);
    const int appended = wide.AppendNarrow(bytes, count);
    const std::u16string after(wide.WideText(0), size_t(wide.Length()));
    if (valid) {
        Check(appended == 1);
        Check(after == u"prefix:" + expected);
    } else {
        Check(appended == 0);
        Check(after == u"prefix:");
    }
    Check(wide.WideText(0)[wide.Length()] == 0);

    // The same bytes as a narrow string, switched to wide mode.
    GString narrow;
    Check(narrow.AppendBytes(bytes, count) == 1);
    const char16_t* converted = narrow.ToWide(-1);
    Check((converted != nullptr) == valid);
    if (converted == nullptr) {
        Check(!narrow.IsWide() && narrow.Length() == count);
    } else {
        Check(std::u16string(converted, size_t(narrow.Length())) == expected);
    }

    // Stepping over characters never leaves the bytes.
    if (size > 0) {
        const char* end = Utf8SkipChars(bytes, data[0] % 8, count);
        Check(end == nullptr || (end >= bytes && end <= bytes + size));
    }
    return 0;
}
