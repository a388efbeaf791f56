// Fuzz target: the blob unpacker under the key guard, and a string table over what it unpacks.
//
// The input is the deciphered form of a blob (header, stream, filler) after one mode byte; the
// target enciphers it itself, so the fuzzer steers the header fields directly. Mode bits make
// chosen checks pass so that the deeper steps are reached: bit 0 sets totalSize to the stored
// size, bit 1 recomputes packedCrc, bit 2 sets plainCrc to the CRC of what the stream inflates
// to, bit 3 hands over the unrounded size (not a multiple of 8).
#include "payload/BlobFormat.h"
#include "payload/ByteOrder.h"
#include "payload/Guard.h"
#include "payload/HeapBuffer.h"
#include "payload/StringTable.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Reads of unpacked bytes go here so that they are not optimised away.
volatile std::uint8_t g_sink = 0;

void Check(bool condition) {
    if (!condition) std::abort();
}

const CGuard& FuzzGuard() {
    static CGuard guard;
    if (!guard.HasKey()) {
        std::uint8_t block[CGuard::kBlockLength];
        for (int i = 0; i < CGuard::kBlockLength; ++i)
            block[i] = static_cast<std::uint8_t>(i * 131 + 7);
        guard.SetKeyBlock(block, sizeof block);
    }
    return guard;
}

// CRC-32 of what the stream inflates to within plainSize bytes, or 0 when it does not inflate.
std::uint32_t InflatedCrc(const std::uint8_t* stream, std::uint32_t packedSize,
                          std::uint32_t plainSize) {
    if (plainSize > (1u << 20)) return 0;
    std::vector<std::uint8_t> out(plainSize + 1);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return 0;
    z.next_in = const_cast<Bytef*>(stream);
    z.avail_in = packedSize;
    z.next_out = out.data();
    z.avail_out = plainSize;
    inflate(&z, Z_FINISH);
    const uLong produced = z.total_out;
    inflateEnd(&z);
    return BlobCrc32(out.data(), static_cast<std::uint32_t>(produced));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const std::uint8_t mode = data[0];
    const std::uint32_t length = static_cast<std::uint32_t>(size - 1);
    const std::uint32_t rounded = (length + 7) & ~7u;

    std::vector<std::uint8_t> blob(rounded, 0);
    if (length != 0) std::memcpy(blob.data(), data + 1, length);
    if (rounded >= kBlobHeaderSize) {
        BlobHeader h;
        ReadBlobHeader(blob.data(), h);
        if (mode & 1) h.totalSize = (mode & 8) ? length : rounded;
        const bool streamInside = kBlobHeaderSize + std::uint64_t{h.packedSize} <= rounded;
        if ((mode & 2) && streamInside)
            h.packedCrc = BlobCrc32(blob.data() + kBlobHeaderSize, h.packedSize);
        if ((mode & 4) && streamInside)
            h.plainCrc = InflatedCrc(blob.data() + kBlobHeaderSize, h.packedSize, h.plainSize);
        WriteBlobHeader(h, blob.data());
    }
    const CGuard& guard = FuzzGuard();
    if (rounded != 0) Check(guard.EncipherBlocks(blob.data(), rounded));

    // An exact-size heap copy, so that the sanitizer sees a read past the given size.
    const std::uint32_t given = (mode & 8) ? length : rounded;
    HeapBuffer<std::uint8_t> exact(static_cast<std::uint8_t*>(std::malloc(given ? given : 1)));
    if (given != 0) std::memcpy(exact.get(), blob.data(), given);

    std::uint32_t inOut = given;
    std::uint32_t user = 0xA5A5A5A5u;
    HeapBuffer<std::uint8_t> plain(FuzzGuard().Unpack(exact.get(), inOut, &user));
    if (!plain) {
        Check(inOut == given && user == 0xA5A5A5A5u);
        return 0;
    }
    // Success: every output byte is readable, and a string table over it is safe to search.
    for (std::uint32_t i = 0; i < inOut; ++i) g_sink ^= plain.get()[i];
    CStringTable table;
    if (table.Attach(plain.get(), user, inOut)) {
        plain.release();
        for (std::uint32_t id : {0u, 1u, 93u, 0x80000000u, 0xFFFFFFFFu}) {
            if (const CountedText* entry = table.Find(id)) g_sink ^= CountedHeader(entry) & 0xFF;
        }
    }
    return 0;
}
