#include "payload/Guard.h"

#include "payload/BlobUnpack.h"
#include "payload/Blowfish.h"

#include <new>

// The scrambling parameters agree with the stored key block that the packer emits; changing any
// of them changes the key of every blob.
CGuard::CGuard()
    : m_copy(nullptr),
      m_blockLength(kBlockLength),
      m_windowOffset(317),
      m_windowLength(kWindowLength),
      m_move1Source(702),
      m_move1Destination(83),
      m_move1Count(236),
      m_move2Source(254),
      m_move2Destination(401),
      m_move2Count(389),
      m_xorPosition(941),
      m_xorStart(296),
      m_xorCount(530) {}

CGuard::~CGuard() {
    Wipe();
}

int CGuard::SetKeyBlock(const std::uint8_t* block, std::uint32_t length) {
    Wipe();
    if (block == nullptr || length == 0 || length != static_cast<std::uint32_t>(m_blockLength))
        return 0;
    m_copy = new (std::nothrow) std::uint8_t[m_blockLength];
    if (m_copy == nullptr) return 0;
    for (std::int32_t i = 0; i < m_blockLength; ++i) m_copy[i] = block[i];
    Move(m_move1Destination, m_move1Source, m_move1Count);
    Move(m_move2Destination, m_move2Source, m_move2Count);
    XorPass(m_xorStart, m_xorCount, m_xorPosition);
    return 1;
}

void CGuard::Move(std::int32_t destination, std::int32_t source, std::int32_t count) {
    if (m_copy == nullptr || destination < 0 || destination >= m_blockLength || source < 0 ||
        source >= m_blockLength || count <= 0)
        return;
    if (destination < source) {
        if (count > m_blockLength - source) count = m_blockLength - source;
        for (std::int32_t i = 0; i < count; ++i) m_copy[destination + i] = m_copy[source + i];
        return;
    }
    if (count > m_blockLength - destination) count = m_blockLength - destination;
    for (std::int32_t i = count - 1; i >= 0; --i) m_copy[destination + i] = m_copy[source + i];
}

void CGuard::XorPass(std::int32_t start, std::int32_t count, std::int32_t position) {
    if (m_copy == nullptr || start < 0 || start >= m_blockLength || position < 0 ||
        position >= m_blockLength || count <= 0)
        return;
    const std::uint8_t value = m_copy[position];
    if (count > m_blockLength - start) count = m_blockLength - start;
    for (std::int32_t i = 0; i < count; ++i) m_copy[start + i] ^= value;
}

void CGuard::Wipe() {
    if (m_copy == nullptr) return;
    // volatile keeps the compiler from dropping stores to memory that is freed right after.
    volatile std::uint8_t* bytes = m_copy;
    for (std::int32_t i = 0; i < m_blockLength; ++i) bytes[i] = 0;
    delete[] m_copy;
    m_copy = nullptr;
}

std::uint8_t* CGuard::Unpack(const std::uint8_t* blob, std::uint32_t& size,
                             std::uint32_t* userValue) const {
    if (m_copy == nullptr) return nullptr;
    return UnpackBlob(m_copy + m_windowOffset, static_cast<std::uint32_t>(m_windowLength), blob,
                      size, userValue);
}

int CGuard::Cipher(std::uint8_t* data, std::uint32_t size, int encipher) const {
    if (m_copy == nullptr || data == nullptr || size % 8 != 0) return 0;
    CBlowfish cipher;
    if (!cipher.SetKey(m_copy + m_windowOffset, static_cast<std::uint32_t>(m_windowLength)))
        return 0;
    if (encipher)
        cipher.EncryptEcb(data, data, size);
    else
        cipher.DecryptEcb(data, data, size);
    return 1;
}

int CGuard::EncipherBlocks(std::uint8_t* data, std::uint32_t size) const {
    return Cipher(data, size, 1);
}

int CGuard::DecipherBlocks(std::uint8_t* data, std::uint32_t size) const {
    return Cipher(data, size, 0);
}
