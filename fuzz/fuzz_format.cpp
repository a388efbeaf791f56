// Fuzzes the formatting engine with arbitrary templates and well-formed
// arguments.
//
// Input: a template, then the bytes the arguments are made of. The template
// is read byte by byte as UTF-16 units (mostly ASCII, where the directives
// are); 0xFF takes the next two bytes as one arbitrary unit, 0x00 ends it.
// The arguments are built on demand: the engine says what it will read
// (a 32-bit slot, a double, a text of so many units...) and gets exactly
// that, in buffers sized to the byte so that any read past them shows.
//
// Besides "no crash, no access outside a buffer", each run checks that the
// target stays wide and terminated and keeps the text it had, and compares
// decimal conversions and plain integers with the C library.
#include <cinttypes>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FormatArgs.h"
#include "GString.h"
#include "GStringFormatter.h"

namespace {

// Anything larger is handed out as a null pointer (which the engine must
// accept too) rather than allocated.
constexpr int kLargestBuffer = 1 << 16;

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Unit() { return uint16_t(Byte() | Byte() << 8); }
    uint32_t Word() { return uint32_t(Unit()) | uint32_t(Unit()) << 16; }
    uint64_t Quad() { return uint64_t(Word()) | uint64_t(Word()) << 32; }
    bool Empty() const { return at_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// Bytes a character takes, judged from its lead byte (as the engine does
// for a precision that asks for exactly n characters).
int SequenceLength(uint8_t lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    return 4;
}

class FuzzArgs final : public FormatArgs {
public:
    FuzzArgs(Reader& reader, GString& target) : in_(reader), target_(target) {}

    int32_t Int(IntUse use) override {
        const uint8_t choice = in_.Byte();
        if (use == IntUse::Value) return int32_t(in_.Word());
        switch (choice & 0xF) {
            case 0:
                return INT_MIN;
            case 1:
                return INT_MAX;
            case 2:
                return int32_t(in_.Unit()) - 0x8000;
            default:
                return int32_t(in_.Byte()) - 128;
        }
    }

    int64_t Int64() override { return int64_t(in_.Quad()); }

    double Double() override {
        const uint64_t bits = in_.Quad();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    void* Pointer(PointerUse use, int count) override {
        if ((in_.Byte() & 0xF) == 0 && use != PointerUse::Address) return nullptr;
        switch (use) {
            case PointerUse::Address:
                return reinterpret_cast<void*>(uintptr_t(in_.Quad()));
            case PointerUse::WideText:
                return WideText(count);
            case PointerUse::NarrowText:
                return NarrowText(count);
            case PointerUse::String:
                return String();
            case PointerUse::Counted:
                return Counted();
            case PointerUse::Bytes:
                return count > kLargestBuffer ? nullptr : Bytes(count);
            case PointerUse::Ipv4:
                return Bytes(4);
            case PointerUse::Guid:
                return Bytes(16);
            case PointerUse::CountOut:
                return Bytes(sizeof(int));
        }
        return nullptr;
    }

private:
    // A block of exactly count bytes, owned until the run ends.
    uint8_t* Allocate(size_t count) {
        blocks_.push_back(std::make_unique<uint8_t[]>(count));
        return blocks_.back().get();
    }

    uint8_t* Bytes(int count) {
        uint8_t* data = Allocate(size_t(count));
        for (int i = 0; i < count; ++i) data[i] = in_.Byte();
        return data;
    }

    // A terminated text, or for a negative count exactly that many units.
    void* WideText(int count) {
        if (count < -kLargestBuffer) return nullptr;
        const int units = count < 0 ? -count : in_.Byte() % 48;
        auto* text = reinterpret_cast<char16_t*>(Allocate(2 * size_t(units + (count < 0 ? 0 : 1))));
        for (int i = 0; i < units; ++i) text[i] = char16_t(in_.Unit() & 0x1FF);
        if (count >= 0) text[units] = 0;
        return text;
    }

    // A terminated text, or for a negative count exactly that many
    // characters as their lead bytes announce them.
    void* NarrowText(int count) {
        if (count < -kLargestBuffer) return nullptr;
        if (count >= 0) {
            const int bytes = in_.Byte() % 48;
            uint8_t* text = Bytes(bytes + 1);
            for (int i = 0; i < bytes; ++i)
                if (text[i] == 0) text[i] = 'z';
            text[bytes] = 0;
            return text;
        }
        std::vector<uint8_t> text;
        for (int left = -count; left > 0; --left) {
            const uint8_t lead = in_.Byte();
            text.push_back(lead);
            for (int extra = SequenceLength(lead) - 1; extra > 0; --extra)
                text.push_back(in_.Byte());
        }
        uint8_t* block = Allocate(text.size());
        std::memcpy(block, text.data(), text.size());
        return block;
    }

    void* String() {
        const uint8_t choice = in_.Byte();
        if (choice % 8 == 0) return &target_;  // the target itself
        auto string = std::make_unique<GString>();
        const int length = in_.Byte() % 40;
        if (choice & 1) {
            std::vector<char16_t> units(size_t(length) + 1, 0);
            for (int i = 0; i < length; ++i) units[i] = char16_t(in_.Unit());
            string->AssignWide(units.data(), length);
        } else {
            std::vector<char> bytes(size_t(length) + 1, 0);
            for (int i = 0; i < length; ++i) bytes[i] = char(in_.Byte());
            string->AssignNarrow(bytes.data(), length);
        }
        GString* raw = string.get();
        strings_.push_back(std::move(string));
        return raw;
    }

    // A counted text without terminator, sometimes at an odd address.
    void* Counted() {
        const uint32_t flags = in_.Word() & 0xE0000000u;
        const int length = in_.Byte() % 40;
        const bool narrow = (flags & 0x80000000u) != 0;
        const int offset = in_.Byte() & 1;
        const int bytes = 4 + length * (narrow ? 1 : 2);
        uint8_t* block = Allocate(size_t(offset + bytes)) + offset;
        for (int i = 4; i < bytes; ++i) block[i] = in_.Byte();
        const uint32_t header = flags | uint32_t(length);
        for (int i = 0; i < 4; ++i) block[i] = uint8_t(header >> (8 * i));
        return block;
    }

    Reader& in_;
    GString& target_;
    std::vector<std::unique_ptr<uint8_t[]>> blocks_;
    std::vector<std::unique_ptr<GString>> strings_;
};

// Widths that are huge but still allocatable would only make runs slow; the
// ones past what a string can hold fail at once and stay in.
bool HasCostlyNumber(const std::u16string& format) {
    int64_t value = 0;
    for (char16_t unit : format) {
        if (unit >= u'0' && unit <= u'9') {
            value = value * 10 + (unit - u'0');
            if (value > (int64_t(1) << 30)) value = int64_t(1) << 30;
            continue;
        }
        if (value >= 100000 && value <= 0x0FFFFFFF) return true;
        value = 0;
    }
    return value >= 100000 && value <= 0x0FFFFFFF;
}

std::u16string ReadTemplate(Reader& in) {
    std::u16string format;
    while (!in.Empty()) {
        const uint8_t byte = in.Byte();
        if (byte == 0) break;
        format += byte == 0xFF ? char16_t(in.Unit()) : char16_t(byte);
    }
    return format;
}

std::string Narrow(const GString& s) {
    std::string out;
    for (int i = 0; i < s.Length(); ++i) out += char(s.WideText(0)[i]);
    return out;
}

void Expect(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_format: %s\n", what);
    std::abort();
}

// Decimal digits must match the C library's correctly rounded ones.
void CompareDecimal(Reader& in) {
    double value;
    const uint64_t bits = in.Quad();
    std::memcpy(&value, &bits, sizeof value);
    if (value != value || value - value != 0) return;  // NaN and infinities
    const int precision = 1 + in.Byte() % 40;
    char expected[512];
    GString s;
    std::snprintf(expected, sizeof expected, "%.*e", precision, value);
    FormatInto(s, u"%.*e", precision, value);
    Expect(Narrow(s) == expected, "%e differs from the C library");
    if (value < 1e30 && value > -1e30) {
        std::snprintf(expected, sizeof expected, "%.*f", precision, value);
        FormatInto(s, u"%.*f", precision, value);
        Expect(Narrow(s) == expected, "%f differs from the C library");
    }
    // With a precision of at least 1 and no '#', general notation is C's.
    std::snprintf(expected, sizeof expected, "%.*g", precision, value);
    FormatInto(s, u"%.*g", precision, value);
    Expect(Narrow(s) == expected, "%g differs from the C library");
    // Without a precision hex floats show every fraction digit, as in C.
    std::snprintf(expected, sizeof expected, "%a", value);
    FormatInto(s, u"%a", value);
    Expect(Narrow(s) == expected, "%a differs from the C library");
}

// Plain integers (no '#', no '0', precision at least 1) print as in C.
void CompareInteger(Reader& in) {
    const int32_t value = int32_t(in.Word());
    const int width = in.Byte() % 24;
    const int precision = 1 + in.Byte() % 16;
    const char* flags[] = {"", "-", "+", " ", "-+"};
    const char* flag = flags[in.Byte() % 5];
    const char conversions[] = "diuxXo";
    const char conversion = conversions[in.Byte() % 6];
    char c_format[32];
    std::snprintf(c_format, sizeof c_format, "%%%s%d.%d%c", flag, width, precision, conversion);
    char16_t format[32];
    for (int i = 0;; ++i) {
        format[i] = char16_t(c_format[i]);
        if (c_format[i] == 0) break;
    }
    char expected[128];
    std::snprintf(expected, sizeof expected, c_format, value);
    GString s;
    FormatInto(s, format, value);
    Expect(Narrow(s) == expected, "integer differs from the C library");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    const std::u16string format = ReadTemplate(in);
    if (HasCostlyNumber(format)) return 0;

    GString target;
    const uint8_t start = in.Byte();
    if (start & 1) target.AssignWideCString(u"before:");
    if (start & 2) target.SetFormatOptions(in.Byte() & 0xE);
    const std::string before = target.IsWide() ? Narrow(target) : std::string();
    if (start & 4) {
        FuzzArgs args(in, target);
        target.AssignWide(nullptr, 0);
        GStringFormatter::Append(target, format.c_str(), args);
        Expect(target.Length() == 0 || target.WideText(0)[target.Length()] == 0,
               "text not terminated");
    } else {
        target.ToWide(-1);
        FuzzArgs args(in, target);
        GStringFormatter::Append(target, format.c_str(), args);
        Expect(target.IsWide(), "target not wide");
        Expect(Narrow(target).compare(0, before.size(), before) == 0, "earlier text changed");
        Expect(target.Length() == 0 || target.WideText(0)[target.Length()] == 0,
               "text not terminated");
    }
    CompareDecimal(in);
    CompareInteger(in);
    return 0;
}
