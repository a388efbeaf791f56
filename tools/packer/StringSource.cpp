#include "StringSource.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <toml++/toml.h>

namespace {

int ParseId(const std::string& key, std::uint32_t& id) {
    if (key.empty() || key.size() > 10 || (key.size() > 1 && key[0] == '0')) return 0;
    std::uint64_t value = 0;
    for (const char c : key) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > UINT32_MAX) return 0;
    id = static_cast<std::uint32_t>(value);
    return 1;
}

std::string Where(const std::string& path, int line) {
    return path + ":" + std::to_string(line) + ": ";
}

// The key of a "KEY = ..." line (bare or quoted), to name the id of a repeated key.
std::string KeyOnLine(const std::string& path, int line) {
    std::ifstream file(path);
    std::string text;
    for (int n = 0; n < line && std::getline(file, text); ++n) {
    }
    std::string key;
    for (const char c : text) {
        if (c == '=') break;
        if (c != ' ' && c != '\t' && c != '"' && c != '\'') key += c;
    }
    return key;
}

}  // namespace

int ReadStringSource(const std::string& path, StringSource& source, std::string& error) {
    source.path = path;
    source.entries.clear();
    toml::table table;
    // The parser reports by exception; it stays inside this build-time tool.
    try {
        table = toml::parse_file(path);
    } catch (const toml::parse_error& e) {
        const int line = static_cast<int>(e.source().begin.line);
        std::uint32_t id = 0;
        if (std::string(e.description()).find("redefine") != std::string::npos &&
            ParseId(KeyOnLine(path, line), id)) {
            error = Where(path, line) + "id " + std::to_string(id) + " is defined twice";
            return 0;
        }
        error = path + ":" + std::to_string(line) + ":" + std::to_string(e.source().begin.column) +
                ": " + std::string(e.description());
        return 0;
    }
    for (auto&& [key, node] : table) {
        const int line = static_cast<int>(key.source().begin.line);
        SourcedString entry{0, {}, line};
        if (!ParseId(std::string(key.str()), entry.id)) {
            error = Where(path, line) + "key '" + std::string(key.str()) +
                    "' is not a string id (a decimal number below 2^32 without leading zeros)";
            return 0;
        }
        const auto* text = node.as_string();
        if (text == nullptr) {
            error =
                Where(path, line) + "id " + std::to_string(entry.id) + ": value is not a string";
            return 0;
        }
        entry.text = text->get();
        source.entries.push_back(std::move(entry));
    }
    std::sort(source.entries.begin(), source.entries.end(),
              [](const SourcedString& a, const SourcedString& b) { return a.id < b.id; });
    return 1;
}

int ReadStringSources(const std::vector<std::string>& paths, StringSource& merged,
                      std::string& error) {
    merged = StringSource{};
    std::map<std::uint32_t, std::string> origin;
    for (const std::string& path : paths) {
        StringSource one;
        if (!ReadStringSource(path, one, error)) return 0;
        for (SourcedString& entry : one.entries) {
            const std::string here = Where(path, entry.line);
            const auto [it, fresh] = origin.emplace(entry.id, here);
            if (!fresh) {
                error = here + "id " + std::to_string(entry.id) + " is already defined at " +
                        it->second.substr(0, it->second.size() - 2);
                return 0;
            }
            merged.entries.push_back(std::move(entry));
        }
        merged.path += (merged.path.empty() ? "" : " + ") + path;
    }
    std::sort(merged.entries.begin(), merged.entries.end(),
              [](const SourcedString& a, const SourcedString& b) { return a.id < b.id; });
    return 1;
}

std::vector<StringEntry> ToTableEntries(const StringSource& source) {
    std::vector<StringEntry> entries;
    for (const SourcedString& s : source.entries)
        entries.push_back({s.id, s.text, EntryWidth::Shortest});
    return entries;
}
