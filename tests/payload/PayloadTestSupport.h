// Fixtures shared by the payload tests: a key block and helpers that seal blobs with it.
#pragma once

#include "payload/BlobWriter.h"
#include "payload/Guard.h"

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::uint8_t> TestKeyBlock(std::uint32_t length = CGuard::kBlockLength,
                                              std::uint8_t seed = 11) {
    std::vector<std::uint8_t> block(length);
    std::uint32_t state = seed;
    for (auto& b : block) {
        state = state * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(state >> 16);
    }
    return block;
}

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// A well-formed stored blob of plain under guard's key.
inline std::vector<std::uint8_t> SealText(const CGuard& guard,
                                          const std::vector<std::uint8_t>& plain,
                                          std::uint32_t userValue = 0) {
    std::vector<std::uint8_t> packed;
    std::vector<std::uint8_t> stored;
    if (!DeflateRawZlib(plain.data(), static_cast<std::uint32_t>(plain.size()), 9, packed) ||
        !SealBlob(guard, packed, plain.data(), static_cast<std::uint32_t>(plain.size()), userValue,
                  stored))
        stored.clear();
    return stored;
}
