#include "SourceEmitter.h"

#include <cstdio>
#include <fstream>
#include <map>

namespace {

const char* const kBanner =
    "// Program data made by the payload packer from the blob sources; do not edit.\n";

void AppendBytes(std::string& out, const std::string& arrayName,
                 const std::vector<std::uint8_t>& bytes) {
    out += "const std::uint8_t " + arrayName + "[" + std::to_string(bytes.size()) + "] = {";
    char hex[8];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0) out += "\n   ";
        std::snprintf(hex, sizeof hex, " 0x%02X,", bytes[i]);
        out += hex;
    }
    out += "\n};\n";
}

std::string DataName(const std::string& name) {
    return "k" + name + "Bytes";
}

std::string RefInitializer(const std::string& name, std::size_t size) {
    return "{" + DataName(name) + ", " + std::to_string(size) + "u}";
}

std::string Header(const std::vector<StoredBlob>& blobs, const std::vector<GroupInput>& groups) {
    std::string h = kBanner;
    h += "#pragma once\n\n#include \"payload/BlobFormat.h\"\n\n";
    h += "// The stored key block that the key guard unscrambles into the blob key.\n";
    h += "extern const BlobRef PayloadKeyBlock;\n\n";
    for (const StoredBlob& blob : blobs) h += "extern const BlobRef " + blob.name + ";\n";
    if (!groups.empty()) h += "\n";
    for (const GroupInput& group : groups)
        h += "extern const BlobRef " + group.name + "[" + std::to_string(group.members.size()) +
             "];\n";
    h += "\n// Every blob by name, for tests and tools.\n";
    h += "struct PayloadEntry\n{\n    const char* name;\n    const BlobRef* blob;\n};\n";
    h += "extern const PayloadEntry PayloadEntries[" + std::to_string(blobs.size()) + "];\n";
    h += "constexpr unsigned PayloadEntryCount = " + std::to_string(blobs.size()) + "u;\n";
    return h;
}

std::string Source(const std::string& headerInclude, const std::vector<std::uint8_t>& keyBlock,
                   const std::vector<StoredBlob>& blobs, const std::vector<GroupInput>& groups) {
    std::string s = kBanner;
    s += "#include \"" + headerInclude + "\"\n\n#include <cstdint>\n\nnamespace {\n\n";
    AppendBytes(s, DataName("PayloadKeyBlock"), keyBlock);
    for (const StoredBlob& blob : blobs) {
        s += "\n";
        AppendBytes(s, DataName(blob.name), blob.bytes);
    }
    s += "\n} // namespace\n\n";
    s += "const BlobRef PayloadKeyBlock = " + RefInitializer("PayloadKeyBlock", keyBlock.size()) +
         ";\n";
    std::map<std::string, std::size_t> sizes;
    for (const StoredBlob& blob : blobs) {
        sizes[blob.name] = blob.bytes.size();
        s += "const BlobRef " + blob.name + " = " + RefInitializer(blob.name, blob.bytes.size()) +
             ";\n";
    }
    for (const GroupInput& group : groups) {
        s += "\nconst BlobRef " + group.name + "[" + std::to_string(group.members.size()) +
             "] = {\n";
        for (const std::string& member : group.members)
            s += member == kNoBlob ? std::string("    {nullptr, 0u},\n")
                                   : "    " + RefInitializer(member, sizes[member]) + ",\n";
        s += "};\n";
    }
    s += "\nconst PayloadEntry PayloadEntries[" + std::to_string(blobs.size()) + "] = {\n";
    for (const StoredBlob& blob : blobs) s += "    {\"" + blob.name + "\", &" + blob.name + "},\n";
    s += "};\n";
    return s;
}

}  // namespace

int WriteTextFile(const std::string& path, const std::string& text, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        error = path + ": cannot be written";
        return 0;
    }
    return 1;
}

int EmitPayloadSources(const std::string& headerPath, const std::string& sourcePath,
                       const std::string& headerInclude, const std::vector<std::uint8_t>& keyBlock,
                       const std::vector<StoredBlob>& blobs, const std::vector<GroupInput>& groups,
                       std::string& error) {
    if (blobs.empty()) {
        error = "no blobs to emit";
        return 0;
    }
    return WriteTextFile(headerPath, Header(blobs, groups), error) &&
           WriteTextFile(sourcePath, Source(headerInclude, keyBlock, blobs, groups), error);
}
