#include "payload/Blowfish.h"

#include "payload/BlowfishConstants.h"
#include "payload/ByteOrder.h"

#include <cstring>
#include <new>

namespace {
constexpr int kRounds = 16;
constexpr int kPWords = kRounds + 2;
constexpr int kSWords = 4 * 256;
}  // namespace

CBlowfish::CBlowfish()
    : m_p(new (std::nothrow) std::uint32_t[kPWords]),
      m_s(new (std::nothrow) std::uint32_t[kSWords]) {}

CBlowfish::~CBlowfish() {
    delete[] m_p;
    delete[] m_s;
}

std::uint32_t CBlowfish::F(std::uint32_t x) const {
    const std::uint32_t a = x >> 24;
    const std::uint32_t b = (x >> 16) & 0xFF;
    const std::uint32_t c = (x >> 8) & 0xFF;
    const std::uint32_t d = x & 0xFF;
    return ((m_s[a] + m_s[256 + b]) ^ m_s[512 + c]) + m_s[768 + d];
}

void CBlowfish::EncryptBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = 0; i < kRounds; i += 2) {
        l ^= m_p[i];
        r ^= F(l);
        r ^= m_p[i + 1];
        l ^= F(r);
    }
    left = r ^ m_p[kRounds + 1];
    right = l ^ m_p[kRounds];
}

void CBlowfish::DecryptBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = kRounds + 1; i > 1; i -= 2) {
        l ^= m_p[i];
        r ^= F(l);
        r ^= m_p[i - 1];
        l ^= F(r);
    }
    left = r ^ m_p[0];
    right = l ^ m_p[1];
}

int CBlowfish::SetKey(const std::uint8_t* key, std::uint32_t length) {
    if (!IsValid() || key == nullptr || length == 0) return 0;
    std::memcpy(m_p, kBlowfishInitialP, sizeof(kBlowfishInitialP));
    std::memcpy(m_s, kBlowfishInitialS, sizeof(kBlowfishInitialS));

    std::uint32_t position = 0;
    for (int i = 0; i < kPWords; ++i) {
        std::uint32_t word = 0;
        for (int j = 0; j < 4; ++j) {
            word = word << 8 | key[position];
            position = position + 1 == length ? 0 : position + 1;
        }
        m_p[i] ^= word;
    }

    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (int i = 0; i < kPWords; i += 2) {
        EncryptBlock(left, right);
        m_p[i] = left;
        m_p[i + 1] = right;
    }
    for (int i = 0; i < kSWords; i += 2) {
        EncryptBlock(left, right);
        m_s[i] = left;
        m_s[i + 1] = right;
    }
    return 1;
}

template <bool Encrypt>
void CBlowfish::Ecb(const void* source, void* destination, std::uint32_t size) const {
    const auto* in = static_cast<const std::uint8_t*>(source);
    auto* out = static_cast<std::uint8_t*>(destination);
    const std::uint32_t blocks = size / 8 + (size % 8 != 0 ? 1 : 0);
    for (std::uint32_t n = 0; n < blocks; ++n) {
        const std::uint32_t done = n * 8;
        std::uint8_t block[8] = {};
        const std::uint32_t take = size - done < 8 ? size - done : 8;
        std::memcpy(block, in + done, take);
        std::uint32_t left = LoadLe32(block);
        std::uint32_t right = LoadLe32(block + 4);
        if (Encrypt)
            EncryptBlock(left, right);
        else
            DecryptBlock(left, right);
        StoreLe32(out + done, left);
        StoreLe32(out + done + 4, right);
    }
}

void CBlowfish::DecryptEcb(const void* source, void* destination, std::uint32_t size) const {
    Ecb<false>(source, destination, size);
}

void CBlowfish::EncryptEcb(const void* source, void* destination, std::uint32_t size) const {
    Ecb<true>(source, destination, size);
}
