// Simple one-to-one upper-case mapping of UTF-16 code units.
#pragma once

#include <cstddef>

struct UpperCasePair {
    char16_t lower;
    char16_t upper;
};

// The mappings that the range rules of UpperCaseUnit do not cover, sorted by
// the lower unit (generated at build time from the character database).
extern const UpperCasePair kUpperCaseTable[];
extern const size_t kUpperCaseTableSize;

char16_t UpperCaseUnit(char16_t unit);
