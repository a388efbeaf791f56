#include "payload/BlobUnpack.h"

#include "payload/BlobFormat.h"
#include "payload/Blowfish.h"
#include "payload/ByteOrder.h"
#include "payload/HeapBuffer.h"

#include <zlib.h>

namespace {

// Raw deflate in one call with an output limit of exactly plainSize: a stream that would give
// more, or that stops short, does not end with exactly plainSize bytes and fails.
int InflateExactly(const std::uint8_t* packed, std::uint32_t packedSize, std::uint8_t* out,
                   std::uint32_t plainSize) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return 0;
    stream.next_in = const_cast<Bytef*>(packed);
    stream.avail_in = packedSize;
    stream.next_out = out;
    stream.avail_out = plainSize;
    const int status = inflate(&stream, Z_FINISH);
    const uLong produced = stream.total_out;
    inflateEnd(&stream);
    return status == Z_STREAM_END && produced == plainSize;
}

}  // namespace

std::uint8_t* UnpackBlob(const std::uint8_t* key, std::uint32_t keyLength, const std::uint8_t* blob,
                         std::uint32_t& size, std::uint32_t* userValue) {
    if (key == nullptr || blob == nullptr) return nullptr;

    CBlowfish cipher;
    if (!cipher.SetKey(key, keyLength)) return nullptr;

    const std::uint64_t scratchSize = RoundUpToCipherBlock(size);
    if (scratchSize == 0 || scratchSize > UINT32_MAX) return nullptr;
    HeapBuffer<std::uint8_t> scratch(static_cast<std::uint8_t*>(std::malloc(scratchSize)));
    if (!scratch) return nullptr;
    cipher.DecryptEcb(blob, scratch.get(), size);

    if (LoadLe32(scratch.get()) != size) return nullptr;
    // totalSize equals size from here on: the header and the stream must lie inside it.
    if (size < kBlobHeaderSize) return nullptr;
    BlobHeader header;
    ReadBlobHeader(scratch.get(), header);
    const std::uint8_t* packed = scratch.get() + kBlobHeaderSize;
    if (kBlobHeaderSize + static_cast<std::uint64_t>(header.packedSize) > header.totalSize)
        return nullptr;
    if (BlobCrc32(packed, header.packedSize) != header.packedCrc) return nullptr;

    if (header.plainSize > kMaxInflateRatio * header.packedSize) return nullptr;
    const std::uint64_t outSize = (header.plainSize & ~std::uint64_t{1}) + 2;
    if (outSize > UINT32_MAX) return nullptr;
    HeapBuffer<std::uint8_t> out(static_cast<std::uint8_t*>(std::malloc(outSize)));
    if (!out) return nullptr;

    if (!InflateExactly(packed, header.packedSize, out.get(), header.plainSize)) return nullptr;
    if (BlobCrc32(out.get(), header.plainSize) != header.plainCrc) return nullptr;

    if (userValue != nullptr) *userValue = header.userValue;
    size = header.plainSize;
    return out.release();
}
