#include "charset/multi_lang_impl.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "charset/byte_table_codec.h"
#include "charset/charset_name_tables.h"
#include "charset/code_page_patch.h"
#include "charset/iconv_names.h"
#include "charset_test_support.h"

namespace quorvel {
namespace {

using test::bytesOf;
using test::iconvConvert;

// A text of the code page's repertoire, as UTF-8: every byte 0x20..0xFF that decodes alone and
// every sample word of the larger scripts that the C library takes there and back unchanged,
// blank-separated, since the Vietnamese decoder composes a letter with a following accent.
std::string repertoire(uint32_t codePage) {
    const char* name = iconvNameForCodePage(codePage);
    std::vector<std::string> words = {
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88\xE3\x80\x81",
        "\xE4\xB8\xAD\xE6\x96\x87\xE7\xAE\x80\xE4\xBD\x93\xE5\xAD\x97", "\xE4\xB8\xAD\xE6\x96\x87\xE7\xB9\x81\xE9\xAB\x94",
        "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4", "\xE2\x82\xAC\xF0\x9F\x98\x80"};
    for (int b = 0x20; b <= 0xFF; ++b) {
        std::string one;
        if (iconvConvert("UTF-8", name, std::string(1, static_cast<char>(b)), one)) words.push_back(one);
    }
    std::string text, encoded, back;
    for (const std::string& w : words) {
        if (iconvConvert(name, "UTF-8", w, encoded) && iconvConvert("UTF-8", name, encoded, back) && back == w) {
            text += w + " ";
        }
    }
    return text;
}

std::set<uint32_t> servedNamedCodePages() {
    std::set<uint32_t> pages;
    for (const CharsetNameEntry& e : kCharsetNameTable) pages.insert(e.codePage);
    for (const CharsetNameEntry& e : kCommonCharsetNames) pages.insert(e.codePage);
    // Code pages converted by table or patched are checked against Python's codecs (code_page_fidelity_test).
    std::erase_if(pages, [](uint32_t cp) {
        return iconvNameForCodePage(cp) == nullptr || byteTableForCodePage(cp) || codePagePatch(cp);
    });
    return pages;
}

std::string repeatTo(const std::string& text, size_t atLeast) {
    std::string r;
    while (r.size() < atLeast) r += text;
    return r;
}

TEST(MultiLangImpl, EveryServedCodePageRoundTripsItsRepertoireOnBothRoutes) {
    const auto pages = servedNamedCodePages();
    EXPECT_GT(pages.size(), 85u);
    for (uint32_t cp : pages) {
        SCOPED_TRACE(cp);
        const std::string text = repertoire(cp);
        ASSERT_GT(text.size(), 10u);
        std::string reference;
        ASSERT_TRUE(iconvConvert(iconvNameForCodePage(cp), "UTF-8", text, reference));

        MultiLangImpl ml;
        DataBuffer encoded, decoded;
        ASSERT_TRUE(ml.Convert(65001, cp, text.data(), text.size(), encoded, nullptr));
        EXPECT_EQ(bytesOf(encoded), reference);
        ASSERT_TRUE(ml.Convert(cp, 65001, encoded.data(), encoded.size(), decoded, nullptr));
        EXPECT_EQ(bytesOf(decoded), text);

        // At 307200 bytes and beyond the text goes through the system's decoder and encoder
        // (Convert) or through UTF-16 in two steps (ConvertDirect); the bytes stay the same.
        const std::string longText = repeatTo(text, MultiLangImpl::kOneStepLimit);
        std::string longReference;
        ASSERT_TRUE(iconvConvert(iconvNameForCodePage(cp), "UTF-8", longText, longReference));
        DataBuffer viaSystem, direct, back;
        ASSERT_TRUE(ml.Convert(65001, cp, longText.data(), longText.size(), viaSystem, nullptr));
        EXPECT_TRUE(bytesOf(viaSystem) == longReference);
        ASSERT_TRUE(ml.ConvertDirect(65001, cp, longText.data(), longText.size(), direct, nullptr));
        EXPECT_TRUE(bytesOf(direct) == longReference);
        ASSERT_TRUE(ml.ConvertDirect(cp, 65001, direct.data(), direct.size(), back, nullptr));
        EXPECT_TRUE(bytesOf(back) == longText);
    }
}

// One call of each operation: 0 Convert, 1 ConvertDirect, 2 ToUnicode (source), 3 FromUnicode (target).
// A failure logs its messages and leaves the output alone; a success logs nothing and appends.
TEST(MultiLangImpl, RoutesFailuresAndTheirMessages) {
    const std::string longWithKanji = std::string(MultiLangImpl::kOneStepLimit, 'a') + "\xE6\x97\xA5";
    const std::string longNoBreak = std::string(MultiLangImpl::kOneStepLimit, 'x') + "\xC2\xA0";
    // Shift-JIS with a kanji that ISO-8859-1 lacks near the start: the first step's failure at the
    // very end still comes first, although the second step would fail sooner.
    const std::string early = "ab\x93\xFA" + std::string(MultiLangImpl::kOneStepLimit, 'x');
    struct Case {
        const char* what;
        int op;
        uint32_t source, target;
        std::string input, out;
        bool ok = true;
        std::vector<std::string> log = {};
    };
    const std::vector<Case> cases = {
        {"the system's UTF-8 decoder replaces what is malformed", 2, 65001, 0, "a\xFF", std::string("a\0\xFD\xFF", 4)},
        {"the system's ISO-8859-1 encoder writes '?'", 3, 0, 28591, test::utf16le(u"\u00E9\u65E5"), "\xE9?"},
        // A no-break space becomes a blank for Shift-JIS in one or two steps, not on the system route.
        {"no-break space, one step", 0, 65001, 932, "\xC2\xA0", " "},
        {"no-break space, two steps", 1, 65001, 932, longNoBreak, std::string(MultiLangImpl::kOneStepLimit, 'x') + " "},
        {"no-break space, other target", 0, 65001, 1252, "\xC2\xA0", "\xA0"},
        {"no-break space, system route", 0, 65001, 932, longNoBreak, "", false,
         {"E:Failed to convert from Unicode to code page 932"}},
        {"no pair, detour through UTF-8 fails", 0, 720, 1252, "abc", "", false,
         {"E:Failed to convert from Unicode to code page 65001", "E:Failed to get converter for converting from 720 to utf-8"}},
        {"one step, character missing", 0, 65001, 932, "a\xC3\xA9", "", false, {"E:1-Step charset conversion failed"}},
        {"two steps, no converter to UTF-16", 1, 720, 65001, "abc", "", false,
         {"E:Failed to create Unicode charset converter", "D:fromCodePage=720",
          "E:Failed to create Unicode coverter #1"}},
        {"two steps, no converter from UTF-16", 1, 65001, 720, "abc", "", false,
         {"E:Failed to create Unicode charset converter", "D:toCodePage=720",
          "E:Failed to create Unicode coverter #2"}},
        {"two steps, second step fails", 1, 65001, 28591, longWithKanji, "", false,
         {"E:Failed to convert from Unicode (2nd step in 2-step conversion)"}},
        {"two steps, both would fail", 1, 932, 28591, early + "\x81", "", false,
         {"E:Failed to convert to Unicode (1st step in 2-step conversion)"}},
        {"system route, decoder fails", 0, 932, 28591, early + "\x81", "", false,
         {"E:Failed to convert from Unicode to code page 28591"}},
        {"to Unicode, no converter", 2, 720, 0, "abc", "", false, {"E:Failed to create Unicode coverter"}},
        {"to Unicode, invalid", 2, 932, 0, "a\x81", "", false, {"E:Failed to convert to Unicode", "D:fromCodePage=932"}},
        {"from Unicode, missing", 3, 0, 932, test::utf16le(u"a\u00E9"), "", false,
         {"E:Failed to convert from Unicode", "D:toCodePage=932"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MultiLangImpl ml;
        RecordingLog log;
        DataBuffer out;
        out.append("kept", 4);
        bool ok = true;
        switch (c.op) {
            case 0: ok = ml.Convert(c.source, c.target, c.input.data(), c.input.size(), out, &log); break;
            case 1: ok = ml.ConvertDirect(c.source, c.target, c.input.data(), c.input.size(), out, &log); break;
            case 2: ok = ml.ToUnicode(c.source, c.input.data(), c.input.size(), out, &log); break;
            case 3: ok = ml.FromUnicode(c.target, c.input.data(), c.input.size(), out, &log); break;
        }
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(log.lines, c.log);
        EXPECT_TRUE(bytesOf(out) == "kept" + c.out);
    }
}

TEST(MultiLangImpl, PairConverterStartsEachUseAfresh) {
    MultiLangImpl ml;
    const std::string kanji = "\xE6\x97\xA5";
    const std::string expected = "\x1B$BF|\x1B(B";
    DataBuffer first, failed, second;
    ASSERT_TRUE(ml.ConvertDirect(65001, 50220, kanji.data(), kanji.size(), first, nullptr));
    EXPECT_EQ(bytesOf(first), expected);
    // A failure in the middle of a shifted run leaves the converter shifted; the next use must not see it.
    const std::string broken = kanji + "\xC3\xA9";
    EXPECT_FALSE(ml.ConvertDirect(65001, 50220, broken.data(), broken.size(), failed, nullptr));
    ASSERT_TRUE(ml.ConvertDirect(65001, 50220, kanji.data(), kanji.size(), second, nullptr));
    EXPECT_EQ(bytesOf(second), expected);
    // A pair without a converter forgets the old one.
    EXPECT_FALSE(ml.ConvertDirect(65001, 720, "a", 1, failed, nullptr));
    EXPECT_FALSE(ml.hasPairConverter());
}

}  // namespace
}  // namespace quorvel
