// Runs environment detection in a process of its own and writes what it found to the file
// named by its argument: "os=N arch=N is64=N". The version Wine reports is chosen per program
// by the test that starts it, so each run sees the Windows version under test.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "install/InstallWin32.h"
#include "tests/install/InstallFixture.h"

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) return 2;
    FixtureTexts texts;
    texts.common = {Entry(58, "GetNativeSystemInfo"), Entry(144, "kernel32.dll")};
    texts.supplementary = {Entry(154, "(none)")};
    texts.language[0] = {Entry(93, "Kreska Setup")};
    texts.language[1] = {Entry(93, "Kreska Setup")};
    FixtureTables tables;
    std::string error;
    if (!tables.Build(texts, error)) return 3;
    CInstall install;
    if (!install.InitFrom(ToOs(GetModuleHandleW(nullptr)), tables.Tables())) return 4;
    if (!install.DetectEnvironment(58, 144)) return 5;
    char line[64];
    const int length = std::snprintf(line, sizeof line, "os=%d arch=%d is64=%d", install.OsVersion,
                                     install.ProcessorArchitecture, install.Is64Bit);
    HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 6;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
    return 0;
}
