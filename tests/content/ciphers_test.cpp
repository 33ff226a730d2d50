// The three block ciphers and MD5 against published vectors, their key-length rules, the key
// derivation, and deciphering of malformed input.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "content/blow_fish.h"
#include "content/crypt_header.h"
#include "content/digest_md5.h"
#include "content/rijndael.h"
#include "content/two_fish.h"
#include "content/cipher_test_support.h"
#include "core/string_buffer.h"
#include "recording_log.h"

namespace quorvel {
namespace {

using test::Bytes;
using test::hex;
using test::toHex;

// Enciphers whole blocks (the padding block the cipher adds is cut off) and deciphers them back.
void checkVector(SymmetricAlgorithm2& cipher, const std::string& plain, const std::string& expected) {
    DataBuffer in, out, back;
    test::fill(in, hex(plain));
    ASSERT_TRUE(cipher.encryptBuffer(in, out));
    ASSERT_EQ(out.size(), (in.size() / 16 + 1) * 16);  // padding scheme 0 fills to 16 bytes
    EXPECT_EQ(toHex(out.data(), in.size()), expected);
    ASSERT_TRUE(cipher.decryptRaw(out.data(), in.size(), back));
    EXPECT_EQ(toHex(back), plain);
}

TEST(Ciphers, AesMatchesFips197AndSp800_38a) {
    const std::string sp800plain =
        "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
        "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
    struct Case {
        int bits;
        bool cbc;
        std::string key, iv, plain, cipher;
    } cases[] = {
        {128, false, "000102030405060708090a0b0c0d0e0f", "", "00112233445566778899aabbccddeeff",
         "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {192, false, "000102030405060708090a0b0c0d0e0f1011121314151617", "", "00112233445566778899aabbccddeeff",
         "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {256, false, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "",
         "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
        {128, true, "2b7e151628aed2a6abf7158809cf4f3c", "000102030405060708090a0b0c0d0e0f", sp800plain,
         "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
         "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
        {192, true, "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b", "000102030405060708090a0b0c0d0e0f",
         sp800plain,
         "4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a"
         "571b242012fb7ae07fa9baac3df102e008b0e27988598881d920a9e64f5615cd"},
        {256, true, "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
         "000102030405060708090a0b0c0d0e0f", sp800plain,
         "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
         "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cipher);
        Rijndael2 aes;
        EXPECT_EQ(aes.setKeyLength(c.bits), c.bits);
        if (c.cbc) {
            aes.setMode(CipherMode::Cbc);
            aes.setIv(hex(c.iv).data());
        } else {
            aes.setMode(CipherMode::Ecb);
        }
        Bytes key = hex(c.key);
        aes.setKeyMaterial(key.data(), key.size());
        checkVector(aes, c.plain, c.cipher);
    }
}

TEST(Ciphers, TwofishMatchesThePapersKnownAnswers) {
    struct Case {
        int bits;
        std::string key, cipher;
    } cases[] = {
        {128, "00000000000000000000000000000000", "9f589f5cf6122c32b6bfec2f2ae8c35a"},
        {192, "0123456789abcdeffedcba98765432100011223344556677", "cfd1d2e5a9be9cdf501f13b892bd2248"},
        {256, "0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff", "37527be0052334b89f0cfccae87cfa20"},
    };
    for (const Case& c : cases) {
        // With the built-in zero IV a first CBC block is the ECB block: both modes give the vector.
        for (bool cbc : {false, true}) {
            SCOPED_TRACE(c.cipher + (cbc ? " cbc" : " ecb"));
            TwoFish twofish;
            EXPECT_EQ(twofish.setKeyLength(c.bits), c.bits);
            twofish.setMode(cbc ? CipherMode::Cbc : CipherMode::Ecb);
            Bytes key = hex(c.key);
            twofish.setKeyMaterial(key.data(), key.size());
            checkVector(twofish, "00000000000000000000000000000000", c.cipher);
        }
    }
}

// Swaps the bytes of each 32-bit word of a hex text.
std::string swapWords(const std::string& h) {
    std::string s;
    for (size_t i = 0; i < h.size(); i += 8)
        for (int j = 6; j >= 0; j -= 2) s += h.substr(i + j, 2);
    return s;
}

TEST(Ciphers, BlowfishMatchesTheClassicVectorsAfterAWordSwap) {
    struct Case {
        std::string key, plain, cipher;
    } cases[] = {
        {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
        {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
        {"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
        {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
        {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
        // The variable-length set, from 40 bits (below Nettle's own minimum) up.
        {"f0e1d2c3b4", "fedcba9876543210", "b39e44481bdb1e6e"},
        {"f0e1d2c3b4a5", "fedcba9876543210", "9457aa83b1928c0d"},
        {"f0e1d2c3b4a596", "fedcba9876543210", "8bb77032f960629d"},
        {"f0e1d2c3b4a5968778695a4b3c2d1e0f0011223344556677", "fedcba9876543210", "05044b62fa52d080"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        BlowFish blowfish;
        Bytes key = hex(c.key);
        EXPECT_EQ(blowfish.setKeyLength(static_cast<int>(key.size() * 8)), static_cast<int>(key.size() * 8));
        blowfish.setKeyMaterial(key.data(), key.size());
        checkVector(blowfish, swapWords(c.plain), swapWords(c.cipher));
    }
}

TEST(Ciphers, Md5MatchesRfc1321) {
    const std::pair<std::string, std::string> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : suite) {
        uint8_t fromString[16], fromData[16], inPieces[16];
        DigestMD5::digest(StringBuffer(text.c_str()), fromString);
        DataBuffer data;
        data.append(text.data(), static_cast<uint32_t>(text.size()));
        DigestMD5::digest(data, fromData);
        HmacMD5 md5;
        for (char ch : text) md5.update(&ch, 1);
        md5.final(inPieces);
        EXPECT_EQ(toHex(fromString, 16), digest) << text;
        EXPECT_EQ(toHex(fromData, 16), digest) << text;
        EXPECT_EQ(toHex(inPieces, 16), digest) << text;
    }
}

TEST(Ciphers, KeyLengthRules) {
    const std::pair<int, int> aes[] = {{100, 128}, {128, 128}, {129, 192}, {192, 192}, {193, 256}, {-5, 128}, {1 << 30, 256}};
    const std::pair<int, int> blowfish[] = {{20, 40}, {-1, 40}, {40, 40}, {131, 128}, {447, 440}, {448, 448}, {1000, 448}};
    for (auto [bits, chosen] : aes) {
        EXPECT_EQ(Rijndael2().setKeyLength(bits), chosen) << bits;
        EXPECT_EQ(TwoFish().setKeyLength(bits), chosen) << bits;
    }
    for (auto [bits, chosen] : blowfish) EXPECT_EQ(BlowFish().setKeyLength(bits), chosen) << bits;
    EXPECT_EQ(Rijndael2().keyLength(), 256);
    EXPECT_EQ(TwoFish().keyLength(), 256);
    EXPECT_EQ(BlowFish().keyLength(), 128);
}

TEST(Ciphers, KeyDerivation) {
    // MD5 of the bytes, then MD5 of their base64 (worked out with Python's hashlib and base64).
    const std::pair<std::string, std::string> cases[] = {
        {"secret", "5ebe2294ecd0e0f08eab7690d2a6ee699e9962d184ac052cd8cc4bac9633c848"},
        {"p\xC3\xA4ss", "9cb017269b4d82e205ab28e304372ea6316874365c2a30fda46a88634bcd926e"},
        {"p\xE4ss", "6d3c82fee0888c83203492f7d41b823308683dec8a9686ce4ce6b415de308d78"},
        {"vexmira", "c1b8e516a582827281c72df0ec4aa121172462d4e6161de49ca217b375fcc423"},
    };
    for (const auto& [password, material] : cases) {
        BlowFish cipher;
        cipher.setPassword(password.data(), password.size());
        EXPECT_EQ(toHex(cipher.keyMaterial()), material);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(cipher.keyText().data()), cipher.keyText().size()), password);
    }
    // A fresh cipher is keyed from the built-in string; a password stops at its first zero byte.
    Rijndael2 fresh, cut;
    cut.setPassword("vexmira\0tail", 12);
    EXPECT_EQ(toHex(fresh.keyMaterial()), cases[3].second);
    EXPECT_EQ(toHex(cut.keyMaterial()), cases[3].second);
    EXPECT_EQ(cut.keyText().size(), 7u);
}

TEST(Ciphers, LogMessagesAndPartialBlocks) {
    RecordingLog log;
    Rijndael2 aes(&log);
    DataBuffer in, out;
    uint8_t block[16] = {}, result[16];
    ASSERT_TRUE(aes.decryptBuffer(in, out));
    EXPECT_FALSE(aes.encryptChunk(block, result));
    ASSERT_TRUE(aes.initialize(Rijndael2::kDecrypt));
    EXPECT_FALSE(aes.encryptChunk(block, result));
    EXPECT_TRUE(aes.decryptChunk(block, result));
    EXPECT_EQ(log.take(), (std::vector<std::string>{"I:No data to decrypt using Rijndael", "E:Rijndael not initialized",
                                                    "E:Bad direction for Rijndael encryption"}));
    // Only whole blocks are deciphered, and padding is never taken past the start.
    BlowFish blowfish;
    TwoFish twofish;
    for (uint32_t n : {1u, 7u, 15u, 17u, 33u}) {
        in.clear();
        for (uint32_t i = 0; i < n; ++i) in.appendByte(static_cast<uint8_t>(0xF0 + i));
        for (SymmetricAlgorithm2* c : std::initializer_list<SymmetricAlgorithm2*>{&aes, &blowfish, &twofish}) {
            ASSERT_TRUE(c->decryptBuffer(in, out));
            EXPECT_LE(out.size(), n);
        }
    }
}

TEST(Ciphers, HeaderLayout) {
    uint8_t bytes[CryptHeader::kSize];
    BlowFish blowfish;
    blowfish.setKeyLength(40);
    CryptHeader header, back;
    blowfish.fillHeader(header);
    header.plainLength = 0x01020304;
    header.write(bytes);
    EXPECT_EQ(toHex(bytes, sizeof bytes), "7665786d697261000200010004030201" "2800000000000000");
    ASSERT_TRUE(back.read(bytes, sizeof bytes));
    EXPECT_EQ(std::tuple(back.algorithm, back.mode, back.plainLength, back.keyBits),
              std::tuple(uint8_t{2}, CipherMode::Cbc, 0x01020304u, 40));
    EXPECT_FALSE(back.read(bytes, sizeof bytes - 1));
    bytes[9] = CryptHeader::kStoredEcb;  // a stored ECB header, as other producers write it
    bytes[16] = 192;
    ASSERT_TRUE(back.read(bytes, sizeof bytes));
    TwoFish twofish;
    twofish.applyHeader(back);
    EXPECT_EQ(std::pair(twofish.mode(), twofish.keyLength()), std::pair(CipherMode::Ecb, 192));
}

}  // namespace
}  // namespace quorvel
