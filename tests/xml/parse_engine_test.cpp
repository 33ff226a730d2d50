#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/string_buffer.h"
#include "xml/parse_engine.h"

namespace quorvel {
namespace {

// Every scanner primitive from a given start: what it returns, where it leaves the position and
// what it collects. The text ends at its first 0 byte, so nothing after one is ever reached.
TEST(ParseEngine, ScannerPrimitives) {
    struct Case {
        std::string text;
        size_t start;
        std::function<bool(ParseEngine&, StringBuffer&)> step;
        bool result;
        size_t position;
        std::string collected;
    };
    using E = ParseEngine;
    using B = StringBuffer;
    const std::string withZero("ab>c\0d>e", 8);
    const Case cases[] = {
        {"  a<b", 0, [](E& e, B&) { e.skipToByte('<'); return true; }, true, 3, ""},
        {"abc", 1, [](E& e, B&) { e.skipToByte('<'); return true; }, true, 3, ""},
        {withZero, 0, [](E& e, B&) { e.skipToByte('e'); return true; }, true, 4, ""},
        {"xx>y<z", 0, [](E& e, B&) { return e.skipToByteUnless('>', '<'); }, true, 2, ""},
        {"xx<y>z", 0, [](E& e, B&) { return e.skipToByteUnless('>', '<'); }, false, 2, ""},
        {"xxyz", 1, [](E& e, B&) { return e.skipToByteUnless('>', '<'); }, true, 4, ""},
        {"name=v", 0, [](E& e, B& b) { e.collectUntilAny("= ", b); return true; }, true, 4, "name"},
        {"=v", 0, [](E& e, B& b) { e.collectUntilAny("=", b); return true; }, true, 0, ""},
        {"rest", 1, [](E& e, B& b) { e.collectUntilAny("<>", b); return true; }, true, 4, "est"},
        {withZero, 0, [](E& e, B& b) { e.collectUntilAny("d", b); return true; }, true, 4, "ab>c"},
        {"a<b<c>>d>e", 0, [](E& e, B& b) { return e.collectBalanced('<', '>', b); }, true, 9, "a<b<c>>d>"},
        {"x>y", 0, [](E& e, B& b) { return e.collectBalanced('<', '>', b); }, true, 2, "x>"},
        {"a<b>c", 0, [](E& e, B& b) { return e.collectBalanced('<', '>', b); }, false, 5, "a<b>c"},
        {withZero, 0, [](E& e, B& b) { return e.collectBalanced('<', '>', b); }, true, 3, "ab>"},
        {"<!doc x]>rest", 0, [](E& e, B& b) { return e.collectThroughNoCase("]>", b); }, true, 9, "<!doc x]>"},
        {"aaDocTypE b", 0, [](E& e, B& b) { return e.collectThroughNoCase("doctype", b); }, true, 9, "aaDocTypE"},
        {"xDOCTYP", 0, [](E& e, B& b) { return e.collectThroughNoCase("doctype", b); }, false, 0, ""},
        {withZero, 0, [](E& e, B& b) { return e.collectThroughNoCase("d>", b); }, false, 0, ""},
        {"a-->b-->", 0, [](E& e, B&) { return e.skipPast("-->"); }, true, 4, ""},
        {"a--b", 0, [](E& e, B&) { return e.skipPast("-->"); }, false, 0, ""},
        {"ab?>", 2, [](E& e, B&) { return e.skipPast("?>"); }, true, 4, ""},
        {withZero, 0, [](E& e, B&) { return e.skipPast("d>"); }, false, 0, ""},
        {" \t\r\nx", 0, [](E& e, B&) { e.skipWhite(); return true; }, true, 4, ""},
        {"\x01 x", 0, [](E& e, B&) { e.skipWhite(); return true; }, true, 0, ""},
        {"?XmL v", 1, [](E& e, B&) { return e.startsWithNoCase("xml "); }, true, 1, ""},
        {"?xm", 1, [](E& e, B&) { return e.startsWithNoCase("xml"); }, false, 1, ""},
        {"!--", 0, [](E& e, B&) { return e.startsWith("!--") && !e.startsWith("!---"); }, true, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // Started part way in, as the parser uses them: positions count from the start.
        ParseEngine engine(c.text.data() + c.start, c.text.size() - c.start);
        StringBuffer collected;
        EXPECT_EQ(c.step(engine, collected), c.result);
        EXPECT_EQ(engine.position() + c.start, c.position);
        EXPECT_EQ(std::string(collected.view()), c.collected);
    }
    ParseEngine atZero(withZero.data(), withZero.size());
    EXPECT_EQ(atZero.length(), 4u);
    atZero.skipToByte('e');
    EXPECT_TRUE(atZero.atEnd());
    EXPECT_EQ(atZero.peek(), 0);
}

}  // namespace
}  // namespace quorvel
