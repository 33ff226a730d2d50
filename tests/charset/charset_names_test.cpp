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
    uint64_t codePageSum = 0;
    std::size_t nameBytes = 0;
    std::set<uint32_t> codePages;
    for (const CharsetNameEntry& e : kCharsetNameTable) {
        codePageSum += e.codePage;
        nameBytes += e.name.size();
        codePages.insert(e.codePage);
    }
    EXPECT_EQ(codePageSum, 5703434u);
    EXPECT_EQ(nameBytes, 3150u);
    EXPECT_EQ(codePages.size(), 137u);

    // One name of every code page group.
    const CharsetNameEntry groups[] = {
        {"ibm037", 37}, {"ibm437", 437}, {"ibm500", 500}, {"asmo-708", 708}, {"dos-720", 720}, {"ibm737", 737},
        {"ibm775", 775}, {"ibm850", 850}, {"ibm852", 852}, {"ibm855", 855}, {"ibm857", 857}, {"ibm00858", 858},
        {"ibm860", 860}, {"ibm861", 861}, {"ibm862", 862}, {"ibm863", 863}, {"ibm864", 864}, {"ibm865", 865},
        {"ibm866", 866}, {"ibm869", 869}, {"ibm870", 870}, {"tis-620", 874}, {"cp875", 875}, {"sjis", 932},
        {"gbk", 936}, {"ksc5601", 949}, {"x-x-big5", 950}, {"ibm1026", 1026}, {"ibm01047", 1047},
        {"ibm01140", 1140}, {"ibm01141", 1141}, {"ibm01142", 1142}, {"ibm01143", 1143}, {"ibm01144", 1144},
        {"ibm01145", 1145}, {"ibm01146", 1146}, {"ibm01147", 1147}, {"ibm01148", 1148}, {"ibm01149", 1149},
        {"utf-16le", 1200}, {"utf-16be", 1201}, {"windows-1250", 1250}, {"windows-1251", 1251},
        {"x-ansi", 1252}, {"windows-1253", 1253}, {"windows-1254", 1254}, {"windows-1255", 1255},
        {"windows-1256", 1256}, {"windows-1257", 1257}, {"windows-1258", 1258}, {"johab", 1361},
        {"macintosh", 10000}, {"x-mac-japanese", 10001}, {"x-mac-chinesetrad", 10002}, {"x-mac-korean", 10003},
        {"x-mac-arabic", 10004}, {"x-mac-hebrew", 10005}, {"x-mac-greek", 10006}, {"x-mac-cyrillic", 10007},
        {"x-mac-chinesesimp", 10008}, {"x-mac-romanian", 10010}, {"x-mac-ukrainian", 10017},
        {"x-mac-thai", 10021}, {"x-mac-ce", 10029}, {"x-mac-icelandic", 10079}, {"x-mac-turkish", 10081},
        {"x-mac-croatian", 10082}, {"x-chinese-cns", 20000}, {"x-chinese-eten", 20002}, {"x-ia5", 20105},
        {"x-ia5-german", 20106}, {"x-ia5-swedish", 20107}, {"x-ia5-norwegian", 20108}, {"ibm367", 20127},
        {"ibm273", 20273}, {"ibm277", 20277}, {"ibm278", 20278}, {"ibm280", 20280}, {"ibm284", 20284},
        {"ibm285", 20285}, {"ibm290", 20290}, {"ibm297", 20297}, {"ibm420", 20420}, {"ibm423", 20423},
        {"ibm424", 20424}, {"x-ebcdic-koreanextended", 20833}, {"ibm-thai", 20838}, {"koi8-r", 20866},
        {"ibm871", 20871}, {"ibm880", 20880}, {"ibm905", 20905}, {"ibm00924", 20924}, {"cp1025", 21025},
        {"koi8-u", 21866}, {"l1", 28591}, {"l2", 28592}, {"latin3", 28593}, {"l4", 28594},
        {"iso-8859-5:1988", 28595}, {"iso-8859-6:1987", 28596}, {"iso-8859-7:1987", 28597}, {"visual", 28598},
        {"latin5", 28599}, {"iso-8859-13", 28603}, {"latin9", 28605}, {"x-europa", 29001},
        {"iso-8859-8-i", 38598}, {"x-user-defined", 50000}, {"iso-2022-jp", 50220}, {"csiso2022jp", 50221},
        {"iso-2022-jp-2", 50222}, {"iso-2022-kr-7bit", 50225}, {"cp50227", 50227}, {"cp930", 50930},
        {"x-ebcdic-japaneseanduscanada", 50931}, {"cp933", 50933}, {"cp935", 50935}, {"cp937", 50937},
        {"cp939", 50939}, {"iso-2022-jpeuc", 51932}, {"euc-cn", 51936}, {"iso-2022-kr-8bit", 51949},
        {"euc-tw", 51950}, {"hz-gb-2312", 52936}, {"gb18030-2000", 54936}, {"x-iscii-de", 57002},
        {"x-iscii-be", 57003}, {"x-iscii-ta", 57004}, {"x-iscii-te", 57005}, {"x-iscii-as", 57006},
        {"x-iscii-or", 57007}, {"x-iscii-ka", 57008}, {"x-iscii-ma", 57009}, {"x-iscii-gu", 57010},
        {"x-iscii-pa", 57011}, {"csunicode11utf7", 65000}, {"utf-8", 65001},
    };
    std::set<uint32_t> spotChecked;
    for (const CharsetNameEntry& g : groups) {
        EXPECT_EQ(CodePageForCharset(g.name), g.codePage) << g.name;
        spotChecked.insert(g.codePage);
    }
    EXPECT_EQ(spotChecked, codePages);
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
        {"  UTF_8 \t\r\n", "utf-8", 65001},
        {"ISO8859-1", "iso-8859-1", 28591},
        {"iSo8859_1", "iso-8859-1", 28591},
        {"LaTiN1", "iso-8859-1", 28591},
        {"cp819", "iso-8859-1", 28591},
        {"ISO-IR-100", "iso-8859-1", 28591},
        {"ibm819", "ibm819", 28591},
        {"x-cp1251", "windows-1251", 1251},
        {"x-cp20936", "windows-20936", 20936},
        {"windows-1252abc", "windows-1252abc", 1252},
        {"windows-01252", "windows-01252", 1252},
        {"windows-000000000000000000001252", "windows-000000000000000000001252", 1252},
        {"windows-2147483647", "windows-2147483647", 2147483647u},
        {"windows-2147483648", "windows-2147483648", 0},
        {"windows-99999999999999999999999", "windows-99999999999999999999999", 0},
        {"windows-0", "windows-0", 0},
        {"windows-x", "windows-x", 0},
        {"windows-", "windows-", 0},
        {"windows--1", "windows--1", 0},
        {"x-euc-jp", "euc-jp", 51932},
        {"x-euc", "euc", 0},
        {"cp367", "windows-1252", 1252},
        {"iso-ir-6", "windows-1252", 1252},
        {"iso646-us", "us-ascii", 20127},
        {"ISO_IR_6US", "us-ascii", 20127},
        {"x-ascii-whatever", "us-ascii", 20127},
        {"ansi_x3.4-1968", "ansi-x3.4-1968", 20127},
        {"ucs-2", "unicode", 1200},
        {"iso-10646-ucs-2", "unicode", 1200},
        {"UTF-16", "utf-16", 1200},
        {"utf-16be", "utf-16be", 1201},
        {"ucs-4le", "ucs-4", 0},
        {"cskoi8r", "cskoi8-r", 0},
        {"KOI8R", "koi8-r", 20866},
        {"koi", "koi8-r", 20866},
        {"koi8", "koi8-r", 20866},
        {"koi8ru", "koi8-u", 21866},
        {"x-unicode-2-0-utf-8", "utf-8", 65001},
        {"unicode-1-1-utf-7", "utf-7", 65000},
        {"arabic", "iso-8859-6", 28596},
        {"arabic2", "arabic2", 0},
        {"iso-ir-127", "iso-8859-6", 28596},
        {"cp1256", "windows-1256", 1256},
        {"x-cp1256", "windows-1256", 1256},
        {"latin4", "iso-8859-4", 28594},
        {"iso-ir-110", "iso-8859-4", 28594},
        {"latin2", "iso-8859-2", 28592},
        {"iso-ir-101", "iso-8859-2", 28592},
        {"Chinese", "gb2312", 936},
        {"iso-ir-58", "gb2312", 936},
        {"cn-big5", "big5", 950},
        {"csBig5", "big5", 950},
        {"cyrillic", "iso-8859-5", 28595},
        {"iso-ir-144", "iso-8859-5", 28595},
        {"greek", "iso-8859-7", 28597},
        {"iso-ir-126", "iso-8859-7", 28597},
        {"hebrew", "iso-8859-8", 28598},
        {"iso-ir-138", "iso-8859-8", 28598},
        {"ISO-8859-8 Visual", "iso-8859-8 visual", 28598},
        {"MS_Kanji", "shift-jis", 932},
        {"x-ms-cp932", "shift-jis", 932},
        {"x-sjis", "shift-jis", 932},
        {"Shift_JIS", "shift-jis", 932},
        {"korean", "euc-kr", 51949},
        {"KS_C_5601-1987", "ks-c-5601-1987", 949},
        {"vietnamese", "windows-1258", 1258},
        {"my-cp1258", "windows-1258", 1258},
        {"thai", "windows-874", 874},
        {"ibm-cp874", "windows-874", 874},
        {"iso8859iso8859", "iso-8859iso8859", 0},  // only the leftmost occurrence is rewritten
        {"GB18030", "gb18030", 54936},
        {"x-mac-cyrillic", "x-mac-cyrillic", 10007},
        {"unknown-charset", "unknown-charset", 0},
        {"", "", 0},
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
