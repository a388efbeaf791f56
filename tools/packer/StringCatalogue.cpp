#include "StringCatalogue.h"

#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

std::map<std::uint32_t, int> LinesById(const StringSource& source) {
    std::map<std::uint32_t, int> lines;
    for (const SourcedString& s : source.entries) lines[s.id] = s.line;
    return lines;
}

std::string At(const StringSource& source, int line) {
    return source.path + ":" + std::to_string(line);
}

}  // namespace

int ReadStringCatalogue(const std::string& path, std::vector<std::uint32_t>& ids,
                        std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = path + ": cannot be read";
        return 0;
    }
    std::set<std::uint32_t> seen;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const std::size_t hash = line.find('#');
        std::istringstream words(hash == std::string::npos ? line : line.substr(0, hash));
        std::string first;
        if (!(words >> first)) continue;
        std::uint64_t id = 0;
        bool digits = first.size() <= 10;
        for (const char c : first) {
            digits = digits && c >= '0' && c <= '9';
            id = id * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (!digits || id > UINT32_MAX) {
            error = path + ":" + std::to_string(number) + ": '" + first + "' is not a string id";
            return 0;
        }
        if (!seen.insert(static_cast<std::uint32_t>(id)).second) {
            error = path + ":" + std::to_string(number) + ": id " + first + " listed twice";
            return 0;
        }
        ids.push_back(static_cast<std::uint32_t>(id));
    }
    return 1;
}

int CheckStringCatalogue(const std::vector<std::uint32_t>& catalogue, const StringSource& common,
                         const StringSource& supplementary,
                         const std::vector<StringSource>& languages,
                         std::vector<std::string>& problems) {
    const std::set<std::uint32_t> known(catalogue.begin(), catalogue.end());
    const auto commonLines = LinesById(common);
    const auto supplementaryLines = LinesById(supplementary);

    std::vector<const StringSource*> all = {&common, &supplementary};
    for (const StringSource& language : languages) all.push_back(&language);
    for (const StringSource* source : all) {
        for (const SourcedString& s : source->entries) {
            if (known.count(s.id) == 0)
                problems.push_back(At(*source, s.line) + ": id " + std::to_string(s.id) +
                                   " is not in the string-id catalogue");
        }
    }
    for (const auto& [id, line] : supplementaryLines) {
        const auto inCommon = commonLines.find(id);
        if (inCommon != commonLines.end())
            problems.push_back(At(supplementary, line) + ": id " + std::to_string(id) +
                               " is also defined at " + At(common, inCommon->second) +
                               " (duplicate: this text would never be read)");
    }
    for (const StringSource& language : languages) {
        const auto languageLines = LinesById(language);
        for (const std::uint32_t id : catalogue) {
            if (languageLines.count(id) || commonLines.count(id) || supplementaryLines.count(id))
                continue;
            problems.push_back(language.path + ": id " + std::to_string(id) +
                               " is missing (not in this file, " + common.path + " or " +
                               supplementary.path + ")");
        }
    }
    return problems.empty() ? 1 : 0;
}
