#include "charset/mb_string.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "charset/utf8_cache.h"

namespace quorvel {
namespace {

using Spans = std::vector<std::pair<uint32_t, uint32_t>>;  // offset, length

Spans spansOf(const MbString& s) {
    Spans spans;
    for (uint32_t i = 0; i < s.count(); ++i) spans.emplace_back(s.offset(i), s.charLength(i));
    return spans;
}

TEST(MbStringUtf8, CharactersHaveTheLengthTheirFirstByteSays) {
    struct Case {
        std::string bytes;
        uint32_t skipped;  // bytes of a leading byte-order mark
        Spans spans;
    };
    const std::vector<Case> cases = {
        {"\xEF\xBB\xBF" "a", 3, {{0, 1}}}, {"a\xEF\xBB\xBF", 0, {{0, 1}, {1, 3}}},  // only a leading mark is dropped
        {"\x80z\xDFx", 0, {{0, 2}, {2, 2}}},  // continuation bytes below 0xE0 count as two-byte leads
        {"\xF8\x80\x80\x80\x80\xFC\x80\x80\x80\x80\x80", 0, {{0, 5}, {5, 6}}},
        {"\xFE" "a\xFF\xFF" "b", 0, {{1, 1}, {4, 1}}},
        {"a\xE6\x97", 0, {{0, 1}, {1, 2}}},  // cut short at the end
        {std::string("\0\0", 2), 0, {{0, 1}, {1, 1}}}, {"\xEF\xBB\xBF", 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        const MbStringUtf8 s(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(s.bytes(), reinterpret_cast<const uint8_t*>(c.bytes.data()) + c.skipped);
        EXPECT_EQ(s.byteLength(), c.bytes.size() - c.skipped);
        EXPECT_EQ(spansOf(s), c.spans);
    }
}

// A character cut short shares its bytes with the start of a full one: it is not kept, and the
// full one is unharmed.
TEST(Utf8Cache, KeepsResultsAndFailuresByCharacterBytes) {
    auto key = [](const std::string& bytes) {
        MbChar c;
        EXPECT_TRUE(c.set(bytes.data(), bytes.size()));
        return c;
    };
    Utf8Cache cache;
    cache.storeResult(key("\xE6\x97\xA5"), "\x93\xFA", 2);
    cache.storeResult(key("\xC3\xA9"), "", 0);
    cache.storeFailure(key("\xE6\x97"));
    const Utf8Result* full = cache.find(key("\xE6\x97\xA5"));
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(full->bytes), full->count), "\x93\xFA");
    EXPECT_EQ(cache.find(key("\xE6\x97")), nullptr);
    ASSERT_NE(cache.find(key("\xC3\xA9")), nullptr) << "converting to nothing is a result";
    EXPECT_FALSE(cache.find(key("\xC3\xA9"))->failed);
}

}  // namespace
}  // namespace quorvel
