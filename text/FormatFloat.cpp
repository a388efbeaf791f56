#include "FormatFloat.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "FormatDigits.h"

namespace {

constexpr char16_t kMicroSign = 0x00B5;

// Appends ASCII and digit text to the body of a field.
class BodyWriter {
public:
    explicit BodyWriter(NumberField& field) : field_(field) {}

    void Put(char16_t unit) {
        if (field_.bodyLength < NumberField::kBodyRoom) field_.body[field_.bodyLength++] = unit;
    }
    void Put(const char* text) {
        while (*text != 0) Put(char16_t(*text++));
    }
    void Repeat(char16_t unit, int count) {
        for (; count > 0; --count) Put(unit);
    }
    // Digits [from, to) of a digit string; positions past its end are zeros.
    void Digits(const DecimalDigits& digits, int from, int to) {
        for (int i = from; i < to; ++i) Put(i < digits.count ? char16_t(digits.digits[i]) : u'0');
    }
    // 'e' or 'E', the sign, and at least two digits (three when the magnitude
    // needs them or the target asks for them).
    void Exponent(int exponent, bool upper, uint32_t options) {
        Put(upper ? u'E' : u'e');
        Put(exponent < 0 ? u'-' : u'+');
        const int magnitude = exponent < 0 ? -exponent : exponent;
        const bool three = magnitude > 99 || (options & kOptionThreeDigitExponent) != 0;
        if (three) Put(char16_t(u'0' + magnitude / 100 % 10));
        Put(char16_t(u'0' + magnitude / 10 % 10));
        Put(char16_t(u'0' + magnitude % 10));
    }
    void Decimal(unsigned value) {
        char text[12];
        int length = 0;
        do {
            text[length++] = char('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (length > 0) Put(char16_t(text[--length]));
    }

private:
    NumberField& field_;
};

void PutSign(const FormatDirective& directive, bool negative, NumberField& field) {
    char16_t sign = 0;
    if (negative)
        sign = u'-';
    else if (directive.Has(kFlagPlus))
        sign = u'+';
    else if (directive.Has(kFlagSpace))
        sign = u' ';
    if (sign != 0) field.head[field.headLength++] = sign;
}

int Clamp(int precision) {
    return precision > kPrecisionLimit ? kPrecisionLimit : precision;
}

// The special values print as a fixed marker without sign or precision.
bool ComposeSpecial(double value, NumberField& field) {
    const char* marker = nullptr;
    if (std::isnan(value))
        marker = "{ nan}";
    else if (std::isinf(value))
        marker = value < 0 ? "{-inf}" : "{+inf}";
    if (marker == nullptr) return false;
    BodyWriter(field).Put(marker);
    return true;
}

int ComposeFixed(const FormatDirective& directive, double value, NumberField& field) {
    const int places = directive.precision <= 0 ? 6 : Clamp(directive.precision);
    DecimalDigits digits;
    if (!FixedDigits(value, places, digits)) return 0;
    int point = digits.point < -places ? -places : digits.point;
    BodyWriter out(field);
    if (point > 0) {
        out.Digits(digits, 0, point);
        out.Put(u'.');
        out.Digits(digits, point, digits.count);
    } else {
        out.Put("0.");
        out.Repeat(u'0', -point);
        out.Digits(digits, 0, digits.count);
    }
    return 1;
}

int ComposeExponent(const FormatDirective& directive, double value, NumberField& field) {
    const int places = directive.precision <= 0 ? 6 : Clamp(directive.precision);
    DecimalDigits digits;
    SignificantDigits(value, places + 1, digits);
    const int exponent = value == 0.0 ? 0 : digits.point - 1;
    BodyWriter out(field);
    out.Digits(digits, 0, 1);
    out.Put(u'.');
    out.Digits(digits, 1, places + 1);
    out.Exponent(exponent, directive.upper, directive.options);
    return 1;
}

int ComposeGeneral(const FormatDirective& directive, double value, NumberField& field) {
    int significant = directive.precision;
    if (significant < 0)
        significant = 6;
    else if (significant == 0)
        significant = 1;
    significant = Clamp(significant);
    const bool alternate = directive.Has(kFlagAlt);
    const bool zero = value == 0.0;
    DecimalDigits digits;
    SignificantDigits(value, significant, digits);
    const int exponent = zero ? 0 : digits.point - 1;
    BodyWriter out(field);

    int used = digits.count;
    if (exponent < -4 || exponent >= significant) {
        if (!alternate) {
            while (used > 1 && digits.digits[used - 1] == '0') --used;
        }
        out.Digits(digits, 0, 1);
        if (used > 1 || alternate) out.Put(u'.');
        out.Digits(digits, 1, used);
        out.Exponent(exponent, directive.upper, directive.options);
        return 1;
    }

    if (zero && !alternate) {
        out.Put(u'0');
        return 1;
    }
    const int point = digits.point;
    const int integerDigits = point > 0 ? point : 0;
    if (!alternate) {
        while (used > integerDigits && digits.digits[used - 1] == '0') --used;
    }
    if (point > 0) {
        out.Digits(digits, 0, point);
        if (used > point || alternate) out.Put(u'.');
        out.Digits(digits, point, used);
    } else {
        out.Put("0.");
        out.Repeat(u'0', -point);
        out.Digits(digits, 0, used);
    }
    return 1;
}

int ComposeHexFloat(const FormatDirective& directive, double value, NumberField& field) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = int((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    int lead = 1;
    int exponent = biased - 1023;
    if (biased == 0) {
        lead = 0;
        exponent = fraction == 0 ? 0 : -1022;
    }

    // The 13 fraction nibbles, most significant first.
    int nibbles[13];
    for (int i = 0; i < 13; ++i) nibbles[i] = int((fraction >> (48 - 4 * i)) & 0xF);
    int places = Clamp(directive.precision);
    if (places <= 0) {
        places = 13;
        while (places > 0 && nibbles[places - 1] == 0) --places;
    }
    if (places < 13 && nibbles[places] >= 8) {
        int i = places - 1;
        while (i >= 0 && nibbles[i] == 0xF) nibbles[i--] = 0;
        if (i >= 0)
            ++nibbles[i];
        else
            ++lead;
    }

    const bool upperPrefix = directive.upper && (directive.options & kOptionUpperHexPrefix) != 0;
    field.head[field.headLength++] = u'0';
    field.head[field.headLength++] = upperPrefix ? u'X' : u'x';

    const char* hex = directive.upper ? "0123456789ABCDEF" : "0123456789abcdef";
    BodyWriter out(field);
    out.Put(char16_t(u'0' + lead));
    if (places > 0 || directive.Has(kFlagAlt)) out.Put(u'.');
    for (int i = 0; i < places; ++i) out.Put(char16_t(i < 13 ? hex[nibbles[i]] : '0'));
    out.Put(directive.upper ? u'P' : u'p');
    out.Put(exponent < 0 ? u'-' : u'+');
    out.Decimal(unsigned(exponent < 0 ? -exponent : exponent));
    return 1;
}

// X lowered to a multiple of 3, rounding towards minus infinity.
int EngineeringExponent(int exponent) {
    const int rest = exponent % 3;
    return exponent - (rest < 0 ? rest + 3 : rest);
}

int ComposeEngineering(const FormatDirective& directive, double value, NumberField& field) {
    int significant = directive.precision < 3 ? 3 : Clamp(directive.precision);
    DecimalDigits digits;
    SignificantDigits(value, significant, digits);
    const int exact = value == 0.0 ? 0 : digits.point - 1;
    const int exponent = EngineeringExponent(exact);
    const int integerDigits = exact - exponent + 1;
    BodyWriter out(field);
    out.Digits(digits, 0, integerDigits);
    out.Put(u'.');
    out.Digits(digits, integerDigits, significant);
    if (directive.Has(kFlagAlt) && exponent >= -24 && exponent <= 24) {
        // Indexed by (exponent + 24) / 3: yocto up to yotta; units have none.
        static const char16_t kPrefixes[] = u"yzafpn\u00B5m kMGTPEZY";
        char16_t prefix = kPrefixes[(exponent + 24) / 3];
        if (prefix == kMicroSign && (directive.options & kOptionAsciiMicro) != 0) prefix = u'u';
        out.Put(u' ');
        out.Put(prefix);
        return 1;
    }
    out.Exponent(exponent, false, directive.options);
    return 1;
}

// I and U: the magnitude in units of 1024^n.
void ComposeBinaryMagnitude(const FormatDirective& directive, uint64_t magnitude,
                            NumberField& field) {
    int significant = directive.precision;
    if (significant < 0)
        significant = 3;
    else if (significant <= 1)
        significant = 2;
    significant = Clamp(significant);

    int steps = 0;
    for (uint64_t rest = magnitude; rest >= 1024; rest /= 1024) ++steps;
    double scaled = std::ldexp(double(magnitude), -10 * steps);
    DecimalDigits digits;
    SignificantDigits(scaled, significant, digits);
    if (digits.point > significant) {
        ++steps;
        scaled = std::ldexp(scaled, -10);
        SignificantDigits(scaled, significant > 1 ? significant - 1 : 1, digits);
    }

    BodyWriter out(field);
    const int point = digits.point;
    if (point <= 0) {
        out.Put("0.");
        const int zeros = -point < significant - 1 ? -point : significant - 1;
        out.Repeat(u'0', zeros);
        out.Digits(digits, 0, significant - 1 - zeros);
    } else {
        out.Digits(digits, 0, point);
        out.Put(u'.');
        out.Digits(digits, point, significant);
    }
    if (directive.Has(kFlagAlt)) {
        static const char* const kUnits[] = {"   ", " Ki", " Mi", " Gi", " Ti",
                                             " Pi", " Ei", " Zi", " Yi"};
        out.Put(steps < 9 ? kUnits[steps] : "   ");
        return;
    }
    out.Put(u'b');
    out.Put(char16_t(u'0' + steps));
    out.Put(u'0');
}

double TakeEngineeringArgument(const FormatDirective& directive, FormatArgs& args, bool& isDouble) {
    isDouble = false;
    if ((directive.length & kLength64) != 0) return double(args.Int64());
    if ((directive.length & kLengthShort) != 0) return double(args.Int(IntUse::Value));
    isDouble = true;
    return args.Double();
}

}  // namespace

int ComposeNumberField(const FormatDirective& directive, FormatArgs& args, NumberField& field) {
    field.headLength = 0;
    field.bodyLength = 0;
    const bool wide = (directive.length & kLength64) != 0;

    if (directive.conversion == u'I' || directive.conversion == u'U') {
        uint64_t magnitude;
        bool negative = false;
        if (directive.conversion == u'I') {
            const int64_t value = wide ? args.Int64() : int64_t(args.Int(IntUse::Value));
            negative = value < 0;
            magnitude = negative ? uint64_t(0) - uint64_t(value) : uint64_t(value);
            PutSign(directive, negative, field);
        } else {
            magnitude = wide ? uint64_t(args.Int64()) : uint64_t(uint32_t(args.Int(IntUse::Value)));
        }
        ComposeBinaryMagnitude(directive, magnitude, field);
        return 1;
    }

    bool isDouble = true;
    const double value = directive.conversion == u'F'
                             ? TakeEngineeringArgument(directive, args, isDouble)
                             : args.Double();
    if (isDouble && ComposeSpecial(value, field)) return 1;
    PutSign(directive, std::signbit(value), field);
    const double magnitude = std::fabs(value);
    switch (directive.conversion) {
        case u'f':
            return ComposeFixed(directive, magnitude, field);
        case u'e':
            return ComposeExponent(directive, magnitude, field);
        case u'g':
            return ComposeGeneral(directive, magnitude, field);
        case u'a':
            return ComposeHexFloat(directive, magnitude, field);
        default:
            return ComposeEngineering(directive, magnitude, field);
    }
}
