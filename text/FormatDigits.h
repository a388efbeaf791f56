// Decimal digit strings of a double, correctly rounded (ties to even) from the
// exact binary value, so the formatter prints the same digits on every target
// whatever its C library does.
#pragma once

// A digit string with the position of its decimal point: the value is
// 0.d1d2d3... x 10^point. A zero value has only zero digits and point 0.
struct DecimalDigits {
    // Room for the digits of one conversion; a conversion that needs more
    // fails.
    static constexpr int kArea = 352;

    char digits[kArea];  // '0' to '9', not terminated
    int count = 0;
    int point = 0;
};

// |value| rounded to count significant digits (1 <= count < kArea). The value
// must be finite.
void SignificantDigits(double value, int count, DecimalDigits& out);

// |value| rounded to places digits after the point (0 <= places < kArea): the
// digits from the first significant one (or places zeros when the value
// rounds to zero), so that count - point == places. Returns 0 when the digits
// and a terminator do not fit the area. The value must be finite.
int FixedDigits(double value, int places, DecimalDigits& out);
