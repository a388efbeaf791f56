#include "TextRanges.h"

#include <cstring>

namespace {

template <typename Unit>
int CompareRange(const Unit* a, const Unit* b, int lengthA, int lengthB) {
    const bool emptyA = a == nullptr || lengthA <= 0;
    const bool emptyB = b == nullptr || lengthB <= 0;
    if (emptyA || emptyB) return emptyA == emptyB ? 0 : emptyA ? -1 : 1;
    // Ordered by length first: the comparison serves equality and sorting
    // of keys, not collation.
    if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
    for (int i = 0; i < lengthA; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

template <typename Unit>
int FindRange(const Unit* haystack, const Unit* needle, int haystackLength, int needleLength,
              int start) {
    if (haystack == nullptr || needle == nullptr || haystackLength <= 0 || needleLength <= 0 ||
        start < 0 || start > haystackLength - needleLength) {
        return -1;
    }
    const int last = haystackLength - needleLength;
    for (int pos = start; pos <= last; ++pos) {
        if (haystack[pos] == needle[0] &&
            std::memcmp(haystack + pos, needle, sizeof(Unit) * size_t(needleLength)) == 0) {
            return pos;
        }
    }
    return -1;
}

template <typename Unit>
int FindLastInRange(const Unit* range, Unit value, int length, int lowerBound) {
    if (range == nullptr || lowerBound < 0) return -1;
    for (int pos = length - 1; pos >= lowerBound; --pos) {
        if (range[pos] == value) return pos;
    }
    return -1;
}

}  // namespace

int CompareBytes(const void* a, const void* b, int lengthA, int lengthB) {
    return CompareRange(static_cast<const unsigned char*>(a), static_cast<const unsigned char*>(b),
                        lengthA, lengthB);
}

int CompareUnits(const char16_t* a, const char16_t* b, int lengthA, int lengthB) {
    return CompareRange(a, b, lengthA, lengthB);
}

int FindBytes(const void* haystack, const void* needle, int haystackLength, int needleLength,
              int start) {
    return FindRange(static_cast<const unsigned char*>(haystack),
                     static_cast<const unsigned char*>(needle), haystackLength, needleLength,
                     start);
}

int FindUnits(const char16_t* haystack, const char16_t* needle, int haystackLength,
              int needleLength, int start) {
    return FindRange(haystack, needle, haystackLength, needleLength, start);
}

int FindLastByte(const void* range, unsigned char byte, int length, int lowerBound) {
    return FindLastInRange(static_cast<const unsigned char*>(range), byte, length, lowerBound);
}

int FindLastUnitIn(const char16_t* range, char16_t unit, int length, int lowerBound) {
    return FindLastInRange(range, unit, length, lowerBound);
}

int FindLastBytes(const void* haystack, const void* needle, int haystackLength, int needleLength,
                  int lowerBound) {
    if (haystack == nullptr || needle == nullptr || needleLength <= 0 || lowerBound < 0) return -1;
    const auto* hay = static_cast<const unsigned char*>(haystack);
    for (int pos = haystackLength - needleLength; pos >= lowerBound; --pos) {
        if (std::memcmp(hay + pos, needle, size_t(needleLength)) == 0) return pos;
    }
    return -1;
}
