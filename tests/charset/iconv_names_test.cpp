#include "charset/iconv_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "charset/charset_name_tables.h"
#include "charset_test_support.h"

namespace quorvel {
namespace {

bool opens(const char* to, const char* from) {
    std::string out;
    return test::iconvConvert(to, from, "", out);
}

// Code pages the name table yields that the C library has no converter for.
const std::set<uint32_t> kUnserved = {
    720,   10001, 10002, 10003, 10004, 10005, 10006, 10008, 10010, 10021, 10081, 10082, 20000, 20002,
    20105, 20833, 20838, 20924, 29001, 50000, 50931, 52936, 57002, 57003, 57004, 57005, 57006, 57007,
    57008, 57009, 57010, 57011,
};

TEST(IconvNames, EveryNamedCodePageOpensOrIsKnownUnserved) {
    for (const IconvNameEntry& e : iconvNameTable()) {
        EXPECT_EQ(iconvNameForCodePage(e.codePage), e.iconvName);
        EXPECT_TRUE(opens(e.iconvName, "UTF-8")) << e.codePage << " " << e.iconvName;
        EXPECT_TRUE(opens("UTF-8", e.iconvName)) << e.codePage << " " << e.iconvName;
    }
    for (const CharsetNameEntry& e : kCharsetNameTable) {
        const bool unserved = kUnserved.count(e.codePage) != 0;
        EXPECT_EQ(iconvNameForCodePage(e.codePage) == nullptr, unserved) << e.name << " " << e.codePage;
    }
}

// The round trips elsewhere use the same converter both ways, so only these probes catch a code
// page served by the wrong one.
TEST(IconvNames, ConvertersDoWhatTheirCodePageSays) {
    struct Probe {
        uint32_t codePage;
        std::string utf8;
        std::string encoded;
    };
    const Probe probes[] = {
        {1200, "A\xE2\x82\xAC", std::string("A\0\xAC\x20", 4)}, {1201, "A\xE2\x82\xAC", std::string("\0A\x20\xAC", 4)},
        {37, "A", "\xC1"}, {51932, "\xE3\x81\x82", "\xA4\xA2"}, {936, "\xE2\x82\xAC", "\x80"},
        {54936, "\xE2\x82\xAC", "\xA2\xE3"}, {65000, "\xC3\xA9", "+AOk-"}, {10007, "\xD0\x96", "\x86"},
    };
    for (const Probe& p : probes) {
        const char* name = iconvNameForCodePage(p.codePage);
        ASSERT_NE(name, nullptr) << p.codePage;
        std::string out;
        EXPECT_TRUE(test::iconvConvert(name, "UTF-8", p.utf8, out)) << name;
        EXPECT_EQ(out, p.encoded) << p.codePage << " " << name;
    }
}

}  // namespace
}  // namespace quorvel
