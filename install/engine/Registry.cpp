// Registry access by text: the guards every operation shares, and the two-query reads of
// strings and byte buffers. Failures are silent: a null key or 0.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "install/InstallWin32.h"
#include "install/engine/WinHandles.h"
#include "text/WinText.h"

namespace {

bool IsEmptyName(const char16_t* name) {
    return name == nullptr || name[0] == 0;
}

}  // namespace

OsKey CInstall::OpenKey(OsKey parent, const char16_t* subkey, uint32_t access) {
    // A null parent is how an earlier failed open shows up, so chains of opens need no checks.
    if (parent == nullptr || IsEmptyName(subkey)) return nullptr;
    HKEY key = nullptr;
    if (RegOpenKeyExW(ToWin(parent), WinText(subkey), 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return ToOs(key);
}

OsKey CInstall::CreateKey(OsKey parent, const char16_t* subkey, uint32_t access) {
    if (parent == nullptr || IsEmptyName(subkey)) return nullptr;
    HKEY key = nullptr;
    if (RegCreateKeyExW(ToWin(parent), WinText(subkey), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return ToOs(key);
}

int CInstall::ReadDword(OsKey key, const char16_t* name, uint32_t& out) {
    if (key == nullptr || IsEmptyName(name)) return 0;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    // A larger value answers ERROR_MORE_DATA, a smaller one a short size: both are refused.
    if (RegQueryValueExW(ToWin(key), WinText(name), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS)
        return 0;
    if (type != REG_DWORD || size != sizeof value) return 0;
    out = value;
    return 1;
}

int CInstall::WriteDword(OsKey key, const char16_t* name, uint32_t value) {
    if (key == nullptr || IsEmptyName(name)) return 0;
    const DWORD data = value;
    return RegSetValueExW(ToWin(key), WinText(name), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

int CInstall::ReadString(OsKey key, const char16_t* name, GString& out) {
    if (key == nullptr || IsEmptyName(name)) return 0;
    out.AssignWide(u"", 0);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(ToWin(key), WinText(name), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return 0;
    if (type != REG_SZ) return 0;  // REG_EXPAND_SZ and the rest are not plain text
    if (size == 0) return 1;
    if (size > 0x7FFFFFF0u) return 0;

    // Room for an odd trailing byte too; the platform writes at most `size` bytes.
    const int room = static_cast<int>(size / 2 + 1);
    char16_t* text = out.WideBuffer(room);
    if (text == nullptr) return 0;
    DWORD readSize = size;
    if (RegQueryValueExW(ToWin(key), WinText(name), nullptr, &type, reinterpret_cast<BYTE*>(text),
                         &readSize) != ERROR_SUCCESS ||
        type != REG_SZ || readSize > size) {
        out.AssignWide(u"", 0);
        return 0;
    }
    // A value written by another program may lack the terminating NUL: strip exactly one NUL
    // when present, so that no real character of a stored path is lost.
    int units = static_cast<int>(readSize / 2);
    if (units > 0 && text[units - 1] == 0) --units;
    out.SetLength(units);
    return 1;
}

int CInstall::WriteString(OsKey key, const char16_t* name, const GString& value) {
    if (key == nullptr || IsEmptyName(name)) return 0;
    GString wide;
    if (!wide.AssignAsWide(&value)) return 0;
    const char16_t* text = wide.WideText(0);
    const DWORD bytes = static_cast<DWORD>(wide.Length() + 1) * 2;  // with its terminating NUL
    return RegSetValueExW(ToWin(key), WinText(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          bytes) == ERROR_SUCCESS;
}

uint8_t* CInstall::ReadBytes(OsKey key, const char16_t* name, uint32_t& outCount) {
    outCount = 0;
    if (key == nullptr || IsEmptyName(name)) return nullptr;
    DWORD type = 0;
    DWORD size = 0;
    const LSTATUS first =
        RegQueryValueExW(ToWin(key), WinText(name), nullptr, &type, nullptr, &size);
    if (first != ERROR_SUCCESS && first != ERROR_MORE_DATA) return nullptr;
    if (size == 0 || type != REG_BINARY) return nullptr;

    MallocHolder<uint8_t> buffer(static_cast<uint8_t*>(std::malloc(size)));
    if (!buffer) return nullptr;
    DWORD readSize = size;
    if (RegQueryValueExW(ToWin(key), WinText(name), nullptr, &type, buffer.Get(), &readSize) !=
            ERROR_SUCCESS ||
        readSize != size || type != REG_BINARY)
        return nullptr;
    outCount = size;
    return buffer.Release();
}

int CInstall::WriteBytes(OsKey key, const char16_t* name, const uint8_t* bytes, uint32_t count) {
    if (key == nullptr || IsEmptyName(name)) return 0;
    if (bytes == nullptr && count != 0) return 0;
    static const BYTE kNothing = 0;
    return RegSetValueExW(ToWin(key), WinText(name), 0, REG_BINARY, count != 0 ? bytes : &kNothing,
                          count) == ERROR_SUCCESS;
}

int CInstall::ValueEquals(OsKey key, const char16_t* name, const GString& expected) {
    GString value;
    if (!ReadString(key, name, value)) return 0;
    GString wide;
    if (!wide.AssignAsWide(&expected)) return 0;
    if (value.Length() != wide.Length()) return 0;
    return std::memcmp(value.WideText(0), wide.WideText(0),
                       static_cast<size_t>(value.Length()) * 2) == 0;
}

int CInstall::DeleteValue(OsKey key, const char16_t* name) {
    if (key == nullptr || IsEmptyName(name)) return 0;
    return RegDeleteValueW(ToWin(key), WinText(name)) == ERROR_SUCCESS;
}

int CInstall::DeleteKey(OsKey parent, const char16_t* subkey) {
    // An empty name would delete the parent itself.
    if (parent == nullptr || IsEmptyName(subkey)) return 0;
    return RegDeleteKeyW(ToWin(parent), WinText(subkey)) == ERROR_SUCCESS;
}
