#pragma once

#include <cstdint>

// A stored blob: enciphered bytes compiled into the program's data and their byte size (a
// multiple of 8). The key block is kept the same way, though it is not in blob form.
struct BlobRef {
    const std::uint8_t* data;
    std::uint32_t size;
};

// The first 24 bytes of a deciphered blob, six little-endian 32-bit fields; the raw deflate
// stream follows, then 0 to 7 filler bytes up to totalSize.
struct BlobHeader {
    std::uint32_t totalSize;   // stored (enciphered) size, equal to the size the caller passes
    std::uint32_t plainSize;   // bytes after inflating
    std::uint32_t packedSize;  // bytes of deflate stream at offset 24
    std::uint32_t plainCrc;    // CRC-32 of the inflated bytes
    std::uint32_t packedCrc;   // CRC-32 of the deflate stream
    std::uint32_t userValue;   // entry count of a string table; unused otherwise
};

constexpr std::uint32_t kBlobHeaderSize = 24;
constexpr std::uint32_t kCipherBlockSize = 8;

// A deflate stream cannot expand more than 1032-fold (two 1-bit codes per 258-byte match); a
// header claiming more is corrupt, and is refused before any memory is allocated for it.
constexpr std::uint64_t kMaxInflateRatio = 1032;

void ReadBlobHeader(const std::uint8_t* bytes, BlobHeader& header);
void WriteBlobHeader(const BlobHeader& header, std::uint8_t* bytes);

// CRC-32 of zlib and PNG, always from a previous value of 0.
std::uint32_t BlobCrc32(const std::uint8_t* data, std::uint32_t size);

// size rounded up to a multiple of 8 in 64 bits, so that it cannot wrap.
inline std::uint64_t RoundUpToCipherBlock(std::uint32_t size) {
    return (static_cast<std::uint64_t>(size) + 7) & ~static_cast<std::uint64_t>(7);
}
