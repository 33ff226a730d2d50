#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "charset/charset_convert.h"
#include "charset/multi_lang.h"
#include "core/string_buffer.h"
#include "quorvel/automation.hpp"

namespace quorvel {
namespace {

struct BstrDeleter {
    void operator()(char16_t* b) const { SysFreeString(b); }
};
using Bstr = std::unique_ptr<char16_t, BstrDeleter>;

Bstr makeBstr(const std::u16string& s) { return Bstr(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))); }

std::u16string unitsOf(BSTR b) { return std::u16string(b, SysStringLen(b)); }

// Both directions, with and without the platform converter. Lone surrogates become U+FFFD
// (or '?' without the converter), so only the other rows come back as they were.
TEST(HostStrings, HostStringsAndUtf8) {
    struct Case {
        std::u16string host;
        std::string utf8;  // through the platform converter
        std::string ansi;  // without it
    };
    std::u16string longMixed;
    std::string longUtf8;
    for (int i = 0; i < 3000; ++i) {
        longMixed += u"a\U0001F600\u00E9";  // pairs fall across every 1024-unit boundary in turn
        longUtf8 += "a\xF0\x9F\x98\x80\xC3\xA9";
    }
    const std::vector<Case> cases = {
        {u"", "", ""}, {u"a\u20AC", "a\xE2\x82\xAC", "a\x80"},
        {std::u16string(u"a\0b", 3), std::string("a\0b", 3), std::string("a\0b", 3)},
        {u"\U0001F600", "\xF0\x9F\x98\x80", "?"}, {longMixed, longUtf8, std::string()},
        {u"x\xD800y", "x\xEF\xBF\xBDy", "x?y"}, {u"\xDC00", "\xEF\xBF\xBD", "?"},
    };
    CharsetConvert withConverter;
    CharsetConvert without(std::unique_ptr<MultiLang>{});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8.substr(0, 20));
        Bstr host = makeBstr(c.host);
        StringBuffer text("previous");
        without.HostStringToUtf8(host.get(), text);
        if (c.host != longMixed) {
            EXPECT_EQ(std::string(text.view()), c.ansi);
        }
        withConverter.HostStringToUtf8(host.get(), text);
        EXPECT_TRUE(std::string(text.view()) == c.utf8);
        if (c.utf8.find("\xEF\xBF\xBD") != std::string::npos) continue;
        for (CharsetConvert* conv : {&withConverter, &without}) {
            Bstr back(conv->Utf8ToHostString(text));
            EXPECT_TRUE(unitsOf(back.get()) == c.host);
            EXPECT_EQ(back.get()[SysStringLen(back.get())], u'\0');
        }
    }
    // Malformed UTF-8 gives U+FFFD.
    StringBuffer bad("\xED\xA0\x80");
    EXPECT_TRUE(unitsOf(Bstr(withConverter.Utf8ToHostString(bad)).get()) == u"\uFFFD\uFFFD\uFFFD");

    // Absent strings change nothing; the length prefix counts, not a terminating zero.
    StringBuffer text("kept");
    withConverter.HostStringToUtf8(nullptr, text);
    EXPECT_STREQ(text.data(), "kept");
    Bstr cut(SysAllocStringLen(u"abcdef", 3));
    withConverter.HostStringToUtf8(cut.get(), text);
    EXPECT_STREQ(text.data(), "abc");
}

}  // namespace
}  // namespace quorvel
