// Counted text: the form in which string-table entries are stored.
#pragma once

#include <cstdint>
#include <cstring>

// A 32-bit little-endian header followed by the text, without terminator.
// Bit 31 set: narrow UTF-8 bytes; clear: UTF-16 code units. Bits 0..28: the
// length in units. Bits 29 and 30 carry nothing and are ignored.
struct CountedText {
    uint32_t header;
    // the text follows the header
};

constexpr uint32_t kCountedNarrowBit = 0x80000000u;
constexpr uint32_t kCountedLengthMask = 0x1FFFFFFFu;

// Blobs are byte data with no alignment guarantee, so the header is read
// byte-wise.
inline uint32_t CountedHeader(const CountedText* block) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(block);
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

inline bool CountedIsNarrow(uint32_t header) {
    return (header & kCountedNarrowBit) != 0;
}

inline int CountedLength(uint32_t header) {
    return int(header & kCountedLengthMask);
}

inline const void* CountedTextData(const CountedText* block) {
    return reinterpret_cast<const unsigned char*>(block) + sizeof(uint32_t);
}
