// The fixture of the engine tests under Wine: an installer object whose string tables point
// every registry path at a test-only key and every folder at a fresh temporary folder, so that
// no test touches what the product uses; everything a test makes is removed after it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/CInstall.h"
#include "tests/install/InstallFixture.h"
#include "text/WinText.h"

std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& utf16);
std::string U8(const GString& text);
inline const wchar_t* W(const std::u16string& text) {
    return WinText(text.c_str());
}
// Sets a GString to wide text.
void SetText(GString& target, const std::u16string& text);
std::u16string TextOf(const GString& text);

// "<suite>.<test>.<process id>": unique across tests and across programs run at the same time.
std::u16string UniqueTestName();

// The folder of the running test program, without a trailing backslash.
std::u16string ProgramFolder();

// Removes a folder and everything in it; true when it is gone.
bool RemoveTree(const std::u16string& folder);

// The whole content of a file as bytes; empty when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::u16string& path);
bool FileExists(const std::u16string& path);

// Registry key roots of the tests.
constexpr uint32_t kUserRootId = 1000;     // HKCU\Software\KbTest\<unique>
constexpr uint32_t kMachineRootId = 1001;  // HKLM\Software\KbTest\<unique>

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The test's own strings, added to the common table.
    virtual void AddTexts(std::vector<StringEntry>& common) { (void)common; }

    // Opens (creating) the test's key under the root; the caller closes it.
    HKEY UserKey();
    HKEY MachineKey();

    std::u16string userRoot;
    std::u16string machineRoot;
    std::u16string tempDir;  // without a trailing backslash
    FixtureTables tables;
    CInstall install;
};
