#pragma once

#include <cstdint>

// Holds the unscrambled copy of the stored key block and offers the only operations that use the
// key: a window of the copy is the Blowfish key of every blob.
class CGuard {
public:
    static constexpr std::int32_t kBlockLength = 968;
    static constexpr std::int32_t kWindowLength = 495;

    CGuard();
    virtual ~CGuard();
    CGuard(const CGuard&) = delete;
    CGuard& operator=(const CGuard&) = delete;

    // Wipes any earlier copy, then copies and unscrambles the block. Refuses any length but 968.
    int SetKeyBlock(const std::uint8_t* block, std::uint32_t length);

    // The blob unpack procedure under the key window; none without a copy. See BlobUnpack.h.
    std::uint8_t* Unpack(const std::uint8_t* blob, std::uint32_t& size,
                         std::uint32_t* userValue = nullptr) const;

    // Zeroes the copy, frees it and forgets it; nothing without a copy.
    void Wipe();

    // ECB over size bytes in place (size a multiple of 8) under the key window; 0 without a copy.
    // Only the build-time packer and tests need these; the installer never calls them.
    int EncipherBlocks(std::uint8_t* data, std::uint32_t size) const;
    int DecipherBlocks(std::uint8_t* data, std::uint32_t size) const;

    int HasKey() const { return m_copy != nullptr; }

protected:
    // The scrambling steps, exposed to derived test fixtures; every offset is checked against
    // the block length and counts running past the end are shortened.
    void Move(std::int32_t destination, std::int32_t source, std::int32_t count);
    void XorPass(std::int32_t start, std::int32_t count, std::int32_t position);
    std::uint8_t* Copy() const { return m_copy; }

private:
    int Cipher(std::uint8_t* data, std::uint32_t size, int encipher) const;

    std::uint8_t* m_copy;
    std::int32_t m_blockLength;
    std::int32_t m_windowOffset;
    std::int32_t m_windowLength;
    std::int32_t m_move1Source;
    std::int32_t m_move1Destination;
    std::int32_t m_move1Count;
    std::int32_t m_move2Source;
    std::int32_t m_move2Destination;
    std::int32_t m_move2Count;
    std::int32_t m_xorPosition;
    std::int32_t m_xorStart;
    std::int32_t m_xorCount;
};
