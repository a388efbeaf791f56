// Files and folders: special folders, the temporary folder and files, output files, deletion
// now or at the next restart, and folders made or removed one level at a time.
#include <windows.h>
#include <shlobj.h>

#include "install/InstallWin32.h"
#include "install/engine/WinHandles.h"
#include "text/WinText.h"

namespace {

constexpr int kSpecialFolderChars = 261;
constexpr DWORD kTempPathChars = 772;
constexpr int kTempFileChars = 261;

// The wide text of a path, or null for an empty one (which every operation refuses).
const wchar_t* PathText(const GString& path, GString& wide) {
    if (path.IsEmpty() || !wide.AssignAsWide(&path)) return nullptr;
    return WinText(wide.WideText(0));
}

}  // namespace

int CInstall::GetSpecialFolder(int csidl, GString& out) {
    out.AssignWide(u"", 0);
    wchar_t folder[kSpecialFolderChars] = {0};
    if (!SHGetSpecialFolderPathW(ToWin(GetOwnerWindow()), folder, csidl, FALSE)) return 0;
    folder[kSpecialFolderChars - 1] = 0;
    if (folder[0] == 0) return 0;
    return out.AssignWideCString(reinterpret_cast<const char16_t*>(folder));
}

int CInstall::GetTempDir(GString& out) {
    out.AssignWide(u"", 0);
    wchar_t folder[kTempPathChars] = {0};
    const DWORD length = GetTempPathW(kTempPathChars - 1, folder);
    if (length == 0 || length >= kTempPathChars) return 0;
    return out.AssignWide(reinterpret_cast<const char16_t*>(folder), static_cast<int>(length));
}

int CInstall::MakeTempFile(GString& out, uint32_t prefixId, const GString* directory) {
    out.AssignWide(u"", 0);
    if (prefixId == 0) return 0;
    GString prefix;
    if (!GetString(prefixId, prefix)) return 0;
    GString folder;
    if (directory != nullptr) {
        if (!folder.AssignAsWide(directory)) return 0;
    } else if (!GetTempDir(folder)) {
        return 0;
    }
    wchar_t name[kTempFileChars] = {0};
    if (GetTempFileNameW(WinText(folder.WideText(0)), WinText(prefix.WideText(0)), 0, name) == 0)
        return 0;
    name[kTempFileChars - 1] = 0;
    return out.AssignWideCString(reinterpret_cast<const char16_t*>(name));
}

OsFile CInstall::CreateOutputFile(const GString& path) {
    GString wide;
    const wchar_t* name = PathText(path, wide);
    if (name == nullptr) return nullptr;
    return ToOsFile(CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

int CInstall::WriteFileBytes(OsFile file, const uint8_t* bytes, uint32_t count) {
    if (file == nullptr || bytes == nullptr || count == 0) return 0;
    DWORD written = 0;
    if (!WriteFile(ToWin(file), bytes, count, &written, nullptr)) return 0;
    return written == count;
}

int CInstall::WriteFileText(OsFile file, const GString& text) {
    if (text.IsEmpty()) return 0;
    GString utf8;  // no byte-order mark, no terminating NUL
    if (!utf8.AssignAsNarrow(&text)) return 0;
    return WriteFileBytes(file, reinterpret_cast<const uint8_t*>(utf8.NarrowText(0)),
                          static_cast<uint32_t>(utf8.Length()));
}

int CInstall::DeleteOrSchedule(const GString& path) {
    GString wide;
    const wchar_t* name = PathText(path, wide);
    if (name == nullptr) return 0;
    if (DeleteFileW(name)) return 1;
    // A file that is not there needs no deletion; a missing folder means a missing file too.
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 1;
    // In use (or otherwise locked): the system deletes it at the next restart.
    return MoveFileExW(name, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

int CInstall::RemoveDir(const GString& path) {
    GString wide;
    const wchar_t* name = PathText(path, wide);
    if (name == nullptr) return 0;
    return RemoveDirectoryW(name) != 0;
}

int CInstall::EnsureDir(const GString& path) {
    GString wide;
    const wchar_t* name = PathText(path, wide);
    if (name == nullptr) return 0;
    if (CreateDirectoryW(name, nullptr)) return 1;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return 0;
    // A file of that name is no folder to put files in.
    const DWORD attributes = GetFileAttributesW(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
