// Environment detection and the start-up checks: Windows version and processor architecture,
// a running copy, administrator rights, and the final restart.
#include <windows.h>

#include "install/InstallWin32.h"
#include "install/engine/WinHandles.h"
#include "text/WinText.h"

namespace {

// The two sizes of the version structure: with the service-pack fields, and the plain one that
// the oldest systems insist on.
constexpr DWORD kVersionInfoExSize = 284;
constexpr DWORD kVersionInfoSize = 276;
static_assert(sizeof(OSVERSIONINFOEXW) == kVersionInfoExSize, "version structure layout");
static_assert(sizeof(OSVERSIONINFOW) == kVersionInfoSize, "version structure layout");

constexpr int16_t kArchItanium = 6;
constexpr int16_t kArchX64 = 9;

// Planned, operating system, reconfiguration.
constexpr DWORD kRestartReason = 0x80020004;

using NativeSystemInfoProc = void(WINAPI*)(LPSYSTEM_INFO);

bool QueryVersion(OSVERSIONINFOEXW& info) {
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = kVersionInfoExSize;
    if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return true;
    info.dwOSVersionInfoSize = kVersionInfoSize;
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != 0;
}

}  // namespace

int CInstall::DetectEnvironment(uint32_t procedureId, uint32_t libraryId) {
    ProcessorArchitecture = -1;
    OsVersion = 0;
    Is64Bit = 0;

    OSVERSIONINFOEXW version;
    if (!QueryVersion(version)) return 0;
    OsVersion = static_cast<int32_t>(version.dwMajorVersion * 10 + version.dwMinorVersion);

    SYSTEM_INFO system;
    ZeroMemory(&system, sizeof system);
    OsModule slot = nullptr;
    // A plain procedure pointer converts to the real type without a cast warning.
    const auto native =
        reinterpret_cast<NativeSystemInfoProc>(GetProcById(procedureId, libraryId, slot));
    ModuleHolder library(ToWin(slot));
    if (native != nullptr)
        native(&system);
    else
        GetSystemInfo(&system);

    ProcessorArchitecture = static_cast<int16_t>(system.wProcessorArchitecture);
    Is64Bit = (ProcessorArchitecture == kArchX64 || ProcessorArchitecture == kArchItanium) ? 1 : 0;
    return 1;
}

int CInstall::ActivateRunningCopy() {
    GetString(94, WorkText);
    if (WorkText.IsEmpty()) return 1;
    const HWND window = FindWindowW(WinText(WorkText.WideText(0)), nullptr);
    if (window == nullptr) return 1;
    SetForegroundWindow(window);
    return 0;
}

int CInstall::IsAdministrator() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = {{0, 0, 0, 0, 0, 5}};
    SidHolder administrators;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  administrators.Receive()))
        return 0;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators.Get(), &member)) member = FALSE;
    return member ? 1 : 0;
}

int CInstall::RestartWindows() {
    FileHolder token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.Receive()))
        return 0;
    TOKEN_PRIVILEGES privileges;
    ZeroMemory(&privileges, sizeof privileges);
    if (!LookupPrivilegeValueW(nullptr, WinText(u"SeShutdownPrivilege"),
                               &privileges.Privileges[0].Luid))
        return 0;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(ERROR_SUCCESS);
    AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    // The call succeeds even when the privilege was not assigned; only the last error says so.
    if (GetLastError() != ERROR_SUCCESS) return 0;
    wchar_t noMessage[1] = {0};
    return InitiateSystemShutdownExW(nullptr, noMessage, 0, FALSE, TRUE, kRestartReason);
}
