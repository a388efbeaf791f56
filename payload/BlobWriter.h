#pragma once

#include "payload/BlobFormat.h"

#include <cstdint>
#include <vector>

class CGuard;

// Build-time side of the blob format: the packer and the tests make stored blobs with these.

// Raw deflate (no zlib or gzip wrapper) with zlib at the given level.
int DeflateRawZlib(const std::uint8_t* data, std::uint32_t size, int level,
                   std::vector<std::uint8_t>& packed);

// The stored form of a blob whose deflate stream is packed and whose inflated bytes are plain:
// header with both CRC-32 values and userValue, the stream, zero filler to a multiple of 8, all
// enciphered under the guard's key. 0 without a key or when the sizes do not fit 32 bits.
int SealBlob(const CGuard& guard, const std::vector<std::uint8_t>& packed,
             const std::uint8_t* plain, std::uint32_t plainSize, std::uint32_t userValue,
             std::vector<std::uint8_t>& stored);

// Writes header as given (consistent or not), then body, then zero filler up to storedSize
// rounded up to 8, and enciphers the lot; for crafting damaged blobs in tests.
int SealRaw(const CGuard& guard, const BlobHeader& header, const std::uint8_t* body,
            std::uint32_t bodySize, std::uint32_t storedSize, std::vector<std::uint8_t>& stored);
