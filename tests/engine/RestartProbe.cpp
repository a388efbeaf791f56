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

std::u16string Folder() {
    wchar_t temp[MAX_PATH + 1] = {0};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::u16string(reinterpret_cast<const char16_t*>(temp)) + u"kbtest-restart";
}

std::u16string File() {
    return Folder() + u"\\held open.txt";
}

bool Scheduled(const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      WinText(u"System\\CurrentControlSet\\Control\\Session Manager"), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    std::u16string data;
    if (RegQueryValueExW(key, WinText(u"PendingFileRenameOperations"), nullptr, nullptr, nullptr,
                         &size) == ERROR_SUCCESS &&
        size >= 2) {
        data.assign(size / 2, u'\0');
        RegQueryValueExW(key, WinText(u"PendingFileRenameOperations"), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&data[0]), &size);
    }
    RegCloseKey(key);
    return data.find(u"\\??\\" + path) != std::u16string::npos;
}

int Schedule() {
    CreateDirectoryW(WinText(Folder().c_str()), nullptr);
    HANDLE held = CreateFileW(WinText(File().c_str()), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
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
    const std::u16string file = File();
    path.AssignWide(file.c_str(), static_cast<int>(file.size()));
    const int result = install.DeleteOrSchedule(path);
    const bool stillThere = GetFileAttributesW(WinText(file.c_str())) != INVALID_FILE_ATTRIBUTES;
    const bool scheduled = Scheduled(file);
    std::printf("DeleteOrSchedule %d, file still there %d, scheduled %d\n", result, stillThere,
                scheduled);
    CloseHandle(held);
    return result == 1 && stillThere && scheduled ? 0 : 1;
}

int Check() {
    const std::u16string file = File();
    const bool gone = GetFileAttributesW(WinText(file.c_str())) == INVALID_FILE_ATTRIBUTES;
    const bool scheduled = Scheduled(file);
    std::printf("after the restart: file gone %d, still scheduled %d\n", gone, scheduled);
    DeleteFileW(WinText(file.c_str()));
    RemoveDirectoryW(WinText(Folder().c_str()));
    return gone && !scheduled ? 0 : 1;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) return 2;
    if (lstrcmpW(argv[1], WinText(u"schedule")) == 0) return Schedule();
    if (lstrcmpW(argv[1], WinText(u"check")) == 0) return Check();
    return 2;
}
