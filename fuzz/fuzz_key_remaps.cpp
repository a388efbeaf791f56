// Fuzz target: the key remapping store on arbitrary bytes, read as the installer key's remap
// records and as a system scan-code map. Nothing may be read outside the bytes, and what the
// store writes back must read back to the same remaps.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "install/CInstall.h"
#include "install/engine/KeyRemap.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool SameRemaps(const CInstall& a, const CInstall& b) {
    for (int32_t i = 0; i < a.KeyCount; ++i) {
        if (a.KeyTable[i].vkTarget != b.KeyTable[i].vkTarget ||
            a.KeyTable[i].scanTarget != b.KeyTable[i].scanTarget)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    const auto count = static_cast<uint32_t>(size);

    CInstall install;
    // The records are handed over in a buffer of their own, which the store frees.
    auto* records = static_cast<uint8_t*>(std::malloc(size != 0 ? size : 1));
    if (records == nullptr) return 0;
    if (size != 0) std::memcpy(records, data, size);
    install.LoadKeyRemaps(records, count);
    ApplyScancodeMap(install, size != 0 ? data : nullptr, count);

    uint32_t recordSize = 0, mapSize = 0;
    uint8_t* builtRecords = install.BuildKeyRemaps(recordSize);
    uint8_t* builtMap = BuildScancodeMap(install, mapSize);
    Check(builtRecords != nullptr && builtMap != nullptr);
    Check(recordSize % 4 == 0 && mapSize >= 16 && mapSize % 4 == 0);

    CInstall reader;  // takes the records over, also the empty buffer of no records
    Check(reader.LoadKeyRemaps(builtRecords, recordSize) == (recordSize != 0));
    ApplyScancodeMap(reader, builtMap, mapSize);
    std::free(builtMap);
    Check(SameRemaps(install, reader));
    return 0;
}
