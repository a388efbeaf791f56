#include "Deflate.h"

#include "payload/BlobWriter.h"

#include <cstdlib>
#include <zopfli/zopfli.h>

int DeflateBest(const std::vector<std::uint8_t>& data, int zopfliIterations,
                DeflateResult& result) {
    std::vector<std::uint8_t> zlibPacked;
    if (!DeflateRawZlib(data.data(), static_cast<std::uint32_t>(data.size()), 9, zlibPacked))
        return 0;

    ZopfliOptions options;
    ZopfliInitOptions(&options);
    options.numiterations = zopfliIterations;
    unsigned char* out = nullptr;
    std::size_t outSize = 0;
    ZopfliCompress(&options, ZOPFLI_FORMAT_DEFLATE, data.data(), data.size(), &out, &outSize);
    std::vector<std::uint8_t> zopfliPacked(out, out + outSize);
    std::free(out);

    result.zlibSize = zlibPacked.size();
    result.zopfliSize = zopfliPacked.size();
    if (!zopfliPacked.empty() && zopfliPacked.size() < zlibPacked.size()) {
        result.packed = std::move(zopfliPacked);
        result.method = "zopfli";
    } else {
        result.packed = std::move(zlibPacked);
        result.method = "zlib-9";
    }
    return 1;
}
