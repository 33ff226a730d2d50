// Every byte, and every lead and trail pair of the double-byte code pages, decoded by the
// converter and by Python's codecs (code_page_reference.py) as an independent table. Where the two
// differ, the difference must be one the table below accounts for: places where the platform's
// own table is not Python's. Where the C library's converter is not the platform's, it is patched
// (code_page_patch.h), and the patched code pages' encoders are compared the same way.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "charset/byte_table_codec.h"
#include "charset/iconv_converter.h"
#include "charset/iconv_names.h"
#include "charset/multi_lang_impl.h"
#include "charset_test_support.h"
#include "core/data_buffer.h"

namespace quorvel::test {
namespace {

// Inputs (one byte 0xBB or a pair 0xLLTT) whose decoding may differ from Python's.
struct KnownDifference {
    uint32_t codePage;
    uint32_t first, last;
    const char* why;
};
constexpr KnownDifference kKnownDifferences[] = {
    // The platform's table differs from Python's codec; the C library's agrees with the platform.
    {936, 0x80, 0x80, "the euro sign at 0x80, which Python's gbk lacks"},
    {950, 0x80, 0x80, "0x80 is U+0080"},
    {10007, 0xA2, 0xA2, "the classic Macintosh Cyrillic table"},
    {10007, 0xFF, 0xFF, "the classic Macintosh Cyrillic table"},
    {10000, 0xDB, 0xDB, "the classic Macintosh Roman table: the currency sign, not the euro"},
    {10079, 0xDB, 0xDB, "the classic Macintosh Icelandic table: the currency sign, not the euro"},
    {20273, 0xBC, 0xBC, "the macron, as in the platform's other EBCDIC tables; Python's cp273 has the overline"},
    {20932, 0x80, 0xA0, "single C1 control bytes"},
    {20932, 0x8FA2B7, 0x8FA2B7, "JIS X 0212's tilde: the round trip with U+FF5E is kept; Python's is one way to '~'"},
    {51932, 0x80, 0xA0, "single C1 control bytes"},
    {20949, 0x80, 0xA0, "single C1 control bytes"},
    {51949, 0x80, 0xA0, "single C1 control bytes"},
    {20949, 0xC9, 0xC9, "single C1 control bytes"},
    {20949, 0xA4D4, 0xA4D4, "the Hangul filler, as in the platform's 949"},
    {51949, 0xA4D4, 0xA4D4, "the Hangul filler, as in the platform's 949"},
    {54936, 0xA6D9, 0xA6F5, "GB18030-2005 vertical forms, not the private use area"},
    {54936, 0xA8BC, 0xA8BC, "GB18030-2005"},
    {54936, 0xFE51, 0xFEA0, "GB18030-2005"},
    // A text of the shift character alone decodes to nothing in Python's codec; the C library
    // calls the run incomplete. The platform's decoder gives no characters either way, which its
    // callers cannot tell from a failure.
    {65000, 0x2B, 0x2B, "UTF-7: '+' alone"},
};

bool known(uint32_t codePage, uint32_t input) {
    for (const KnownDifference& d : kKnownDifferences) {
        if (d.codePage == codePage && d.first <= input && input <= d.last) return true;
    }
    return false;
}

// The same form as the reference: "-" and the units joined by '.', or "X".
std::string ourDecoding(MultiLangImpl& ml, uint32_t codePage, const std::string& bytes) {
    DataBuffer out;
    if (!ml.ToUnicode(codePage, bytes.data(), static_cast<uint32_t>(bytes.size()), out, nullptr)) return "X";
    std::string text = "-";
    char unit[8];
    for (uint32_t i = 0; i + 1 < out.size(); i += 2) {
        std::snprintf(unit, sizeof unit, "%s%04X", i ? "." : "", out.data()[i] | out.data()[i + 1] << 8);
        text += unit;
    }
    return text;
}

// Runs the reference script with args and hands each line it prints, "code-page input reference",
// to f; returns the number of lines (0 when the script could not run).
template <class F>
size_t eachReferenceLine(const char* args, F f) {
    const std::string command = std::string(QV_PYTHON) + " " + QV_CODE_PAGE_REFERENCE + args;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    size_t lines = 0;
    char line[256];
    while (pipe && std::fgets(line, sizeof line, pipe.get())) {
        std::istringstream fields(line);
        uint32_t codePage = 0;
        std::string input, reference;
        if (!(fields >> codePage >> input >> reference)) {
            ADD_FAILURE() << "a reference line that does not read: " << line;
            break;
        }
        ++lines;
        f(codePage, input, reference);
    }
    return lines;
}

TEST(CodePageFidelity, EveryByteAndPairDecodesAsTheIndependentTableSays) {
    MultiLangImpl ml;
    std::map<uint32_t, std::vector<std::string>> unexpected;
    // Lead bytes that already decode differently alone: their pairs tell nothing more.
    std::map<uint32_t, std::vector<bool>> differentAlone;
    size_t differences = 0;
    const size_t lines = eachReferenceLine("", [&](uint32_t codePage, const std::string& hex, const std::string& reference) {
        std::string bytes;
        for (size_t i = 0; i < hex.size(); i += 2) bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        auto& alone = differentAlone[codePage];
        alone.resize(256);
        if (bytes.size() == 2 && alone[static_cast<uint8_t>(bytes[0])]) return;
        const std::string ours = ourDecoding(ml, codePage, bytes);
        if (ours == reference) return;
        ++differences;
        if (bytes.size() == 1) alone[static_cast<uint8_t>(bytes[0])] = true;
        if (!known(codePage, static_cast<uint32_t>(std::stoul(hex, nullptr, 16)))) {
            unexpected[codePage].push_back(hex + " ours " + ours + " reference " + reference);
        }
    });
    EXPECT_GT(lines, 300000u);  // the reference ran and covered the double-byte pairs
    EXPECT_LT(differences, 1200u);
    for (const auto& [codePage, list] : unexpected) {
        std::string all;
        for (const std::string& d : list) all += "\n  " + d;
        ADD_FAILURE() << "code page " << codePage << ": " << list.size() << " unexpected differences" << all;
    }
}

// Every unit of the Basic Multilingual Plane (lone surrogates too) and a few characters past it,
// encoded by the converter and by Python's codecs, for the double-byte code pages: the same bytes,
// or none on both sides (no best fit: iconv's CP932 would write 0x5C for the yen sign). Where
// either side writes bytes that decode differently, that is the known difference above.
TEST(CodePageFidelity, DoubleByteCodePagesEncodeEveryCharacterAsTheIndependentTableSays) {
    std::map<uint32_t, IconvConverter> converters;
    std::vector<std::string> unexpected;
    const size_t lines = eachReferenceLine(" --encode", [&](uint32_t codePage, const std::string& unitsHex, const std::string& reference) {
        IconvConverter& converter = converters[codePage];
        if (!converter.isOpen()) {
            ASSERT_TRUE(converter.open(1200, codePage));
        }
        char16_t units[2];
        for (size_t i = 0; i < unitsHex.size() / 4 && i < 2; ++i) {
            units[i] = static_cast<char16_t>(std::stoul(unitsHex.substr(i * 4, 4), nullptr, 16));
        }
        DataBuffer out;
        std::string ours = "X";
        if (converter.convert(units, static_cast<uint32_t>(unitsHex.size() / 2), out, 8)) {
            ours.clear();
            char hex[3];
            for (uint8_t b : bytesOf(out)) std::snprintf(hex, sizeof hex, "%02X", b), ours += hex;
        }
        // A character with an NEC-selected code (lead ED or EE) and an IBM extension code (lead FA
        // to FC) encodes to the latter on the platform, to the former in Python's cp932.
        const std::string lead = reference.substr(0, 2);
        if (codePage == 932 && (lead == "ED" || lead == "EE") && ours >= "FA" && ours < "FD") return;
        auto knownBytes = [&](const std::string& hex) {
            return hex != "X" && known(codePage, static_cast<uint32_t>(std::stoul(hex, nullptr, 16)));
        };
        if (ours == reference || knownBytes(ours) || knownBytes(reference)) return;
        unexpected.push_back(std::to_string(codePage) + " " + unitsHex + " ours " + ours + " reference " + reference);
    });
    EXPECT_GT(lines, 500000u);
    std::string all;
    for (size_t i = 0; i < unexpected.size() && i < 40; ++i) all += "\n  " + unexpected[i];
    EXPECT_TRUE(unexpected.empty()) << unexpected.size() << " differences" << all;
}

// A conversion and what it writes; one that fails writes nothing.
struct RouteCase {
    uint32_t from, to;
    std::string in;
    bool ok;
    std::string out;
};

// Converts into a buffer that already holds a byte, which stays.
void expectConverts(MultiLangImpl& ml, const RouteCase& c) {
    DataBuffer out;
    out.append("<", 1);
    EXPECT_EQ(ml.Convert(c.from, c.to, c.in.data(), c.in.size(), out, nullptr), c.ok);
    EXPECT_EQ(bytesOf(out), "<" + c.out);
}

// Where iconv is patched, the platform's characters and bytes hold on every route: a pair converter
// (through UTF-16 when the other side is not UTF-16), the system's codecs past the one-step limit,
// and the two steps through UTF-16.
TEST(CodePageFidelity, PatchedCodePagesAgreeOnEveryRoute) {
    const std::string jis = "\x80\xA0\xFD\xFE\xFF\\~\x81\x5C\x82\xA0";
    const std::string jisUtf8 = "\xC2\x80\xEF\xA3\xB0\xEF\xA3\xB1\xEF\xA3\xB2\xEF\xA3\xB3\\~\xE2\x80\x95\xE3\x81\x82";
    // User-defined areas: the first and last pair of each.
    const std::string gbk = "\xAA\xA1\xAF\xFE\xF8\xA1\xFE\xFE\xA1\x40\xA7\xA0";
    const std::u16string gbkUnits = u"\uE000\uE233\uE234\uE4C5\uE4C6\uE765";
    const std::string big5 = "\xFA\x40\xFE\xFE\x8E\x40\xA0\xFE\x81\x40\x8D\xFE\xC6\xA1\xC8\xFE";
    const std::u16string big5Units = u"\uE000\uE310\uE311\uEEB7\uEEB8\uF6B0\uF6B1\uF848";
    const std::string big5Utf8 = "\xEE\x80\x80\xEE\x8C\x90\xEE\x8C\x91\xEE\xBA\xB7\xEE\xBA\xB8\xEF\x9A\xB0\xEF\x9A\xB1\xEF\xA1\x88";
    const RouteCase cases[] = {
        {932, 65001, jis, true, jisUtf8},
        {65001, 932, jisUtf8, true, jis},
        {1200, 932, utf16le(u"\u0080\uF8F3\\"), true, "\x80\xFF\\"},
        {932, 1200, "\x80\xFF\\", true, utf16le(u"\u0080\uF8F3\\")},
        {28591, 932, "\x80", true, "\x80"},
        {65001, 932, "\xC2\xA5", false, ""},                                   // yen sign: no best fit
        {65001, 932, "\xE2\x80\xBE", false, ""},                               // overline
        {1200, 932, utf16le(u"\u2014"), false, ""},                            // em dash
        {1361, 65001, "a\\\x84\x41\x84\x42\x88\x41", true, "a\\\xE3\x80\x80\xE3\x84\xB1\xE3\x84\xB1"},
        {65001, 1361, "a\\\xE3\x80\x80\xE3\x84\xB1", true, "a\\\xD9\x31\x88\x41"},
        {932, 1361, "a\\", true, "a\\"},
        {1361, 932, "a\\", true, "a\\"},
        {65001, 1361, "\xE2\x82\xA9", false, ""},                              // won sign
        {1361, 65001, "a\xD9\xE8", false, ""},                                  // U+327E
        {1200, 1361, utf16le(u"\u327E"), false, ""},
        {51949, 65001, "\xB0\xA1\xA2\xE8", false, ""},
        {65001, 20949, "\xE3\x89\xBE", false, ""},
        {20949, 65001, "\xB0\xA1", true, "\xEA\xB0\x80"},
        {65000, 65001, "a\x01+AGE\x02~\\\x7F", true, "a\x01" "a\x02~\\\x7F"},
        {65000, 1200, "\x1F", true, utf16le(u"\u001F")},
        {65001, 932, "\xC2\xA2", false, ""},                                   // cent sign: 0x8191 is U+FFE0's
        {1200, 932, utf16le(u"\u301C"), false, ""},                            // wave dash: 0x8160 is U+FF5E's
        {65001, 51932, "a\xC2\xA5", false, ""},                                // EUC-JP: no yen sign
        {1200, 20932, utf16le(u"\u203E"), false, ""},
        {51932, 65001, "\\~\xA4\xA2", true, "\\~\xE3\x81\x82"},
        {936, 1200, gbk, true, utf16le(gbkUnits)},
        {1200, 936, utf16le(gbkUnits), true, gbk},
        {950, 1200, big5, true, utf16le(big5Units)},
        {65001, 950, big5Utf8, true, big5},
        {1200, 949, utf16le(u"\uE000\uE05D\uE05E\uE0BB"), true, "\xC9\xA1\xC9\xFE\xFE\xA1\xFE\xFE"},
        {949, 65001, "\xC9\xA1\xB0\xA1", true, "\xEE\x80\x80\xEA\xB0\x80"},
        {936, 950, "\xAA\xA1\xD6\xD0", true, "\xFA\x40\xA4\xA4"},           // U+E000 U+4E2D
        {949, 936, "\xFE\xFE", true, "\xAB\xFE"},                            // U+E0BB
        {949, 65001, "\xC9\x41", false, ""},                                  // a trail outside the area
        {936, 65001, "\xAA\x7F", false, ""},
        {950, 1200, "a\x81", false, ""},                                       // a lead at the end
        {65001, 936, "\xEE\x9D\xA6", false, ""},                              // U+E766, past the last area
        {1200, 949, utf16le(u"\uE0BC"), false, ""},
    };
    MultiLangImpl ml;
    for (const RouteCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to) + ": " + c.in);
        expectConverts(ml, c);
        // Past the one-step limit with a run of 'x' first.
        auto xs = [](uint32_t cp) { return cp == 1200 ? utf16le(std::u16string(MultiLangImpl::kOneStepLimit, u'x'))
                                                      : std::string(MultiLangImpl::kOneStepLimit, 'x'); };
        const std::string longIn = xs(c.from) + c.in, longOut = xs(c.to) + c.out;
        DataBuffer viaSystem, direct;
        EXPECT_EQ(ml.Convert(c.from, c.to, longIn.data(), longIn.size(), viaSystem, nullptr), c.ok);
        EXPECT_TRUE(bytesOf(viaSystem) == (c.ok ? longOut : ""));
        EXPECT_EQ(ml.ConvertDirect(c.from, c.to, longIn.data(), longIn.size(), direct, nullptr), c.ok);
        EXPECT_TRUE(bytesOf(direct) == (c.ok ? longOut : ""));
    }

    // A character Shift_JIS lacks, at any place in a stretch of UTF-8 that is looked at a block at
    // a time, kana (which share the wave dash's first byte) before it.
    IconvConverter toJis;
    ASSERT_TRUE(toJis.open(65001, 932));
    for (const char* lacked : {"\xC2\xA2", "\xC2\xAC", "\xE2\x80\x94", "\xE2\x88\x92", "\xE3\x80\x9C"}) {
        for (size_t kana = 0; kana < 50; ++kana) {
            std::string text;
            for (int i = 0; i < 70; ++i) text += "\xE3\x81\x82";
            text.insert(kana * 3, lacked);
            DataBuffer out;
            EXPECT_FALSE(toJis.convert(text.data(), static_cast<uint32_t>(text.size()), out, 4096)) << kana;
        }
    }
}

// Decoding is one byte to one character in context too: a text of every pair of the bytes that
// decode alone decodes to their characters in turn, and encodes back to the same bytes, on every
// route. The C library's windows-1255 and windows-1258 converters would join a letter and a
// following combining mark into one precomposed character here.
TEST(CodePageFidelity, SingleByteCodePagesMapEachByteToItsOwnCharacterBothWays) {
    MultiLangImpl ml;
    size_t checked = 0;
    for (const IconvNameEntry& entry : iconvNameTable()) {
        const uint32_t cp = entry.codePage;
        if (cp == 65001 || cp == 1200 || cp == 1201 || cp == 65000) continue;
        std::string valid;
        std::u16string chars;
        bool singleByte = true;
        for (int b = 0; b < 256 && singleByte; ++b) {
            DataBuffer unit;
            const char byte = static_cast<char>(b);
            if (!ml.ToUnicode(cp, &byte, 1, unit, nullptr)) continue;
            singleByte = unit.size() == 2;
            // Where several bytes decode to one character (EBCDIC's substitute), it encodes to one of them.
            DataBuffer again;
            if (singleByte && (!ml.FromUnicode(cp, unit.data(), 2, again, nullptr) || bytesOf(again) != std::string(1, byte))) {
                continue;
            }
            valid.push_back(byte);
            chars.push_back(static_cast<char16_t>(unit.data()[0] | unit.data()[1] << 8));
        }
        if (!singleByte || valid.size() < 128) continue;
        SCOPED_TRACE(cp);
        ++checked;
        std::string text, utf16;
        for (size_t i = 0; i < valid.size(); ++i) {
            for (size_t j = 0; j < valid.size(); ++j) {
                text += {valid[i], valid[j]};
                utf16 += utf16le(std::u16string{chars[i], chars[j]});
            }
        }
        std::string utf8;
        ASSERT_TRUE(iconvConvert("UTF-8", "UTF-16LE", utf16, utf8));
        DataBuffer decoded, encoded, toUtf8, fromUtf8;
        ASSERT_TRUE(ml.ToUnicode(cp, text.data(), text.size(), decoded, nullptr));
        EXPECT_TRUE(bytesOf(decoded) == utf16);
        ASSERT_TRUE(ml.FromUnicode(cp, utf16.data(), utf16.size(), encoded, nullptr));
        EXPECT_TRUE(bytesOf(encoded) == text);
        ASSERT_TRUE(ml.Convert(cp, 65001, text.data(), text.size(), toUtf8, nullptr));
        EXPECT_TRUE(bytesOf(toUtf8) == utf8);
        ASSERT_TRUE(ml.Convert(65001, cp, utf8.data(), utf8.size(), fromUtf8, nullptr));
        EXPECT_TRUE(bytesOf(fromUtf8) == text);
        if (!byteTableForCodePage(cp)) continue;
        // Past the one-step limit the text goes through the system's codecs, or through UTF-16 in
        // two steps; the tables serve there too.
        const std::string longText = text + text + text;
        const std::string longUtf8 = utf8 + utf8 + utf8;
        DataBuffer viaSystem, direct, back;
        ASSERT_TRUE(ml.Convert(cp, 65001, longText.data(), longText.size(), viaSystem, nullptr));
        EXPECT_TRUE(bytesOf(viaSystem) == longUtf8);
        ASSERT_TRUE(ml.ConvertDirect(65001, cp, longUtf8.data(), longUtf8.size(), direct, nullptr));
        EXPECT_TRUE(bytesOf(direct) == longText);
        ASSERT_TRUE(ml.ConvertDirect(cp, 65001, longText.data(), longText.size(), back, nullptr));
        EXPECT_TRUE(bytesOf(back) == longUtf8);
    }
    EXPECT_GT(checked, 70u);

    // A precomposed character the table lacks has no bytes, as the platform has no best fit;
    // one it has keeps its byte. Also to and from another code page, whichever side the table is on.
    const RouteCase cases[] = {
        {65001, 1255, "\xEF\xAD\x8E", false, ""},                          // U+FB4E
        {65001, 1255, "\xD7\xA4\xD6\xBF", true, "\xF4\xCF"},               // U+05E4 U+05BF
        {1255, 65001, "\xE0\xC7", true, "\xD7\x90\xD6\xB7"},               // U+05D0 U+05B7
        {65001, 1258, "\xE1\xBA\xA0", false, ""},                          // U+1EA0
        {65001, 1258, "\xC3\x80", true, "\xC0"},                           // U+00C0
        {1258, 65001, "A\xCC", true, "A\xCC\x80"},                         // U+0041 U+0300
        {1258, 1255, "a\xCC", false, ""},                                  // 1255 has no U+0300
        {1255, 1252, "abc\xE0", false, ""},
        {1252, 1258, "\xC0\xE9", true, "\xC0\xE9"},
        {932, 1258, "\x82\xA0", false, ""},                                // hiragana
        {20127, 1255, "abc", true, "abc"},
        {1255, 50220, "abc", true, "abc"},
        {1255, 1201, "a\xD9", false, ""},                                  // 0xD9 is undefined
        {1201, 1258, std::string("\x01\xAF\x00", 3), false, ""},           // half a unit
        {875, 65001, "\x74\x41", true, "\xC2\xA0\xCE\x91"},               // EBCDIC: NBSP, ALPHA
        {65001, 875, "\xE2\x88\x87", false, ""},                          // U+2207, iconv's 0x74
        {10000, 65001, "\xDB\xC6", true, "\xC2\xA4\xE2\x88\x86"},         // classic: currency sign
        {65001, 10079, "\xE2\x82\xAC", false, ""},                         // no euro sign
    };
    for (const RouteCase& c : cases) {
        SCOPED_TRACE(c.from * 100000 + c.to);
        expectConverts(ml, c);
    }
}

}  // namespace
}  // namespace quorvel::test
