#pragma once

#include <cstdint>

#include "text/CountedText.h"

// An unpacked string table: an index of (id, offset) pairs sorted by unsigned id, then the
// string area holding one counted text per entry at the entry's offset.
class CStringTable {
public:
    static constexpr std::uint32_t kIndexEntrySize = 8;

    CStringTable() = default;
    ~CStringTable();
    CStringTable(const CStringTable&) = delete;
    CStringTable& operator=(const CStringTable&) = delete;

    // Takes ownership of a malloc'ed buffer of size bytes holding count entries. Fails, changing
    // nothing and leaving the buffer with the caller, when buffer is null, count is 0, or the
    // table is malformed: an index that does not fit, ids out of order or repeated, or an entry
    // whose offset or length runs past the buffer.
    int Attach(std::uint8_t* buffer, std::uint32_t count, std::uint32_t size);

    // The entry (its counted-text header) for id, or none.
    const CountedText* Find(std::uint32_t id) const;

    void Free();

    std::int32_t Count() const { return m_count; }

private:
    static int IsWellFormed(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t size);

    std::int32_t m_count = 0;
    std::uint8_t* m_buffer = nullptr;
    const std::uint8_t* m_index = nullptr;
    const std::uint8_t* m_strings = nullptr;
};
