// The template scanner and the directives that print integers, characters,
// texts, hex dumps and addresses; floating-point fields come from
// FormatFloat.cpp.
#include <climits>
#include <cstdint>
#include <cstring>

#include "CountedText.h"
#include "FormatArgs.h"
#include "FormatDirective.h"
#include "FormatFloat.h"
#include "GString.h"
#include "GStringFormatter.h"
#include "TextCodecs.h"

namespace {

// A wide text's byte length must fit the 29 length bits of the block header.
constexpr int64_t kMaxUnits = 0x0FFFFFFF;

const char16_t kNull[] = u"{null}";
constexpr int kNullLength = 6;

char16_t* Fill(char16_t* at, char16_t unit, int64_t count) {
    for (; count > 0; --count) *at++ = unit;
    return at;
}

char16_t* Copy(char16_t* at, const char16_t* units, int64_t count) {
    if (count > 0) std::memcpy(at, units, size_t(count) * sizeof(char16_t));
    return at + count;
}

// Appends to the target through a room that is opened once per field and
// filled in place.
class Output {
public:
    explicit Output(GString& target) : target_(target), start_(target.Length()) {}

    // Room for count more units, or null when the text would outgrow a string
    // or memory runs out.
    char16_t* Open(int64_t count) {
        if (count == 0) return nothing_;  // an empty field needs no block
        if (count < 0 || count > kMaxUnits - target_.Length()) return nullptr;
        return GStringFormatter::Room(target_, int(count));
    }
    void Commit(int64_t count) { GStringFormatter::Advance(target_, int(count)); }
    int Literal(const char16_t* text, int64_t count) {
        char16_t* at = Open(count);
        if (at == nullptr) return 0;
        Copy(at, text, count);
        Commit(count);
        return 1;
    }
    int Produced() const { return target_.Length() - start_; }
    uint32_t Options() const { return target_.FormatOptions(); }

    // A source that lies in the target's own block would move when room is
    // opened, so it is copied aside first. Null when that copy fails.
    const unsigned char* Settle(const unsigned char* bytes, int64_t count) {
        if (count == 0 || !GStringFormatter::Holds(target_, bytes)) return bytes;
        if (count > INT_MAX ||
            !aside_.AssignNarrow(reinterpret_cast<const char*>(bytes), int(count)))
            return nullptr;
        return reinterpret_cast<const unsigned char*>(aside_.NarrowText(0));
    }

private:
    GString& target_;
    int start_;
    GString aside_;
    char16_t nothing_[1] = {};
};

const char* HexDigits(bool upper) {
    return upper ? "0123456789ABCDEF" : "0123456789abcdef";
}

char16_t* PutHexByte(char16_t* at, unsigned byte, bool upper) {
    const char* hex = HexDigits(upper);
    *at++ = char16_t(hex[(byte >> 4) & 0xF]);
    *at++ = char16_t(hex[byte & 0xF]);
    return at;
}

// "{hh}": an escaped character or byte.
char16_t* PutEscape(char16_t* at, unsigned byte, bool upper) {
    *at++ = u'{';
    at = PutHexByte(at, byte, upper);
    *at++ = u'}';
    return at;
}

// Where the pad of a field goes: before it as spaces, between head and body
// as zeros, or after it as spaces.
struct Padding {
    int64_t before = 0;
    int64_t zeros = 0;
    int64_t after = 0;

    int64_t Total() const { return before + zeros + after; }
};

Padding PlanPadding(const FormatDirective& directive, int64_t fieldLength, bool zeroAllowed) {
    Padding padding;
    const int64_t pad = directive.width > fieldLength ? directive.width - fieldLength : 0;
    if (directive.Has(kFlagLeft))
        padding.after = pad;
    else if (zeroAllowed && directive.Has(kFlagZero))
        padding.zeros = pad;
    else
        padding.before = pad;
    return padding;
}

// A field made of a head (written before zero padding) and a body.
int EmitField(Output& out, const FormatDirective& directive, const char16_t* head, int headLength,
              const char16_t* body, int64_t bodyLength, bool zeroAllowed) {
    const Padding padding = PlanPadding(directive, headLength + bodyLength, zeroAllowed);
    const int64_t total = padding.Total() + headLength + bodyLength;
    char16_t* at = out.Open(total);
    if (at == nullptr) return 0;
    at = Fill(at, u' ', padding.before);
    at = Copy(at, head, headLength);
    at = Fill(at, u'0', padding.zeros);
    at = Copy(at, body, bodyLength);
    Fill(at, u' ', padding.after);
    out.Commit(total);
    return 1;
}

int EmitText(Output& out, const FormatDirective& directive, const char16_t* text, int64_t length,
             bool zeroAllowed) {
    return EmitField(out, directive, nullptr, 0, text, length, zeroAllowed);
}

// ---------------------------------------------------------------------------
// Integers: d i u x X o y p P

int Base(char16_t conversion) {
    switch (conversion) {
        case u'x':
        case u'p':
            return 16;
        case u'o':
            return 8;
        case u'y':
            return 2;
        default:
            return 10;
    }
}

// Bits per digit of the power-of-two bases; 0 for decimal.
int DigitBits(unsigned base) {
    return base == 16 ? 4 : base == 8 ? 3 : base == 2 ? 1 : 0;
}

// Takes the lowest digit off the value. Decimal divides by a constant (and
// in 32 bits when the value fits), which is far cheaper than a division by a
// variable base.
unsigned NextDigit(uint64_t& value, int bits) {
    if (bits != 0) {
        const unsigned digit = unsigned(value & ((1u << bits) - 1));
        value >>= bits;
        return digit;
    }
    if (value <= UINT32_MAX) {
        const uint32_t small = uint32_t(value);
        value = small / 10;
        return small % 10;
    }
    const unsigned digit = unsigned(value % 10);
    value /= 10;
    return digit;
}

int DigitCount(uint64_t value, unsigned base) {
    const int bits = DigitBits(base);
    int count = 1;
    NextDigit(value, bits);
    for (; value != 0; NextDigit(value, bits)) ++count;
    return count;
}

struct IntegerLayout {
    char16_t sign = 0;
    char16_t prefix[2] = {};
    int prefixLength = 0;
    int digits = 0;
    int separators = 0;
    int group = 0;

    int64_t FieldLength() const { return (sign != 0 ? 1 : 0) + prefixLength + digits + separators; }
};

IntegerLayout LayOutInteger(const FormatDirective& directive, uint64_t magnitude, bool negative,
                            bool isSigned, int precision, int options) {
    IntegerLayout layout;
    const int base = Base(directive.conversion);
    layout.digits = DigitCount(magnitude, unsigned(base));
    if (directive.Has(kFlagAlt)) {
        layout.prefix[0] = u'0';
        layout.prefixLength = 1;
        if (base == 16) {
            const bool upperX = directive.upper && (options & kOptionUpperHexPrefix) != 0;
            layout.prefix[1] = upperX ? u'X' : u'x';
            layout.prefixLength = 2;
        } else if (base == 2) {
            layout.prefix[1] = u'y';
            layout.prefixLength = 2;
        } else if (base == 10) {
            layout.prefixLength = 0;
        }
    }
    if (isSigned) {
        if (negative)
            layout.sign = u'-';
        else if (directive.Has(kFlagPlus))
            layout.sign = u'+';
        else if (directive.Has(kFlagSpace))
            layout.sign = u' ';
    }
    const int headLength = (layout.sign != 0 ? 1 : 0) + layout.prefixLength;
    if (precision >= headLength + layout.digits) {
        if (base == 8) layout.prefixLength = 0;
        layout.digits = precision;
    }
    if (directive.Has(kFlagGroup)) {
        layout.group = (base == 16 || base == 2) ? 4 : 3;
        layout.separators = (layout.digits - 1) / layout.group;
    }
    return layout;
}

// Lays the field out first, then writes it from the right end.
int EmitInteger(Output& out, const FormatDirective& directive, FormatArgs& args) {
    const char16_t conversion = directive.conversion;
    const bool isPointer = conversion == u'p';
    const bool isSigned = conversion == u'd' || conversion == u'i';
    uint64_t magnitude = 0;
    bool negative = false;
    bool isNull = false;
    int precision = directive.precision;
    if (isPointer) {
        const void* pointer = args.Pointer(PointerUse::Address, 0);
        isNull = pointer == nullptr;
        magnitude = uint32_t(reinterpret_cast<uintptr_t>(pointer));
        precision = 8;
    } else {
        if (precision <= 0) precision = 1;
        if (precision > kPrecisionLimit) precision = kPrecisionLimit;
        int64_t value;
        if ((directive.length & kLength64) != 0)
            value = args.Int64();
        else if (isSigned)
            value = args.Int(IntUse::Value);
        else
            value = int64_t(uint32_t(args.Int(IntUse::Value)));
        negative = isSigned && value < 0;
        magnitude = negative ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    }

    const IntegerLayout layout =
        LayOutInteger(directive, magnitude, negative, isSigned, precision, int(out.Options()));
    const int64_t fieldLength = layout.FieldLength();
    if (isNull) {
        // Right-aligned where the digits of 0 would have been.
        char16_t text[32];
        const int64_t spaces = fieldLength - kNullLength;
        char16_t* at = Fill(text, u' ', spaces);
        Copy(at, kNull, kNullLength);
        return EmitText(out, directive, text, spaces + kNullLength, true);
    }

    const Padding padding = PlanPadding(directive, fieldLength, true);
    const int64_t total = padding.Total() + fieldLength;
    char16_t* start = out.Open(total);
    if (start == nullptr) return 0;
    char16_t* at = start + total - padding.after;
    Fill(at, u' ', padding.after);
    const int bits = DigitBits(unsigned(Base(conversion)));
    const char* hex = HexDigits(directive.upper);
    for (int written = 0; written < layout.digits; ++written) {
        if (layout.group != 0 && written != 0 && written % layout.group == 0) *--at = u' ';
        *--at = char16_t(hex[NextDigit(magnitude, bits)]);
    }
    at -= padding.zeros;
    Fill(at, u'0', padding.zeros);
    for (int i = layout.prefixLength - 1; i >= 0; --i) *--at = layout.prefix[i];
    if (layout.sign != 0) *--at = layout.sign;
    Fill(start, u' ', padding.before);
    out.Commit(total);
    return 1;
}

// ---------------------------------------------------------------------------
// Characters: c C

int EmitCharacter(Output& out, const FormatDirective& directive, FormatArgs& args) {
    const char16_t unit = char16_t(args.Int(IntUse::Value));
    char16_t field[4];
    int length = 1;
    field[0] = unit;
    bool escape = false;
    if (directive.Has(kFlagEscape)) {
        escape = unit < 0x20 || unit > 0x7E;
    } else if (directive.Has(kFlagAlt)) {
        escape = unit < 0x20;
    } else if ((directive.length & kLengthShort) != 0) {
        // One byte of UTF-8 text: only ASCII stands alone.
        const unsigned byte = unit & 0xFF;
        if (byte >= 0x80) return 0;
        field[0] = char16_t(byte);
    }
    if (escape) {
        PutEscape(field, unit & 0xFF, directive.upper);
        length = 4;
    }
    return EmitText(out, directive, field, length, true);
}

// ---------------------------------------------------------------------------
// Texts: s S z Z
//
// A text is read from memory given by a pointer and, where it is known, the
// number of units that belong to it (a GString's length, a counted text's
// header); reading never goes past that bound.

constexpr int64_t kUnbounded = INT64_MAX;

int64_t Magnitude(int precision) {
    return -int64_t(precision);
}

struct WideText {
    const unsigned char* bytes;  // possibly unaligned (counted text in a blob)
    int64_t bound;

    char16_t At(int64_t index) const {
        char16_t unit;
        std::memcpy(&unit, bytes + index * 2, sizeof unit);
        return unit;
    }
};

int EmitWideText(Output& out, const FormatDirective& directive, const WideText& text) {
    int64_t count = 0;
    if (directive.precision < 0) {
        count = Magnitude(directive.precision);
        if (count > text.bound) count = text.bound;
    } else {
        int64_t limit = text.bound;
        if (directive.precision > 0 && directive.precision < limit) limit = directive.precision;
        while (count < limit && text.At(count) != 0) ++count;
    }

    const bool escapeAll = directive.Has(kFlagEscape);
    const bool escapeControls = !escapeAll && directive.Has(kFlagAlt);
    const auto escaped = [&](char16_t unit) {
        return escapeAll ? (unit < 0x20 || unit > 0x7E) : escapeControls && unit < 0x20;
    };
    int64_t fieldLength = count;
    if (escapeAll || escapeControls) {
        for (int64_t i = 0; i < count; ++i) fieldLength += escaped(text.At(i)) ? 3 : 0;
    }

    const unsigned char* source = out.Settle(text.bytes, count * 2);
    if (source == nullptr) return 0;
    const WideText settled{source, count};
    const Padding padding = PlanPadding(directive, fieldLength, true);
    const int64_t total = padding.Total() + fieldLength;
    char16_t* at = out.Open(total);
    if (at == nullptr) return 0;
    at = Fill(at, u' ', padding.before);
    at = Fill(at, u'0', padding.zeros);
    if (fieldLength == count) {
        if (count > 0) std::memcpy(at, settled.bytes, size_t(count) * sizeof(char16_t));
        at += count;
    } else {
        for (int64_t i = 0; i < count; ++i) {
            const char16_t unit = settled.At(i);
            if (escaped(unit))
                at = PutEscape(at, unit & 0xFF, directive.upper);
            else
                *at++ = unit;
        }
    }
    Fill(at, u' ', padding.after);
    out.Commit(total);
    return 1;
}

struct NarrowText {
    const unsigned char* bytes;
    int64_t bound;
};

bool StartsCharacter(unsigned char byte) {
    return (byte & 0xC0) != 0x80;
}

// Bytes a character occupies, judged from its lead byte alone.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    return 4;
}

// The bytes a UTF-8 text contributes under a precision counted in
// characters.
int64_t TakeCharacters(const NarrowText& text, int precision) {
    int64_t taken = 0;
    if (precision < 0) {
        // Exactly that many characters, zero bytes included: the lead bytes say
        // how long each one is.
        for (int64_t left = Magnitude(precision); left > 0 && taken < text.bound; --left)
            taken += SequenceLength(text.bytes[taken]);
        return taken < text.bound ? taken : text.bound;
    }
    int64_t characters = 0;
    while (taken < text.bound && text.bytes[taken] != 0) {
        if (StartsCharacter(text.bytes[taken])) {
            if (precision > 0 && characters == precision) break;
            ++characters;
        }
        ++taken;
    }
    return taken;
}

// With '$' the precision counts bytes.
int64_t TakeBytes(const NarrowText& text, int precision) {
    if (precision < 0) {
        const int64_t count = Magnitude(precision);
        return count < text.bound ? count : text.bound;
    }
    int64_t limit = text.bound;
    if (precision > 0 && precision < limit) limit = precision;
    int64_t taken = 0;
    while (taken < limit && text.bytes[taken] != 0) ++taken;
    return taken;
}

int64_t CountCharacters(const unsigned char* bytes, int64_t count) {
    int64_t characters = 0;
    for (int64_t i = 0; i < count; ++i) characters += StartsCharacter(bytes[i]) ? 1 : 0;
    return characters;
}

// Decodes valid UTF-8 of known character count; false for invalid text.
bool Decode(const unsigned char* bytes, int64_t count, int64_t characters, char16_t* at) {
    if (count == 0) return true;
    if (characters == 0 || count > INT_MAX) return false;
    const int units =
        Utf8ToUtf16(reinterpret_cast<const char*>(bytes), at, int(count), int(characters));
    return units == characters;
}

int EmitNarrowEscaped(Output& out, const FormatDirective& directive, const NarrowText& text) {
    const int64_t count = TakeBytes(text, directive.precision);
    const unsigned char* bytes = out.Settle(text.bytes, count);
    if (bytes == nullptr) return 0;
    int64_t fieldLength = count;
    for (int64_t i = 0; i < count; ++i) {
        const unsigned char byte = bytes[i];
        fieldLength += (byte < 0x20 || byte > 0x7E) ? 3 : 0;
    }
    const Padding padding = PlanPadding(directive, fieldLength, true);
    const int64_t total = padding.Total() + fieldLength;
    char16_t* at = out.Open(total);
    if (at == nullptr) return 0;
    at = Fill(at, u' ', padding.before);
    at = Fill(at, u'0', padding.zeros);
    for (int64_t i = 0; i < count; ++i) {
        const unsigned char byte = bytes[i];
        if (byte < 0x20 || byte > 0x7E)
            at = PutEscape(at, byte, directive.upper);
        else
            *at++ = byte;
    }
    Fill(at, u' ', padding.after);
    out.Commit(total);
    return 1;
}

int EmitNarrowText(Output& out, const FormatDirective& directive, const NarrowText& text) {
    if (directive.Has(kFlagEscape)) return EmitNarrowEscaped(out, directive, text);

    const bool escapeControls = directive.Has(kFlagAlt);
    const int64_t count = TakeCharacters(text, directive.precision);
    const unsigned char* bytes = out.Settle(text.bytes, count);
    if (bytes == nullptr) return 0;
    const int64_t characters = CountCharacters(bytes, count);
    int64_t fieldLength = characters;
    if (escapeControls) {
        for (int64_t i = 0; i < count; ++i) fieldLength += bytes[i] < 0x20 ? 3 : 0;
    }
    const Padding padding = PlanPadding(directive, fieldLength, true);
    const int64_t total = padding.Total() + fieldLength;
    char16_t* at = out.Open(total);
    if (at == nullptr) return 0;
    at = Fill(at, u' ', padding.before);
    at = Fill(at, u'0', padding.zeros);
    if (!escapeControls) {
        if (!Decode(bytes, count, characters, at)) return 0;
        at += characters;
    } else {
        // Control bytes are escaped; the runs between them are decoded.
        int64_t i = 0;
        while (i < count) {
            if (bytes[i] < 0x20) {
                at = PutEscape(at, bytes[i++], directive.upper);
                continue;
            }
            const int64_t runStart = i;
            while (i < count && bytes[i] >= 0x20) ++i;
            const unsigned char* run = bytes + runStart;
            const int64_t runCharacters = CountCharacters(run, i - runStart);
            if (!Decode(run, i - runStart, runCharacters, at)) return 0;
            at += runCharacters;
        }
    }
    Fill(at, u' ', padding.after);
    out.Commit(total);
    return 1;
}

int EmitNull(Output& out, const FormatDirective& directive, bool zeroAllowed) {
    return EmitText(out, directive, kNull, kNullLength, zeroAllowed);
}

int EmitString(Output& out, const FormatDirective& directive, FormatArgs& args) {
    const bool narrow = (directive.length & kLengthShort) != 0;
    void* pointer =
        args.Pointer(narrow ? PointerUse::NarrowText : PointerUse::WideText, directive.precision);
    if ((directive.length & kLength64) != 0)
        return 1;  // no text form of its own: the argument is only taken
    if (pointer == nullptr) return EmitNull(out, directive, true);
    const auto* bytes = static_cast<const unsigned char*>(pointer);
    if (narrow) return EmitNarrowText(out, directive, NarrowText{bytes, kUnbounded});
    return EmitWideText(out, directive, WideText{bytes, kUnbounded});
}

int EmitStringObject(Output& out, const FormatDirective& directive, FormatArgs& args) {
    const bool counted = (directive.length & kLengthShort) != 0;
    void* pointer =
        args.Pointer(counted ? PointerUse::Counted : PointerUse::String, directive.precision);
    if (pointer == nullptr) return EmitNull(out, directive, true);
    if (counted) {
        const auto* block = static_cast<const CountedText*>(pointer);
        const uint32_t header = CountedHeader(block);
        const auto* bytes = static_cast<const unsigned char*>(CountedTextData(block));
        const int64_t length = CountedLength(header);
        if (CountedIsNarrow(header))
            return EmitNarrowText(out, directive, NarrowText{bytes, length});
        return EmitWideText(out, directive, WideText{bytes, length});
    }
    const auto* string = static_cast<const GString*>(pointer);
    if (string->IsWide()) {
        const auto* units = reinterpret_cast<const unsigned char*>(string->WideText(0));
        return EmitWideText(out, directive, WideText{units, string->Length()});
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(string->NarrowText(0));
    return EmitNarrowText(out, directive, NarrowText{bytes, string->Length()});
}

// ---------------------------------------------------------------------------
// Hex dump: b B

struct DumpLayout {
    bool braces;
    bool spaced;
    bool grouped;
};

int64_t DumpLength(const DumpLayout& layout, int64_t count) {
    int64_t length = 2 * count + (layout.spaced ? count - 1 : 0);
    const int64_t groups = (count + 3) / 4;
    if (layout.grouped)
        length += layout.braces ? 2 * groups : groups - 1;
    else if (layout.braces)
        length += 2 * count;
    return length;
}

int EmitHexDump(Output& out, const FormatDirective& directive, FormatArgs& args) {
    const int count = directive.precision;
    const void* pointer = args.Pointer(PointerUse::Bytes, count > 0 ? count : 0);
    if (count <= 0) return 1;
    if (pointer == nullptr) return EmitNull(out, directive, true);
    const DumpLayout layout{directive.Has(kFlagAlt), directive.Has(kFlagSpace),
                            directive.Has(kFlagGroup)};
    const int64_t fieldLength = DumpLength(layout, count);
    const Padding padding = PlanPadding(directive, fieldLength, true);
    const int64_t total = padding.Total() + fieldLength;
    if (total > kMaxUnits) return 0;  // before reading a byte of a range that could not be shown
    const unsigned char* bytes = out.Settle(static_cast<const unsigned char*>(pointer), count);
    if (bytes == nullptr) return 0;
    char16_t* at = out.Open(total);
    if (at == nullptr) return 0;
    at = Fill(at, u' ', padding.before);
    at = Fill(at, u'0', padding.zeros);
    // A brace pair encloses each byte, or each group of four when grouping.
    const int unit = layout.grouped ? 4 : 1;
    for (int i = 0; i < count; ++i) {
        const bool opens = i % unit == 0;
        const bool closes = i % unit == unit - 1 || i == count - 1;
        if (layout.braces && opens) *at++ = u'{';
        at = PutHexByte(at, bytes[i], directive.upper);
        if (layout.braces && closes) *at++ = u'}';
        if (i == count - 1) break;
        if (layout.spaced) *at++ = u' ';
        if (layout.grouped && !layout.braces && closes) *at++ = u' ';
    }
    Fill(at, u' ', padding.after);
    out.Commit(total);
    return 1;
}

// ---------------------------------------------------------------------------
// IPv4 addresses and GUIDs: w W

int EmitAddress(Output& out, const FormatDirective& directive, FormatArgs& args) {
    const bool guid = (directive.length & kLengthShort) != 0;
    const void* pointer = args.Pointer(guid ? PointerUse::Guid : PointerUse::Ipv4, 0);
    if (pointer == nullptr) return EmitNull(out, directive, false);
    const auto* bytes = static_cast<const unsigned char*>(pointer);
    char16_t text[40];
    char16_t* at = text;
    if (guid) {
        static const int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
        *at++ = u'{';
        for (int i = 0; i < 16; ++i) {
            at = PutHexByte(at, bytes[kOrder[i]], directive.upper);
            if (i == 3 || i == 5 || i == 7 || i == 9) *at++ = u'-';
        }
        *at++ = u'}';
    } else {
        const bool fixed = directive.Has(kFlagZero);
        for (int i = 3; i >= 0; --i) {
            const unsigned value = bytes[i];
            if (fixed || value >= 100) *at++ = char16_t(u'0' + value / 100);
            if (fixed || value >= 10) *at++ = char16_t(u'0' + value / 10 % 10);
            *at++ = char16_t(u'0' + value % 10);
            if (i != 0) *at++ = u'.';
        }
    }
    return EmitText(out, directive, text, at - text, false);
}

// ---------------------------------------------------------------------------
// Floating point and magnitudes: f e E g G a A F I U

int EmitNumber(Output& out, FormatDirective directive, FormatArgs& args) {
    if (directive.width > kFloatWidthLimit) directive.width = kFloatWidthLimit;
    NumberField field;
    if (!ComposeNumberField(directive, args, field)) return 0;
    return EmitField(out, directive, field.head, field.headLength, field.body, field.bodyLength,
                     true);
}

// ---------------------------------------------------------------------------
// The template scanner

// At most ten decimal digits; a value past the int range saturates.
const char16_t* ReadNumber(const char16_t* at, int& value) {
    int64_t number = 0;
    for (int digits = 0; digits < 10 && *at >= u'0' && *at <= u'9'; ++digits)
        number = number * 10 + (*at++ - u'0');
    value = number > INT_MAX ? INT_MAX : int(number);
    return at;
}

bool IsDigit(char16_t unit) {
    return unit >= u'0' && unit <= u'9';
}

uint32_t FlagOf(char16_t unit) {
    switch (unit) {
        case u'-':
            return kFlagLeft;
        case u'+':
            return kFlagPlus;
        case u' ':
            return kFlagSpace;
        case u'0':
            return kFlagZero;
        case u'#':
            return kFlagAlt;
        case u'$':
            return kFlagEscape;
        case u'`':
            return kFlagGroup;
        default:
            return 0;
    }
}

// Flags, width, precision and length modifier; returns the position of the
// directive character.
const char16_t* ReadDirective(const char16_t* at, FormatDirective& directive, FormatArgs& args) {
    for (uint32_t flag; (flag = FlagOf(*at)) != 0; ++at) directive.flags |= flag;

    if (*at == u'*') {
        ++at;
        const int value = args.Int(IntUse::Width);
        if (value < 0) {
            directive.flags |= kFlagLeft;
            directive.width = value == INT_MIN ? INT_MAX : -value;
        } else {
            directive.width = value;
        }
    } else if (IsDigit(*at)) {
        at = ReadNumber(at, directive.width);
    }

    if (*at == u'.') {
        ++at;
        if (*at == u'*') {
            ++at;
            directive.precision = args.Int(IntUse::Precision);
        } else {
            at = ReadNumber(at, directive.precision);
        }
    }

    if (*at == u'h') {
        directive.length = kLengthShort;
        ++at;
    } else if (*at == u'L') {
        directive.length = kLength64;
        ++at;
    } else if (*at == u'l') {
        ++at;
        directive.length = kLengthLong;
        if (*at == u'l') {
            directive.length = kLength64;
            ++at;
        }
    }
    return at;
}

enum class Kind {
    None,
    Integer,
    Character,
    String,
    StringObject,
    HexDump,
    Address,
    Number,
    Newline,
    Count,
    Reserved
};

// The directive's kind; twins are folded to their lower-case letter.
Kind Classify(char16_t unit, FormatDirective& directive) {
    switch (unit) {
        case u'A':
        case u'B':
        case u'C':
        case u'E':
        case u'G':
        case u'P':
        case u'S':
        case u'W':
        case u'X':
        case u'Z':
            directive.upper = true;
            unit = char16_t(unit + (u'a' - u'A'));
            break;
        default:
            break;
    }
    directive.conversion = unit;
    switch (unit) {
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'o':
        case u'y':
        case u'p':
            return Kind::Integer;
        case u'c':
            return Kind::Character;
        case u's':
            return Kind::String;
        case u'z':
            return Kind::StringObject;
        case u'b':
            return Kind::HexDump;
        case u'w':
            return Kind::Address;
        case u'f':
        case u'e':
        case u'g':
        case u'a':
        case u'F':
        case u'I':
        case u'U':
            return Kind::Number;
        case u'N':
            return Kind::Newline;
        case u'n':
            return Kind::Count;
        case u't':
        case u'T':
        case u'Y':
            return Kind::Reserved;
        default:
            return Kind::None;
    }
}

int Run(Output& out, Kind kind, const FormatDirective& directive, FormatArgs& args) {
    switch (kind) {
        case Kind::Integer:
            return EmitInteger(out, directive, args);
        case Kind::Character:
            return EmitCharacter(out, directive, args);
        case Kind::String:
            return EmitString(out, directive, args);
        case Kind::StringObject:
            return EmitStringObject(out, directive, args);
        case Kind::HexDump:
            return EmitHexDump(out, directive, args);
        case Kind::Address:
            return EmitAddress(out, directive, args);
        case Kind::Number:
            return EmitNumber(out, directive, args);
        case Kind::Newline:
            return out.Literal(u"\r\n", 2);
        case Kind::Count: {
            auto* count = static_cast<int*>(args.Pointer(PointerUse::CountOut, 0));
            if (count != nullptr) *count = out.Produced();
            return 1;
        }
        case Kind::Reserved:
            args.Int(IntUse::Value);
            return 0;
        case Kind::None:
            break;
    }
    return 1;
}

}  // namespace

int GStringFormatter::Append(GString& target, const char16_t* format, FormatArgs& args) {
    if (format == nullptr || !target.IsWide()) return 0;
    // A template taken from the target itself would move as the text grows.
    GString ownCopy;
    if (Holds(target, format)) {
        if (!ownCopy.AssignWideCString(format)) return 0;
        format = ownCopy.WideText(0);
    }
    Output out(target);
    const char16_t* at = format;
    for (;;) {
        const char16_t* literal = at;
        while (*at != 0 && *at != u'%') ++at;
        if (at != literal && !out.Literal(literal, at - literal)) {
            target.Terminate();
            return 0;
        }
        if (*at == 0) {
            target.Terminate();
            return 1;
        }
        ++at;  // the '%'
        if (*at == u'%') {
            if (!out.Literal(at, 1)) {
                target.Terminate();
                return 0;
            }
            ++at;
            continue;
        }
        FormatDirective directive;
        directive.options = target.FormatOptions();
        at = ReadDirective(at, directive, args);
        const Kind kind = Classify(*at, directive);
        if (kind == Kind::None) continue;  // dropped; scanning goes on at this character
        ++at;
        if (!Run(out, kind, directive, args)) {
            target.Terminate();
            return 0;
        }
    }
}

int GString::AppendFormatV(const char16_t* format, va_list args) {
    VaListArgs source(args);
    return GStringFormatter::Append(*this, format, source);
}

int GString::AppendFormat(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = AppendFormatV(format, args);
    va_end(args);
    return result;
}

int FormatInto(GString& target, const char16_t* format, ...) {
    target.AssignWide(nullptr, 0);
    va_list args;
    va_start(args, format);
    const int result = target.AppendFormatV(format, args);
    va_end(args);
    return result;
}
