#include "payload/BlobFormat.h"

#include "payload/ByteOrder.h"

#include <zlib.h>

void ReadBlobHeader(const std::uint8_t* bytes, BlobHeader& header) {
    header.totalSize = LoadLe32(bytes);
    header.plainSize = LoadLe32(bytes + 4);
    header.packedSize = LoadLe32(bytes + 8);
    header.plainCrc = LoadLe32(bytes + 12);
    header.packedCrc = LoadLe32(bytes + 16);
    header.userValue = LoadLe32(bytes + 20);
}

void WriteBlobHeader(const BlobHeader& header, std::uint8_t* bytes) {
    StoreLe32(bytes, header.totalSize);
    StoreLe32(bytes + 4, header.plainSize);
    StoreLe32(bytes + 8, header.packedSize);
    StoreLe32(bytes + 12, header.plainCrc);
    StoreLe32(bytes + 16, header.packedCrc);
    StoreLe32(bytes + 20, header.userValue);
}

std::uint32_t BlobCrc32(const std::uint8_t* data, std::uint32_t size) {
    // zlib takes a null pointer as a request for the initial value; an empty range must not be.
    if (size == 0) return 0;
    return static_cast<std::uint32_t>(crc32(0L, data, static_cast<uInt>(size)));
}
