// GString comparison, searching, suffixes and path joining.
//
// An argument of the other width is converted into the scratch string first;
// the operation then runs on units of the string's own width.
#include "GString.h"
#include "TextCodecs.h"
#include "TextRanges.h"

namespace {

constexpr char16_t kBackslashWide[] = u"\\";
constexpr char kBackslashNarrow[] = "\\";

bool IsSeparator(char16_t unit) {
    return unit == u'\\' || unit == u'/';
}

}  // namespace

// ---------------------------------------------------------------- compare

int GString::Compare(const char16_t* text, int count) {
    if (text == nullptr) count = 0;
    if (count < 0) count = WideLength(text);
    if (length == 0) return count == 0 ? 0 : -1;
    if (count == 0) return 1;
    if (isWide) return CompareUnits(WideText(0), text, length, count);
    if (!ScratchFromWide(text, count, -1)) return 0;
    return CompareBytes(NarrowText(0), scratch->NarrowText(0), length, scratch->length);
}

int GString::CompareNarrow(const char* text, int count) {
    if (text == nullptr) count = 0;
    if (count < 0) count = NarrowLength(text);
    if (length == 0) return count == 0 ? 0 : -1;
    if (count == 0) return 1;
    if (!isWide) return CompareBytes(NarrowText(0), text, length, count);
    if (!ScratchFromNarrow(text, count, -1)) return 0;
    return CompareUnits(WideText(0), scratch->WideText(0), length, scratch->length);
}

int GString::EqualsString(const GString& other) {
    if (isWide == other.isWide) {
        return isWide ? CompareUnits(WideText(0), other.WideText(0), length, other.length) == 0
                      : CompareBytes(NarrowText(0), other.NarrowText(0), length, other.length) == 0;
    }
    if (length == 0 || other.length == 0) return length == other.length;
    // A text that cannot be converted (invalid UTF-8, no memory) equals nothing,
    // although Compare reports such a failure as 0.
    const int converted = other.isWide ? ScratchFromWide(other.WideText(0), other.length, -1)
                                       : ScratchFromNarrow(other.NarrowText(0), other.length, -1);
    if (!converted) return 0;
    return isWide
               ? CompareUnits(WideText(0), scratch->WideText(0), length, scratch->length) == 0
               : CompareBytes(NarrowText(0), scratch->NarrowText(0), length, scratch->length) == 0;
}

int StringsEqual(GString& a, const GString& b) {
    return a.EqualsString(b) ? 1 : 0;
}

int StringsDiffer(GString& a, const GString& b) {
    return a.EqualsString(b) ? 0 : 1;
}

// ---------------------------------------------------------------- find

int GString::Find(const char16_t* text, int start, int count) {
    if (text == nullptr || length == 0 || start < 0 || start >= length) return -1;
    if (count < 0) count = WideLength(text);
    if (isWide) return FindUnits(WideText(0), text, length, count, start);
    if (!ScratchFromWide(text, count, -1)) return -1;
    return FindBytes(NarrowText(0), scratch->NarrowText(0), length, scratch->length, start);
}

int GString::FindNarrow(const char* text, int start, int count) {
    if (text == nullptr || length == 0 || start < 0 || start >= length) return -1;
    if (count < 0) count = NarrowLength(text);
    if (!isWide) return FindBytes(NarrowText(0), text, length, count, start);
    if (!ScratchFromNarrow(text, count, -1)) return -1;
    return FindUnits(WideText(0), scratch->WideText(0), length, scratch->length, start);
}

int GString::FindString(const GString& other, int start) {
    return other.isWide ? Find(other.WideText(0), start, other.length)
                        : FindNarrow(other.NarrowText(0), start, other.length);
}

int GString::FindLastUnit(char16_t unit, int lowerBound) {
    if (length == 0 || lowerBound < 0 || lowerBound >= length) return -1;
    if (isWide) return FindLastUnitIn(WideText(0), unit, length, lowerBound);
    if (unit < 0x80) {
        return FindLastByte(NarrowText(0), static_cast<unsigned char>(unit), length, lowerBound);
    }
    if (!ScratchFromWide(&unit, 1, -1)) return -1;
    return FindLastBytes(NarrowText(0), scratch->NarrowText(0), length, scratch->length,
                         lowerBound);
}

// ---------------------------------------------------------------- suffix and path

int GString::EndsWithSame(const void* text, int count) const {
    if (count > length) return 0;
    const int from = length - count;
    return isWide
               ? CompareUnits(WideText(from), static_cast<const char16_t*>(text), count, count) == 0
               : CompareBytes(NarrowText(from), text, count, count) == 0;
}

int GString::EnsureSuffix(const char16_t* text, int count) {
    if (text == nullptr || count == 0 || text[0] == 0) return 0;
    if (!isWide) {
        if (!ScratchFromWide(text, count, -1)) return 0;
        if (scratch->length == 0) return 0;
        if (EndsWithSame(scratch->NarrowText(0), scratch->length)) return 1;
        return AppendBytes(scratch->NarrowText(0), scratch->length);
    }
    if (count < 0) count = WideLength(text);
    if (EndsWithSame(text, count)) return 1;
    return AppendUnits(text, count);
}

int GString::EnsureSuffixNarrow(const char* text, int count) {
    if (text == nullptr || count == 0 || text[0] == 0) return 0;
    if (isWide) {
        if (!ScratchFromNarrow(text, count, -1)) return 0;
        if (scratch->length == 0) return 0;
        if (EndsWithSame(scratch->WideText(0), scratch->length)) return 1;
        return AppendUnits(scratch->WideText(0), scratch->length);
    }
    if (count < 0) count = NarrowLength(text);
    if (EndsWithSame(text, count)) return 1;
    return AppendBytes(text, count);
}

// Joins a component of this string's width: exactly one backslash between
// the parts (one leading separator of the component is dropped).
int GString::AppendPathSame(const void* component, int count) {
    if (component == nullptr || count == 0) {
        isWide ? EnsureSuffix(kBackslashWide, 1) : EnsureSuffixNarrow(kBackslashNarrow, 1);
        return 1;
    }
    if (InBlock(component)) {
        // Our own text: adding the separator may move it.
        const int copied =
            PrepareScratch() &&
            (isWide ? scratch->AssignWide(static_cast<const char16_t*>(component), count)
                    : scratch->AssignNarrow(static_cast<const char*>(component), count));
        if (!copied) return 0;
        component = isWide ? static_cast<const void*>(scratch->WideText(0))
                           : static_cast<const void*>(scratch->NarrowText(0));
    }
    const char16_t first = isWide
                               ? static_cast<const char16_t*>(component)[0]
                               : static_cast<unsigned char>(static_cast<const char*>(component)[0]);
    const int skip = IsSeparator(first) ? 1 : 0;
    if (isWide) {
        EnsureSuffix(kBackslashWide, 1);
        AppendUnits(static_cast<const char16_t*>(component) + skip, count - skip);
    } else {
        EnsureSuffixNarrow(kBackslashNarrow, 1);
        AppendBytes(static_cast<const char*>(component) + skip, count - skip);
    }
    return 1;  // a failed append is not reported, as callers only chain joins
}

int GString::AppendPath(const char16_t* component, int count) {
    if (component != nullptr && count < 0) count = WideLength(component);
    if (component == nullptr || count == 0 || isWide) return AppendPathSame(component, count);
    if (!ScratchFromWide(component, count, -1)) return 0;
    return AppendPathSame(scratch->NarrowText(0), scratch->length);
}

int GString::AppendPathNarrow(const char* component, int count) {
    if (component != nullptr && count < 0) count = NarrowLength(component);
    if (component == nullptr || count == 0 || !isWide) return AppendPathSame(component, count);
    if (!ScratchFromNarrow(component, count, -1)) return 0;
    return AppendPathSame(scratch->WideText(0), scratch->length);
}

GString& GString::AppendPathString(const GString& other) {
    if (other.isWide) {
        AppendPath(other.WideText(0), other.length);
    } else {
        AppendPathNarrow(other.NarrowText(0), other.length);
    }
    return *this;
}
