// The interop front end against independent tools: the openssl command line for the stored form,
// Python's cryptography for header-framed data, and the Twofish paper's vectors.
#include <gtest/gtest.h>

#include <string>

#include "content/aes_interop.h"
#include "content/cipher_test_support.h"

namespace quorvel {
namespace {

using namespace test;

TEST(AesInterop, StoredFormIsOpensslAes128CbcWithZeroIvAndTheMd5Key) {
    const std::string password = "Correct horse";
    const std::string openssl = "openssl enc -aes-128-cbc -nosalt -K " + md5Hex(password) + " -iv " + std::string(32, '0');
    ClsAesInterop aes;
    aes.SetPassword(password.data(), password.size());
    for (size_t n : {1, 16, 17, 70000}) {
        SCOPED_TRACE(n);
        const Bytes plain = sample(n);
        DataBuffer in, ours, back;
        fill(in, plain);
        ASSERT_TRUE(aes.EncryptBytes(in, ours));
        EXPECT_EQ(ours.size(), (n / 16 + 1) * 16);
        int status = -1;
        EXPECT_EQ(runTool(openssl + " -d", bytesOf(ours), &status), plain);
        EXPECT_EQ(status, 0);
        const Bytes theirs = runTool(openssl, plain, &status);
        ASSERT_EQ(status, 0);
        fill(in, theirs);
        ASSERT_TRUE(aes.DecryptBytes(in, back));
        EXPECT_EQ(bytesOf(back), plain);
    }
    DataBuffer empty, out;
    out.append("x", 1);
    ASSERT_TRUE(aes.EncryptBytes(empty, out));
    EXPECT_EQ(out.size(), 0u);
}

// The key material itself is Ciphers.KeyDerivation's; wrong keys are told apart by every vector.
TEST(AesInterop, AnEmptyPasswordKeepsTheKeyThereIs) {
    ClsAesInterop aes;
    aes.SetPassword("", 0);
    EXPECT_EQ(toHex(aes.key()), std::string(32, '0'));
    aes.SetPassword("secret", 6);
    aes.SetPassword("", 0);
    EXPECT_EQ(toHex(aes.key()), "5ebe2294ecd0e0f08eab7690d2a6ee699e9962d184ac052cd8cc4bac9633c848");
}

TEST(AesInterop, FramedDataFromAnIndependentProducer) {
    struct Case {
        int algorithm, bits;
        const char* password;
    } cases[] = {{1, 128, "pw"}, {1, 192, "pw"}, {1, 256, "pw"}, {1, 256, ""},  {2, 40, "pw"},
                 {2, 64, "pw"},  {2, 128, "pw"}, {2, 256, "pw"}, {2, 448, "pw"}, {2, 128, ""}};
    const size_t lengths[] = {0, 1, 8, 16, 17, 333};
    std::string command = std::string(kPython) + " " + contentTestDir() + "/cipher_tool.py frame";
    for (const Case& c : cases)
        for (size_t n : lengths)
            command += " " + std::to_string(c.algorithm) + ":" + std::to_string(c.bits) + ":" + c.password + ":" + std::to_string(n);
    int status = -1;
    const Bytes all = runTool(command, sample(333), &status);
    ASSERT_EQ(status, 0);
    size_t at = 0;
    for (const Case& c : cases) {
        for (size_t n : lengths) {
            SCOPED_TRACE(std::to_string(c.algorithm) + "/" + std::to_string(c.bits) + "/" + c.password + " n=" + std::to_string(n));
            ASSERT_LE(at + 4, all.size());
            const size_t size = all[at] | all[at + 1] << 8 | all[at + 2] << 16 | size_t{all[at + 3]} << 24;
            ASSERT_LE(at + 4 + size, all.size());
            ClsAesInterop aes;
            aes.SetPassword(c.password, std::char_traits<char>::length(c.password));
            DataBuffer in, out;
            in.append(all.data() + at + 4, static_cast<uint32_t>(size));
            at += 4 + size;
            ASSERT_TRUE(aes.DecryptBytes(in, out));
            EXPECT_EQ(bytesOf(out), Bytes(sample(n)));
        }
    }
}

TEST(AesInterop, FramedTwofishFromThePublishedVectors) {
    // Without a password the key is zero bytes, the key of the paper's first known answers. The
    // second entry of a table, the first one's output enciphered again under the same key, is a
    // CBC chain from a zero IV over two zero blocks (given here for 128 and 192 bits).
    struct Case {
        uint32_t bits;
        std::string first, second;
    } cases[] = {
        {128, "9f589f5cf6122c32b6bfec2f2ae8c35a", "d491db16e7b1c39e86cb086b789f5419"},
        {192, "efa71f788965bd4453f860178fc19101", "88b2b2706b105e36b446bb6d731a1e88"},
        {256, "57ff739d4dc92c1bd7fc01700cc8216f", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        ClsAesInterop aes;
        DataBuffer in, out;
        if (!c.second.empty()) {
            fill(in, framed(3, c.bits, 32, hex(c.first + c.second)));
            ASSERT_TRUE(aes.DecryptBytes(in, out));
            EXPECT_EQ(toHex(out), std::string(64, '0'));
        }
        fill(in, framed(3, c.bits, 5, hex(c.first)));
        ASSERT_TRUE(aes.DecryptBytes(in, out));
        EXPECT_EQ(toHex(out), std::string(10, '0'));
    }
}

Bytes cut(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

TEST(AesInterop, MalformedFramesWriteNothingOrAtMostTheCiphertext) {
    const Bytes block(16, 0xAB);
    struct Case {
        Bytes input;
        size_t size;
    } cases[] = {
        {Bytes{'v', 'e', 'x', 'm', 'i', 'r', 'a'}, 0},           // magic alone
        {cut(framed(1, 128, 16, {}), 23), 0},                   // 23 bytes
        {framed(9, 128, 16, block), 0},                          // unknown algorithm
        {framed(0, 128, 16, block), 0},
        {framed(1, 128, 0, block), 0},                           // plain length 0
        {framed(1, 128, 0xFFFFFFFF, block), 16},                 // more than there is
        {framed(1, 0xFFFFFFFF, 16, block), 16},                  // absurd key lengths
        {framed(2, 0x7FFFFFFF, 16, block), 16},
        {framed(3, 0x80000000, 16, block), 16},
        {framed(1, 128, 16, {}), 0},                             // header only
        {framed(1, 128, 16, Bytes(15, 1)), 15},                  // partial blocks
        {framed(2, 128, 100, Bytes(13, 1)), 13},
        {framed(3, 256, 100, Bytes(31, 1)), 31},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        ClsAesInterop aes;
        aes.SetPassword("pw", 2);
        DataBuffer in, out;
        fill(in, cases[i].input);
        out.append("stale", 5);
        ASSERT_TRUE(aes.DecryptBytes(in, out)) << i;
        EXPECT_EQ(out.size(), cases[i].size) << i;
    }
}

}  // namespace
}  // namespace quorvel
