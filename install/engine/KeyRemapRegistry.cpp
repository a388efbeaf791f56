// The system scan-code map in the registry: read once at start-up into the working key table,
// written back by the install.
#include <windows.h>

#include "install/InstallWin32.h"
#include "install/engine/KeyRemap.h"
#include "install/engine/WinHandles.h"

namespace {

constexpr uint32_t kMapKeyId = 5;
constexpr uint32_t kMapValueId = 6;

}  // namespace

void CInstall::ReadScancodeMap() {
    if (!KeyTable) return;
    KeyHolder key(ToWin(OpenKey(MachineRoot(), kMapKeyId, KEY_READ)));
    if (!key) return;
    uint32_t size = 0;
    MallocHolder<uint8_t> map(ReadBytes(ToOs(key.Get()), kMapValueId, size));
    if (!map) return;
    ScancodeMapSeen = 1;
    ApplyScancodeMap(*this, map.Get(), size);
}

int CInstall::WriteScancodeMap() {
    if (!KeyTable) return 0;
    uint32_t size = 0;
    MallocHolder<uint8_t> map(BuildScancodeMap(*this, size));
    if (!map) return 0;
    // A map of no entries is written only over one that existed, so that its old entries go.
    const bool empty = size <= 16;
    if (empty && !ScancodeMapSeen) return 1;
    KeyHolder key(ToWin(OpenKey(MachineRoot(), kMapKeyId, KEY_WRITE)));
    if (!key) return 0;
    return WriteBytes(ToOs(key.Get()), kMapValueId, map.Get(), size);
}
