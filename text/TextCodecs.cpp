#include "TextCodecs.h"

#include <climits>

namespace {

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

int Utf8SizeOfUnit(char16_t u) {
    return u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
}

}  // namespace

int NarrowLength(const char* text) {
    int n = 0;
    while (text[n] != 0) ++n;
    return n;
}

int WideLength(const char16_t* text) {
    int n = 0;
    while (text[n] != 0) ++n;
    return n;
}

int Utf8SizeOfUtf16(const char16_t* units, int count, int hint) {
    if (hint > 0) return hint;
    if (units == nullptr || count == 0) return 0;
    if (count < 0) count = WideLength(units);
    // Saturates instead of overflowing, so that a caller's reservation for a
    // gigantic text fails rather than coming out small.
    long long size = 0;
    for (int i = 0; i < count; ++i) size += Utf8SizeOfUnit(units[i]);
    return size > INT_MAX ? INT_MAX : int(size);
}

int Utf16ToUtf8(const char16_t* units, char* out, int count, int outSize) {
    if (units == nullptr || count == 0) return 0;
    if (out == nullptr) return -1;
    if (count < 0) count = WideLength(units);
    if (outSize <= 0) outSize = Utf8SizeOfUtf16(units, count, 0);
    auto* dst = reinterpret_cast<unsigned char*>(out);
    int written = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t u = units[i];
        const int size = Utf8SizeOfUnit(u);
        if (size > outSize - written) break;  // a short output is never overrun
        if (size == 1) {
            dst[written] = static_cast<unsigned char>(u);
        } else if (size == 2) {
            dst[written] = static_cast<unsigned char>(0xC0 | (u >> 6));
            dst[written + 1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else {
            dst[written] = static_cast<unsigned char>(0xE0 | (u >> 12));
            dst[written + 1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            dst[written + 2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
        }
        written += size;
    }
    return written;
}

int Utf16SizeOfUtf8(const char* bytes, int count, int hint) {
    if (hint > 0) return hint;
    if (bytes == nullptr || count == 0) return 0;
    if (count < 0) count = NarrowLength(bytes);
    const auto* src = reinterpret_cast<const unsigned char*>(bytes);
    int units = 0;
    int i = 0;
    while (i < count) {
        const unsigned char b = src[i];
        ++units;
        if (b < 0x80) {
            i += 1;
        } else if ((b & 0xE0) == 0xC0) {
            i += 2;
        } else if ((b & 0xF0) == 0xE0) {
            i += 3;
        } else if ((b & 0xF8) == 0xF0) {
            i += 4;
        } else {
            break;  // not a lead byte: the decoder stops here as well
        }
    }
    return units;
}

int Utf8ToUtf16(const char* bytes, char16_t* out, int count, int outSize) {
    if (bytes == nullptr || count == 0) return 0;
    if (out == nullptr) return -1;
    if (count < 0) count = NarrowLength(bytes);
    if (outSize <= 0) outSize = Utf16SizeOfUtf8(bytes, count, 0);
    const auto* src = reinterpret_cast<const unsigned char*>(bytes);
    int written = 0;
    int i = 0;
    while (i < count) {
        if (written >= outSize) return -1;
        const unsigned char b = src[i];
        const int remaining = count - i;
        char16_t unit;
        if (b < 0x80) {
            unit = b;
            i += 1;
        } else if ((b & 0xE0) == 0xC0) {
            if (remaining < 2 || !IsContinuation(src[i + 1])) return -1;
            unit = static_cast<char16_t>(((b & 0x1F) << 6) | (src[i + 1] & 0x3F));
            i += 2;
        } else if ((b & 0xF0) == 0xE0) {
            if (remaining < 3 || !IsContinuation(src[i + 1]) || !IsContinuation(src[i + 2]))
                return -1;
            unit = static_cast<char16_t>(((b & 0x0F) << 12) | ((src[i + 1] & 0x3F) << 6) |
                                         (src[i + 2] & 0x3F));
            i += 3;
        } else {
            return -1;  // continuation byte in lead position, or a four-byte and longer form
        }
        out[written++] = unit;
    }
    return written;
}

int Utf8SkipChar(const char** cursor, int* remaining) {
    if (*remaining <= 0) return 0;
    const auto lead = static_cast<unsigned char>(**cursor);
    int extra;
    if (lead < 0x80) {
        extra = 0;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
    } else {
        extra = 3;  // stepped over like a four-byte form, then refused below unless it is one
    }
    ++*cursor;
    if (--*remaining <= 0) return 0;
    for (int k = 0; k < extra; ++k) {
        ++*cursor;
        if (--*remaining <= 0) return 0;
    }
    return extra < 3 || (lead & 0xF8) == 0xF0 ? 1 : 0;
}

const char* Utf8SkipChars(const char* bytes, int n, int count) {
    if (n < 0 || bytes == nullptr || count == 0) return nullptr;
    if (count < 0) count = NarrowLength(bytes);
    if (count == 0 || n >= count) return nullptr;
    const char* cursor = bytes;
    int remaining = count;
    for (int k = 0; k < n; ++k) {
        if (!Utf8SkipChar(&cursor, &remaining)) break;
    }
    return cursor;
}
