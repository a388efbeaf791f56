#pragma once

#include "PackerInputs.h"
#include "SourceEmitter.h"

#include <cstdint>
#include <string>
#include <vector>

class CGuard;

// The key block: hexadecimal digits, any whitespace between bytes, '#' comments.
int ReadKeyBlock(const std::string& path, std::vector<std::uint8_t>& block, std::string& error);

int ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// One line of the packing report.
struct PackedFigures {
    std::string name;
    std::string kind;
    std::size_t plainSize = 0;
    std::size_t storedSize = 0;
    std::string method;
    std::size_t zlibSize = 0;
    std::size_t zopfliSize = 0;
    std::uint32_t userValue = 0;
    std::uint32_t plainCrc = 0;
};

// The plain bytes of one input (a string table built from its TOML source, a checked UTF-8
// text, or a file as it is) and its user value.
int LoadBlobInput(const BlobInput& input, std::vector<std::uint8_t>& plain,
                  std::uint32_t& userValue, std::string& error);

// Deflates, seals under the guard's key, and unpacks again to prove the blob reads back.
int PackBlob(const CGuard& guard, const BlobInput& input, int zopfliIterations, StoredBlob& out,
             PackedFigures& figures, std::string& error);

std::string FormatReport(const std::vector<PackedFigures>& figures);
