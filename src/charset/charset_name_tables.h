#pragma once
// Constant data behind charset name resolution: the alias rewrites, the short list of
// everyday names and the full name table. Everything here is evaluated at compile time.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorvel {

enum class CharsetRewriteKind : uint8_t {
    ReplaceFirst,     // the leftmost occurrence of the pattern is replaced by the result
    WholeNameEquals,  // a name equal to the pattern becomes the result
    NameContains,     // a name containing the pattern becomes the result
};

struct CharsetRewriteRule {
    CharsetRewriteKind kind;
    std::string_view pattern;
    std::string_view result;
};

struct CharsetNameEntry {
    std::string_view name;
    uint32_t codePage;
};

namespace charset_tables_detail {

// Ordered by length first: most probes of a lookup then end on one integer comparison.
constexpr bool nameLess(std::string_view a, std::string_view b) noexcept {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

template <std::size_t N>
constexpr std::array<CharsetNameEntry, N> sortedByName(std::array<CharsetNameEntry, N> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const CharsetNameEntry& a, const CharsetNameEntry& b) { return nameLess(a.name, b.name); });
    return entries;
}

template <std::size_t N>
constexpr bool namesStrictlyAscending(const std::array<CharsetNameEntry, N>& entries) {
    for (std::size_t i = 1; i < N; ++i) {
        if (!nameLess(entries[i - 1].name, entries[i].name)) return false;
    }
    return true;
}

}  // namespace charset_tables_detail

// Applied in this order; each rule sees the result of the one before.
inline constexpr std::array<CharsetRewriteRule, 44> kCharsetRewriteRules{{
    {CharsetRewriteKind::ReplaceFirst, "iso8859", "iso-8859"},
    {CharsetRewriteKind::ReplaceFirst, "x-cp", "windows-"},
    {CharsetRewriteKind::ReplaceFirst, "x-euc", "euc"},
    {CharsetRewriteKind::ReplaceFirst, "iso-ir-127", "iso-8859-6"},
    {CharsetRewriteKind::WholeNameEquals, "arabic", "iso-8859-6"},
    {CharsetRewriteKind::ReplaceFirst, "cp1256", "windows-1256"},
    {CharsetRewriteKind::WholeNameEquals, "latin4", "iso-8859-4"},
    {CharsetRewriteKind::ReplaceFirst, "iso-ir-110", "iso-8859-4"},
    {CharsetRewriteKind::WholeNameEquals, "latin2", "iso-8859-2"},
    {CharsetRewriteKind::ReplaceFirst, "iso-ir-101", "iso-8859-2"},
    {CharsetRewriteKind::WholeNameEquals, "chinese", "gb2312"},
    {CharsetRewriteKind::ReplaceFirst, "iso-ir-58", "gb2312"},
    {CharsetRewriteKind::ReplaceFirst, "cn-big5", "big5"},
    {CharsetRewriteKind::ReplaceFirst, "csbig5", "big5"},
    {CharsetRewriteKind::WholeNameEquals, "cyrillic", "iso-8859-5"},
    {CharsetRewriteKind::ReplaceFirst, "iso-ir-144", "iso-8859-5"},
    {CharsetRewriteKind::ReplaceFirst, "koi8r", "koi8-r"},
    {CharsetRewriteKind::WholeNameEquals, "koi", "koi8-r"},
    {CharsetRewriteKind::WholeNameEquals, "koi8", "koi8-r"},
    {CharsetRewriteKind::ReplaceFirst, "koi8-ru", "koi8-u"},
    {CharsetRewriteKind::WholeNameEquals, "greek", "iso-8859-7"},
    {CharsetRewriteKind::ReplaceFirst, "iso-ir-126", "iso-8859-7"},
    {CharsetRewriteKind::WholeNameEquals, "hebrew", "iso-8859-8"},
    {CharsetRewriteKind::ReplaceFirst, "iso-ir-138", "iso-8859-8"},
    {CharsetRewriteKind::ReplaceFirst, "ms-kanji", "shift-jis"},
    {CharsetRewriteKind::ReplaceFirst, "x-ms-cp932", "shift-jis"},
    {CharsetRewriteKind::ReplaceFirst, "x-sjis", "shift-jis"},
    {CharsetRewriteKind::WholeNameEquals, "korean", "euc-kr"},
    {CharsetRewriteKind::NameContains, "utf-7", "utf-7"},
    {CharsetRewriteKind::NameContains, "utf-8", "utf-8"},
    {CharsetRewriteKind::NameContains, "ucs-2", "unicode"},
    {CharsetRewriteKind::NameContains, "ucs-4", "ucs-4"},
    {CharsetRewriteKind::NameContains, "ascii", "us-ascii"},
    {CharsetRewriteKind::ReplaceFirst, "iso646-us", "us-ascii"},
    {CharsetRewriteKind::ReplaceFirst, "iso-ir-6us", "us-ascii"},
    {CharsetRewriteKind::ReplaceFirst, "cp819", "iso-8859-1"},
    {CharsetRewriteKind::WholeNameEquals, "latin1", "iso-8859-1"},
    {CharsetRewriteKind::ReplaceFirst, "iso-ir-100", "iso-8859-1"},
    {CharsetRewriteKind::ReplaceFirst, "cp367", "windows-1252"},
    {CharsetRewriteKind::ReplaceFirst, "iso-ir-6", "windows-1252"},
    {CharsetRewriteKind::WholeNameEquals, "vietnamese", "windows-1258"},
    {CharsetRewriteKind::NameContains, "cp1258", "windows-1258"},
    {CharsetRewriteKind::WholeNameEquals, "thai", "windows-874"},
    {CharsetRewriteKind::NameContains, "cp874", "windows-874"},
}};

// Tried before everything else, so that the names met every day resolve at once.
inline constexpr auto kCommonCharsetNames = charset_tables_detail::sortedByName(std::to_array<CharsetNameEntry>({
    {"iso-2022-jp", 50220}, {"iso-2022-jp-1", 50221}, {"iso-2022-jp-2", 50222}, {"iso-2022-kr", 50225},
    {"euc-jp", 51932}, {"euc-cn", 51936}, {"euc-kr", 51949}, {"euc-tw", 51950}, {"hz-gb-2312", 52936},
    {"gb18030", 54936}, {"gb18030-2000", 54936}, {"big5", 950}, {"gb2312", 936}, {"shift-jis", 932},
    {"iso-8859-1", 28591}, {"iso-8859-15", 28605}, {"iso-8859-2", 28592}, {"iso-8859-3", 28593},
    {"iso-8859-4", 28594}, {"iso-8859-5", 28595}, {"iso-8859-6", 28596}, {"iso-8859-7", 28597},
    {"iso-8859-8", 28598}, {"iso-8859-9", 28599}, {"johab", 1361}, {"koi8-r", 20866}, {"koi8-u", 21866},
    {"unicode", 1200}, {"unicodefffe", 1201}, {"us-ascii", 20127}, {"utf-7", 65000}, {"utf-8", 65001},
    {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252}, {"windows-1253", 1253},
    {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256}, {"windows-1257", 1257},
    {"windows-1258", 1258}, {"windows-874", 874}, {"x-europa", 29001},
}));

// Every canonical name the system recognises, written grouped by code page and sorted
// at compile time for binary search.
inline constexpr auto kCharsetNameTable = charset_tables_detail::sortedByName(std::to_array<CharsetNameEntry>({
    {"cp037", 37}, {"csibm037", 37}, {"ebcdic-cp-ca", 37}, {"ebcdic-cp-nl", 37}, {"ebcdic-cp-us", 37},
    {"ebcdic-cp-wt", 37}, {"ibm037", 37},
    {"437", 437}, {"cp437", 437}, {"cspc8codepage437", 437}, {"ibm437", 437},
    {"cp500", 500}, {"csibm500", 500}, {"ebcdic-cp-be", 500}, {"ebcdic-cp-ch", 500}, {"ibm500", 500},
    {"asmo-708", 708},
    {"dos-720", 720},
    {"ibm737", 737},
    {"ibm775", 775},
    {"cp850", 850}, {"ibm850", 850},
    {"cp852", 852}, {"ibm852", 852},
    {"cp855", 855}, {"ibm855", 855},
    {"cp857", 857}, {"ibm857", 857},
    {"ccsid00858", 858}, {"cp00858", 858}, {"cp858", 858}, {"ibm00858", 858},
    {"cp860", 860}, {"ibm860", 860},
    {"cp861", 861}, {"ibm861", 861},
    {"cp862", 862}, {"dos-862", 862}, {"ibm862", 862},
    {"cp863", 863}, {"ibm863", 863},
    {"cp864", 864}, {"ibm864", 864},
    {"cp865", 865}, {"ibm865", 865},
    {"cp866", 866}, {"ibm866", 866},
    {"cp869", 869}, {"ibm869", 869},
    {"cp870", 870}, {"csibm870", 870}, {"ebcdic-cp-roece", 870}, {"ebcdic-cp-yu", 870}, {"ibm870", 870},
    {"dos-874", 874}, {"iso-8859-11", 874}, {"tis-620", 874}, {"windows-874", 874},
    {"cp875", 875},
    {"csshiftjis", 932}, {"cswindows31j", 932}, {"shift-jis", 932}, {"sjis", 932},
    {"cn-gb", 936}, {"csgb2312", 936}, {"csgb231280", 936}, {"csiso58gb231280", 936}, {"gb-2312-80", 936},
    {"gb2312", 936}, {"gb2312-80", 936}, {"gb231280", 936}, {"gbk", 936},
    {"csksc56011987", 949}, {"iso-ir-149", 949}, {"ks-c-5601", 949}, {"ks-c-5601-1987", 949},
    {"ks-c-5601-1989", 949}, {"ks-c5601", 949}, {"ksc-5601", 949}, {"ksc5601", 949},
    {"big5", 950}, {"big5-hkscs", 950}, {"x-x-big5", 950},
    {"cp1026", 1026}, {"csibm1026", 1026}, {"ibm1026", 1026},
    {"ibm01047", 1047},
    {"ccsid01140", 1140}, {"cp01140", 1140}, {"ebcdic-us-37+euro", 1140}, {"ibm01140", 1140},
    {"ccsid01141", 1141}, {"cp01141", 1141}, {"ebcdic-de-273+euro", 1141}, {"ibm01141", 1141},
    {"ccsid01142", 1142}, {"cp01142", 1142}, {"ebcdic-dk-277+euro", 1142}, {"ebcdic-no-277+euro", 1142},
    {"ibm01142", 1142},
    {"ccsid01143", 1143}, {"cp01143", 1143}, {"ebcdic-fi-278+euro", 1143}, {"ebcdic-se-278+euro", 1143},
    {"ibm01143", 1143},
    {"ccsid01144", 1144}, {"cp01144", 1144}, {"ebcdic-it-280+euro", 1144}, {"ibm01144", 1144},
    {"ccsid01145", 1145}, {"cp01145", 1145}, {"ebcdic-es-284+euro", 1145}, {"ibm01145", 1145},
    {"ccsid01146", 1146}, {"cp01146", 1146}, {"ebcdic-gb-285+euro", 1146}, {"ibm01146", 1146},
    {"ccsid01147", 1147}, {"cp01147", 1147}, {"ebcdic-fr-297+euro", 1147}, {"ibm01147", 1147},
    {"ccsid01148", 1148}, {"cp01148", 1148}, {"ibm01148", 1148},
    {"ccsid01149", 1149}, {"cp01149", 1149}, {"ebcdic-is-871+euro", 1149}, {"ibm01149", 1149},
    {"unicode", 1200}, {"utf-16", 1200}, {"utf-16le", 1200},
    {"unicodefffe", 1201}, {"utf-16be", 1201},
    {"windows-1250", 1250},
    {"windows-1251", 1251},
    {"windows-1252", 1252}, {"x-ansi", 1252},
    {"windows-1253", 1253},
    {"windows-1254", 1254},
    {"windows-1255", 1255},
    {"windows-1256", 1256},
    {"windows-1257", 1257},
    {"windows-1258", 1258},
    {"johab", 1361},
    {"macintosh", 10000},
    {"x-mac-japanese", 10001},
    {"x-mac-chinesetrad", 10002},
    {"x-mac-korean", 10003},
    {"x-mac-arabic", 10004},
    {"x-mac-hebrew", 10005},
    {"x-mac-greek", 10006},
    {"x-mac-cyrillic", 10007},
    {"x-mac-chinesesimp", 10008},
    {"x-mac-romanian", 10010},
    {"x-mac-ukrainian", 10017},
    {"x-mac-thai", 10021},
    {"x-mac-ce", 10029},
    {"x-mac-icelandic", 10079},
    {"x-mac-turkish", 10081},
    {"x-mac-croatian", 10082},
    {"x-chinese-cns", 20000},
    {"x-chinese-eten", 20002},
    {"irv", 20105}, {"x-ia5", 20105},
    {"din-66003", 20106}, {"german", 20106}, {"x-ia5-german", 20106},
    {"sen-850200-b", 20107}, {"swedish", 20107}, {"x-ia5-swedish", 20107},
    {"norwegian", 20108}, {"ns-4551-1", 20108}, {"x-ia5-norwegian", 20108},
    {"ansi-x3.4-1968", 20127}, {"ansi-x3.4-1986", 20127}, {"ibm367", 20127}, {"iso-646.irv:1991", 20127},
    {"us", 20127}, {"us-ascii", 20127},
    {"cp273", 20273}, {"csibm273", 20273}, {"ibm273", 20273},
    {"csibm277", 20277}, {"ebcdic-cp-dk", 20277}, {"ebcdic-cp-no", 20277}, {"ibm277", 20277},
    {"cp278", 20278}, {"csibm278", 20278}, {"ebcdic-cp-fi", 20278}, {"ebcdic-cp-se", 20278}, {"ibm278", 20278},
    {"cp280", 20280}, {"csibm280", 20280}, {"ebcdic-cp-it", 20280}, {"ibm280", 20280},
    {"cp284", 20284}, {"csibm284", 20284}, {"ebcdic-cp-es", 20284}, {"ibm284", 20284},
    {"cp285", 20285}, {"csibm285", 20285}, {"ebcdic-cp-gb", 20285}, {"ibm285", 20285},
    {"cp290", 20290}, {"csibm290", 20290}, {"ebcdic-jp-kana", 20290}, {"ibm290", 20290},
    {"cp297", 20297}, {"csibm297", 20297}, {"ebcdic-cp-fr", 20297}, {"ibm297", 20297},
    {"cp420", 20420}, {"csibm420", 20420}, {"ebcdic-cp-ar1", 20420}, {"ibm420", 20420},
    {"cp423", 20423}, {"csibm423", 20423}, {"ebcdic-cp-gr", 20423}, {"ibm423", 20423},
    {"cp424", 20424}, {"csibm424", 20424}, {"ebcdic-cp-he", 20424}, {"ibm424", 20424},
    {"x-ebcdic-koreanextended", 20833},
    {"csibmthai", 20838}, {"ibm-thai", 20838},
    {"koi8-r", 20866},
    {"cp871", 20871}, {"csibm871", 20871}, {"ebcdic-cp-is", 20871}, {"ibm871", 20871},
    {"cp880", 20880}, {"csibm880", 20880}, {"ebcdic-cyrillic", 20880}, {"ibm880", 20880},
    {"cp905", 20905}, {"csibm905", 20905}, {"ebcdic-cp-tr", 20905}, {"ibm905", 20905},
    {"ccsid00924", 20924}, {"cp00924", 20924}, {"ebcdic-latin9--euro", 20924}, {"ibm00924", 20924},
    {"cp1025", 21025},
    {"koi8-u", 21866},
    {"csisolatin1", 28591}, {"ibm819", 28591}, {"iso-8859-1", 28591}, {"iso-8859-1:1987", 28591},
    {"l1", 28591},
    {"csisolatin2", 28592}, {"iso-8859-2", 28592}, {"iso-8859-2:1987", 28592}, {"l2", 28592},
    {"csisolatin3", 28593}, {"iso-8859-3", 28593}, {"iso-8859-3:1988", 28593}, {"iso-ir-109", 28593},
    {"l3", 28593}, {"latin3", 28593},
    {"csisolatin4", 28594}, {"iso-8859-4", 28594}, {"iso-8859-4:1988", 28594}, {"l4", 28594},
    {"csisolatincyrillic", 28595}, {"iso-8859-5", 28595}, {"iso-8859-5:1988", 28595},
    {"csisolatinarabic", 28596}, {"ecma-114", 28596}, {"iso-8859-6", 28596}, {"iso-8859-6:1987", 28596},
    {"csisolatingreek", 28597}, {"ecma-118", 28597}, {"elot-928", 28597}, {"greek8", 28597},
    {"iso-8859-7", 28597}, {"iso-8859-7:1987", 28597},
    {"csisolatinhebrew", 28598}, {"iso-8859-8", 28598}, {"iso-8859-8 visual", 28598},
    {"iso-8859-8:1988", 28598}, {"logical", 28598}, {"visual", 28598},
    {"csisolatin5", 28599}, {"iso-8859-9", 28599}, {"iso-8859-9:1989", 28599}, {"iso-ir-148", 28599},
    {"l5", 28599}, {"latin5", 28599},
    {"iso-8859-13", 28603},
    {"csisolatin9", 28605}, {"iso-8859-15", 28605}, {"l9", 28605}, {"latin9", 28605},
    {"x-europa", 29001},
    {"iso-8859-8-i", 38598},
    {"x-user-defined", 50000},
    {"iso-2022-jp", 50220},
    {"csiso2022jp", 50221}, {"iso-2022-jp-1", 50221},
    {"iso-2022-jp-2", 50222},
    {"csiso2022kr", 50225}, {"iso-2022-kr", 50225}, {"iso-2022-kr-7", 50225}, {"iso-2022-kr-7bit", 50225},
    {"cp50227", 50227},
    {"cp930", 50930},
    {"x-ebcdic-japaneseanduscanada", 50931},
    {"cp933", 50933},
    {"cp935", 50935},
    {"cp937", 50937},
    {"cp939", 50939},
    {"cseucpkdfmtjapanese", 51932}, {"euc-jp", 51932}, {"iso-2022-jpeuc", 51932},
    {"euc-cn", 51936},
    {"cseuckr", 51949}, {"euc-kr", 51949}, {"iso-2022-kr-8", 51949}, {"iso-2022-kr-8bit", 51949},
    {"euc-tw", 51950},
    {"hz-gb-2312", 52936},
    {"gb18030", 54936}, {"gb18030-2000", 54936},
    {"x-iscii-de", 57002},
    {"x-iscii-be", 57003},
    {"x-iscii-ta", 57004},
    {"x-iscii-te", 57005},
    {"x-iscii-as", 57006},
    {"x-iscii-or", 57007},
    {"x-iscii-ka", 57008},
    {"x-iscii-ma", 57009},
    {"x-iscii-gu", 57010},
    {"x-iscii-pa", 57011},
    {"csunicode11utf7", 65000}, {"utf-7", 65000},
    {"utf-8", 65001},
}));

static_assert(charset_tables_detail::namesStrictlyAscending(kCommonCharsetNames), "duplicate common charset name");
static_assert(charset_tables_detail::namesStrictlyAscending(kCharsetNameTable), "duplicate charset name");

namespace charset_tables_detail {
// The common list is a fast path only: it must never answer differently from the full table.
constexpr bool commonNamesAgreeWithTable() {
    for (const CharsetNameEntry& common : kCommonCharsetNames) {
        bool found = false;
        for (const CharsetNameEntry& entry : kCharsetNameTable) {
            if (entry.name == common.name) {
                if (entry.codePage != common.codePage) return false;
                found = true;
            }
        }
        if (!found) return false;
    }
    return true;
}
}  // namespace charset_tables_detail

static_assert(charset_tables_detail::commonNamesAgreeWithTable(), "common charset names disagree with the table");

}  // namespace quorvel
