#include "charset/charset_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "charset/charset_name_tables.h"

namespace quorvel {
namespace {

TEST(CharsetNames, TablesHaveTheirFullSizeAndContent) {
    static_assert(kCharsetNameTable.size() == 337);
    static_assert(kCommonCharsetNames.size() == 43);
    static_assert(kCharsetRewriteRules.size() == 44);

    // A fingerprint of the whole name table: any name or number mistyped changes one of these.
    // The pair sum ties each name to its number, so two numbers swapped between names show too.
    uint64_t codePageSum = 0, pairSum = 0;
    std::size_t nameBytes = 0;
    std::set<uint32_t> codePages;
    for (const CharsetNameEntry& e : kCharsetNameTable) {
        codePageSum += e.codePage;
        nameBytes += e.name.size();
        codePages.insert(e.codePage);
        uint64_t hash = 1469598103934665603ull;
        for (char c : e.name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        pairSum += hash * e.codePage;
    }
    EXPECT_EQ(codePageSum, 5703434u);
    EXPECT_EQ(nameBytes, 3150u);
    EXPECT_EQ(codePages.size(), 137u);
    EXPECT_EQ(pairSum, 16910074330103670305ull);

}

TEST(CharsetNames, EveryTableNameResolvesAndSurvivesCanonicalization) {
    for (const CharsetNameEntry& e : kCharsetNameTable) {
        EXPECT_EQ(CodePageForCharset(e.name), e.codePage) << e.name;
        // The canonical form must not rewrite a name the table holds, or that name would be
        // unreachable; upper case and "_" from outside must lead to the same entry.
        std::string shouted;
        for (char c : e.name) shouted.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c == '-' ? '_' : c);
        EXPECT_EQ(CanonicalCharsetName(e.name), e.name);
        EXPECT_EQ(CodePageForCharset(CanonicalCharsetName(" " + shouted + "\t")), e.codePage) << e.name;
    }
    for (const CharsetNameEntry& e : kCommonCharsetNames) EXPECT_EQ(CodePageForCharset(e.name), e.codePage);
    // Near misses of common names fall through to 0.
    for (const char* miss : {"utf-", "utf-88", "utf8", "big", "big5 ", "x-europ", "x-europaa", "", "windows-"})
        EXPECT_EQ(CodePageForCharset(miss), 0u) << miss;
}

TEST(CharsetNames, CanonicalFormAndCodePage) {
    struct Case {
        std::string_view input;
        std::string_view canonical;
        uint32_t codePage;
    };
    const Case cases[] = {
        {"  UTF_8 \t\r\n", "utf-8", 65001}, {"ISO8859-1", "iso-8859-1", 28591},
        {"iSo8859_1", "iso-8859-1", 28591}, {"LaTiN1", "iso-8859-1", 28591},
        {"cp819", "iso-8859-1", 28591}, {"ISO-IR-100", "iso-8859-1", 28591},
        {"ibm819", "ibm819", 28591}, {"x-cp1251", "windows-1251", 1251},
        {"x-cp20936", "windows-20936", 20936}, {"windows-1252abc", "windows-1252abc", 1252},
        {"windows-01252", "windows-01252", 1252},
        {"windows-000000000000000000001252", "windows-000000000000000000001252", 1252},
        {"windows-2147483647", "windows-2147483647", 2147483647u}, {"windows-2147483648", "windows-2147483648", 0},
        {"windows-99999999999999999999999", "windows-99999999999999999999999", 0}, {"windows-0", "windows-0", 0},
        {"windows-x", "windows-x", 0}, {"windows-", "windows-", 0},
        {"windows--1", "windows--1", 0}, {"x-euc-jp", "euc-jp", 51932},
        {"x-euc", "euc", 0}, {"cp367", "windows-1252", 1252},
        {"iso-ir-6", "windows-1252", 1252}, {"iso646-us", "us-ascii", 20127},
        {"ISO_IR_6US", "us-ascii", 20127}, {"x-ascii-whatever", "us-ascii", 20127},
        {"ansi_x3.4-1968", "ansi-x3.4-1968", 20127}, {"ucs-2", "unicode", 1200},
        {"iso-10646-ucs-2", "unicode", 1200}, {"UTF-16", "utf-16", 1200},
        {"utf-16be", "utf-16be", 1201}, {"ucs-4le", "ucs-4", 0},
        {"cskoi8r", "cskoi8-r", 0}, {"KOI8R", "koi8-r", 20866},
        {"koi", "koi8-r", 20866}, {"koi8", "koi8-r", 20866},
        {"koi8ru", "koi8-u", 21866}, {"x-unicode-2-0-utf-8", "utf-8", 65001},
        {"unicode-1-1-utf-7", "utf-7", 65000}, {"arabic", "iso-8859-6", 28596},
        {"arabic2", "arabic2", 0}, {"iso-ir-127", "iso-8859-6", 28596},
        {"cp1256", "windows-1256", 1256}, {"x-cp1256", "windows-1256", 1256},
        {"latin4", "iso-8859-4", 28594}, {"iso-ir-110", "iso-8859-4", 28594},
        {"latin2", "iso-8859-2", 28592}, {"iso-ir-101", "iso-8859-2", 28592},
        {"Chinese", "gb2312", 936}, {"iso-ir-58", "gb2312", 936},
        {"cn-big5", "big5", 950}, {"csBig5", "big5", 950},
        {"cyrillic", "iso-8859-5", 28595}, {"iso-ir-144", "iso-8859-5", 28595},
        {"greek", "iso-8859-7", 28597}, {"iso-ir-126", "iso-8859-7", 28597},
        {"hebrew", "iso-8859-8", 28598}, {"iso-ir-138", "iso-8859-8", 28598},
        {"ISO-8859-8 Visual", "iso-8859-8 visual", 28598}, {"MS_Kanji", "shift-jis", 932},
        {"x-ms-cp932", "shift-jis", 932}, {"x-sjis", "shift-jis", 932},
        {"Shift_JIS", "shift-jis", 932}, {"korean", "euc-kr", 51949},
        {"KS_C_5601-1987", "ks-c-5601-1987", 949}, {"vietnamese", "windows-1258", 1258},
        {"my-cp1258", "windows-1258", 1258}, {"thai", "windows-874", 874},
        {"ibm-cp874", "windows-874", 874},
        {"iso8859iso8859", "iso-8859iso8859", 0},  // only the leftmost occurrence is rewritten
        {"GB18030", "gb18030", 54936}, {"x-mac-cyrillic", "x-mac-cyrillic", 10007},
        {"unknown-charset", "unknown-charset", 0}, {"", "", 0},
        {" \t\r\n ", "", 0},
        {"\vlatin1", "\vlatin1", 0},  // vertical tab is not a blank
        {std::string_view("utf-8\0x", 7), std::string_view("utf-8", 5), 65001},
    };
    for (const Case& c : cases) {
        const std::string canonical = CanonicalCharsetName(c.input);
        EXPECT_EQ(canonical, c.canonical) << "input: " << c.input;
        EXPECT_EQ(CodePageForCharset(canonical), c.codePage) << "input: " << c.input;
    }
}

TEST(CharsetNames, WholeNameRulesLeadToKnownNames) {
    // A whole-name rule that produced a name the tables lack would silently reject its aliases.
    for (const CharsetRewriteRule& rule : kCharsetRewriteRules) {
        if (rule.kind == CharsetRewriteKind::ReplaceFirst) continue;
        const uint32_t codePage = CodePageForCharset(rule.result);
        if (rule.result == "ucs-4") {
            EXPECT_EQ(codePage, 0u);
        } else {
            EXPECT_NE(codePage, 0u) << rule.result;
            EXPECT_EQ(CanonicalCharsetName(rule.pattern), rule.result) << rule.pattern;
        }
    }
}

}  // namespace
}  // namespace quorvel
