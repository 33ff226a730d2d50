#include "charset/charset_convert.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "charset/multi_lang.h"
#include "charset/utf8_cache.h"
#include "charset_test_support.h"

namespace quorvel {
namespace {

using test::bytesOf;
using test::iconvConvert;

const std::string kKanji = "\xE6\x97\xA5";  // U+65E5, not in ISO-8859-1
const std::string kEAcute = "\xC3\xA9";     // U+00E9, not in Shift-JIS
const std::string kBom = "\xEF\xBB\xBF";

std::string fallback(CharsetConvert& cc, const std::string& in) {
    DataBuffer out;
    Utf8Cache cache;
    cc.ConvertWithFallback(in.data(), in.size(), out, cache);
    return bytesOf(out);
}

TEST(CharsetConvert, SelectsCharsetsByNameAndKeepsTheNameAsPassed) {
    CharsetConvert cc;
    ASSERT_TRUE(cc.SetToCharset(" Shift_JIS "));
    EXPECT_EQ(cc.targetCodePage(), 932u);
    EXPECT_STREQ(cc.targetName().data(), " Shift_JIS ");
    ASSERT_TRUE(cc.SetFromCharset(""));
    EXPECT_EQ(cc.sourceCodePage(), 65001u);
    ASSERT_TRUE(cc.SetFromCharset(nullptr));
    EXPECT_STREQ(cc.sourceName().data(), "utf-8");

    // A name not recognised is logged and leaves the previous choice in place.
    ASSERT_TRUE(cc.SetToCharset("windows-1252"));
    RecordingLog log;
    EXPECT_FALSE(cc.SetToCharset(" bogus ", &log));
    EXPECT_FALSE(cc.SetFromCharset("cskoi8r", &log));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"E:TO Charset not recognized", "D:charset= bogus ",
                                                     "E:FROM Charset not recognized", "D:charset=cskoi8r"}));
    EXPECT_STREQ(cc.targetName().data(), "windows-1252");
}

enum class Op { Convert, Fallback, FromUtf16, ToUtf16 };

// One call on a converter set to `from` and `to`: what it writes, whether it succeeds, what it logs.
struct Call {
    const char* what;
    Op op;
    const char* from;
    const char* to;
    std::string in, out;
    bool ok = true;
    std::vector<std::string> log = {};
};

void expectCalls(CharsetConvert& cc, const std::vector<Call>& calls) {
    for (const Call& c : calls) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(cc.SetFromCharset(c.from));
        ASSERT_TRUE(cc.SetToCharset(c.to));
        RecordingLog log;
        DataBuffer out;
        bool ok = true;
        switch (c.op) {
            case Op::Convert: ok = cc.Convert(c.in.data(), c.in.size(), out, &log); break;
            case Op::Fallback: break;
            case Op::FromUtf16: ok = cc.FromUtf16(c.in.data(), c.in.size(), out, &log); break;
            case Op::ToUtf16: ok = cc.ToUtf16(c.in.data(), c.in.size(), out, &log); break;
        }
        EXPECT_EQ(c.op == Op::Fallback ? fallback(cc, c.in) : bytesOf(out), c.out);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(log.lines, c.log);
    }
}

TEST(CharsetConvert, ConvertsByTableThroughUtf16OrByThePlatform) {
    using test::utf16le;
    const std::string text = kBom + "a" + kEAcute;
    CharsetConvert cc;
    expectCalls(cc, {
        // The ten table code pages: U+00E9 and U+20AC are in 1252, U+65E5 is dropped without failing;
        // below 255 a unit is its own value in 1251, from UTF-8, UTF-16 or another code page.
        {"1252 table", Op::Convert, "utf-8", "windows-1252", "a" + kEAcute + "\xE2\x82\xAC" + kKanji + "z", "a\xE9\x80z"},
        {"1251 below 255", Op::Convert, "utf-8", "windows-1251", kEAcute + "\xD0\x96", "\xE9\xC6"},
        {"through UTF-16", Op::Convert, "koi8-r", "windows-1251", "\xF6", "\xC6"},
        {"source the platform cannot decode", Op::Convert, "shift_jis", "windows-1251", "\x81", "", false,
         {"E:Failed to convert to Unicode", "D:fromCodePage=932", "E:1-Step charset conversion failed"}},
        // Byte-order marks and equal code pages.
        {"equal pages copy", Op::Convert, "utf-8", "utf-8", text, text},
        {"equal pages copy on fallback", Op::Fallback, "utf-8", "utf-8", text, text},
        {"mark dropped", Op::Convert, "utf-8", "iso-8859-1", text, "a\xE9"},
        {"mark dropped for the platform", Op::Convert, "utf-8", "shift_jis", kBom + kKanji, "\x93\xFA"},
        {"ToUtf16 drops the mark", Op::ToUtf16, "utf-8", "utf-8", text, std::string("a\0\xE9\0", 4)},
        // FromUtf16 to other than the tables: through the platform converter.
        {"to UTF-8", Op::FromUtf16, "utf-8", "utf-8", utf16le(u"\u00E9\U0001F600"), kEAcute + "\xF0\x9F\x98\x80"},
        {"missing", Op::FromUtf16, "utf-8", "shift_jis", utf16le(u"\u00E9"), "", false,
         {"E:Failed to convert from Unicode", "D:toCodePage=932"}},
    });

    // A lone last byte of UTF-16 is no unit; units need not be aligned.
    alignas(2) const char misaligned[5] = {'-', 'A', '\0', '\xAC', '\0'};
    for (const char* target : {"windows-1252", "shift_jis"}) {
        ASSERT_TRUE(cc.SetToCharset(target));
        DataBuffer odd;
        EXPECT_TRUE(cc.FromUtf16(misaligned + 1, 3, odd));
        EXPECT_EQ(bytesOf(odd), "A") << target;
    }

    // Without the platform converter only the tables from UTF-16 work. UTF-8 must be brought to
    // UTF-16 first, which needs the converter: one message from that attempt, one from Convert.
    CharsetConvert bare(std::unique_ptr<MultiLang>{});
    const std::string none = "E:CharsetConvert: no multi-language object";
    expectCalls(bare, {
        {"table from UTF-16", Op::FromUtf16, "utf-8", "windows-1252", utf16le(u"\u20AC"), "\x80"},
        {"UTF-8 source", Op::Convert, "utf-8", "windows-1252", "a", "", false, {none, none}},
        {"platform target", Op::FromUtf16, "utf-8", "utf-8", utf16le(u"a"), "", false, {none}},
        {"fallback", Op::Fallback, "utf-8", "utf-8", "abc", ""},
    });
}

TEST(CharsetConvert, FallbackLeavesOutOnlyWhatTheTargetLacks) {
    struct Target {
        const char* name;
        const char* iconvName;
        std::string good, bad;
    };
    const std::vector<Target> targets = {
        {"iso-8859-1", "ISO-8859-1", "Caf" + kEAcute + " au lait, 12 \xC2\xB0 ", kKanji},
        {"shift_jis", "CP932", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E abc ", kEAcute},
    };
    for (const Target& t : targets) {
        // A missing character every 1000 bytes, on both sides of the one-step limit.
        std::string every, everyKept;
        for (int i = 0; i < 1200; ++i) {
            std::string block;
            while (block.size() < 997) block += t.good;
            every += block + t.bad;
            everyKept += block;
        }
        const std::string& g = t.good;
        const std::string& b = t.bad;
        const std::vector<std::pair<std::string, std::string>> cases = {
            {g + g, g + g}, {b + g + g, g + g}, {g + b + b + b + g, g + g}, {b + b, ""}, {every, everyKept},
        };
        CharsetConvert cc;
        ASSERT_TRUE(cc.SetFromCharset("utf-8"));
        ASSERT_TRUE(cc.SetToCharset(t.name));
        for (const auto& [text, kept] : cases) {
            std::string expected;
            ASSERT_TRUE(iconvConvert(t.iconvName, "UTF-8", kept, expected));
            const std::string got = fallback(cc, text);
            EXPECT_TRUE(got == expected) << t.name << ": " << got.size() << " vs " << expected.size();
        }
    }
}

TEST(CharsetConvert, FallbackSurvivesMalformedText) {
    CharsetConvert cc;
    ASSERT_TRUE(cc.SetFromCharset("utf-8"));
    ASSERT_TRUE(cc.SetToCharset("iso-8859-1"));
    // Malformed UTF-8: the characters it still divides into are converted where they can be.
    const std::vector<std::pair<std::string, std::string>> malformed = {
        {"ab\xFF" "cd\xC3", "abcd"}, {kBom + "\xFF", ""},
        {"a\x80z", "a"},  // a stray continuation byte takes the next byte with it
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& [in, expected] : malformed) EXPECT_EQ(fallback(cc, in), expected);
}

}  // namespace
}  // namespace quorvel
