#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The smaller of zlib's best level and Zopfli's raw deflate for data (zlib on a tie), and which
// of the two it is. Both are deterministic, so the same input always gives the same bytes.
struct DeflateResult {
    std::vector<std::uint8_t> packed;
    std::string method;  // "zlib-9" or "zopfli"
    std::size_t zlibSize = 0;
    std::size_t zopfliSize = 0;
};

int DeflateBest(const std::vector<std::uint8_t>& data, int zopfliIterations, DeflateResult& result);
