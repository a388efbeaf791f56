// Line breaks and debugger output.
#include <cstdio>

#include "GString.h"
#include "TextCodecs.h"

#ifdef _WIN32
#include <windows.h>

#include "WinText.h"
#endif

namespace {

// The one replaceable hook; null means the platform default.
DebugSink g_debugSink = nullptr;

void DefaultDebugSink(const char16_t* line) {
#ifdef _WIN32
    OutputDebugStringW(WinText(line));
#else
    GString narrow;
    if (narrow.AppendWide(line, -1) && narrow.Length() > 0) {
        std::fwrite(narrow.NarrowText(0), 1, size_t(narrow.Length()), stderr);
    }
#endif
}

void SendDebugLine(const char16_t* line) {
    (g_debugSink ? g_debugSink : DefaultDebugSink)(line);
}

}  // namespace

DebugSink SetDebugSink(DebugSink sink) {
    const DebugSink previous = g_debugSink;
    g_debugSink = sink;
    return previous;
}

int GString::AppendNewline() {
    return isWide ? AppendUnits(u"\r\n", 2) : AppendBytes("\r\n", 2);
}

void GString::DebugPrint(int maxChars) {
    if (length == 0 || !PrepareScratch()) return;
    const int total = isWide ? length : Utf16SizeOfUtf8(NarrowText(0), length, 0);
    const int n = total < maxChars ? total : maxChars;
    if (n <= 0) return;
    const int lineLength = debugLineLength;
    const int fullLines = lineLength > 0 ? n / lineLength : 0;
    const int rest = lineLength > 0 ? n % lineLength : n;

    const char16_t* wide = WideText(0);
    const char* cursor = NarrowText(0);
    int remainingBytes = isWide ? 0 : length;

    // Fills the scratch string with the next count characters; false when the
    // narrow text turns out not to be valid UTF-8.
    auto takeChars = [&](int count) -> bool {
        if (isWide) {
            const bool ok = scratch->AssignWide(wide, count) != 0;
            wide += count;
            return ok;
        }
        const char* end = Utf8SkipChars(cursor, count, remainingBytes);
        const int bytes = end != nullptr ? int(end - cursor) : remainingBytes;
        const bool ok = scratch->AssignNarrowAsWide(cursor, bytes) != 0;
        cursor += bytes;
        remainingBytes -= bytes;
        return ok;
    };

    for (int line = 0; line < fullLines; ++line) {
        if (!takeChars(lineLength)) return;
        const bool last = line == fullLines - 1 && rest == 0;
        if (!(last ? scratch->AppendUnits(u"\n", 1) : scratch->AppendUnits(u" \\\n", 3))) return;
        SendDebugLine(scratch->WideText(0));
    }
    if (rest > 0) {
        if (!takeChars(rest) || !scratch->AppendUnits(u"\n", 1)) return;
        SendDebugLine(scratch->WideText(0));
    }
}
