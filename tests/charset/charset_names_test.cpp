#include "charset/charset_names.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "charset/charset_name_tables.h"

namespace quorvel {
namespace {

// An entry lost in an edit shows in the sizes. Whether the entries are right is judged by
// Python's codec registry, whose aliases follow the published charset names: every name it knows
// must lead to that codec's code page (tests/charset/code_page_reference.py --names).
static_assert(kCharsetNameTable.size() == 337 && kCommonCharsetNames.size() == 43 && kCharsetRewriteRules.size() == 44);

TEST(CharsetNames, TableNamesAgreeWithPythonsCodecs) {
    std::string command = std::string(QV_PYTHON) + " " + QV_CODE_PAGE_REFERENCE + " --names";
    for (const CharsetNameEntry& e : kCharsetNameTable)
        command += " '" + std::string(e.name) + "=" + std::to_string(e.codePage) + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
    // Only the count: any line before it is a name, its code page and the codec Python gives it.
    ASSERT_EQ(out.rfind("checked ", 0), 0u) << out;
    EXPECT_GE(std::stoi(out.substr(8)), 151);  // as many names as Python 3.11 knows
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
