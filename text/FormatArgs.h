// The arguments of a formatting call, read in template order.
//
// The formatter takes its arguments through this interface rather than from a
// va_list directly, so that a caller that has no real variable argument list
// (the fuzz target) can hand out arguments that always match what a directive
// reads. Each request says what the argument will be used for; a va_list
// source ignores that, a synthetic source uses it to build a fitting value.
#pragma once

#include <cstdarg>
#include <cstdint>

// What a 32-bit slot is taken for.
enum class IntUse { Value, Width, Precision };

// What the memory behind a pointer argument will be read as. The count says
// how much of it: the precision for texts (units, characters or bytes as the
// directive counts them; a negative precision asks for exactly that many),
// the byte count for a hex dump, 0 where the size is fixed by the use.
enum class PointerUse {
    Address,     // only the value is printed
    WideText,    // UTF-16 units, terminated unless the count is negative
    NarrowText,  // UTF-8 bytes, terminated unless the count is negative
    String,      // a GString
    Counted,     // a CountedText block
    Bytes,       // count bytes
    Ipv4,        // 4 bytes
    Guid,        // 16 bytes
    CountOut     // an int the formatter writes
};

class FormatArgs {
public:
    virtual int32_t Int(IntUse use) = 0;
    virtual int64_t Int64() = 0;
    virtual double Double() = 0;
    virtual void* Pointer(PointerUse use, int count) = 0;

protected:
    ~FormatArgs() = default;
};

// Reads the arguments from a standard variable argument list. Copies the list
// so the caller's stays untouched.
class VaListArgs final : public FormatArgs {
public:
    explicit VaListArgs(va_list args) { va_copy(list_, args); }
    ~VaListArgs() { va_end(list_); }
    VaListArgs(const VaListArgs&) = delete;
    VaListArgs& operator=(const VaListArgs&) = delete;

    int32_t Int(IntUse) override { return va_arg(list_, int32_t); }
    int64_t Int64() override { return va_arg(list_, int64_t); }
    double Double() override { return va_arg(list_, double); }
    void* Pointer(PointerUse, int) override { return va_arg(list_, void*); }

private:
    va_list list_;
};
