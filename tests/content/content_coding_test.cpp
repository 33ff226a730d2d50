#include "content/content_coding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "content_test_support.h"
#include "core/data_buffer.h"
#include "core/string_buffer.h"

namespace quorvel {
namespace {

const ContentCoding coding;

std::string lines(const std::string& bytes) {
    StringBuffer out;
    coding.encodeBase64Lines(bytes.data(), static_cast<uint32_t>(bytes.size()), out);
    return std::string(out.view());
}

std::string decoded(const std::string& text) {
    uint32_t n = 12345;
    uint8_t* block = coding.decodeBase64(text.data(), static_cast<uint32_t>(text.size()), &n);
    std::string s(reinterpret_cast<const char*>(block), block ? n : 0);
    if (!block) {
        EXPECT_EQ(n, 0u);
    }
    std::free(block);
    return s;
}

std::string qDecoded(const std::string& text, int32_t length) {
    uint32_t n = 0;
    uint8_t* block = coding.decodeQ(text.c_str(), length, &n);
    std::string s(reinterpret_cast<const char*>(block), n);
    std::free(block);
    return s;
}

std::string words(const std::string& text, bool q) {
    DataBuffer out;
    q ? coding.decodeQWords(text.c_str(), out) : coding.decodeBWords(text.c_str(), out);
    return std::string(reinterpret_cast<const char*>(out.data()), out.size());
}

// RFC 4648 section 10 vectors, unbroken and as the block form.
TEST(ContentCoding, Base64PublishedVectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
        StringBuffer out("x");
        coding.encodeBase64(plain, static_cast<uint32_t>(std::strlen(plain)), out);
        EXPECT_EQ(out.view(), std::string("x") + encoded);
        uint32_t len = 99;
        char* block = coding.encodeBase64Block(plain, static_cast<uint32_t>(std::strlen(plain)), &len);
        EXPECT_STREQ(block, encoded);
        EXPECT_EQ(len, std::strlen(encoded));
        std::free(block);
        EXPECT_EQ(decoded(encoded), plain);
        if (*plain) {
            EXPECT_EQ(lines(plain), std::string(encoded) + "\r\n");
        }
    }
}

// The line layout of the stored form, against an independent encoder: every line but the last
// holds 72 characters, every line ends in CR LF, and a multiple of 54 bytes ends in an empty line.
TEST(ContentCoding, Base64LinesLayoutAndRoundTrip) {
    EXPECT_EQ(lines(""), "");
    EXPECT_EQ(lines("A"), "QQ==\r\n");
    std::mt19937 rng(7);
    for (size_t n : {1, 2, 3, 53, 54, 55, 107, 108, 109, 162, 1000, 65536, 100001}) {
        std::string bytes(n, '\0');
        for (auto& c : bytes) c = static_cast<char>(rng());
        const std::string text = lines(bytes);
        const std::string expected = test::opensslBase64(bytes);
        std::string joined;
        size_t pos = 0;
        size_t count = 0;
        while (pos < text.size()) {
            const size_t eol = text.find("\r\n", pos);
            ASSERT_NE(eol, std::string::npos) << n;
            ASSERT_LE(eol - pos, 72u) << n;
            const bool last = eol + 2 == text.size();
            if (!last) {
                EXPECT_EQ(eol - pos, 72u) << n;
            }
            joined += text.substr(pos, eol - pos);
            pos = eol + 2;
            ++count;
        }
        EXPECT_EQ(joined, expected) << n;
        EXPECT_EQ(count, n / 54 + 1) << n;
        EXPECT_EQ(n % 54 == 0, text.size() >= 4 && text.compare(text.size() - 4, 4, "\r\n\r\n") == 0) << n;
        EXPECT_EQ(decoded(text), bytes) << n;
        EXPECT_EQ(decoded(expected), bytes) << n;
    }
}

// The decoder is lenient and stops early; it never reads past the length it is given.
TEST(ContentCoding, Base64LenientDecoding) {
    const std::pair<std::string, std::string> cases[] = {
        {"QUJD\r\nREVG", "ABCDEF"},
        {"QQ==", "A"},
        {"QUI=", "AB"},
        {"Q U\tJ\nD", "ABC"},
        {"QUJD=REVG", "ABC"},             // "=" ends the text
        {std::string("QUJD\0REVG", 9), "ABC"},  // so does NUL
        {"QUJ", "AB"},                     // 3 characters: 2 bytes, left-over bits dropped
        {"QU", "A"},
        {"Q", ""},                         // a lone character gives nothing
        {"Q!U*J~D", "ABC"},                // bytes outside the alphabet are skipped
        {"\xff\x80QUJD", "ABC"},
        {"\r\n\r\n", ""},
    };
    for (const auto& [text, plain] : cases) EXPECT_EQ(decoded(text), plain) << text;
    uint32_t n = 5;
    EXPECT_EQ(coding.decodeBase64("QUJD", 0, &n), nullptr);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(decoded(std::string("QUJDREVG").substr(0, 4)), "ABC");
    DataBuffer out;
    out.append("x", 1);
    coding.decodeBase64("QUJD\r\n", 6, out);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), out.size()), "xABC");
}

TEST(ContentCoding, QEncodingBothWays) {
    uint32_t len = 0;
    const std::string all = [] {
        std::string s;
        for (int c = 0; c < 256; ++c) s += static_cast<char>(c);
        return s;
    }();
    char* q = coding.encodeQ("a b=c?", 6, &len);
    EXPECT_STREQ(q, "a_b=3Dc=3F");
    EXPECT_EQ(len, 10u);
    std::free(q);
    q = coding.encodeQ(all.data(), 256, &len);
    // Every byte comes back, apart from nothing: encodeQ writes only what decodeQ keeps.
    EXPECT_EQ(qDecoded(std::string(q, len), static_cast<int32_t>(len)), all);
    EXPECT_EQ(std::string(q, len).find_first_of(" ?\t\x7f\x80\xff"), std::string::npos);
    std::free(q);

    const std::pair<std::string, std::string> cases[] = {
        {"a_b=3dc", "a b=3dc"},        // lower-case hex is not decoded
        {"=41=4", "A=4"},              // too few characters after the last "="
        {"=", "="},
        {"=4G", "=4G"},
        {"==41", "=A"},
        {"a?b\tc d\x7f\x9f\xa0\xff", "abcd\xa0\xff"},  // dropped: "?", controls, space, 0x7F..0x9F
    };
    for (const auto& [text, plain] : cases) EXPECT_EQ(qDecoded(text, static_cast<int32_t>(text.size())), plain) << text;
    EXPECT_EQ(qDecoded("ab\0cd", 0), "ab");      // length 0: up to the NUL
    EXPECT_EQ(qDecoded("ab=4", -1), "ab=4");
    EXPECT_EQ(qDecoded("ab=41", 4), "ab=4");     // the digit past the length is not read
}

// A word of each kind as the members write it is CodingMembers.EncodeAndDecodeContent's.
TEST(ContentCoding, EncodedWords) {
    StringBuffer out;
    coding.makeQWord("ABC", 0, "x", out);
    coding.makeBWord("ABC", 3, nullptr, out);
    coding.makeQWord(nullptr, 3, "x", out);
    EXPECT_TRUE(out.empty());
    const std::string big(5000, 'z');
    coding.makeBWord(big.data(), 5000, "x", out);  // one word, never folded
    EXPECT_EQ(out.view().find('\n'), std::string::npos);
    EXPECT_EQ(words(std::string(out.view()), false), big);

    const std::tuple<std::string, bool, std::string> cases[] = {
        {"x =?utf-8?q?A_B?= y", true, "x A B y"},
        {"=?a?Q?A?= =?b?Q?B?=", true, "A B"},
        {"=?a?Q?" "?=tail", true, "tail"},                 // empty payload
        {"=?Q?A?=", true, "A"},                          // the marker may start inside "=?"
        {"=?a?B?QUJD?=!", false, "ABC!"},
        {"=?a?b?QUJD?= =?a?Q?x?=", false, "ABC =?a?Q?x?="},  // a Q word is text to the B decoder
        {"plain text", true, "plain text"},
        // Unmatched delimiters: the rest goes out once, unchanged.
        {"a =?utf-8 b", true, "a =?utf-8 b"},
        {"a =?x?Q?A b", true, "a =?x?Q?A b"},
        {"=?x?Q?A?= =?y?Q?B", true, "A =?y?Q?B"},
        {"=?", true, "=?"},
        {"?=", true, "?="},
        {"=?Q?=", true, "=?Q?="},                        // "?=" must come after the whole marker
        {"", true, ""},
    };
    for (const auto& [text, q, plain] : cases) EXPECT_EQ(words(text, q), plain) << text;
}

}  // namespace
}  // namespace quorvel
