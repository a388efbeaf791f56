#include "PackerInputs.h"

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>

namespace {

bool IsIdentifier(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    for (const char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) parts.push_back(part);
    return parts;
}

int AppendSource(PackerInputs& inputs, const std::string& name, const std::string& path,
                 std::string& error) {
    for (BlobInput& blob : inputs.blobs) {
        if (blob.name != name) continue;
        if (blob.kind != BlobKind::Strings) {
            error = "'" + name + "' is no string table: only string tables take more sources";
            return 0;
        }
        blob.morePaths.push_back(path);
        return 1;
    }
    error = "append to '" + name + "', which no earlier blob declares";
    return 0;
}

}  // namespace

int ParseBlobKind(const std::string& word, BlobKind& kind) {
    if (word == "strings")
        kind = BlobKind::Strings;
    else if (word == "text")
        kind = BlobKind::Text;
    else if (word == "file")
        kind = BlobKind::File;
    else
        return 0;
    return 1;
}

const char* BlobKindName(BlobKind kind) {
    switch (kind) {
        case BlobKind::Strings:
            return "strings";
        case BlobKind::Text:
            return "text";
        case BlobKind::File:
            break;
    }
    return "file";
}

int ParseBlobArgument(const std::string& argument, BlobInput& blob, std::string& error) {
    const std::size_t equals = argument.find('=');
    const std::size_t colon = argument.find(':', equals == std::string::npos ? 0 : equals);
    if (equals == std::string::npos || colon == std::string::npos) {
        error = "blob '" + argument + "': expected NAME=KIND:PATH";
        return 0;
    }
    blob.name = argument.substr(0, equals);
    blob.path = argument.substr(colon + 1);
    const std::string kind = argument.substr(equals + 1, colon - equals - 1);
    if (!ParseBlobKind(kind, blob.kind)) {
        error = "blob '" + blob.name + "': unknown kind '" + kind + "' (strings, text or file)";
        return 0;
    }
    return 1;
}

int ParseGroupArgument(const std::string& argument, GroupInput& group, std::string& error) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
        error = "group '" + argument + "': expected NAME=MEMBER,MEMBER,...";
        return 0;
    }
    group.name = argument.substr(0, equals);
    group.members = Split(argument.substr(equals + 1), ',');
    return 1;
}

int ParseAppendArgument(const std::string& argument, PackerInputs& inputs, std::string& error) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
        error = "append '" + argument + "': expected NAME=PATH";
        return 0;
    }
    return AppendSource(inputs, argument.substr(0, equals), argument.substr(equals + 1), error);
}

int ReadManifest(const std::string& path, PackerInputs& inputs, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = path + ": cannot be read";
        return 0;
    }
    const std::string folder = FolderOf(path);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const std::string where = path + ":" + std::to_string(number) + ": ";
        const std::size_t hash = line.find('#');
        std::istringstream words(hash == std::string::npos ? line : line.substr(0, hash));
        std::string verb;
        if (!(words >> verb)) continue;
        if (verb == "blob") {
            BlobInput blob;
            std::string kind;
            if (!(words >> blob.name >> kind >> blob.path) || !ParseBlobKind(kind, blob.kind)) {
                error = where + "expected 'blob NAME strings|text|file PATH'";
                return 0;
            }
            if (blob.path[0] != '/') blob.path = folder + "/" + blob.path;
            inputs.blobs.push_back(blob);
        } else if (verb == "append") {
            std::string name;
            std::string source;
            if (!(words >> name >> source)) {
                error = where + "expected 'append NAME PATH'";
                return 0;
            }
            if (source[0] != '/') source = folder + "/" + source;
            if (!AppendSource(inputs, name, source, error)) {
                error = where + error;
                return 0;
            }
        } else if (verb == "group") {
            GroupInput group;
            std::string member;
            words >> group.name;
            while (words >> member) group.members.push_back(member);
            inputs.groups.push_back(group);
        } else {
            error = where + "unknown entry '" + verb + "' (blob, append or group)";
            return 0;
        }
    }
    return 1;
}

int CheckInputs(const PackerInputs& inputs, std::string& error) {
    // names the emitted sources use for themselves
    std::set<std::string> names = {"PayloadKeyBlock", "PayloadEntry", "PayloadEntries",
                                   "PayloadEntryCount"};
    std::set<std::string> blobNames;
    for (const BlobInput& blob : inputs.blobs) {
        if (!IsIdentifier(blob.name) || !names.insert(blob.name).second) {
            error = "blob name '" + blob.name + "' is not a unique identifier";
            return 0;
        }
        blobNames.insert(blob.name);
    }
    for (const GroupInput& group : inputs.groups) {
        if (!IsIdentifier(group.name) || !names.insert(group.name).second) {
            error = "group name '" + group.name + "' is not a unique identifier";
            return 0;
        }
        if (group.members.empty()) {
            error = "group '" + group.name + "' has no members";
            return 0;
        }
        for (const std::string& member : group.members) {
            if (member != kNoBlob && blobNames.count(member) == 0) {
                error = "group '" + group.name + "' names '" + member + "', which is no blob";
                return 0;
            }
        }
    }
    return 1;
}
