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

    // A fingerprint of the whole name table: the pair sum ties each name to its number, so a name
    // or number mistyped, or two numbers swapped between names, changes it.
    uint64_t pairSum = 0;
    std::set<uint32_t> codePages;
    for (const CharsetNameEntry& e : kCharsetNameTable) {
        codePages.insert(e.codePage);
        uint64_t hash = 1469598103934665603ull;
        for (char c : e.name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        pairSum += hash * e.codePage;
    }
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
}

TEST(CharsetNames, CanonicalFormAndCodePage) {
    struct Case {
        std::string_view input;
        std::string_view canonical;
        uint32_t codePage;
    };
    const Case cases[] = {
        {"  UTF_8 \t\r\n", "utf-8", 65001}, {"iSo8859_1", "iso-8859-1", 28591}, {"LaTiN1", "iso-8859-1", 28591},
        {"x-cp1251", "windows-1251", 1251}, {"windows-1252abc", "windows-1252abc", 1252},
        {"windows-000000000000000000001252", "windows-000000000000000000001252", 1252},
        {"windows-2147483647", "windows-2147483647", 2147483647u}, {"windows-2147483648", "windows-2147483648", 0},
        {"windows-0", "windows-0", 0}, {"windows-", "windows-", 0}, {"windows--1", "windows--1", 0},
        {"x-euc-jp", "euc-jp", 51932}, {"x-euc", "euc", 0}, {"cp367", "windows-1252", 1252},
        {"x-ascii-whatever", "us-ascii", 20127}, {"iso-10646-ucs-2", "unicode", 1200}, {"ucs-4le", "ucs-4", 0},
        {"cskoi8r", "cskoi8-r", 0}, {"arabic2", "arabic2", 0}, {"MS_Kanji", "shift-jis", 932},
        {"iso8859iso8859", "iso-8859iso8859", 0},  // only the leftmost occurrence is rewritten
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

}  // namespace
}  // namespace quorvel
