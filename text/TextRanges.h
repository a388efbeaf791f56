// Comparing and searching raw ranges of bytes or UTF-16 units.
#pragma once

// Length first, then the first differing unit (unsigned): -1, 0 or 1.
// A null pointer or a length of 0 or less is empty.
int CompareBytes(const void* a, const void* b, int lengthA, int lengthB);
int CompareUnits(const char16_t* a, const char16_t* b, int lengthA, int lengthB);

// First position at or after start where the needle matches, or -1.
int FindBytes(const void* haystack, const void* needle, int haystackLength, int needleLength,
              int start);
int FindUnits(const char16_t* haystack, const char16_t* needle, int haystackLength,
              int needleLength, int start);

// Last position at or after lowerBound holding the value, or -1.
int FindLastByte(const void* range, unsigned char byte, int length, int lowerBound);
int FindLastUnitIn(const char16_t* range, char16_t unit, int length, int lowerBound);

// Last position at or after lowerBound where the whole needle matches, or -1.
int FindLastBytes(const void* haystack, const void* needle, int haystackLength, int needleLength,
                  int lowerBound);
