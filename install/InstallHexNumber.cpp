#include "install/InstallHexNumber.h"

namespace {

int HexDigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

bool IsScanSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

}  // namespace

int ParseHexNumber(const char16_t* text, int length, uint32_t& out) {
    if (!text || length <= 0) return 0;
    int i = 0;
    while (i < length && IsScanSpace(text[i])) ++i;
    bool negative = false;
    if (i < length && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    // "0x" is a prefix only when a digit follows; otherwise the "0" alone is the number.
    if (i + 2 < length && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
        HexDigitValue(text[i + 2]) >= 0) {
        i += 2;
    }
    uint32_t value = 0;
    int digits = 0;
    for (; i < length; ++i, ++digits) {
        const int d = HexDigitValue(text[i]);
        if (d < 0) break;
        value = value * 16u + static_cast<uint32_t>(d);
    }
    if (digits == 0) return 0;
    out = negative ? 0u - value : value;
    return 1;
}
