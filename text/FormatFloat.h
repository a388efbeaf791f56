// Fields of the floating-point and magnitude directives: f e g a F I U.
#pragma once

#include "FormatArgs.h"
#include "FormatDirective.h"

// A composed field before padding: the head (sign, and "0x" for hex floats)
// goes before any zero padding, the body after it.
struct NumberField {
    static constexpr int kBodyRoom = 400;  // longest body: 308 digits and extras

    char16_t head[4];
    int headLength = 0;
    char16_t body[kBodyRoom];
    int bodyLength = 0;
};

// Takes the directive's argument and composes its field. Returns 0 when the
// digits do not fit their area (the whole call then fails).
int ComposeNumberField(const FormatDirective& directive, FormatArgs& args, NumberField& field);
