// The two halves of the restart test around a simulated restart (wineboot -r):
//   engine_restart_probe schedule  - holds a file open and asks the engine to delete it, which
//                                    schedules the deletion; the file stays until the restart
//   engine_restart_probe check     - the file is gone and nothing is left scheduled for it
// Each half prints what it saw and exits with 0 only when it saw what it should.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "install/InstallWin32.h"
#include "tests/install/InstallFixture.h"
#include "text/WinText.h"

namespace {

std::wstring Folder() {
    wchar_t temp[MAX_PATH + 1] = {0};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"kbtest-restart";
}

std::wstring File() {
    return Folder() + L"\\held open.txt";
}

bool Scheduled(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    std::wstring data;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) ==
            ERROR_SUCCESS &&
        size >= 2) {
        data.assign(size / 2, L'\0');
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&data[0]), &size);
    }
    RegCloseKey(key);
    return data.find(L"\\??\\" + path) != std::wstring::npos;
}

int Schedule() {
    CreateDirectoryW(Folder().c_str(), nullptr);
    HANDLE held = CreateFileW(File().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 10;

    FixtureTexts texts;
    texts.common = {Entry(93, "Kreska Setup")};
    texts.supplementary = {Entry(154, "(none)")};
    texts.language[0] = {Entry(93, "Kreska Setup")};
    texts.language[1] = {Entry(93, "Kreska Setup")};
    FixtureTables tables;
    std::string error;
    CInstall install;
    if (!tables.Build(texts, error) ||
        !install.InitFrom(ToOs(GetModuleHandleW(nullptr)), tables.Tables()))
        return 11;
    GString path;
    const std::wstring file = File();
    path.AssignWide(reinterpret_cast<const char16_t*>(file.c_str()), static_cast<int>(file.size()));
    const int result = install.DeleteOrSchedule(path);
    const bool stillThere = GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
    const bool scheduled = Scheduled(file);
    std::printf("DeleteOrSchedule %d, file still there %d, scheduled %d\n", result, stillThere,
                scheduled);
    CloseHandle(held);
    return result == 1 && stillThere && scheduled ? 0 : 1;
}

int Check() {
    const std::wstring file = File();
    const bool gone = GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES;
    const bool scheduled = Scheduled(file);
    std::printf("after the restart: file gone %d, still scheduled %d\n", gone, scheduled);
    DeleteFileW(file.c_str());
    RemoveDirectoryW(Folder().c_str());
    return gone && !scheduled ? 0 : 1;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) return 2;
    if (lstrcmpW(argv[1], L"schedule") == 0) return Schedule();
    if (lstrcmpW(argv[1], L"check") == 0) return Check();
    return 2;
}
