#include "payload/StringTable.h"

#include "payload/ByteOrder.h"
#include "text/CountedText.h"

#include <cstdlib>

namespace {

constexpr std::uint64_t kCountedHeaderSize = 4;

std::uint64_t CountedByteSize(std::uint32_t header) {
    const std::uint64_t length = header & kCountedLengthMask;
    return (header & kCountedNarrowBit) != 0 ? length : 2 * length;
}

}  // namespace

CStringTable::~CStringTable() {
    Free();
}

int CStringTable::IsWellFormed(const std::uint8_t* buffer, std::uint32_t count,
                               std::uint32_t size) {
    const std::uint64_t indexSize = std::uint64_t{kIndexEntrySize} * count;
    if (count > INT32_MAX || indexSize > size) return 0;
    const std::uint64_t areaSize = size - indexSize;
    const std::uint8_t* strings = buffer + indexSize;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = buffer + std::uint64_t{kIndexEntrySize} * i;
        if (i > 0 && LoadLe32(entry) <= LoadLe32(entry - kIndexEntrySize)) return 0;
        const std::uint64_t offset = LoadLe32(entry + 4);
        if (offset + kCountedHeaderSize > areaSize) return 0;
        const std::uint32_t header = LoadLe32(strings + offset);
        if (offset + kCountedHeaderSize + CountedByteSize(header) > areaSize) return 0;
    }
    return 1;
}

int CStringTable::Attach(std::uint8_t* buffer, std::uint32_t count, std::uint32_t size) {
    if (buffer == nullptr || count == 0 || !IsWellFormed(buffer, count, size)) return 0;
    if (buffer != m_buffer) Free();
    m_count = static_cast<std::int32_t>(count);
    m_buffer = buffer;
    m_index = buffer;
    m_strings = buffer + std::uint64_t{kIndexEntrySize} * count;
    return 1;
}

const CountedText* CStringTable::Find(std::uint32_t id) const {
    if (m_index == nullptr || m_strings == nullptr) return nullptr;
    std::int32_t low = 0;
    std::int32_t high = m_count - 1;
    while (high >= low) {
        const std::int32_t mid = low + (high - low) / 2;
        const std::uint8_t* entry = m_index + std::uint64_t{kIndexEntrySize} * mid;
        const std::uint32_t entryId = LoadLe32(entry);
        if (entryId == id)
            return reinterpret_cast<const CountedText*>(m_strings + LoadLe32(entry + 4));
        if (entryId < id)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return nullptr;
}

void CStringTable::Free() {
    std::free(m_buffer);
    m_count = 0;
    m_buffer = nullptr;
    m_index = nullptr;
    m_strings = nullptr;
}
