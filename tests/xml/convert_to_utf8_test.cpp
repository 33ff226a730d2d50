#include "xml/convert_to_utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/data_buffer.h"
#include "xml_test_support.h"

namespace quorvel {
namespace {

std::string run(const std::string& in, bool* ok, RecordingLog* log) {
    DataBuffer b;
    b.append(in.data(), static_cast<uint32_t>(in.size()));
    *ok = convertToUtf8(&b, log);
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

TEST(ConvertToUtf8, MarksAndDeclarationsDecideTheConversion) {
    const std::string decl1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
    struct Case {
        const char* what;
        std::string in;
        std::string out;
        std::vector<std::string> log = {};
        bool inPlace = false;  // nothing to convert: the text is the bytes, past a UTF-8 mark
    };
    std::vector<Case> cases = {
        {"utf-8 mark dropped", "\xEF\xBB\xBF<a>\xE9</a>", "<a>\xE9</a>", {}, true}, {"mark alone", "\xFF\xFE", ""},
        {"utf-16le mark", std::string("\xFF\xFE<\0a\0>\0\xE9\0\xAC\x20<\0", 14), "<a>\xC3\xA9\xE2\x82\xAC<"},
        {"utf-16be mark", std::string("\xFE\xFF\0<\0a\0>\0\xE9\x65\xE5", 12), "<a>\xC3\xA9\xE6\x97\xA5"},
        {"declared latin-1, capitals kept in the text", decl1 + "<a>\xE9</a>", decl1 + "<a>\xC3\xA9</a>"},
        {"spaces around =", "<?xml encoding = \"windows-1252\" ?><a>\x80</a>",
         "<?xml encoding = \"windows-1252\" ?><a>\xE2\x82\xAC</a>"},
        {"declaration later in the text", "<r/><?xml encoding=\"iso-8859-1\"?>\xE9",
         "<r/><?xml encoding=\"iso-8859-1\"?>\xC3\xA9"},
        // An unknown name is logged as found (lowered, without spaces) and read as ISO-8859-1.
        {"unknown charset", "<?xml encoding=\" X-Nowhere\"?><a>\xE9</a>", "<?xml encoding=\" X-Nowhere\"?><a>\xC3\xA9</a>",
         {"E:FROM Charset not recognized", "D:charset=x-nowhere"}},
    };
    // Declarations not seen, or saying UTF-8: the bytes stay as they are.
    for (const char* same : {"<?xml encoding=\"utf-8\"?><a>\xE9</a>", "<?xml encoding='windows-1252'?><a>\x80</a>",
                             "<?XML encoding=\"iso-8859-1\"?>\xE9", "<?xml encoding=\"iso-8859-1?>\xE9", ""})
        cases.push_back({same, same, same, {}, true});
    for (const Case& c : cases) {
        RecordingLog log;
        bool ok = false;
        EXPECT_EQ(run(c.in, &ok, &log), c.out) << c.what;
        EXPECT_TRUE(ok) << c.what;
        EXPECT_EQ(log.lines, c.log) << c.what;
        // The same text without touching the bytes, which stay where they are when nothing needs
        // converting.
        RecordingLog viewLog;
        DataBuffer converted;
        Utf8Text text;
        EXPECT_TRUE(utf8Text(reinterpret_cast<const uint8_t*>(c.in.data()), static_cast<uint32_t>(c.in.size()), converted,
                             text, &viewLog)) << c.what;
        EXPECT_EQ(std::string(text.data, text.size), c.out) << c.what;
        EXPECT_EQ(viewLog.lines, c.log) << c.what;
        EXPECT_EQ(!text.converted, c.inPlace) << c.what;
        if (c.inPlace) {
            EXPECT_EQ(text.data + text.size, c.in.data() + c.in.size()) << c.what;
        }
    }
    EXPECT_FALSE(convertToUtf8(nullptr, nullptr));
}

}  // namespace
}  // namespace quorvel
