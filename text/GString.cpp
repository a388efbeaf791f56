// GString core: storage, growth, access, appending, assigning and mode changes.
#include "GString.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "TextCodecs.h"

namespace {

const char kEmptyNarrow[1] = {0};
const char16_t kEmptyWide[1] = {0};

constexpr int kHeaderBytes = 4;
constexpr uint32_t kHeaderNarrowBit = 0x80000000u;
constexpr uint32_t kHeaderLengthMask = 0x1FFFFFFFu;

// Bytes of a block holding total units plus terminator and header word, or -1
// when that does not fit an int.
long long BlockBytes(long long total, int unitSize) {
    const long long need = (total + 1) * unitSize + kHeaderBytes;
    return need > INT_MAX ? -1 : need;
}

}  // namespace

GString::GString() = default;

GString::GString(char16_t unit, int count) {
    isWide = 1;
    if (count <= 0 || !Reserve(count)) return;
    auto* text = reinterpret_cast<char16_t*>(TextStart());
    std::fill(text, text + count, unit);
    length = count;
    Terminate();
}

GString::~GString() {
    std::free(buffer);
    if (scratch != nullptr) {
        scratch->~GString();
        std::free(scratch);
    }
    buffer = nullptr;
    scratch = nullptr;
    length = headOffset = capacity = 0;
    growthGranule = 64;
    encoding = isWide = 0;
    formatOptions = 0;
    debugLineLength = 80;
}

// ---------------------------------------------------------------- storage

char* GString::TextArea() const {
    return buffer ? reinterpret_cast<char*>(buffer) + kHeaderBytes : nullptr;
}

char* GString::TextStart() const {
    return buffer ? TextArea() + headOffset * UnitSize() : nullptr;
}

int GString::Available() const {
    if (buffer == nullptr) return 0;
    const int avail = (capacity - kHeaderBytes) / UnitSize() - 1 - headOffset;
    return avail > 0 ? avail : 0;
}

int GString::FreeSpace() const {
    const int space = Available() - length;
    return space > 0 ? space : 0;
}

void GString::WriteHeaderWord() {
    if (buffer == nullptr) return;
    uint32_t word = uint32_t(length * UnitSize()) & kHeaderLengthMask;
    if (!isWide) word |= kHeaderNarrowBit;
    std::memcpy(buffer, &word, sizeof word);
}

void* GString::Terminate() {
    if (buffer == nullptr) return nullptr;
    char* start = TextStart();
    std::memset(start + length * UnitSize(), 0, UnitSize());
    WriteHeaderWord();
    return start;
}

int GString::Compact() {
    if (buffer == nullptr) return 0;
    if (headOffset != 0) {
        std::memmove(TextArea(), TextStart(), size_t(length) * UnitSize());
        headOffset = 0;
    }
    Terminate();
    return 1;
}

int GString::Reserve(int total) {
    if (total < 0) return 1;
    if (total <= length) return Compact();
    long long wanted = std::max<long long>(total, length + length / 2);
    long long need = BlockBytes(wanted, UnitSize());
    if (need < 0) {
        // Half again would overflow; the exact request may still fit.
        wanted = total;
        need = BlockBytes(wanted, UnitSize());
        if (need < 0) return 0;
    }
    if (need <= capacity) {
        if (wanted > Available()) Compact();
        return 1;
    }
    const long long granule = growthGranule > 0 ? growthGranule : 64;
    const long long size = (need + granule - 1) / granule * granule;
    if (size > INT_MAX) return 0;
    auto* block = static_cast<uint8_t*>(std::malloc(size_t(size)));
    if (block == nullptr) return 0;
    const int fits = int((size - kHeaderBytes) / UnitSize() - 1);
    const int keep = std::min(length, fits);
    const size_t keepBytes = size_t(keep) * UnitSize();
    if (keep > 0) std::memcpy(block + kHeaderBytes, TextStart(), keepBytes);
    // The rest starts zeroed so that SetLength never scans indeterminate memory.
    std::memset(block + kHeaderBytes + keepBytes, 0, size_t(size) - kHeaderBytes - keepBytes);
    std::free(buffer);
    buffer = block;
    capacity = int(size);
    headOffset = 0;
    length = keep;
    Terminate();
    return 1;
}

int GString::EnsureRoom(int extra) {
    if (extra <= 0 || FreeSpace() >= extra) return 1;
    if (extra > INT_MAX - length) return 0;
    return Reserve(length + extra);
}

void GString::Clear() {
    length = 0;
    headOffset = 0;
    Terminate();
}

int GString::SetLength(int n) {
    if (buffer == nullptr) return 0;
    const int avail = Available();
    if (n < 0) {
        n = 0;
        if (isWide) {
            const auto* text = reinterpret_cast<const char16_t*>(TextStart());
            for (int i = 0; i < avail; ++i) {
                if (text[i] == 0) {
                    n = i;
                    break;
                }
            }
        } else {
            const void* zero = std::memchr(TextStart(), 0, size_t(avail));
            if (zero != nullptr) n = int(static_cast<const char*>(zero) - TextStart());
        }
    }
    if (n > avail) n = avail;
    length = n;
    if (n == 0) headOffset = 0;
    Terminate();
    return 1;
}

int GString::DropFront(int n) {
    if (n <= 0) return 0;
    n = std::min(n, length);
    headOffset += n;
    length -= n;
    if (length == 0) {
        headOffset = 0;
        Terminate();
    }
    return 1;
}

// Replaces the whole text with units copied from source (which may lie in
// this string's own block) in the given mode, with room for extraRoom more.
// A null source leaves the string empty with room for that many units.
// Unchanged when memory runs out.
int GString::ReplaceText(bool wide, const void* source, int units, int extraRoom) {
    const int unitSize = wide ? 2 : 1;
    const long long need = BlockBytes((long long)units + extraRoom, unitSize);
    if (need < 0) return 0;
    if (units + (long long)extraRoom == 0 && buffer == nullptr) {
        isWide = wide ? 1 : 0;
        length = headOffset = 0;
        return 1;
    }
    const size_t bytes = source != nullptr ? size_t(units) * unitSize : 0;
    if (need <= capacity) {
        if (bytes > 0) std::memmove(TextArea(), source, bytes);
    } else {
        const long long granule = growthGranule > 0 ? growthGranule : 64;
        const long long size = (need + granule - 1) / granule * granule;
        if (size > INT_MAX) return 0;
        auto* block = static_cast<uint8_t*>(std::malloc(size_t(size)));
        if (block == nullptr) return 0;
        if (bytes > 0) std::memcpy(block + kHeaderBytes, source, bytes);
        std::memset(block + kHeaderBytes + bytes, 0, size_t(size) - kHeaderBytes - bytes);
        std::free(buffer);
        buffer = block;
        capacity = int(size);
    }
    isWide = wide ? 1 : 0;
    headOffset = 0;
    length = source != nullptr ? units : 0;
    Terminate();
    return 1;
}

void GString::SetMode(bool wide) {
    isWide = wide ? 1 : 0;
    length = 0;
    headOffset = 0;
    Terminate();
}

bool GString::InBlock(const void* p) const {
    if (buffer == nullptr || p == nullptr) return false;
    const auto* q = static_cast<const uint8_t*>(p);
    return q >= buffer && q < buffer + capacity;
}

int GString::ResolveEncoding(int requested) const {
    return requested == 0 ? 0 : encoding;
}

// ---------------------------------------------------------------- access

const char* GString::NarrowText(int position) const {
    if (isWide || length == 0 || position < 0 || buffer == nullptr) return kEmptyNarrow;
    return TextStart() + std::min(position, length);
}

const char16_t* GString::WideText(int position) const {
    if (!isWide || length == 0 || position < 0 || buffer == nullptr) return kEmptyWide;
    return reinterpret_cast<const char16_t*>(TextStart()) + std::min(position, length);
}

const char16_t* GString::ToWide(int requested) {
    const int resolved = ResolveEncoding(requested);
    if (!isWide) {
        if (!PrepareScratch() || !scratch->AssignAsWide(this)) return nullptr;
        if (!ReplaceText(true, scratch->TextStart(), scratch->length)) return nullptr;
    }
    encoding = resolved;
    return WideText(0);
}

const char* GString::ToNarrow(int requested) {
    const int resolved = ResolveEncoding(requested);
    if (isWide) {
        if (length == 0) {
            SetMode(false);
        } else {
            if (!ScratchFromWide(WideText(0), length, 0)) return nullptr;
            if (!ReplaceText(false, scratch->TextStart(), scratch->length)) return nullptr;
        }
    }
    encoding = resolved;
    return NarrowText(0);
}

char16_t* GString::WideBuffer(int n) {
    if (n < 0) n = 0;
    if (!isWide) {
        // Converted and widened in one step, so that a failure leaves the string
        // narrow and as it was.
        if (!PrepareScratch() || !scratch->AssignAsWide(this)) return nullptr;
        if (!ReplaceText(true, scratch->TextStart(), scratch->length, n)) return nullptr;
    }
    if (buffer == nullptr ? !Reserve(std::max(n, 1)) : !EnsureRoom(n)) return nullptr;
    return reinterpret_cast<char16_t*>(TextStart()) + length;
}

char* GString::NarrowBuffer(int n) {
    if (n < 0) n = 0;
    if (isWide) {
        if (!ScratchFromWide(WideText(0), length, 0)) return nullptr;
        if (!ReplaceText(false, scratch->TextStart(), scratch->length, n)) return nullptr;
    }
    if (buffer == nullptr ? !Reserve(std::max(n, 1)) : !EnsureRoom(n)) return nullptr;
    return TextStart() + length;
}

// ---------------------------------------------------------------- appending

// Copies units of this string's width to the end. The source may lie in this
// string's own block, which growth may move.
int GString::AppendSame(const void* source, int units) {
    if (source == nullptr || units == 0) return 1;
    const bool aliased = InBlock(source);
    const std::ptrdiff_t offset = aliased ? static_cast<const uint8_t*>(source) - buffer : 0;
    if (!EnsureRoom(units)) return 0;
    if (aliased) source = buffer + offset;
    std::memmove(TextStart() + size_t(length) * UnitSize(), source, size_t(units) * UnitSize());
    length += units;
    Terminate();
    return 1;
}

int GString::AppendUnits(const char16_t* text, int count) {
    if (!isWide) return 0;
    if (text == nullptr || count == 0) return 1;
    if (count < 0) count = WideLength(text);
    return AppendSame(text, count);
}

int GString::AppendBytes(const char* bytes, int count, int /*encoding*/) {
    if (isWide) return 0;
    if (bytes == nullptr || count == 0) return 1;
    if (count < 0) count = NarrowLength(bytes);
    return AppendSame(bytes, count);
}

int GString::AppendWide(const char16_t* text, int count) {
    if (isWide) return AppendUnits(text, count);
    encoding = 0;
    if (text == nullptr || count == 0) return 1;
    if (count < 0) count = WideLength(text);
    if (InBlock(text)) {
        // Converting from our own block: go through the scratch string.
        if (!PrepareScratch() || !scratch->AssignWide(text, count)) return 0;
        text = scratch->WideText(0);
    }
    const int size = Utf8SizeOfUtf16(text, count, 0);
    if (!EnsureRoom(size)) return 0;
    length += Utf16ToUtf8(text, TextStart() + length, count, size);
    Terminate();
    return 1;
}

int GString::AppendNarrow(const char* bytes, int count, int encodingIndex) {
    if (!isWide) return AppendBytes(bytes, count, encodingIndex);
    if (bytes == nullptr || count == 0) return 1;
    if (count < 0) count = NarrowLength(bytes);
    if (InBlock(bytes)) {
        if (!PrepareScratch() || !scratch->AssignNarrow(bytes, count)) return 0;
        bytes = scratch->NarrowText(0);
    }
    const int units = Utf16SizeOfUtf8(bytes, count, 0);
    if (!EnsureRoom(units)) return 0;
    auto* end = reinterpret_cast<char16_t*>(TextStart()) + length;
    const int written = Utf8ToUtf16(bytes, end, count, units);
    if (written >= 0) length += written;
    Terminate();  // also restores the terminator over a partial decode
    return written >= 0 ? 1 : 0;
}

int GString::Append(const GString& other) {
    if (other.isWide) {
        return isWide ? AppendUnits(other.WideText(0), other.length)
                      : AppendWide(other.WideText(0), other.length);
    }
    return isWide ? AppendNarrow(other.NarrowText(0), other.length)
                  : AppendBytes(other.NarrowText(0), other.length);
}

int GString::AppendWideRepeated(char16_t unit, int count) {
    if (unit == 0 || count <= 0) return 1;
    if (!isWide) return unit < 0x80 ? AppendNarrowRepeated(char(unit), count) : 0;
    if (!EnsureRoom(count)) return 0;
    auto* end = reinterpret_cast<char16_t*>(TextStart()) + length;
    std::fill(end, end + count, unit);
    length += count;
    Terminate();
    return 1;
}

int GString::AppendNarrowRepeated(char byte, int count) {
    if (byte == 0 || count <= 0) return 1;
    if (isWide) {
        return static_cast<unsigned char>(byte) < 0x80 ? AppendWideRepeated(char16_t(byte), count)
                                                       : 0;
    }
    if (!EnsureRoom(count)) return 0;
    std::memset(TextStart() + length, byte, size_t(count));
    length += count;
    Terminate();
    return 1;
}

int GString::AppendUnit(char16_t unit) {
    if (!isWide) return 0;
    if (buffer == nullptr ? !Reserve(1) : !EnsureRoom(1)) return 0;
    reinterpret_cast<char16_t*>(TextStart())[length] = unit;
    ++length;
    return 1;
}

// ---------------------------------------------------------------- assigning

int GString::Assign(const GString& other) {
    if (&other == this) return 1;
    const void* source = other.isWide ? static_cast<const void*>(other.WideText(0))
                                      : static_cast<const void*>(other.NarrowText(0));
    if (!ReplaceText(other.isWide != 0, source, other.length)) return 0;
    encoding = other.encoding;
    return 1;
}

int GString::AssignWide(const char16_t* text, int count) {
    if (text == nullptr) count = 0;
    if (count < 0) count = WideLength(text);
    return ReplaceText(true, text, count);
}

int GString::AssignWideCString(const char16_t* text) {
    return AssignWide(text, -1);
}

int GString::AssignNarrow(const char* bytes, int count, int /*encoding*/) {
    if (bytes == nullptr) count = 0;
    if (count < 0) count = NarrowLength(bytes);
    return ReplaceText(false, bytes, count);
}

int GString::AssignNarrowAsWide(const char* bytes, int count, int encodingIndex) {
    if (bytes == nullptr) count = 0;
    if (count < 0) count = NarrowLength(bytes);
    if (InBlock(bytes)) {
        if (!PrepareScratch() || !scratch->AssignNarrow(bytes, count)) return 0;
        bytes = scratch->NarrowText(0);
    }
    // Room first, so that a memory failure leaves the string as it was.
    if (!ReplaceText(true, nullptr, Utf16SizeOfUtf8(bytes, count, 0))) return 0;
    return AppendNarrow(bytes, count, encodingIndex);
}

int GString::AssignAsWide(const GString* other) {
    if (other == nullptr) {
        ReplaceText(true, nullptr, 0);
        return 0;
    }
    if (other == this) return ToWide(-1) != nullptr ? 1 : 0;
    int result;
    if (other->isWide) {
        result = ReplaceText(true, other->WideText(0), other->length);
    } else {
        const char* bytes = other->NarrowText(0);
        result = ReplaceText(true, nullptr, Utf16SizeOfUtf8(bytes, other->length, 0)) &&
                 AppendNarrow(bytes, other->length, other->encoding);
    }
    if (result) encoding = other->encoding;
    return result;
}

int GString::AssignAsNarrow(const GString* other) {
    if (other == nullptr) {
        ReplaceText(false, nullptr, 0);
        return 0;
    }
    if (other == this) return ToNarrow(-1) != nullptr ? 1 : 0;
    int result;
    if (!other->isWide) {
        result = ReplaceText(false, other->NarrowText(0), other->length);
    } else {
        const char16_t* text = other->WideText(0);
        result = ReplaceText(false, nullptr, Utf8SizeOfUtf16(text, other->length, 0)) &&
                 AppendWide(text, other->length);
    }
    if (result) encoding = other->encoding;
    return result;
}

int GString::AssignCounted(const CountedText* block) {
    if (block == nullptr) {
        Clear();
        return 0;
    }
    const uint32_t header = CountedHeader(block);
    return ReplaceText(!CountedIsNarrow(header), CountedTextData(block), CountedLength(header));
}

// ---------------------------------------------------------------- scratch

int GString::PrepareScratch() {
    if (scratch == nullptr) {
        // malloc rather than new(nothrow): the static MinGW runtime turns a
        // refused new into an exception internally, which is no ordinary result.
        void* memory = std::malloc(sizeof(GString));
        if (memory == nullptr) return 0;
        scratch = new (memory) GString;
    }
    scratch->Clear();
    scratch->encoding = encoding;
    return 1;
}

int GString::ScratchFromWide(const char16_t* text, int count, int encodingIndex) {
    if (!PrepareScratch()) return 0;
    scratch->encoding = ResolveEncoding(encodingIndex);
    scratch->ReplaceText(false, nullptr, 0);
    return scratch->AppendWide(text, count);
}

int GString::ScratchFromNarrow(const char* bytes, int count, int encodingIndex) {
    if (!PrepareScratch()) return 0;
    scratch->encoding = ResolveEncoding(encodingIndex);
    scratch->ReplaceText(true, nullptr, 0);
    return scratch->AppendNarrow(bytes, count, encodingIndex);
}
