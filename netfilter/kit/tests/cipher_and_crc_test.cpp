#include <kit/blowfish.h>
#include <kit/file_check.h>
#include <kit/key_table.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Reverses the bytes of each 32-bit word: the files' block order against the
// published (big-endian) test vectors.
std::vector<std::uint8_t> SwapWords(std::vector<std::uint8_t> v)
{
    for (std::size_t i = 0; i + 4 <= v.size(); i += 4)
        std::swap(v[i], v[i + 3]), std::swap(v[i + 1], v[i + 2]);
    return v;
}

struct Vector {
    std::vector<std::uint8_t> key, plain, cipher;  // as published, big-endian words
};

TEST(BlowFishEnc, MatchesPublishedVectorsWithLittleEndianWords)
{
    const Vector vectors[] = {
        {{0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, {0x4E, 0xF9, 0x97, 0x45, 0x61, 0x98, 0xDD, 0x78}},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         {0x51, 0x86, 0x6F, 0xD5, 0xB8, 0x5E, 0xCB, 0x8A}},
        {{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF},
         {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11},
         {0x61, 0xF9, 0xC3, 0x80, 0x22, 0x81, 0xB0, 0x96}},
    };
    for (const Vector& v : vectors) {
        BlowFishEnc cipher(std::string_view(reinterpret_cast<const char*>(v.key.data()), v.key.size()));
        ASSERT_TRUE(cipher.valid());
        const auto plain = SwapWords(v.plain);
        std::vector<std::uint8_t> out(8);
        EXPECT_EQ(cipher.Encrypt(plain.data(), 8, out.data()), 8u);
        EXPECT_EQ(out, SwapWords(v.cipher));
        EXPECT_EQ(cipher.Decrypt(out.data(), 8, out.data()), 8u);
        EXPECT_EQ(out, plain);
    }
}

TEST(BlowFishEnc, EncryptPadsAndDecryptLeavesAPartialBlockAlone)
{
    BlowFishEnc cipher(nfkit::KeyText(0));
    const std::string text = "eleven byte";  // 11 bytes: one and a bit blocks
    std::vector<std::uint8_t> out(16, 0xAA);
    ASSERT_EQ(cipher.Encrypt(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), out.data()), 16u);

    std::vector<std::uint8_t> back = out;
    EXPECT_EQ(cipher.Decrypt(back.data(), 16, back.data()), 16u);
    EXPECT_EQ(std::string(back.begin(), back.begin() + 11), text);
    EXPECT_EQ(std::vector<std::uint8_t>(back.begin() + 11, back.end()), std::vector<std::uint8_t>(5, 0));

    // 13 bytes: one whole block is deciphered, the 5 bytes after it untouched.
    std::vector<std::uint8_t> partial(out.begin(), out.begin() + 13);
    const std::vector<std::uint8_t> tail(partial.begin() + 8, partial.end());
    EXPECT_EQ(cipher.Decrypt(partial.data(), partial.size(), partial.data()), 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(partial.begin() + 8, partial.end()), tail);
}

TEST(KeyTable, HoldsFourPrintableKeysOf24Characters)
{
    for (int i = 0; i < nfkit::kKeyCount; ++i) {
        const auto key = nfkit::KeyText(i);
        ASSERT_EQ(key.size(), 24u);
        for (char c : key)
            EXPECT_TRUE(c > 0x20 && c < 0x7F);
    }
    EXPECT_TRUE(nfkit::KeyText(4).empty());
    EXPECT_TRUE(nfkit::KeyText(-1).empty());
}

TEST(Crc32From, IsTheStandardCrcOfTheTail)
{
    const std::string text = "xx123456789";
    std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    EXPECT_EQ(nfkit::Crc32From(bytes, 2), 0xCBF43926u);
    EXPECT_EQ(nfkit::Crc32From(bytes, text.size()), 0u);
    EXPECT_EQ(nfkit::Crc32From(bytes, text.size() + 5), 0u);
}

}  // namespace
