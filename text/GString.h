// GString: the one string type. Holds narrow (UTF-8 bytes) or wide (UTF-16
// code units) text and knows which; converts on request and when text of the
// other width is appended.
//
// Every operation that can fail returns int: nonzero for success, 0 for
// failure. Nothing throws; a failed allocation leaves the string as it was.
// Lengths and positions count units: bytes when narrow, code units when wide.
// Text arguments are a pointer and a count; a negative count means "up to the
// terminating zero", a null pointer means empty text. Encoding arguments accept
// 0 (UTF-8); any other value means the string's own encoding.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "CountedText.h"

class GString {
public:
    GString();
    // Wide; count copies of unit when count > 0, else empty without a block.
    GString(char16_t unit, int count);
    virtual ~GString();

    GString(const GString&) = delete;
    GString& operator=(const GString&) = delete;

    // --- storage ---
    int Reserve(int total);
    int EnsureRoom(int extra);
    int Compact();
    int FreeSpace() const;
    // Writes the terminator after the text; the text start, or null without a
    // block.
    void* Terminate();
    void Clear();
    // After a caller wrote into WideBuffer/NarrowBuffer; n < 0: up to the first
    // zero.
    int SetLength(int n);
    // Removes n units from the front without moving memory.
    int DropFront(int n);

    // --- state ---
    int Length() const { return length; }
    bool IsEmpty() const { return length == 0; }
    bool IsWide() const { return isWide != 0; }
    int Capacity() const { return capacity; }
    int HeadOffset() const { return headOffset; }
    int Encoding() const { return encoding; }
    uint32_t FormatOptions() const { return formatOptions; }
    void SetFormatOptions(uint32_t options) { formatOptions = options; }
    int DebugLineLength() const { return debugLineLength; }
    void SetDebugLineLength(int lineLength) { debugLineLength = lineLength; }

    // --- access; pointers stay valid until the string next changes ---
    // Never null and never converting: the shared empty text of the width
    // asked for when the string is of the other width, empty, or position < 0.
    const char* NarrowText(int position = 0) const;
    const char16_t* WideText(int position = 0) const;
    // Switch the mode, converting the text; null on invalid UTF-8 or memory
    // failure, the string then unchanged.
    const char16_t* ToWide(int encoding = -1);
    const char* ToNarrow(int encoding = -1);
    // Switch the mode, make room for n more units and return the place just
    // after the text (room for n units plus a terminator); null on failure.
    char16_t* WideBuffer(int n);
    char* NarrowBuffer(int n);

    // --- appending; every form terminates the text ---
    int AppendUnits(const char16_t* text, int count);  // wide receiver only
    int AppendBytes(const char* bytes, int count,
                    int encoding = -1);                    // narrow receiver only
    int AppendWide(const char16_t* text, int count = -1);  // converts when narrow
    int AppendNarrow(const char* bytes, int count = -1,
                     int encoding = -1);  // converts when wide
    int Append(const GString& other);
    int AppendWideRepeated(char16_t unit, int count);
    int AppendNarrowRepeated(char byte, int count);
    // One unit, zero included, without terminating (wide only; for the
    // formatter).
    int AppendUnit(char16_t unit);

    // --- assigning: set the mode, empty, append ---
    int Assign(const GString& other);
    int AssignWide(const char16_t* text, int count);
    int AssignWideCString(const char16_t* text);
    int AssignNarrow(const char* bytes, int count, int encoding = -1);
    int AssignNarrowAsWide(const char* bytes, int count, int encoding = -1);
    int AssignAsWide(const GString* other);
    int AssignAsNarrow(const GString* other);
    // Reads a string-table entry; the mode follows the header.
    int AssignCounted(const CountedText* block);

    // --- compare and search (converting the argument when widths differ) ---
    int Compare(const char16_t* text, int count);
    int CompareNarrow(const char* text, int count);
    int Find(const char16_t* text, int start, int count);
    int FindNarrow(const char* text, int start, int count);
    int FindString(const GString& other, int start);
    int FindLastUnit(char16_t unit, int lowerBound);

    // --- edit ---
    int EnsureSuffix(const char16_t* text, int count);
    int EnsureSuffixNarrow(const char* text, int count);
    // Joins a path component with exactly one backslash in between.
    int AppendPath(const char16_t* component, int count);
    int AppendPathNarrow(const char* component, int count);
    GString& AppendPathString(const GString& other);
    int ToUpper();
    int AppendNewline();
    // Sends at most maxChars characters to the debug output in lines of
    // DebugLineLength characters.
    void DebugPrint(int maxChars);

    // --- formatting (GStringFormat.cpp) ---
    // Appends formatted text; the string must be wide.
    int AppendFormat(const char16_t* format, ...);
    int AppendFormatV(const char16_t* format, va_list args);

private:
    // The formatting engine works on the fields directly.
    friend class GStringFormatter;
    friend int StringsEqual(GString& a, const GString& b);
    friend int StringsDiffer(GString& a, const GString& b);

    int UnitSize() const { return isWide ? 2 : 1; }
    int Available() const;
    char* TextArea() const;
    char* TextStart() const;
    void WriteHeaderWord();
    int ResolveEncoding(int requested) const;
    void SetMode(bool wide);
    int ReplaceText(bool wide, const void* source, int units, int extraRoom = 0);
    int AppendSame(const void* source, int units);
    bool InBlock(const void* p) const;
    int EqualsString(const GString& other);
    int EndsWithSame(const void* text, int count) const;
    int AppendPathSame(const void* component, int count);

    int PrepareScratch();
    int ScratchFromWide(const char16_t* text, int count, int encoding);
    int ScratchFromNarrow(const char* bytes, int count, int encoding);

    uint8_t* buffer = nullptr;  // header word, then the text area
    int32_t length = 0;         // units of text
    int32_t headOffset = 0;     // units dropped from the front of the text area
    int32_t capacity = 0;       // block size in bytes, header word included
    int32_t growthGranule = 64;
    int32_t encoding = 0;  // 0: UTF-8, the only narrow encoding
    int32_t isWide = 0;
    uint32_t formatOptions = 0;
    int32_t debugLineLength = 80;
    GString* scratch = nullptr;  // created on first need
};

// Equality of the texts, whatever their widths.
int StringsEqual(GString& a, const GString& b);
int StringsDiffer(GString& a, const GString& b);

// Makes target wide and empty, then appends the formatted text.
int FormatInto(GString& target, const char16_t* format, ...);

// Receives each line of GString::DebugPrint. Under Windows the default sends
// it to the debugger; elsewhere it writes UTF-8 to standard error. Returns the
// sink it replaces; null restores the default.
using DebugSink = void (*)(const char16_t* line);
DebugSink SetDebugSink(DebugSink sink);
