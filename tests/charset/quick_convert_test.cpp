#include "charset/quick_convert.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "charset/quick_convert_tables.h"
#include "charset_test_support.h"

namespace quorvel {
namespace {

// One byte decoded by the C library's converter; 0 when it defines no character there.
char16_t decodeByte(const std::string& iconvName, unsigned char byte) {
    std::string out;
    if (!test::iconvConvert("UTF-16LE", iconvName.c_str(), std::string(1, static_cast<char>(byte)), out) || out.size() != 2)
        return 0;
    return static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
}

TEST(QuickConvert, TablesAgreeWithTheCLibrary) {
    std::set<uint32_t> codePages;
    for (const QuickConvertTable& t : quickConvertTables()) {
        codePages.insert(t.codePage);
        EXPECT_EQ(findQuickConvertTable(t.codePage), &t);
        const std::string name = "CP" + std::to_string(t.codePage);
        for (unsigned byte = 0; byte < 256; ++byte) {
            char16_t expected = decodeByte(name, static_cast<unsigned char>(byte));
            // The classic Macintosh Cyrillic table predates the Ukrainian letter at 0xB6.
            if (t.codePage == 10007 && byte == 0xB6) expected = 0x2202;
            EXPECT_EQ((*t.toUtf16)[byte], expected) << t.codePage << " byte " << byte;
        }
    }
    EXPECT_EQ(codePages, (std::set<uint32_t>{10007, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}));
}

// Every unit: below 255 its own value, above it the first byte the table decodes to it, or nothing.
TEST(QuickConvert, EveryUnitFollowsTheFirstEntryRule) {
    for (const QuickConvertTable& t : quickConvertTables()) {
        std::u16string all;
        std::string expected;
        for (uint32_t u = 0; u <= 0xFFFF; ++u) {
            all.push_back(static_cast<char16_t>(u));
            if (u < 0xFF) {
                expected.push_back(static_cast<char>(u));
                continue;
            }
            for (unsigned byte = 128; byte < 256; ++byte) {
                if ((*t.toUtf16)[byte] == u) {
                    expected.push_back(static_cast<char>(byte));
                    break;
                }
            }
        }
        std::string out;
        ASSERT_TRUE(quickConvertFromUtf16(t.codePage, all.data(), all.size(), out));
        EXPECT_TRUE(out == expected) << t.codePage;
    }
}

// Single units follow from the tests above; rows documents rely on are checked via CharsetConvert.
TEST(QuickConvert, ConvertsTextAndRefusesOtherCodePages) {
    std::string out = "kept";
    EXPECT_TRUE(quickConvertFromUtf16(1252, u"a\0\xD83D\xDE00\u00E9", 5, out));
    EXPECT_EQ(out, std::string("kepta\0\xE9", 7));  // appended; surrogates dropped
    EXPECT_FALSE(quickConvertFromUtf16(28591, u"abc", 3, out)) << "not a table page";
    EXPECT_EQ(out.size(), 7u);
}

}  // namespace
}  // namespace quorvel
