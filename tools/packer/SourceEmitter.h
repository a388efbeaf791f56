#pragma once

#include "PackerInputs.h"

#include <cstdint>
#include <string>
#include <vector>

struct StoredBlob {
    std::string name;
    std::vector<std::uint8_t> bytes;  // enciphered, a multiple of 8
};

// The header declares PayloadKeyBlock, one BlobRef per blob, one BlobRef array per group and a
// list of every blob by name; the source defines them.
int EmitPayloadSources(const std::string& headerPath, const std::string& sourcePath,
                       const std::string& headerInclude, const std::vector<std::uint8_t>& keyBlock,
                       const std::vector<StoredBlob>& blobs, const std::vector<GroupInput>& groups,
                       std::string& error);

// Writes text to path, replacing the file.
int WriteTextFile(const std::string& path, const std::string& text, std::string& error);
