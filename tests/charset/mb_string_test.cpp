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

TEST(MbStringUtf8, LongTextsAgreeWithAPlainWalk) {
    // Mixed lengths and skipped bytes (length 0) so that stored and stepped starts both get used.
    const std::pair<std::string, uint32_t> pieces[] = {
        {"a", 1}, {"\xC3\xA9", 2}, {"\xFE", 0}, {"\xE2\x82\xAC", 3}, {"\xF0\x9F\x98\x80", 4}, {"\xFF\xFF", 0}};
    std::string text;
    Spans expected;
    for (int i = 0; i < 5000; ++i) {
        const auto& [bytes, n] = pieces[(i * 7 + i / 3) % 6];
        if (n) expected.emplace_back(text.size(), n);
        text += bytes;
    }
    const MbStringUtf8 s(text.data(), text.size());
    ASSERT_EQ(spansOf(s), expected);
    for (uint32_t first : {0u, 31u, 32u, 33u, 1000u}) {
        for (uint32_t n : {1u, 2u, 64u, 65u}) {
            const auto& last = expected[first + n - 1];
            EXPECT_EQ(s.endOffset(first, n), last.first + last.second);
        }
    }
}

TEST(Utf8Cache, KeepsResultsAndFailuresByCharacterBytes) {
    auto key = [](const std::string& bytes) {
        MbChar c;
        EXPECT_TRUE(c.set(bytes.data(), bytes.size()));
        return c;
    };
    Utf8Cache cache;
    cache.storeResult(key("\xE6\x97\xA5"), "\x93\xFA", 2);
    cache.storeFailure(key("\xE6\x97\xA6"));
    cache.storeResult(key("\xC3\xA9"), "", 0);         // converts to nothing
    cache.storeResult(key("\xC3\xAA"), "1234567", 7);  // too long to keep
    // A character cut short shares its bytes with the start of a full one: it is not kept, and
    // the full one is unharmed.
    cache.storeFailure(key("\xE6\x97"));
    const std::pair<std::string, const char*> expected[] = {  // null: not found; "!": a failure
        {"\xE6\x97\xA5", "\x93\xFA"}, {"\xE6\x97\xA6", "!"}, {"\xC3\xA9", ""},
        {"\xC3\xAA", nullptr}, {"\xE6\x97", nullptr},
    };
    for (const auto& [bytes, result] : expected) {
        const Utf8Result* r = cache.find(key(bytes));
        ASSERT_EQ(r != nullptr, result != nullptr) << testing::PrintToString(bytes);
        if (!r) continue;
        EXPECT_EQ(r->failed ? "!" : std::string(reinterpret_cast<const char*>(r->bytes), r->count), result);
    }
}

}  // namespace
}  // namespace quorvel
