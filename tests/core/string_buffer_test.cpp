#include "core/string_buffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/ext_ptr_array.h"

namespace quorvel {
namespace {

std::string str(const StringBuffer& b) { return std::string(b.data(), static_cast<size_t>(b.length())); }

// Length, capacity and growth step: what the block rules decide.
using Shape = std::tuple<int32_t, int32_t, int32_t>;
Shape shape(const StringBuffer& b) { return {b.length(), b.capacity(), b.growth()}; }

TEST(StringBuffer, BlockSizesAndGrowthRules) {
    EXPECT_EQ(shape(StringBuffer()), Shape(0, 200, 200));
    EXPECT_EQ(shape(StringBuffer(-5)), Shape(0, 200, 200));
    EXPECT_EQ(shape(StringBuffer(7)), Shape(0, 7, 7));
    EXPECT_EQ(shape(StringBuffer("ab\0c", 4, 0)), Shape(4, 5, 200));
    EXPECT_EQ(StringBuffer(nullptr, 10, 3).length(), 0);
    EXPECT_EQ(shape(StringBuffer(static_cast<const char*>(nullptr))), Shape(0, 4, 200));

    StringBuffer b("abc");  // capacity 4, growth 200
    b.appendChar('d');      // 3 + 1 >= 4: block of 3 + 200 + 1, growth halved
    EXPECT_EQ(shape(b), Shape(4, 204, 102));
    StringBuffer a("x");
    a.append("yz");  // 1 + 2 >= 2: block of 1 + 2 + 200 + 1
    EXPECT_EQ(shape(a), Shape(3, 204, 102));
    StringBuffer c("x");
    c.appendBytes("yz", 2);  // 2 <= 3: block of 1 + 2 + 200
    EXPECT_EQ(c.capacity(), 203);
    StringBuffer p("ab");
    p.prepend("xy");  // prepend leaves growth alone
    EXPECT_EQ(str(p), "xyab");
    EXPECT_EQ(shape(p), Shape(4, 2 + 2 + 200 + 1, 200));
    StringBuffer big;  // the step doubles up to the cap
    std::string chunk(1000, 'q');
    for (int i = 0; i < 5000; ++i) big.append(chunk.c_str());
    EXPECT_EQ(big.length(), 5000000);
    EXPECT_EQ(big.growth(), 500000);
    EXPECT_LE(big.length() + 1, big.capacity());
}

TEST(StringBuffer, EditingOperations) {
    using B = StringBuffer;
    struct Edit {
        const char* in;
        std::function<void(B&)> op;  // may check what the operation returns
        const char* out;
    };
    const Edit edits[] = {
        {" \t\r\n  \n", [](B& b) { b.trim(); }, ""},
        {"  a b \n", [](B& b) { b.trim(); }, "a b"},
        {"a&&b", [](B& b) { EXPECT_EQ(b.replaceAll("&", "&amp;"), 2); }, "a&amp;&amp;b"},
        {"abc", [](B& b) { EXPECT_EQ(b.replaceAll("", "x") + b.replaceAll(nullptr, "x"), 0); }, "abc"},
        {"a--b--", [](B& b) { EXPECT_EQ(b.replaceAll("-", nullptr), 4); }, "ab"},
        {"aaa", [](B& b) { EXPECT_EQ(b.replaceAll("a", "aa"), 3); }, "aaaaaa"},  // no rescan
        {"one two two", [](B& b) { EXPECT_TRUE(b.replaceFirst("two", "2")); }, "one 2 two"},
        {"one", [](B& b) { EXPECT_FALSE(b.replaceFirst("zzz", "2") || b.replaceFirst("", "2") || b.replaceFirst("one", nullptr)); }, "one"},
        {"abcdef", [](B& b) { b.removeRange(1, 2); for (auto [i, n] : {std::pair{-1, 1}, {4, 0}, {3, 2}, {0, -1}, {2, 1 << 30}, {1 << 30, 1}}) b.removeRange(i, n); }, "adef"},
        {"adef", [](B& b) { b.removeRange(0, 4); }, ""},
        {"abcdef", [](B& b) { b.shorten(2); b.shorten(-3); }, "abcd"},
        {"abcdef", [](B& b) { b.shorten(99); }, ""},
        {"a.b.c.d", [](B& b) { b.removeCharFrom('.', 3); b.removeCharFrom('.', 99); b.removeCharFrom('.', -1); }, "a.bcd"},
        // Taking from its own bytes.
        {"abcdef", [](B& b) { b.setString(b.data() + 2); b.append(b.data()); b.prepend(b.data() + 4); }, "cdefcdefcdef"},
        {"abc", [](B& b) { b.appendBytes(b.data(), 3); b.appendBytes(b.data() + 1, 5); }, "abcabcbcabc"},
        {"<a & \"b\">", [](B& b) { b.entityEncode(); }, "&lt;a &amp; &quot;b&quot;&gt;"},
        {"", [](B& b) { b.appendEscaped("x'&\"<>y\0z", 10); }, "x'&amp;&quot;&lt;&gt;y"},
    };
    for (const Edit& e : edits) {
        B b(e.in);
        e.op(b);
        EXPECT_EQ(str(b), e.out) << e.in;
        EXPECT_EQ(b.data()[b.length()], 0) << e.in;
    }
}

TEST(StringBuffer, ReadsAndComparisons) {
    StringBuffer b("Hello");
    EXPECT_EQ(std::string({b.charAt(-1), b.charAt(5), b.charAt(4), b.lastChar(), StringBuffer("").lastChar()}),
              std::string("\0\0oo\0", 5));
    EXPECT_TRUE(b.contains("ell") && b.contains("") && b.containsNoCase("ELL"));
    EXPECT_FALSE(b.contains(nullptr) || b.containsNoCase(""));
    EXPECT_FALSE(b.equals("Hell") || b.equals(nullptr) || !b.equalsNoCase("hELLO"));
    EXPECT_TRUE(StringBuffer("").equals(nullptr) && StringBuffer("").equalsNoCase(nullptr));
    EXPECT_FALSE(StringBuffer("a\0b", 3, 0).equals("a"));
    // Unsigned bytes, no case folding.
    for (auto [l, r, order] : {std::tuple{"ab", "ab", 0}, {"ab", "abc", -1}, {"\xC3", "z", 1}, {"Z", "a", -1}}) {
        EXPECT_EQ(StringBuffer(l).compare(r), order) << l << " " << r;
    }
}

TEST(StringBuffer, SplitHexDumpAndFileName) {
    struct Case {
        const char* text;
        const char* delims;
        bool quotes, escapes;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"a,,b,", ",", false, false, {"a", "", "b", ""}},
        {"x,\"y,z\"", ",", true, false, {"x", "\"y,z\""}},
        {"a\\,b,c", ",", false, true, {"a\\,b", "c"}},
        {"", ",", false, false, {}},
    };
    for (const Case& c : cases) {
        ExtPtrArray out;
        StringBuffer(c.text).split(out, c.delims, c.quotes, c.escapes);
        std::vector<std::string> got;
        for (int i = 0; i < out.count(); ++i) got.push_back(str(*out.atAs<StringBuffer>(i)));
        EXPECT_EQ(got, c.tokens) << c.text;
        out.destroyAll();
    }

    unsigned char bytes[18];
    for (int i = 0; i < 18; ++i) bytes[i] = static_cast<unsigned char>(i * 15);
    StringBuffer hex;
    hex.appendHexDump(bytes, 18);
    EXPECT_EQ(str(hex), "000F 1E2D 3C4B 5A69 7887 96A5 B4C3 D2E1 \nF0FF ");
    hex.appendHexDump(bytes, 0);
    hex.appendHexDump(nullptr, 5);
    EXPECT_EQ(hex.length(), 46);

    for (auto [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"mixed/a\\b", "b"}, {"end/", ""}, {std::string(300, 'x') + "/tail", std::string(300, 'x') + "/tail"}}) {
        StringBuffer b(in.c_str());
        b.toFileName();
        EXPECT_EQ(str(b), out) << in;
    }
    StringBuffer n;
    n.appendInt(-2147483647 - 1);
    n.appendInt(42);
    EXPECT_EQ(str(n), "-214748364842");
}

TEST(StringHelpers, WildcardAndFindNoCase) {
    struct Case {
        const char* text;
        const char* pattern;
        bool sensitive, expected;
    };
    const Case cases[] = {
        {"", "**", true, true},       {nullptr, "", true, true},      {"abc", nullptr, true, false},
        {"abcbc", "a*bc", true, true}, {"ABC", "a*", false, true},     {"ABC", "a*", true, false},
        {"abc", "ab", true, false},   {"abc", "*b", true, false},     {"ac", "a*b*c", true, false},
        {"aXbXc", "a**b*c", true, true}, {"abab", "*ab*ab", true, true}, {"ab", "ab*ab", true, false},
        {"a", "*aa", true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wildcardMatch(c.text, c.pattern, c.sensitive), c.expected)
            << (c.text ? c.text : "(null)") << " ~ " << (c.pattern ? c.pattern : "(null)");
    }
    std::string long600(600, 'z');
    long600 += "end";
    EXPECT_TRUE(wildcardMatch(long600.c_str(), "z*end", true));

    const char* text = "Hello World";
    const char* accented = "x\xC3\xA9";
    EXPECT_EQ(findNoCase(text, "wORLD"), text + 6);
    EXPECT_EQ(findNoCase(accented, "\xC3\xA9"), accented + 1);
    for (auto [t, p] : {std::pair{text, ""}, {"", "a"}, {nullptr, "a"}, {text, nullptr}, {"abc", "abcd"}, {accented, "\xC3\x89"}}) {
        EXPECT_EQ(findNoCase(t, p), nullptr) << (p ? p : "(null)");  // folding is ASCII only
    }
    EXPECT_STREQ(intToString(-17), "-17");
}

TEST(StringBuffer, BlockPoolRecyclesAtMostOneHundredBlocks) {
    StringBuffer::freeBlockPool();
    {
        std::vector<std::unique_ptr<StringBuffer>> many;
        for (int i = 0; i < 101; ++i) many.push_back(std::make_unique<StringBuffer>());
    }
    EXPECT_EQ(StringBuffer::pooledBlockCount(), 100);
    {
        StringBuffer reuse;  // takes one from the pool
        EXPECT_EQ(StringBuffer::pooledBlockCount(), 99);
        StringBuffer odd(201);  // not a pool size
        EXPECT_EQ(StringBuffer::pooledBlockCount(), 99);
    }
    EXPECT_EQ(StringBuffer::pooledBlockCount(), 100);
    StringBuffer taken;
    int32_t len = -1;
    taken.append("abc");
    char* block = taken.takeBuffer(&len);
    EXPECT_EQ(len, 3);
    EXPECT_STREQ(block, "abc");
    StringBuffer::freeBlock(block);
    EXPECT_EQ(taken.length(), 0);
    EXPECT_EQ(taken.capacity(), 200);
}

TEST(StringBuffer, PoolAndIntToStringAreSafeAcrossThreads) {
    auto work = [](int seed) {
        for (int i = 0; i < 20000; ++i) {
            StringBuffer a;
            a.appendInt(seed * 100000 + i);
            std::string expect = std::to_string(seed * 100000 + i);
            if (std::string(intToString(seed * 100000 + i)) != expect || a.view() != expect) std::abort();
        }
    };
    std::thread t1(work, 1), t2(work, 2);
    t1.join();
    t2.join();
    EXPECT_LE(StringBuffer::pooledBlockCount(), 100);
}

TEST(ExtArrays, GrowthAndBounds) {
    ExtPtrArray a(0, -3);
    int values[12];
    for (int i = 0; i < 12; ++i) a.append(&values[i]);
    EXPECT_EQ(a.capacity(), 20);  // 5 -> 10 (increment becomes 10) -> 20
    EXPECT_EQ(std::vector<void*>({a.at(-1), a.at(12), a.removeAt(99), a.removeAt(0), a.at(0), a.pop()}),
              std::vector<void*>({nullptr, nullptr, nullptr, &values[0], &values[1], &values[11]}));
    ExtIntArray ints;
    ints.append(5);
    EXPECT_EQ(std::vector<int>({ints.at(-1), ints.at(1), ints.removeAt(1000), ints.removeAt(0)}), std::vector<int>({0, 0, 0, 5}));
}

}  // namespace
}  // namespace quorvel
