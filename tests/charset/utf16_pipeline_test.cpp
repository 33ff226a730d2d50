#include "charset/utf16_pipeline.h"

#include <gtest/gtest.h>

#include <string>

#include "charset/multi_lang_impl.h"
#include "charset_test_support.h"
#include "core/system/utf8.h"

namespace quorvel {
namespace {

using test::bytesOf;

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
