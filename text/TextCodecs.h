// Measuring and converting raw UTF-8 and UTF-16 text.
//
// Conversions work on single UTF-16 code units: a surrogate pair becomes two
// three-byte sequences, which the decoder reads back unchanged; four-byte
// sequences are refused. Text arguments are a pointer and a count; a null
// pointer is empty text and a negative count means "up to the terminating
// zero".
#pragma once

// Units before the terminating zero. The pointer must be valid.
int NarrowLength(const char* text);
int WideLength(const char16_t* text);

// Bytes that Utf16ToUtf8 writes for the units (at most INT_MAX). A hint above 0
// is returned as it is (the caller already knows the size).
int Utf8SizeOfUtf16(const char16_t* units, int count, int hint);

// Writes every unit as 1 to 3 bytes and returns the bytes written. outSize 0
// means "as many as Utf8SizeOfUtf16 gives"; a positive outSize is never
// exceeded (conversion stops before a unit that would not fit). -1 for a null
// output.
int Utf16ToUtf8(const char16_t* units, char* out, int count, int outSize);

// Upper bound of the units Utf8ToUtf16 writes for the bytes. A hint above 0 is
// returned as it is.
int Utf16SizeOfUtf8(const char* bytes, int count, int hint);

// Decodes UTF-8 into UTF-16 and returns the units written, or -1 for a null
// output, invalid input, or an output of outSize units that is too small
// (outSize 0: Utf16SizeOfUtf8 of the input).
int Utf8ToUtf16(const char* bytes, char16_t* out, int count, int outSize);

// Steps the cursor over one character (lead byte plus the continuation bytes
// its form announces, which are not examined). 1 to go on; 0 when the bytes
// are used up or the lead byte is not a lead byte.
int Utf8SkipChar(const char** cursor, int* remaining);

// Pointer just after the first n characters; the text itself for n == 0; null
// when n < 0, the text is empty, or n is not below the byte count.
const char* Utf8SkipChars(const char* bytes, int n, int count);
