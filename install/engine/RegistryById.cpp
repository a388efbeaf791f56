// Registry access by string id: each operation fetches its names from the string tables and
// fails, without touching the registry, when an id is missing.
#include <windows.h>

#include "install/InstallWin32.h"
#include "install/engine/WinHandles.h"

OsKey CInstall::OpenKey(OsKey parent, uint32_t subkeyId, uint32_t access) {
    GString name;
    if (!GetString(subkeyId, name)) return nullptr;
    return OpenKey(parent, name.WideText(0), access);
}

OsKey CInstall::CreateKey(OsKey parent, uint32_t subkeyId, uint32_t access) {
    GString name;
    if (!GetString(subkeyId, name)) return nullptr;
    return CreateKey(parent, name.WideText(0), access);
}

int CInstall::ReadDword(OsKey key, uint32_t nameId, uint32_t& out) {
    GString name;
    if (!GetString(nameId, name)) return 0;
    return ReadDword(key, name.WideText(0), out);
}

int CInstall::WriteDword(OsKey key, uint32_t nameId, uint32_t value) {
    GString name;
    if (!GetString(nameId, name)) return 0;
    return WriteDword(key, name.WideText(0), value);
}

int CInstall::ReadString(OsKey key, uint32_t nameId, GString& out) {
    GString name;
    if (!GetString(nameId, name)) return 0;
    return ReadString(key, name.WideText(0), out);
}

int CInstall::WriteString(OsKey key, uint32_t nameId, const GString& value) {
    GString name;
    if (!GetString(nameId, name)) return 0;
    return WriteString(key, name.WideText(0), value);
}

int CInstall::WriteStringId(OsKey key, uint32_t nameId, uint32_t dataId) {
    GString name;
    GString data;
    if (!GetString(nameId, name) || !GetString(dataId, data)) return 0;
    return WriteString(key, name.WideText(0), data);
}

uint8_t* CInstall::ReadBytes(OsKey key, uint32_t nameId, uint32_t& outCount) {
    outCount = 0;
    GString name;
    if (!GetString(nameId, name)) return nullptr;
    return ReadBytes(key, name.WideText(0), outCount);
}

int CInstall::WriteBytes(OsKey key, uint32_t nameId, const uint8_t* bytes, uint32_t count) {
    GString name;
    if (!GetString(nameId, name)) return 0;
    return WriteBytes(key, name.WideText(0), bytes, count);
}

int CInstall::ValueEquals(OsKey key, uint32_t nameId, const GString& expected) {
    GString name;
    if (!GetString(nameId, name)) return 0;
    return ValueEquals(key, name.WideText(0), expected);
}

int CInstall::DeleteValue(OsKey key, uint32_t nameId) {
    GString name;
    if (!GetString(nameId, name)) return 0;
    return DeleteValue(key, name.WideText(0));
}

int CInstall::DeleteKey(OsKey parent, uint32_t subkeyId) {
    GString name;
    if (!GetString(subkeyId, name)) return 0;
    return DeleteKey(parent, name.WideText(0));
}

int CInstall::WriteMachineString(uint32_t keyId, uint32_t nameId, uint32_t dataId) {
    // Opened, never created: the key must already be there.
    KeyHolder key(ToWin(OpenKey(MachineRoot(), keyId, KEY_SET_VALUE | KEY_CREATE_SUB_KEY)));
    if (!key) return 0;
    return WriteStringId(ToOs(key.Get()), nameId, dataId);
}
