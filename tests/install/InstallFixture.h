// Stored tables for tests: string tables and other blobs packed in memory from test texts under
// a fixed test key block, ready for CInstall::InitFrom.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "install/CInstall.h"
#include "payload/StringTableWriter.h"

struct FixtureTexts {
    std::vector<StringEntry> common;
    std::vector<StringEntry> supplementary;
    std::vector<StringEntry> language[2];
};

class FixtureTables {
public:
    // A 968-byte block of fixed pseudo-random bytes; any such block yields a usable key.
    static std::vector<uint8_t> TestKeyBlock();

    // Packs the four tables; 0 with a message in `error` when a table cannot be built.
    int Build(const FixtureTexts& texts, std::string& error);

    // Points at the blobs held by this object; valid while it lives and is not rebuilt.
    const InstallTables& Tables() const { return m_tables; }

    // The stored form of any bytes under the test key, with the given user value.
    std::vector<uint8_t> Seal(const std::vector<uint8_t>& plain, uint32_t userValue) const;

    // The stored form of a table built from entries; empty on failure.
    std::vector<uint8_t> SealTable(const std::vector<StringEntry>& entries) const;

    // Points Tables() at the byte vectors below again, after a test replaced one of them.
    void Point();

    std::vector<uint8_t> keyBlock = TestKeyBlock();
    std::vector<uint8_t> common, supplementary, language[2];

private:
    InstallTables m_tables;
};

// The tables that CInstall::Init reads in the test programs (ProgramInstallTables): a small set
// whose string 86 is "0415".
const FixtureTexts& DefaultFixtureTexts();

// Convenience for building entries.
StringEntry Entry(uint32_t id, const std::string& utf8, EntryWidth width = EntryWidth::Shortest);

// A wide GString's text as UTF-8, for readable comparisons; "<narrow>" when the string is not
// wide.
std::string Utf8Of(const GString& text);
