// The payload packer, run by the build.
//
//   kbpack pack --key-block FILE --header FILE --source FILE [--include NAME]
//               [--manifest FILE]... [--blob NAME=KIND:PATH]... [--append NAME=PATH]...
//               [--group NAME=BLOB,...]...
//               [--depfile FILE] [--report FILE] [--expect FILE] [--zopfli-iterations N]
//               [--catalogue FILE --common TABLE --supplementary TABLE --language TABLE...]
// With --catalogue, pack first checks the string tables as check-strings does.
//   kbpack check-strings --catalogue FILE [--manifest FILE]... --common TABLE
//               --supplementary TABLE --language TABLE --language TABLE [--stamp FILE]
// A TABLE is the name of a string-table blob of the manifests (all its sources) or a
// comma-separated list of TOML files, which are merged.
#include "Packer.h"
#include "PackerInputs.h"
#include "SourceEmitter.h"
#include "StringCatalogue.h"
#include "StringSource.h"

#include "payload/Guard.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "kbpack: %s\n", message.c_str());
    return 1;
}

// --name value pairs; names that may repeat collect every value.
struct Options {
    std::map<std::string, std::vector<std::string>> values;

    std::string One(const std::string& name) const {
        const auto it = values.find(name);
        return it == values.end() || it->second.empty() ? std::string() : it->second.back();
    }
    const std::vector<std::string>& All(const std::string& name) const {
        static const std::vector<std::string> none;
        const auto it = values.find(name);
        return it == values.end() ? none : it->second;
    }
};

int ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 2; i < argc; i += 2) {
        const std::string name = argv[i];
        if (name.rfind("--", 0) != 0 || i + 1 >= argc) {
            error = "expected '--option value' at '" + name + "'";
            return 0;
        }
        options.values[name.substr(2)].push_back(argv[i + 1]);
    }
    return 1;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
        parts.push_back(text.substr(start, comma - start));
    parts.push_back(text.substr(start));
    return parts;
}

int WriteDepfile(const std::string& path, const std::string& target,
                 const std::vector<std::string>& inputs, std::string& error) {
    std::string text = target + ":";
    for (const std::string& input : inputs) text += " \\\n  " + input;
    return WriteTextFile(path, text + "\n", error);
}

// What each blob must unpack to, for the round-trip test: per blob its name, kind, plain size,
// user value, CRC-32 and source paths; per string-table entry its id and UTF-8 text in hex.
int WriteExpectations(const std::string& path, const PackerInputs& inputs,
                      const std::vector<PackedFigures>& figures, std::string& error) {
    std::string text;
    char hex[4];
    for (std::size_t i = 0; i < inputs.blobs.size(); ++i) {
        const BlobInput& input = inputs.blobs[i];
        std::vector<std::string> paths = {input.path};
        paths.insert(paths.end(), input.morePaths.begin(), input.morePaths.end());
        text += "blob\t" + input.name + "\t" + BlobKindName(input.kind) + "\t" +
                std::to_string(figures[i].plainSize) + "\t" + std::to_string(figures[i].userValue) +
                "\t" + std::to_string(figures[i].plainCrc) + "\t" + input.path + "\n";
        if (input.kind != BlobKind::Strings) continue;
        StringSource source;
        if (!ReadStringSources(paths, source, error)) return 0;
        for (const SourcedString& s : source.entries) {
            text += "entry\t" + input.name + "\t" + std::to_string(s.id) + "\t";
            for (const unsigned char c : s.text) {
                std::snprintf(hex, sizeof hex, "%02x", c);
                text += hex;
            }
            text += "\n";
        }
    }
    return WriteTextFile(path, text, error);
}

// The blob inputs of --manifest, --blob, --append and --group, and the manifests read.
int ReadInputs(const Options& options, PackerInputs& inputs, std::vector<std::string>& manifests,
               std::string& error) {
    // Several manifests may also come as one comma-separated value; an empty one adds nothing.
    for (const std::string& list : options.All("manifest")) {
        for (const std::string& manifest : SplitList(list)) {
            if (manifest.empty()) continue;
            if (!ReadManifest(manifest, inputs, error)) return 0;
            manifests.push_back(manifest);
        }
    }
    for (const std::string& argument : options.All("blob")) {
        BlobInput blob;
        if (!ParseBlobArgument(argument, blob, error)) return 0;
        inputs.blobs.push_back(blob);
    }
    for (const std::string& argument : options.All("append")) {
        if (!ParseAppendArgument(argument, inputs, error)) return 0;
    }
    for (const std::string& argument : options.All("group")) {
        GroupInput group;
        if (!ParseGroupArgument(argument, group, error)) return 0;
        inputs.groups.push_back(group);
    }
    return 1;
}

// The files of one table: the sources of the string-table blob of that name, or else the
// comma-separated file paths given.
std::vector<std::string> TableFiles(const PackerInputs& inputs, const std::string& value) {
    for (const BlobInput& blob : inputs.blobs) {
        if (blob.name != value || blob.kind != BlobKind::Strings) continue;
        std::vector<std::string> paths = {blob.path};
        paths.insert(paths.end(), blob.morePaths.begin(), blob.morePaths.end());
        return paths;
    }
    return SplitList(value);
}

// Checks the string tables named by --common, --supplementary and --language against the
// catalogue of --catalogue; 0 after printing every problem.
int CheckStringTables(const Options& options, const PackerInputs& inputs) {
    std::string error;
    std::vector<std::uint32_t> catalogue;
    if (options.One("common").empty() || options.One("supplementary").empty() ||
        options.All("language").empty()) {
        Fail("the string check needs --catalogue, --common, --supplementary and --language");
        return 0;
    }
    if (!ReadStringCatalogue(options.One("catalogue"), catalogue, error)) return !Fail(error);
    StringSource common;
    StringSource supplementary;
    if (!ReadStringSources(TableFiles(inputs, options.One("common")), common, error) ||
        !ReadStringSources(TableFiles(inputs, options.One("supplementary")), supplementary, error))
        return !Fail(error);
    std::vector<StringSource> languages;
    for (const std::string& value : options.All("language")) {
        languages.emplace_back();
        if (!ReadStringSources(TableFiles(inputs, value), languages.back(), error))
            return !Fail(error);
    }
    std::vector<std::string> problems;
    if (!CheckStringCatalogue(catalogue, common, supplementary, languages, problems)) {
        for (const std::string& problem : problems)
            std::fprintf(stderr, "kbpack: %s\n", problem.c_str());
        Fail(std::to_string(problems.size()) + " problem(s) in the string tables");
        return 0;
    }
    return 1;
}

// Packs every blob, a few at a time: Zopfli dominates the build step and each blob is
// independent. Results keep the input order, so the output does not depend on the scheduling.
int PackAll(const CGuard& guard, const std::vector<BlobInput>& blobs, int zopfliIterations,
            std::vector<StoredBlob>& stored, std::vector<PackedFigures>& figures,
            std::string& error) {
    std::vector<std::string> errors(blobs.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next++) < blobs.size();)
            PackBlob(guard, blobs[i], zopfliIterations, stored[i], figures[i], errors[i]);
    };
    const unsigned threads = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
    for (const std::string& e : errors) {
        if (e.empty()) continue;
        error = e;
        return 0;
    }
    return 1;
}

int Pack(const Options& options) {
    std::string error;
    const std::string headerPath = options.One("header");
    const std::string sourcePath = options.One("source");
    const std::string keyPath = options.One("key-block");
    if (headerPath.empty() || sourcePath.empty() || keyPath.empty())
        return Fail("pack needs --key-block, --header and --source");
    std::string include = options.One("include");
    if (include.empty()) include = headerPath.substr(headerPath.find_last_of('/') + 1);
    const std::string iterations = options.One("zopfli-iterations");
    const int zopfliIterations = iterations.empty() ? 15 : std::atoi(iterations.c_str());
    if (zopfliIterations < 1 || zopfliIterations > 1000)
        return Fail("--zopfli-iterations takes a number from 1 to 1000");

    PackerInputs inputs;
    std::vector<std::string> dependencies = {keyPath};
    if (!ReadInputs(options, inputs, dependencies, error)) return Fail(error);
    if (!CheckInputs(inputs, error)) return Fail(error);
    if (!options.One("catalogue").empty() && !CheckStringTables(options, inputs)) return 1;

    std::vector<std::uint8_t> keyBlock;
    if (!ReadKeyBlock(keyPath, keyBlock, error)) return Fail(error);
    CGuard guard;
    if (!guard.SetKeyBlock(keyBlock.data(), static_cast<std::uint32_t>(keyBlock.size())))
        return Fail(keyPath + ": a key block has exactly 968 bytes, this one " +
                    std::to_string(keyBlock.size()));

    const std::size_t count = inputs.blobs.size();
    std::vector<StoredBlob> stored(count);
    std::vector<PackedFigures> figures(count);
    if (!PackAll(guard, inputs.blobs, zopfliIterations, stored, figures, error)) return Fail(error);
    for (const BlobInput& input : inputs.blobs) {
        dependencies.push_back(input.path);
        dependencies.insert(dependencies.end(), input.morePaths.begin(), input.morePaths.end());
    }
    if (!EmitPayloadSources(headerPath, sourcePath, include, keyBlock, stored, inputs.groups,
                            error))
        return Fail(error);
    const std::string report = FormatReport(figures);
    if (!options.One("report").empty() && !WriteTextFile(options.One("report"), report, error))
        return Fail(error);
    if (!options.One("expect").empty() &&
        !WriteExpectations(options.One("expect"), inputs, figures, error))
        return Fail(error);
    if (!options.One("depfile").empty() &&
        !WriteDepfile(options.One("depfile"), sourcePath, dependencies, error))
        return Fail(error);
    return 0;
}

int CheckStrings(const Options& options) {
    std::string error;
    PackerInputs inputs;
    std::vector<std::string> manifests;
    if (!ReadInputs(options, inputs, manifests, error)) return Fail(error);
    if (options.One("catalogue").empty()) return Fail("check-strings needs --catalogue");
    if (!CheckStringTables(options, inputs)) return 1;
    if (!options.One("stamp").empty() && !WriteTextFile(options.One("stamp"), "ok\n", error))
        return Fail(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Fail("usage: kbpack pack|check-strings --option value ...");
    const std::string command = argv[1];
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) return Fail(error);
    if (command == "pack") return Pack(options);
    if (command == "check-strings") return CheckStrings(options);
    return Fail("unknown command '" + command + "'");
}
