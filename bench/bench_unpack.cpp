// Unpack throughput of the biggest blob of the program data against plain zlib inflate of the
// same deflate stream. Throughput counts the plain bytes produced.
#include "PayloadData.h"

#include "payload/BlobFormat.h"
#include "payload/Blowfish.h"
#include "payload/Guard.h"
#include "payload/HeapBuffer.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdlib>
#include <vector>

namespace {

struct Biggest {
    CGuard guard;
    const PayloadEntry* entry = nullptr;
    BlobHeader header{};
    std::vector<std::uint8_t> deciphered;

    // The blob with the most plain bytes: the headers are read from deciphered copies.
    Biggest() {
        guard.SetKeyBlock(PayloadKeyBlock.data, PayloadKeyBlock.size);
        for (unsigned i = 0; i < PayloadEntryCount; ++i) {
            const BlobRef& blob = *PayloadEntries[i].blob;
            std::vector<std::uint8_t> copy(blob.data, blob.data + blob.size);
            guard.DecipherBlocks(copy.data(), static_cast<std::uint32_t>(copy.size()));
            BlobHeader h;
            ReadBlobHeader(copy.data(), h);
            if (entry && h.plainSize <= header.plainSize) continue;
            entry = &PayloadEntries[i];
            header = h;
            deciphered = std::move(copy);
        }
    }
};

const Biggest& Blob() {
    static const Biggest biggest;
    return biggest;
}

void Label(benchmark::State& state) {
    const Biggest& b = Blob();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * b.header.plainSize);
    state.SetLabel(std::string(b.entry->name) + ": " + std::to_string(b.header.plainSize) +
                   " plain bytes from " + std::to_string(b.entry->blob->size) + " stored");
}

void BM_GuardUnpack(benchmark::State& state) {
    const Biggest& b = Blob();
    for (auto _ : state) {
        std::uint32_t size = b.entry->blob->size;
        HeapBuffer<std::uint8_t> plain(b.guard.Unpack(b.entry->blob->data, size));
        if (!plain) state.SkipWithError("unpack failed");
        benchmark::DoNotOptimize(plain.get());
    }
    Label(state);
}
BENCHMARK(BM_GuardUnpack);

void BM_ZlibInflateSameStream(benchmark::State& state) {
    const Biggest& b = Blob();
    std::vector<std::uint8_t> out(b.header.plainSize + 2);
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = const_cast<Bytef*>(b.deciphered.data() + kBlobHeaderSize);
        z.avail_in = b.header.packedSize;
        z.next_out = out.data();
        z.avail_out = b.header.plainSize;
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    Label(state);
}
BENCHMARK(BM_ZlibInflateSameStream);

// The fixed cost every unpack pays before touching the blob: 521 block encipherments.
void BM_KeySchedule(benchmark::State& state) {
    std::uint8_t key[495];
    for (int i = 0; i < 495; ++i) key[i] = static_cast<std::uint8_t>(i * 7);
    for (auto _ : state) {
        CBlowfish cipher;
        benchmark::DoNotOptimize(cipher.SetKey(key, sizeof key));
    }
}
BENCHMARK(BM_KeySchedule);

// Deciphering alone, per stored byte.
void BM_DecipherBlocks(benchmark::State& state) {
    const Biggest& b = Blob();
    std::uint8_t key[72] = {1, 2, 3};
    CBlowfish cipher;
    cipher.SetKey(key, sizeof key);
    std::vector<std::uint8_t> buffer(b.entry->blob->size);
    for (auto _ : state) {
        cipher.DecryptEcb(b.entry->blob->data, buffer.data(),
                          static_cast<std::uint32_t>(buffer.size()));
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * buffer.size());
}
BENCHMARK(BM_DecipherBlocks);

}  // namespace

BENCHMARK_MAIN();
