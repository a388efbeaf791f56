#pragma once

#include <string>
#include <vector>

// What the packer turns into program data. Blobs come from the command line (--blob) or from
// manifests (--manifest), so that new inputs (the layout builds, their catalogue sets) are lines
// added to a list, not changes to the packer.

enum class BlobKind {
    Strings,  // TOML string table: packed as a string table, user value = entry count
    Text,     // UTF-8 text, optionally with a byte-order mark: stored unchanged
    File,     // any bytes, stored unchanged
};

struct BlobInput {
    std::string name;  // C++ identifier of the emitted BlobRef
    BlobKind kind;
    std::string path;
    // Further sources merged into a string table, e.g. entries generated from the layout builds.
    std::vector<std::string> morePaths = {};
};

// A constant array of BlobRefs in the given order, e.g. one payload set of 13 layout builds. A
// member "-" is an empty entry ({null, 0}) for a slot that has no blob.
constexpr const char* kNoBlob = "-";

struct GroupInput {
    std::string name;
    std::vector<std::string> members;
};

struct PackerInputs {
    std::vector<BlobInput> blobs;
    std::vector<GroupInput> groups;
};

int ParseBlobKind(const std::string& word, BlobKind& kind);
const char* BlobKindName(BlobKind kind);

// "NAME=KIND:PATH"
int ParseBlobArgument(const std::string& argument, BlobInput& blob, std::string& error);
// "NAME=MEMBER,MEMBER,..."
int ParseGroupArgument(const std::string& argument, GroupInput& group, std::string& error);

// "NAME=PATH": one more source for the string table NAME.
int ParseAppendArgument(const std::string& argument, PackerInputs& inputs, std::string& error);

// Manifest lines: "blob NAME KIND PATH", "append NAME PATH" (one more source for string table
// NAME, which an earlier line or manifest declared) or "group NAME MEMBER..."; '#' starts a
// comment. Relative paths are taken from the manifest's own folder.
int ReadManifest(const std::string& path, PackerInputs& inputs, std::string& error);

// Names are identifiers and unique; every group member names a blob.
int CheckInputs(const PackerInputs& inputs, std::string& error);
