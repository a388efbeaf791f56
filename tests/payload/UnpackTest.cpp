// The unpack procedure: a good blob, then each way a stored blob can be wrong, each crafted so
// that exactly one thing is off.
#include "PayloadTestSupport.h"

#include "payload/BlobFormat.h"
#include "payload/BlobUnpack.h"
#include "payload/Blowfish.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

struct Freed {
    void operator()(std::uint8_t* p) const { std::free(p); }
};
using Result = std::unique_ptr<std::uint8_t, Freed>;

class Unpack : public ::testing::Test {
public:
    void SetUp() override {
        const std::vector<std::uint8_t> block = TestKeyBlock();
        ASSERT_TRUE(guard.SetKeyBlock(block.data(), static_cast<std::uint32_t>(block.size())));
        for (int i = 0; i < 200; ++i)
            plain.push_back(static_cast<std::uint8_t>("keyboard layout "[i % 16] + i / 50));
        ASSERT_TRUE(
            DeflateRawZlib(plain.data(), static_cast<std::uint32_t>(plain.size()), 9, stream));
    }

    // A header that matches plain and stream; tests spoil one field.
    BlobHeader GoodHeader(std::uint32_t storedSize) const {
        BlobHeader h{};
        h.totalSize = storedSize;
        h.plainSize = static_cast<std::uint32_t>(plain.size());
        h.packedSize = static_cast<std::uint32_t>(stream.size());
        h.plainCrc = BlobCrc32(plain.data(), h.plainSize);
        h.packedCrc = BlobCrc32(stream.data(), h.packedSize);
        h.userValue = 4242;
        return h;
    }

    std::uint32_t GoodStoredSize() const {
        return static_cast<std::uint32_t>((kBlobHeaderSize + stream.size() + 7) & ~std::size_t{7});
    }

    std::vector<std::uint8_t> Seal(const BlobHeader& h, const std::vector<std::uint8_t>& body,
                                   std::uint32_t storedSize) const {
        std::vector<std::uint8_t> stored;
        EXPECT_TRUE(SealRaw(guard, h, body.data(), static_cast<std::uint32_t>(body.size()),
                            storedSize, stored));
        return stored;
    }

    // Unpacks a heap copy of exactly size bytes (so that the sanitizer sees any over-read) and
    // checks that a failure leaves the caller's size and user value alone.
    Result Run(const std::vector<std::uint8_t>& stored, std::uint32_t size, std::uint32_t& user) {
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[size == 0 ? 1 : size]);
        std::copy(stored.begin(), stored.begin() + std::min<std::size_t>(size, stored.size()),
                  exact.get());
        std::uint32_t inOut = size;
        user = 0xDEADBEEF;
        Result out(guard.Unpack(exact.get(), inOut, &user));
        if (!out) {
            EXPECT_EQ(inOut, size);
            EXPECT_EQ(user, 0xDEADBEEFu);
        } else {
            size = inOut;
        }
        lastSize = inOut;
        return out;
    }

    CGuard guard;
    std::vector<std::uint8_t> plain;
    std::vector<std::uint8_t> stream;
    std::uint32_t lastSize = 0;
};

TEST_F(Unpack, GoodBlobGivesPlainBytesSizeAndUserValue) {
    const std::uint32_t size = GoodStoredSize();
    const auto stored = Seal(GoodHeader(size), stream, size);
    std::uint32_t user = 0;
    Result out = Run(stored, size, user);
    ASSERT_TRUE(out);
    EXPECT_EQ(lastSize, plain.size());
    EXPECT_EQ(user, 4242u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.get(), out.get() + plain.size()), plain);
}

TEST_F(Unpack, UserValueIsOptional) {
    const std::uint32_t size = GoodStoredSize();
    const auto stored = Seal(GoodHeader(size), stream, size);
    std::uint32_t inOut = size;
    Result out(guard.Unpack(stored.data(), inOut));
    EXPECT_TRUE(out);
    EXPECT_EQ(inOut, plain.size());
}

TEST_F(Unpack, FillerMayHoldAnything) {
    const std::uint32_t size = GoodStoredSize() + 16;  // more filler than one block needs
    std::vector<std::uint8_t> body = stream;
    body.resize(size - kBlobHeaderSize, 0xA5);
    const auto stored = Seal(GoodHeader(size), body, size);
    std::uint32_t user = 0;
    EXPECT_TRUE(Run(stored, size, user));
}

TEST_F(Unpack, EmptyStreamWithPlainSizeZeroGivesATwoByteBufferAndSizeZero) {
    const std::vector<std::uint8_t> empty = {0x03, 0x00};  // final fixed block, end of block
    BlobHeader h{};
    h.totalSize = 32;
    h.packedSize = 2;
    h.packedCrc = BlobCrc32(empty.data(), 2);
    h.plainCrc = 0;
    h.userValue = 7;
    const auto stored = Seal(h, empty, 32);
    std::uint32_t user = 0;
    Result out = Run(stored, 32, user);
    ASSERT_TRUE(out);
    EXPECT_EQ(lastSize, 0u);
    EXPECT_EQ(user, 7u);
}

// Each case spoils one thing of an otherwise good blob; every one must fail.
struct BadCase {
    const char* name;
    std::function<void(const Unpack&, BlobHeader&, std::vector<std::uint8_t>& body,
                       std::uint32_t& storedSize, std::uint32_t& givenSize)>
        spoil;
};

TEST_F(Unpack, EveryFailureStepFailsAndLeavesTheCallersValues) {
    const BadCase cases[] = {
        {"totalSize differs from the given size",
         [](const Unpack&, BlobHeader& h, auto&, auto&, auto&) { h.totalSize += 8; }},
        {"given size smaller than stored (truncated blob)",
         [](const Unpack&, BlobHeader&, auto&, auto&, std::uint32_t& given) { given -= 8; }},
        {"given size larger than stored (oversized blob)",
         [](const Unpack&, BlobHeader&, auto&, std::uint32_t& stored, std::uint32_t& given) {
             stored += 8;
             given += 8;
         }},
        {"packedCrc mismatch",
         [](const Unpack&, BlobHeader& h, auto&, auto&, auto&) { h.packedCrc ^= 1; }},
        {"stream overflows plainSize",
         [](const Unpack& t, BlobHeader& h, auto&, auto&, auto&) {
             h.plainSize -= 1;
             h.plainCrc = BlobCrc32(t.plain.data(), h.plainSize);
         }},
        {"stream ends before plainSize",
         [](const Unpack&, BlobHeader& h, auto&, auto&, auto&) { h.plainSize += 1; }},
        {"stream cut short (packedSize and packedCrc of the shorter stream)",
         [](const Unpack& t, BlobHeader& h, auto&, auto&, auto&) {
             h.packedSize -= 3;
             h.packedCrc = BlobCrc32(t.stream.data(), h.packedSize);
         }},
        {"packedSize runs past totalSize",
         [](const Unpack&, BlobHeader& h, auto&, std::uint32_t& stored, auto&) {
             h.packedSize = stored - kBlobHeaderSize + 1;
         }},
        {"packedSize near 2^32",
         [](const Unpack&, BlobHeader& h, auto&, auto&, auto&) { h.packedSize = 0xFFFFFFF0u; }},
        {"plainCrc mismatch",
         [](const Unpack&, BlobHeader& h, auto&, auto&, auto&) { h.plainCrc ^= 0x80000000u; }},
        {"plainSize whose buffer size overflows 32 bits",
         [](const Unpack&, BlobHeader& h, auto&, auto&, auto&) { h.plainSize = 0xFFFFFFFFu; }},
        {"plainSize beyond any deflate expansion",
         [](const Unpack&, BlobHeader& h, auto&, auto&, auto&) { h.plainSize = 0x7FFFFFFEu; }},
        {"plainSize 0 with no stream at all",
         [](const Unpack&, BlobHeader& h, std::vector<std::uint8_t>& body, auto&, auto&) {
             body.clear();
             h.packedSize = 0;
             h.packedCrc = 0;
             h.plainSize = 0;
             h.plainCrc = 0;
         }},
        {"stored size 0",
         [](const Unpack&, BlobHeader&, auto&, auto&, std::uint32_t& given) { given = 0; }},
        {"stored size smaller than a header",
         [](const Unpack&, BlobHeader& h, std::vector<std::uint8_t>& body, std::uint32_t& stored,
            std::uint32_t& given) {
             body.clear();
             stored = 24;
             given = 16;
             h.totalSize = 16;
         }},
        {"given size not a multiple of 8",
         [](const Unpack&, BlobHeader&, auto&, auto&, std::uint32_t& given) { given -= 3; }},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t storedSize = GoodStoredSize();
        std::uint32_t given = storedSize;
        BlobHeader h = GoodHeader(storedSize);
        std::vector<std::uint8_t> body = stream;
        c.spoil(*this, h, body, storedSize, given);
        const auto stored = Seal(h, body, storedSize);
        std::uint32_t user = 0;
        EXPECT_FALSE(Run(stored, given, user));
    }
}

TEST_F(Unpack, EveryFlippedBitFails) {
    const std::uint32_t size = GoodStoredSize();
    const auto good = Seal(GoodHeader(size), stream, size);
    for (std::size_t byte = 0; byte < good.size(); ++byte) {
        auto bad = good;
        bad[byte] ^= static_cast<std::uint8_t>(1u << (byte % 8));
        std::uint32_t user = 0;
        EXPECT_FALSE(Run(bad, size, user)) << "byte " << byte;
    }
}

TEST_F(Unpack, FailsWithoutAKeyOrUnderAnotherKey) {
    const std::uint32_t size = GoodStoredSize();
    const auto stored = Seal(GoodHeader(size), stream, size);

    CGuard other;
    std::uint32_t inOut = size;
    EXPECT_EQ(other.Unpack(stored.data(), inOut), nullptr);
    const std::vector<std::uint8_t> otherBlock = TestKeyBlock(CGuard::kBlockLength, 99);
    ASSERT_TRUE(other.SetKeyBlock(otherBlock.data(), CGuard::kBlockLength));
    EXPECT_EQ(other.Unpack(stored.data(), inOut), nullptr);
    EXPECT_EQ(other.Unpack(nullptr, inOut), nullptr);
    EXPECT_EQ(inOut, size);
}

TEST(UnpackBlob, KeysLongerThan72BytesGiveTheScheduleOfTheirFirst72) {
    std::vector<std::uint8_t> key(495);
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i * 13 + 5);
    const std::vector<std::uint8_t> plain = Bytes("Kreska layout library, pretend bytes");
    std::vector<std::uint8_t> stream;
    ASSERT_TRUE(DeflateRawZlib(plain.data(), static_cast<std::uint32_t>(plain.size()), 9, stream));
    BlobHeader h{};
    h.plainSize = static_cast<std::uint32_t>(plain.size());
    h.packedSize = static_cast<std::uint32_t>(stream.size());
    h.totalSize =
        static_cast<std::uint32_t>((kBlobHeaderSize + stream.size() + 7) & ~std::size_t{7});
    h.plainCrc = BlobCrc32(plain.data(), h.plainSize);
    h.packedCrc = BlobCrc32(stream.data(), h.packedSize);
    std::vector<std::uint8_t> stored(h.totalSize, 0);
    WriteBlobHeader(h, stored.data());
    std::copy(stream.begin(), stream.end(), stored.begin() + kBlobHeaderSize);
    CBlowfish cipher;  // enciphered under the first 72 bytes only
    ASSERT_TRUE(cipher.SetKey(key.data(), 72));
    cipher.EncryptEcb(stored.data(), stored.data(), h.totalSize);

    for (std::uint32_t length : {72u, 73u, 100u, 495u}) {
        std::uint32_t size = h.totalSize;
        Result out(UnpackBlob(key.data(), length, stored.data(), size, nullptr));
        ASSERT_TRUE(out) << length;
        EXPECT_EQ(std::vector<std::uint8_t>(out.get(), out.get() + size), plain);
    }
    std::uint32_t size = h.totalSize;
    EXPECT_EQ(UnpackBlob(key.data(), 71, stored.data(), size, nullptr), nullptr);
}

}  // namespace
