// The key remapping store over the working key table: look-ups, normalisation, the virtual-key
// remap records of the installer key, and the scan-code map in byte form. Every byte read is
// checked against the size it came with.
#include "install/engine/KeyRemap.h"

#include <cstdlib>

#include "install/CInstall.h"
#include "payload/ByteOrder.h"

namespace {

constexpr uint32_t kRemapRecordSize = 4;
constexpr uint32_t kMapHeaderSize = 12;
constexpr uint32_t kMapEntrySize = 4;
constexpr uint32_t kMinimumMapSize = 16;

uint16_t LoadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | static_cast<uint16_t>(p[1]) << 8);
}

void StoreLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// Rows that a scan-code look-up visits: up to the first row with scan code 0.
template <typename Row>
Row* FindRow(Row* rows, int32_t count, uint16_t scanCode) {
    if (rows == nullptr || scanCode == 0) return nullptr;
    for (int32_t i = 0; i < count && rows[i].scanCode != 0; ++i) {
        if (rows[i].scanCode == scanCode) return &rows[i];
    }
    return nullptr;
}

int32_t LookupRows(const CInstall& install) {
    return install.KeyCount < 0 ? 0 : install.KeyCount;
}

}  // namespace

const KeyEntry* CInstall::FindDefaultKey(uint16_t scanCode) const {
    return FindRow(kBuiltinKeyTable, kKeyTableRows, scanCode);
}

KeyEntry* CInstall::FindKey(uint16_t scanCode) {
    return FindRow(KeyTable.get(), LookupRows(*this), scanCode);
}

int CInstall::NormalizeKeys() {
    if (!KeyTable) return 0;
    const int32_t rows = LookupRows(*this);
    for (int32_t i = 0; i < rows; ++i) {
        KeyEntry& row = KeyTable[i];
        if (row.scanTarget == row.scanCode) row.scanTarget = 0;
        if (i < kKeyTableRows && row.vkTarget == kBuiltinKeyTable[i].defaultVk) row.vkTarget = 0;
    }
    return 1;
}

int CInstall::LoadKeyRemaps(uint8_t* buffer, uint32_t size) {
    if (buffer == nullptr) return 0;
    if (size == 0 || !KeyTable) {
        std::free(buffer);
        return 0;
    }
    // Whole records only: a trailing remainder is ignored.
    const uint32_t records = size / kRemapRecordSize;
    for (uint32_t k = 0; k < records; ++k) {
        const uint8_t* record = buffer + k * kRemapRecordSize;
        const uint16_t vk = LoadLe16(record + 2);
        if (vk == 0) continue;
        KeyEntry* row = FindKey(LoadLe16(record));
        if (row != nullptr) row->vkTarget = vk;
    }
    NormalizeKeys();
    std::free(buffer);
    return 1;
}

uint8_t* CInstall::BuildKeyRemaps(uint32_t& outSize) {
    outSize = 0;
    if (!NormalizeKeys()) return nullptr;
    const int32_t rows = LookupRows(*this);
    uint32_t count = 0;
    for (int32_t i = 0; i < rows && KeyTable[i].scanCode != 0; ++i) {
        if (KeyTable[i].vkTarget != 0) ++count;
    }
    // Never a zero-byte request: with nothing remapped the caller still gets a buffer to free.
    const uint32_t bytes = count * kRemapRecordSize;
    auto* out = static_cast<uint8_t*>(std::malloc(bytes != 0 ? bytes : 1));
    if (out == nullptr) return nullptr;
    uint8_t* record = out;
    for (int32_t i = 0; i < rows && KeyTable[i].scanCode != 0; ++i) {
        if (KeyTable[i].vkTarget == 0) continue;
        StoreLe16(record, KeyTable[i].scanCode);
        StoreLe16(record + 2, KeyTable[i].vkTarget);
        record += kRemapRecordSize;
    }
    outSize = bytes;
    return out;
}

int ApplyScancodeMap(CInstall& install, const uint8_t* map, uint32_t size) {
    if (!install.KeyTable || map == nullptr || size < kMinimumMapSize) return 0;
    const int32_t count = static_cast<int32_t>(LoadLe32(map + 8));
    if (count <= 1) return 0;
    const uint64_t needed = static_cast<uint64_t>(count) * kMapEntrySize + kMapHeaderSize;
    if (needed > size) return 0;
    for (int32_t k = 0; k < count - 1; ++k) {
        const uint8_t* entry = map + kMapHeaderSize + static_cast<uint32_t>(k) * kMapEntrySize;
        const uint16_t produced = LoadLe16(entry);
        KeyEntry* row = install.FindKey(LoadLe16(entry + 2));
        if (row != nullptr) row->scanTarget = produced != 0 ? produced : kScanTargetOff;
    }
    install.NormalizeKeys();
    return 1;
}

uint8_t* BuildScancodeMap(const CInstall& install, uint32_t& outSize) {
    outSize = 0;
    if (!install.KeyTable) return nullptr;
    const KeyEntry* rows = install.KeyTable.get();
    const int32_t rowCount = LookupRows(install);
    uint32_t remapped = 0;
    for (int32_t i = 0; i < rowCount && rows[i].scanCode != 0; ++i) {
        if (rows[i].scanTarget != 0) ++remapped;
    }
    const uint32_t bytes = remapped * kMapEntrySize + kMinimumMapSize;
    auto* map = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (map == nullptr) return nullptr;
    StoreLe32(map + 8, remapped + 1);  // version and flags stay 0
    uint8_t* entry = map + kMapHeaderSize;
    for (int32_t i = 0; i < rowCount && rows[i].scanCode != 0; ++i) {
        if (rows[i].scanTarget == 0) continue;
        StoreLe16(entry, rows[i].scanTarget == kScanTargetOff ? 0 : rows[i].scanTarget);
        StoreLe16(entry + 2, rows[i].scanCode);
        entry += kMapEntrySize;
    }
    outSize = bytes;  // the terminating entry is the calloc'ed zero at the end
    return map;
}
