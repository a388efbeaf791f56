// GString and its formatter against the standard library doing the same work
// in the same run: std::u16string for appending, std::codecvt for the UTF-8
// conversions, snprintf for formatting. Compare each pair's time per item.
#include <benchmark/benchmark.h>

#include <codecvt>
#include <cstdio>
#include <locale>
#include <string>

#include "GString.h"
#include "TextCodecs.h"

namespace {

// Mixed text as the installer handles it: ASCII paths and Polish words.
std::string SampleUtf8(size_t bytes) {
    const std::string piece = "C:\\Program Files\\Lipowa Labs\\Kreska - zażółć gęślą jaźń; ";
    std::string text;
    while (text.size() < bytes) text += piece;
    return text;
}

std::u16string SampleUtf16(size_t bytes) {
    const std::u16string piece = u"C:\\Program Files\\Lipowa Labs\\Kreska - zażółć gęślą jaźń; ";
    std::u16string text;
    while (text.size() * 2 < bytes) text += piece;
    return text;
}

// --- appending: 16 units at a time up to 4096 units ---

void BM_Append_GString(benchmark::State& state) {
    const std::u16string chunk(16, u'x');
    for (auto _ : state) {
        GString s;
        s.AssignWide(nullptr, 0);
        for (int i = 0; i < 256; ++i) s.AppendUnits(chunk.data(), int(chunk.size()));
        benchmark::DoNotOptimize(s.WideText(0));
    }
    state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_Append_GString);

void BM_Append_U16String(benchmark::State& state) {
    const std::u16string chunk(16, u'x');
    for (auto _ : state) {
        std::u16string s;
        for (int i = 0; i < 256; ++i) s.append(chunk);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_Append_U16String);

// Narrow text appended to a wide string is converted on the way.
void BM_AppendNarrowToWide_GString(benchmark::State& state) {
    const std::string chunk = "zażółć gęślą";
    for (auto _ : state) {
        GString s;
        s.AssignWide(nullptr, 0);
        for (int i = 0; i < 256; ++i) s.AppendNarrow(chunk.data(), int(chunk.size()));
        benchmark::DoNotOptimize(s.WideText(0));
    }
    state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_AppendNarrowToWide_GString);

// --- UTF-8 <-> UTF-16 over 64 KiB ---

using Converter = std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>;

void BM_Utf8ToUtf16_Codecs(benchmark::State& state) {
    const std::string text = SampleUtf8(65536);
    std::u16string out(text.size(), u'\0');
    for (auto _ : state) {
        const int units = Utf8ToUtf16(text.data(), out.data(), int(text.size()), int(out.size()));
        benchmark::DoNotOptimize(units);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_Utf8ToUtf16_Codecs);

void BM_Utf8ToUtf16_StdCodecvt(benchmark::State& state) {
    const std::string text = SampleUtf8(65536);
    Converter converter;
    for (auto _ : state) {
        std::u16string out = converter.from_bytes(text);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_Utf8ToUtf16_StdCodecvt);

void BM_Utf16ToUtf8_Codecs(benchmark::State& state) {
    const std::u16string text = SampleUtf16(65536);
    std::string out(text.size() * 3, '\0');
    for (auto _ : state) {
        const int bytes = Utf16ToUtf8(text.data(), out.data(), int(text.size()), int(out.size()));
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size() * 2));
}
BENCHMARK(BM_Utf16ToUtf8_Codecs);

void BM_Utf16ToUtf8_StdCodecvt(benchmark::State& state) {
    const std::u16string text = SampleUtf16(65536);
    Converter converter;
    for (auto _ : state) {
        std::string out = converter.to_bytes(text);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size() * 2));
}
BENCHMARK(BM_Utf16ToUtf8_StdCodecvt);

// The string-class paths that the installer uses for the same conversions.
void BM_ToWide_GString(benchmark::State& state) {
    const std::string text = SampleUtf8(65536);
    GString s;
    for (auto _ : state) {
        s.AssignNarrow(text.data(), int(text.size()));
        benchmark::DoNotOptimize(s.ToWide(-1));
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_ToWide_GString);

// --- formatting; the target string is reused as the installer does ---

void BM_FormatInt_GString(benchmark::State& state) {
    GString s;
    int value = -1234567;
    for (auto _ : state) {
        FormatInto(s, u"%d", value++);
        benchmark::DoNotOptimize(s.WideText(0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatInt_GString);

void BM_FormatInt_Snprintf(benchmark::State& state) {
    char buffer[64];
    int value = -1234567;
    for (auto _ : state) {
        std::snprintf(buffer, sizeof buffer, "%d", value++);
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatInt_Snprintf);

void BM_FormatHex_GString(benchmark::State& state) {
    GString s;
    unsigned value = 0x8000F00D;
    for (auto _ : state) {
        FormatInto(s, u"%08X:%#x", value, value >> 3);
        ++value;
        benchmark::DoNotOptimize(s.WideText(0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatHex_GString);

void BM_FormatHex_Snprintf(benchmark::State& state) {
    char buffer[64];
    unsigned value = 0x8000F00D;
    for (auto _ : state) {
        std::snprintf(buffer, sizeof buffer, "%08X:%#x", value, value >> 3);
        ++value;
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatHex_Snprintf);

// A registry-style message: two texts and a number.
void BM_FormatMessage_GString(benchmark::State& state) {
    GString s;
    const char16_t* key = u"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000415";
    const char16_t* value = u"Layout File";
    for (auto _ : state) {
        FormatInto(s, u"%s\\%s = %5d (%-12s)", key, value, 42, u"kbdkresk.dll");
        benchmark::DoNotOptimize(s.WideText(0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatMessage_GString);

void BM_FormatMessage_Snprintf(benchmark::State& state) {
    char buffer[256];
    const char* key = "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000415";
    const char* value = "Layout File";
    for (auto _ : state) {
        std::snprintf(buffer, sizeof buffer, "%s\\%s = %5d (%-12s)", key, value, 42,
                      "kbdkresk.dll");
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatMessage_Snprintf);

// UTF-8 arguments are converted while formatting.
void BM_FormatUtf8Text_GString(benchmark::State& state) {
    GString s;
    for (auto _ : state) {
        FormatInto(s, u"[%hs]", "Klawiatura polska Kreska");
        benchmark::DoNotOptimize(s.WideText(0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatUtf8Text_GString);

void BM_FormatFloat_GString(benchmark::State& state) {
    GString s;
    double value = 3.14159;
    for (auto _ : state) {
        FormatInto(s, u"%.3f", value);
        value += 0.001;
        benchmark::DoNotOptimize(s.WideText(0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatFloat_GString);

void BM_FormatFloat_Snprintf(benchmark::State& state) {
    char buffer[64];
    double value = 3.14159;
    for (auto _ : state) {
        std::snprintf(buffer, sizeof buffer, "%.3f", value);
        value += 0.001;
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatFloat_Snprintf);

}  // namespace

BENCHMARK_MAIN();
