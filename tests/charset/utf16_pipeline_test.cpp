#include "charset/utf16_pipeline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "charset/multi_lang_impl.h"
#include "charset_test_support.h"
#include "core/system/utf8.h"

namespace quorvel {
namespace {

using test::bytesOf;

TEST(Utf16Pipeline, Utf8WindowsEndWhereTheDecoderStartsAfresh) {
    struct Case {
        std::string bytes;
        uint32_t want;
        uint32_t end;
    };
    const std::vector<Case> cases = {
        {"abcd", 2, 2},
        {"a\xE2\x82\xAC" "b", 3, 1},  // inside the euro sign: before its first byte
        {"a\xE2\x82\xAC" "b", 4, 4},  // after it
        {"x\x80\x80\x80\x80\x80", 5, 5},  // after four continuation bytes no sequence reaches the next
        {"x\x80\x80\x80\x80\x80", 3, 6},  // the run reaches back to the start: taken whole
        {"\xF0\x9F\x98\x80z", 3, 4},  // the sequence begins the window: it is taken whole
        {"\x80\x80\x80\x80\x80\x80\x80", 2, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8WindowEnd(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), c.want), c.end)
            << testing::PrintToString(c.bytes) << " " << c.want;
    }
}

// A long text whose pattern (of a length prime to any window size) puts window ends inside valid,
// truncated and stray sequences alike: streamed decoding must give what decoding it whole gives.
TEST(Utf16Pipeline, StreamedDecodingMatchesDecodingTheWholeText) {
    const std::string pattern = "ab\xE2\x82\xAC\xF0\x9F\x98\x80" "c\x80\x80\x80\x80\x80\xE2\x82" "d\xF0\x9F\x98"
                                "\xC3\xA9\xED\xA0\x80\xFF\xC0\xAF" "e";
    std::string text;
    while (text.size() < 3 * MultiLangImpl::kOneStepLimit) text += pattern;
    const std::u16string whole = sys::fromUtf8(text);
    std::string le = test::utf16le(whole);
    std::string be = le;
    for (size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);

    MultiLangImpl ml;
    DataBuffer twoSteps, system;
    // Two steps: the system's UTF-8 decoder, then a converter from UTF-16.
    ASSERT_TRUE(ml.ConvertDirect(65001, 1201, text.data(), text.size(), twoSteps, nullptr));
    EXPECT_TRUE(bytesOf(twoSteps) == be);
    // The system route: its decoder and its encoder.
    ASSERT_TRUE(ml.Convert(65001, 1201, text.data(), text.size(), system, nullptr));
    EXPECT_TRUE(bytesOf(system) == be);
    // And back by the system's UTF-8 encoder, which keeps the replacement characters.
    DataBuffer utf8;
    ASSERT_TRUE(ml.Convert(1201, 65001, be.data(), be.size(), utf8, nullptr));
    EXPECT_TRUE(bytesOf(utf8) == sys::toUtf8(whole));
}

}  // namespace
}  // namespace quorvel
