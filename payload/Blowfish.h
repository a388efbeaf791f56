#pragma once

#include <cstdint>

// Blowfish, 16 rounds, on blocks of two little-endian 32-bit words (bytes 0-3 the left half,
// byte 0 least significant). One short-lived context per unpack; not copyable.
class CBlowfish {
public:
    CBlowfish();
    ~CBlowfish();
    CBlowfish(const CBlowfish&) = delete;
    CBlowfish& operator=(const CBlowfish&) = delete;

    // Non-zero when construction could allocate the P-array and the S-boxes.
    int IsValid() const { return m_p != nullptr && m_s != nullptr; }

    // Key schedule over length key bytes, read cyclically; only the first 72 bytes matter.
    // Returns 0 without a context or without key bytes.
    int SetKey(const std::uint8_t* key, std::uint32_t length);

    void EncryptBlock(std::uint32_t& left, std::uint32_t& right) const;
    void DecryptBlock(std::uint32_t& left, std::uint32_t& right) const;

    // Electronic code book over ceil(size / 8) blocks. Exactly size bytes of source are read; a
    // final partial block is completed with zero bytes, so destination must hold size rounded up
    // to 8. Source and destination may be the same buffer.
    void DecryptEcb(const void* source, void* destination, std::uint32_t size) const;
    void EncryptEcb(const void* source, void* destination, std::uint32_t size) const;

private:
    std::uint32_t F(std::uint32_t x) const;
    template <bool Encrypt>
    void Ecb(const void* source, void* destination, std::uint32_t size) const;

    std::uint32_t* m_p = nullptr;  // 18 words
    std::uint32_t* m_s = nullptr;  // 4 x 256 words
};
