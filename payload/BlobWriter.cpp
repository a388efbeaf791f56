#include "payload/BlobWriter.h"

#include "payload/Guard.h"

#include <cstring>
#include <zlib.h>

int DeflateRawZlib(const std::uint8_t* data, std::uint32_t size, int level,
                   std::vector<std::uint8_t>& packed) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return 0;
    packed.assign(deflateBound(&stream, size), 0);
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = size;
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    const int status = deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return status == Z_STREAM_END;
}

int SealRaw(const CGuard& guard, const BlobHeader& header, const std::uint8_t* body,
            std::uint32_t bodySize, std::uint32_t storedSize, std::vector<std::uint8_t>& stored) {
    const std::uint64_t rounded = RoundUpToCipherBlock(storedSize);
    if (rounded > UINT32_MAX || rounded < kBlobHeaderSize + std::uint64_t{bodySize}) return 0;
    stored.assign(static_cast<std::size_t>(rounded), 0);
    WriteBlobHeader(header, stored.data());
    if (bodySize != 0) std::memcpy(stored.data() + kBlobHeaderSize, body, bodySize);
    return guard.EncipherBlocks(stored.data(), static_cast<std::uint32_t>(stored.size()));
}

int SealBlob(const CGuard& guard, const std::vector<std::uint8_t>& packed,
             const std::uint8_t* plain, std::uint32_t plainSize, std::uint32_t userValue,
             std::vector<std::uint8_t>& stored) {
    const std::uint64_t total = kBlobHeaderSize + std::uint64_t{packed.size()};
    const std::uint64_t rounded = (total + 7) & ~std::uint64_t{7};
    if (rounded > UINT32_MAX) return 0;
    BlobHeader header{};
    header.totalSize = static_cast<std::uint32_t>(rounded);
    header.plainSize = plainSize;
    header.packedSize = static_cast<std::uint32_t>(packed.size());
    header.plainCrc = BlobCrc32(plain, plainSize);
    header.packedCrc = BlobCrc32(packed.data(), header.packedSize);
    header.userValue = userValue;
    return SealRaw(guard, header, packed.data(), header.packedSize, header.totalSize, stored);
}
