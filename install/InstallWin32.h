// Conversions between the installer object's opaque handles and Win32 handles, for the Win32
// sources only. Each is a plain reinterpretation: the opaque types carry the handle value as is.
#pragma once

#ifndef _WIN32
#error "install/InstallWin32.h is for the Win32 sources"
#endif

#include <windows.h>

#include "install/CInstall.h"

inline HMODULE ToWin(OsModule module) {
    return reinterpret_cast<HMODULE>(module);
}
inline HWND ToWin(OsWindow window) {
    return reinterpret_cast<HWND>(window);
}
inline HKEY ToWin(OsKey key) {
    return reinterpret_cast<HKEY>(key);
}
inline HANDLE ToWin(OsFile file) {
    return reinterpret_cast<HANDLE>(file);
}

inline OsModule ToOs(HMODULE module) {
    return reinterpret_cast<OsModule>(module);
}
inline OsWindow ToOs(HWND window) {
    return reinterpret_cast<OsWindow>(window);
}
inline OsKey ToOs(HKEY key) {
    return reinterpret_cast<OsKey>(key);
}
// INVALID_HANDLE_VALUE becomes null, so that callers test files like every other handle.
inline OsFile ToOsFile(HANDLE file) {
    return file == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<OsFile>(file);
}

inline FARPROC ToWin(OsProc proc) {
    return reinterpret_cast<FARPROC>(proc);
}
inline OsProc ToOs(FARPROC proc) {
    return reinterpret_cast<OsProc>(proc);
}

// The two predefined roots the engine uses.
inline OsKey MachineRoot() {
    return ToOs(HKEY_LOCAL_MACHINE);
}
inline OsKey UserRoot() {
    return ToOs(HKEY_CURRENT_USER);
}
