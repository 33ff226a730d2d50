#include "charset/iconv_names.h"

#include <algorithm>
#include <array>

namespace quorvel {
namespace {

// Code pages without an entry have no converter in the C library: 720, 10001-10006, 10008,
// 10010, 10021, 10081, 10082, 20000, 20002, 20105, 20833, 20838, 20924, 29001, 50000, 50931,
// 52936 and the ISCII pages 57002-57011.
constexpr auto kIconvNames = std::to_array<IconvNameEntry>({
    {37, "IBM037"},
    {437, "IBM437"},
    {500, "IBM500"},
    {708, "ASMO-708"},
    {737, "CP737"},
    {775, "CP775"},
    {850, "IBM850"},
    {852, "IBM852"},
    {855, "IBM855"},
    {857, "IBM857"},
    {858, "IBM858"},
    {860, "IBM860"},
    {861, "IBM861"},
    {862, "IBM862"},
    {863, "IBM863"},
    {864, "IBM864"},
    {865, "IBM865"},
    {866, "IBM866"},
    {869, "IBM869"},
    {870, "IBM870"},
    {874, "WINDOWS-874"},
    {875, "IBM875"},
    {932, "CP932"},
    {936, "CP936"},
    {949, "CP949"},
    {950, "CP950"},
    {1026, "IBM1026"},
    {1047, "IBM1047"},
    {1140, "IBM1140"},
    {1141, "IBM1141"},
    {1142, "IBM1142"},
    {1143, "IBM1143"},
    {1144, "IBM1144"},
    {1145, "IBM1145"},
    {1146, "IBM1146"},
    {1147, "IBM1147"},
    {1148, "IBM1148"},
    {1149, "IBM1149"},
    {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},
    {1250, "CP1250"},
    {1251, "CP1251"},
    {1252, "CP1252"},
    {1253, "CP1253"},
    {1254, "CP1254"},
    {1255, "CP1255"},
    {1256, "CP1256"},
    {1257, "CP1257"},
    {1258, "CP1258"},
    {1361, "JOHAB"},
    {10000, "MACINTOSH"},
    {10007, "CP10007"},
    {10017, "MAC-UK"},
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},
    {20106, "ISO646-DE"},
    {20107, "ISO646-SE"},
    {20108, "ISO646-NO"},
    {20127, "ASCII"},
    {20273, "IBM273"},
    {20277, "IBM277"},
    {20278, "IBM278"},
    {20280, "IBM280"},
    {20284, "IBM284"},
    {20285, "IBM285"},
    {20290, "IBM290"},
    {20297, "IBM297"},
    {20420, "IBM420"},
    {20423, "IBM423"},
    {20424, "IBM424"},
    {20866, "KOI8-R"},
    {20871, "IBM871"},
    {20880, "IBM880"},
    {20905, "IBM905"},
    {20932, "EUC-JP"},    // reached only as "windows-20932"
    {20936, "GB2312"},    // reached only as "windows-20936"
    {20949, "EUC-KR"},    // reached only as "windows-20949"
    {21025, "IBM1025"},
    {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},
    {38598, "ISO-8859-8"},  // logical order is a matter of display; the bytes are the same
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP-2"},  // a superset: adds JIS X 0212 and the ESC ( I half-width kana
    {50222, "ISO-2022-JP-2"},
    {50225, "ISO-2022-KR"},
    {50227, "ISO-2022-CN"},
    {50930, "IBM930"},
    {50933, "IBM933"},
    {50935, "IBM935"},
    {50937, "IBM937"},
    {50939, "IBM939"},
    {51932, "EUC-JP"},
    {51936, "EUC-CN"},
    {51949, "EUC-KR"},
    {51950, "EUC-TW"},
    {54936, "GB18030"},
    {65000, "UTF-7"},
    {65001, "UTF-8"},
});

constexpr bool ascending() {
    for (std::size_t i = 1; i < kIconvNames.size(); ++i) {
        if (kIconvNames[i - 1].codePage >= kIconvNames[i].codePage) return false;
    }
    return true;
}
static_assert(ascending(), "iconv name table must be sorted by code page without repeats");

}  // namespace

const char* iconvNameForCodePage(uint32_t codePage) noexcept {
    auto it = std::lower_bound(kIconvNames.begin(), kIconvNames.end(), codePage,
                               [](const IconvNameEntry& e, uint32_t cp) { return e.codePage < cp; });
    return (it != kIconvNames.end() && it->codePage == codePage) ? it->iconvName : nullptr;
}

std::span<const IconvNameEntry> iconvNameTable() noexcept { return kIconvNames; }

}  // namespace quorvel
