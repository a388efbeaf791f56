// The cipher against the published Blowfish test vectors (whose words are big-endian, so every
// 4-byte group is swapped into our little-endian block order) and, where Debian's nettle is
// available, against nettle on random keys and blocks.
#include "payload/Blowfish.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#ifdef KB_HAVE_NETTLE
#include <nettle/blowfish.h>
#endif

namespace {

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Reverses each 4-byte group: big-endian word order to little-endian and back.
std::vector<std::uint8_t> SwapWords(std::vector<std::uint8_t> bytes) {
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
        std::swap(bytes[i], bytes[i + 3]);
        std::swap(bytes[i + 1], bytes[i + 2]);
    }
    return bytes;
}

struct Vector {
    std::string key;  // hex, or text when keyIsText
    std::string plain;
    std::string cipher;
    bool keyIsText = false;
    bool plainIsText = false;
};

// Eric Young's variable-plaintext/key vectors and two of Bruce Schneier's text-key vectors.
const Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    {"abcdefghijklmnopqrstuvwxyz", "BLOWFISH", "324ED0FEF413A203", true, true},
    {"Who is John Galt?", "FEDCBA9876543210", "CC91732B8022F684", true, false},
};

std::vector<std::uint8_t> Bytes(const std::string& s, bool isText) {
    return isText ? std::vector<std::uint8_t>(s.begin(), s.end()) : FromHex(s);
}

TEST(Blowfish, PublishedVectorsInLittleEndianWordOrder) {
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(v.key + " / " + v.plain);
        const std::vector<std::uint8_t> key = Bytes(v.key, v.keyIsText);
        const std::vector<std::uint8_t> plain = SwapWords(Bytes(v.plain, v.plainIsText));
        const std::vector<std::uint8_t> expected = SwapWords(FromHex(v.cipher));

        CBlowfish cipher;
        ASSERT_TRUE(cipher.SetKey(key.data(), static_cast<std::uint32_t>(key.size())));
        std::vector<std::uint8_t> block = plain;
        cipher.EncryptEcb(block.data(), block.data(), 8);
        EXPECT_EQ(block, expected);

        std::vector<std::uint8_t> back(8);
        cipher.DecryptEcb(expected.data(), back.data(), 8);
        EXPECT_EQ(back, plain);
    }
}

TEST(Blowfish, BlockWordsAreLittleEndian) {
    const std::vector<std::uint8_t> key = FromHex("0123456789ABCDEF");
    CBlowfish cipher;
    ASSERT_TRUE(cipher.SetKey(key.data(), 8));
    std::uint32_t left = 0x11111111;
    std::uint32_t right = 0x11111111;
    cipher.EncryptBlock(left, right);
    EXPECT_EQ(left, 0x61F9C380u);
    EXPECT_EQ(right, 0x2281B096u);
    const std::uint8_t bytes[8] = {0x80, 0xC3, 0xF9, 0x61, 0x96, 0xB0, 0x81, 0x22};
    std::uint8_t out[8];
    cipher.DecryptEcb(bytes, out, 8);
    for (std::uint8_t b : out) EXPECT_EQ(b, 0x11);
}

TEST(Blowfish, KeysLongerThan72BytesActLikeTheirFirst72) {
    std::vector<std::uint8_t> key(100);
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i * 7 + 3);
    CBlowfish full;
    CBlowfish cut;
    ASSERT_TRUE(full.SetKey(key.data(), 100));
    ASSERT_TRUE(cut.SetKey(key.data(), 72));
    std::uint32_t l1 = 1, r1 = 2, l2 = 1, r2 = 2;
    full.EncryptBlock(l1, r1);
    cut.EncryptBlock(l2, r2);
    EXPECT_EQ(l1, l2);
    EXPECT_EQ(r1, r2);

    CBlowfish shorter;  // 71 bytes repeat cyclically, so byte 71 differs from byte 0
    ASSERT_TRUE(shorter.SetKey(key.data(), 71));
    std::uint32_t l3 = 1, r3 = 2;
    shorter.EncryptBlock(l3, r3);
    EXPECT_FALSE(l3 == l1 && r3 == r1);
}

TEST(Blowfish, RefusesAnEmptyKey) {
    const std::uint8_t byte = 0;
    CBlowfish cipher;
    EXPECT_FALSE(cipher.SetKey(&byte, 0));
    EXPECT_FALSE(cipher.SetKey(nullptr, 8));
}

TEST(Blowfish, EcbInPlaceAndToAnotherBufferAgreeAndSizeZeroDoesNothing) {
    const std::uint8_t key[3] = {1, 2, 3};
    CBlowfish cipher;
    ASSERT_TRUE(cipher.SetKey(key, 3));
    std::vector<std::uint8_t> data(40);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    std::vector<std::uint8_t> enc(40);
    cipher.EncryptEcb(data.data(), enc.data(), 40);
    // electronic code book: equal blocks give equal blocks, each independent
    std::vector<std::uint8_t> second(enc.begin() + 8, enc.begin() + 16);
    std::vector<std::uint8_t> lone(8);
    cipher.EncryptEcb(data.data() + 8, lone.data(), 8);
    EXPECT_EQ(second, lone);

    std::vector<std::uint8_t> inPlace = enc;
    cipher.DecryptEcb(inPlace.data(), inPlace.data(), 40);
    EXPECT_EQ(inPlace, data);

    std::vector<std::uint8_t> untouched(8, 0xAA);
    cipher.DecryptEcb(enc.data(), untouched.data(), 0);
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(8, 0xAA));
}

TEST(Blowfish, PartialFinalBlockReadsOnlyTheGivenBytes) {
    const std::uint8_t key[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    CBlowfish cipher;
    ASSERT_TRUE(cipher.SetKey(key, 8));
    // A heap copy of exactly 11 bytes lets the address sanitizer catch any read past them.
    std::vector<std::uint8_t> source(11, 0x5A);
    std::vector<std::uint8_t> out(16);
    cipher.DecryptEcb(source.data(), out.data(), 11);
    std::vector<std::uint8_t> padded(16, 0);
    std::memcpy(padded.data(), source.data(), 11);
    std::vector<std::uint8_t> expected(16);
    cipher.DecryptEcb(padded.data(), expected.data(), 16);
    EXPECT_EQ(out, expected);
}

#ifdef KB_HAVE_NETTLE
TEST(Blowfish, AgreesWithNettleOnRandomKeysAndBlocks) {
    std::mt19937 random(20261211);
    for (std::uint32_t length = 1; length <= 100; ++length) {
        std::vector<std::uint8_t> key(length);
        for (auto& b : key) b = static_cast<std::uint8_t>(random());
        CBlowfish ours;
        ASSERT_TRUE(ours.SetKey(key.data(), length));
        blowfish_ctx theirs;
        blowfish_set_key(&theirs, length, key.data());  // result only flags weak keys
        for (int n = 0; n < 8; ++n) {
            std::vector<std::uint8_t> plain(32);
            for (auto& b : plain) b = static_cast<std::uint8_t>(random());
            std::vector<std::uint8_t> expected(32);
            blowfish_encrypt(&theirs, 32, expected.data(), plain.data());
            std::vector<std::uint8_t> mine = SwapWords(plain);
            ours.EncryptEcb(mine.data(), mine.data(), 32);
            ASSERT_EQ(mine, SwapWords(expected)) << "key length " << length;
            ours.DecryptEcb(mine.data(), mine.data(), 32);
            ASSERT_EQ(mine, SwapWords(plain)) << "key length " << length;
        }
    }
}
#endif

}  // namespace
