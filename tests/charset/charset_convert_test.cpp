#include "charset/charset_convert.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "charset/multi_lang_impl.h"
#include "charset/utf8_cache.h"
#include "charset_test_support.h"

namespace quorvel {
namespace {

using test::bytesOf;
using test::iconvConvert;
using test::RecordingLog;

const std::string kKanji = "\xE6\x97\xA5";  // U+65E5, not in ISO-8859-1
const std::string kEAcute = "\xC3\xA9";     // U+00E9, not in Shift-JIS
const std::string kBom = "\xEF\xBB\xBF";

// Counts the conversions that reach the platform converter.
class CountingMultiLang : public MultiLang {
public:
    bool Convert(uint32_t s, uint32_t t, const void* b, uint32_t n, DataBuffer& o, LogBase* l) override {
        ++converts;
        return inner.Convert(s, t, b, n, o, l);
    }
    bool ConvertDirect(uint32_t s, uint32_t t, const void* b, uint32_t n, DataBuffer& o, LogBase* l) override {
        ++directs;
        inputs.emplace_back(static_cast<const char*>(b), n);
        return inner.ConvertDirect(s, t, b, n, o, l);
    }
    bool FromUnicode(uint32_t t, const void* b, uint32_t n, DataBuffer& o, LogBase* l) override {
        return inner.FromUnicode(t, b, n, o, l);
    }
    bool ToUnicode(uint32_t s, const void* b, uint32_t n, DataBuffer& o, LogBase* l) override {
        return inner.ToUnicode(s, b, n, o, l);
    }
    MultiLangImpl inner;
    int converts = 0;
    int directs = 0;
    std::vector<std::string> inputs;
};

std::string convert(CharsetConvert& cc, const std::string& in, LogBase* log = nullptr, bool* ok = nullptr) {
    DataBuffer out;
    const bool result = cc.Convert(in.data(), in.size(), out, log);
    if (ok) *ok = result;
    return bytesOf(out);
}

std::string fallback(CharsetConvert& cc, const std::string& in) {
    DataBuffer out;
    Utf8Cache cache;
    cc.ConvertWithFallback(in.data(), in.size(), out, cache);
    return bytesOf(out);
}

TEST(CharsetConvert, SelectsCharsetsByNameAndKeepsTheNameAsPassed) {
    CharsetConvert cc;
    EXPECT_NE(cc.converter(), nullptr);
    EXPECT_EQ(cc.sourceCodePage() + cc.targetCodePage(), 2 * 28591u);
    EXPECT_STREQ(cc.sourceName().data(), "iso-8859-1");
    EXPECT_STREQ(cc.targetName().data(), "iso-8859-1");
    struct Case {
        const char* name;
        uint32_t codePage;
    };
    for (const Case& c : std::vector<Case>{{" UTF_8 ", 65001}, {"", 65001}, {" \t", 65001}, {"Shift_JIS", 932},
                                           {"x-cp1251", 1251}, {"latin1", 28591}, {"utf-16be", 1201}}) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(cc.SetToCharset(c.name));
        EXPECT_EQ(cc.targetCodePage(), c.codePage);
        EXPECT_STREQ(cc.targetName().data(), c.name);
        ASSERT_TRUE(cc.SetFromCharset(c.name));
        EXPECT_EQ(cc.sourceCodePage(), c.codePage);
        EXPECT_STREQ(cc.sourceName().data(), c.name);
    }
    ASSERT_TRUE(cc.SetFromCharset(nullptr));
    EXPECT_EQ(cc.sourceCodePage(), 65001u);
    EXPECT_STREQ(cc.sourceName().data(), "utf-8");

    ASSERT_TRUE(cc.SetToCharset("windows-1252"));
    ASSERT_TRUE(cc.SetFromCharset("euc-jp"));
    RecordingLog log;
    EXPECT_FALSE(cc.SetToCharset(" bogus ", &log));
    EXPECT_FALSE(cc.SetFromCharset("cskoi8r", &log));
    EXPECT_FALSE(cc.SetToCharset("nothing", nullptr));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"E:TO Charset not recognized", "D:charset= bogus ",
                                                     "E:FROM Charset not recognized", "D:charset=cskoi8r"}));
    EXPECT_EQ(cc.targetCodePage(), 1252u);
    EXPECT_STREQ(cc.targetName().data(), "windows-1252");
    EXPECT_EQ(cc.sourceCodePage(), 51932u);
    EXPECT_STREQ(cc.sourceName().data(), "euc-jp");

}

TEST(CharsetConvert, ConvertsByTableForTheTenTableCodePages) {
    CharsetConvert cc;
    ASSERT_TRUE(cc.SetFromCharset("utf-8"));
    ASSERT_TRUE(cc.SetToCharset("windows-1252"));
    // U+00E9 and U+20AC are in the table; U+65E5 is dropped without failing.
    bool ok = false;
    EXPECT_EQ(convert(cc, "a" + kEAcute + "\xE2\x82\xAC" + kKanji + "z", nullptr, &ok), "a\xE9\x80z");
    EXPECT_TRUE(ok);
    // Units below 255 become their own value, whatever the code page has there.
    ASSERT_TRUE(cc.SetToCharset("windows-1251"));
    EXPECT_EQ(convert(cc, kEAcute + "\xD0\x96"), "\xE9\xC6");
    DataBuffer out;
    ASSERT_TRUE(cc.FromUtf16(u"\u00E9\u0416", 4, out));
    EXPECT_EQ(bytesOf(out), "\xE9\xC6");
    // From UTF-16 by source 1200, and from another code page through UTF-16 first.
    ASSERT_TRUE(cc.SetFromCharset("utf-16"));
    EXPECT_EQ(convert(cc, test::utf16le(u"\u0416!")), "\xC6!");
    ASSERT_TRUE(cc.SetFromCharset("koi8-r"));
    EXPECT_EQ(convert(cc, "\xF6"), "\xC6");
    // A source that cannot be brought to UTF-16 leaves the work to the platform converter.
    ASSERT_TRUE(cc.SetFromCharset("shift_jis"));
    RecordingLog log;
    convert(cc, "\x81", &log, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(log.entries.front(), "E:Failed to convert to Unicode");
    // Empty input succeeds with nothing.
    EXPECT_EQ(convert(cc, "", nullptr, &ok), "");
    EXPECT_TRUE(ok);
}

TEST(CharsetConvert, ConvertHandlesByteOrderMarksEqualPagesAndUtf16) {
    CharsetConvert cc;
    ASSERT_TRUE(cc.SetFromCharset("utf-8"));
    ASSERT_TRUE(cc.SetToCharset("utf-8"));
    const std::string text = kBom + "a" + kEAcute;
    EXPECT_EQ(convert(cc, text), text);
    DataBuffer out;
    Utf8Cache cache;
    cc.ConvertWithFallback(text.data(), text.size(), out, cache);
    EXPECT_EQ(bytesOf(out), text);

    ASSERT_TRUE(cc.SetToCharset("iso-8859-1"));
    EXPECT_EQ(convert(cc, text), "a\xE9");
    EXPECT_EQ(fallback(cc, text), "a\xE9");
    EXPECT_EQ(fallback(cc, text + kKanji), "a\xE9");
    ASSERT_TRUE(cc.SetToCharset("shift_jis"));
    EXPECT_EQ(convert(cc, kBom + kKanji), "\x93\xFA");
    ASSERT_TRUE(cc.SetToCharset("utf-16"));
    EXPECT_EQ(convert(cc, kBom + "A"), std::string("A\0", 2));

    // FromUtf16: 1200 copies; other targets through the platform converter.
    out.clear();
    ASSERT_TRUE(cc.FromUtf16("A\0B\0", 4, out));
    EXPECT_EQ(bytesOf(out), std::string("A\0B\0", 4));
    ASSERT_TRUE(cc.SetToCharset("utf-8"));
    out.clear();
    ASSERT_TRUE(cc.FromUtf16(u"\u00E9\U0001F600", 6, out));
    EXPECT_EQ(bytesOf(out), kEAcute + "\xF0\x9F\x98\x80");
    ASSERT_TRUE(cc.SetToCharset("shift_jis"));
    out.clear();
    RecordingLog log;
    EXPECT_FALSE(cc.FromUtf16(u"\u00E9", 2, out, &log));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"E:Failed to convert from Unicode", "D:toCodePage=932"}));

    // A lone last byte of UTF-16 is no unit, whatever the target; units need not be aligned.
    alignas(2) const char misaligned[5] = {'-', 'A', '\0', '\xAC', '\0'};
    for (const char* target : {"windows-1252", "utf-8", "iso-8859-1", "shift_jis", "utf-16", "utf-16be", "utf-7"}) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(cc.SetToCharset(target));
        DataBuffer odd;
        const bool ok = cc.FromUtf16(misaligned + 1, 3, odd);
        if (cc.targetCodePage() == 1200) {
            EXPECT_EQ(bytesOf(odd), std::string("A\0\xAC", 3));  // copied as it is
        } else {
            EXPECT_TRUE(ok);
            EXPECT_EQ(bytesOf(odd), cc.targetCodePage() == 1201 ? std::string("\0A", 2) : "A");
        }
    }

    // ToUtf16 drops the mark of UTF-8 and decodes the rest.
    out.clear();
    ASSERT_TRUE(cc.SetFromCharset("utf-8"));
    ASSERT_TRUE(cc.ToUtf16(text.data(), text.size(), out));
    EXPECT_EQ(bytesOf(out), std::string("a\0\xE9\0", 4));
}

TEST(CharsetConvert, WithoutPlatformConverterOnlyTablesFromUtf16Work) {
    CharsetConvert cc(std::unique_ptr<MultiLang>{});
    EXPECT_EQ(cc.converter(), nullptr);
    RecordingLog log;
    ASSERT_TRUE(cc.SetToCharset("windows-1252", &log));
    DataBuffer out;
    ASSERT_TRUE(cc.FromUtf16(u"\u20AC", 2, out, &log));
    EXPECT_EQ(bytesOf(out), "\x80");
    ASSERT_TRUE(cc.SetFromCharset("utf-16", &log));
    out.clear();
    ASSERT_TRUE(cc.Convert("\xAC\x20", 2, out, &log));
    EXPECT_EQ(bytesOf(out), "\x80");
    EXPECT_TRUE(log.entries.empty());

    // UTF-8 must be brought to UTF-16 first, which needs the converter: one message from that
    // attempt, one from Convert itself.
    ASSERT_TRUE(cc.SetFromCharset("utf-8"));
    bool ok = true;
    convert(cc, "a", &log, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"E:CharsetConvert: no multi-language object",
                                                     "E:CharsetConvert: no multi-language object"}));
    ASSERT_TRUE(cc.SetToCharset("utf-8"));
    log.entries.clear();
    out.clear();
    EXPECT_FALSE(cc.FromUtf16(u"a", 2, out, &log));
    EXPECT_EQ(log.entries, std::vector<std::string>{"E:CharsetConvert: no multi-language object"});
    EXPECT_EQ(fallback(cc, "abc"), "");
}

// The text with every marked character left out, expected of ConvertWithFallback.
struct FallbackCase {
    const char* what;
    std::string text;
    std::string kept;  // the text without the characters the target lacks
};

std::vector<FallbackCase> fallbackCases(const std::string& good, const std::string& bad) {
    std::string every, everyKept;
    for (int i = 0; i < 600; ++i) {
        std::string block;
        while (block.size() < 997) block += good;
        every += block + bad;
        everyKept += block;
    }
    return {
        {"clean", good + good, good + good}, {"start", bad + good + good, good + good},
        {"middle", good + bad + good, good + good}, {"end", good + good + bad, good + good},
        {"consecutive", good + bad + bad + bad + good, good + good}, {"only", bad, ""},
        {"only missing", bad + bad + bad, ""}, {"every 1000 bytes", every, everyKept},
        {"past the one-step limit", every + every, everyKept + everyKept},
    };
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
        {"koi8-r", "KOI8-R", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, 1 ", kEAcute},
        {"us-ascii", "ASCII", "plain text ", "\xE2\x82\xAC"},
    };
    for (const Target& t : targets) {
        for (const FallbackCase& c : fallbackCases(t.good, t.bad)) {
            SCOPED_TRACE(std::string(t.name) + ": " + c.what);
            auto counting = std::make_unique<CountingMultiLang>();
            CountingMultiLang* calls = counting.get();
            CharsetConvert cc(std::move(counting));
            ASSERT_TRUE(cc.SetFromCharset("utf-8"));
            ASSERT_TRUE(cc.SetToCharset(t.name));
            std::string expected;
            ASSERT_TRUE(iconvConvert(t.iconvName, "UTF-8", c.kept, expected));
            const std::string got = fallback(cc, c.text);
            EXPECT_TRUE(got == expected) << got.size() << " vs " << expected.size();
            if (c.text == c.kept) {
                EXPECT_EQ(calls->directs, 1);
            }
            EXPECT_EQ(calls->converts, 0);
        }
    }
}

TEST(CharsetConvert, FallbackCachesSingleCharactersAndSurvivesMalformedText) {
    auto counting = std::make_unique<CountingMultiLang>();
    CountingMultiLang* calls = counting.get();
    CharsetConvert cc(std::move(counting));
    ASSERT_TRUE(cc.SetFromCharset("utf-8"));
    ASSERT_TRUE(cc.SetToCharset("iso-8859-1"));

    // The exact pieces tried are the fallback's own business; what counts is that a missing
    // character repeated a thousand times is tried alone once.
    std::string many, kept;
    for (int i = 0; i < 1000; ++i) many += "xy" + kKanji, kept += "xy";
    EXPECT_EQ(fallback(cc, many), kept);
    int kanjiAlone = 0;
    for (const std::string& in : calls->inputs) kanjiAlone += in == kKanji;
    EXPECT_EQ(kanjiAlone, 1);
    EXPECT_LT(calls->inputs.size(), 1000u);

    // Malformed UTF-8: the characters it still divides into are converted where they can be.
    const std::vector<std::pair<std::string, std::string>> malformed = {
        {"ab\xFF" "cd\xC3", "abcd"}, {"\xFE\xFE", ""}, {kBom, ""}, {kBom + "\xFF", ""},
        {"a\x80z", "a"},  // a stray continuation byte takes the next byte with it
        {"\xC3\xA9\xE6\x97", "\xE9"}, {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& [in, expected] : malformed) EXPECT_EQ(fallback(cc, in), expected);
}

}  // namespace
}  // namespace quorvel
