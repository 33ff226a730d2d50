#include "core/string_buffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/ext_ptr_array.h"

namespace quorvel {
namespace {

std::string str(const StringBuffer& b) { return std::string(b.data(), static_cast<size_t>(b.length())); }

TEST(StringBuffer, ConstructorsSetBlockAndGrowth) {
    StringBuffer d;
    EXPECT_EQ(d.capacity(), 200);
    EXPECT_EQ(d.growth(), 200);
    StringBuffer zero(0);
    EXPECT_EQ(zero.capacity(), 200);
    EXPECT_EQ(zero.growth(), 200);
    StringBuffer neg(-5);
    EXPECT_EQ(neg.capacity(), 200);
    StringBuffer small(7);
    EXPECT_EQ(small.capacity(), 7);
    EXPECT_EQ(small.growth(), 7);
    StringBuffer bytes("ab\0c", 4, 0);
    EXPECT_EQ(bytes.length(), 4);
    EXPECT_EQ(bytes.capacity(), 5);
    EXPECT_EQ(bytes.growth(), 200);
    StringBuffer nullBytes(nullptr, 10, 3);
    EXPECT_EQ(nullBytes.length(), 0);
    StringBuffer nul(static_cast<const char*>(nullptr));
    EXPECT_EQ(nul.capacity(), 4);
    EXPECT_EQ(nul.length(), 0);
    EXPECT_EQ(nul.data()[0], 0);
    StringBuffer s("hello");
    EXPECT_EQ(s.capacity(), 6);
    EXPECT_EQ(s.length(), 5);
}

TEST(StringBuffer, GrowthRulesDoubleUpToTheCap) {
    StringBuffer b("abc");  // capacity 4, growth 200
    b.appendChar('d');      // 3 + 1 >= 4: block of 3 + 200 + 1
    EXPECT_EQ(b.capacity(), 204);
    EXPECT_EQ(b.growth(), 102);
    StringBuffer a("x");
    a.append("yz");  // 1 + 2 >= 2: block of 1 + 2 + 200 + 1
    EXPECT_EQ(a.capacity(), 204);
    EXPECT_EQ(a.growth(), 102);
    StringBuffer c("x");
    c.appendBytes("yz", 2);  // 2 <= 3: block of 1 + 2 + 200
    EXPECT_EQ(c.capacity(), 203);
    StringBuffer p("ab");
    p.prepend("xy");
    EXPECT_EQ(str(p), "xyab");
    EXPECT_EQ(p.capacity(), 2 + 2 + 200 + 1);
    EXPECT_EQ(p.growth(), 200);  // prepend and reserve leave growth alone
    StringBuffer big;
    std::string chunk(1000, 'q');
    for (int i = 0; i < 5000; ++i) big.append(chunk.c_str());
    EXPECT_EQ(big.length(), 5000000);
    EXPECT_EQ(big.growth(), 500000);
    EXPECT_LE(big.length() + 1, big.capacity());
}

TEST(StringBuffer, EditingOperations) {
    StringBuffer w(" \t\r\n  \n");
    w.trim();
    EXPECT_EQ(w.length(), 0);
    EXPECT_EQ(w.data()[0], 0);
    StringBuffer t("  a b \n");
    t.trim();
    EXPECT_EQ(str(t), "a b");

    StringBuffer amp("a&&b");
    EXPECT_EQ(amp.replaceAll("&", "&amp;"), 2);
    EXPECT_EQ(str(amp), "a&amp;&amp;b");
    StringBuffer none("abc");
    const char* block = none.data();
    EXPECT_EQ(none.replaceAll("&", "x"), 0);
    EXPECT_EQ(none.data(), block);
    EXPECT_EQ(none.replaceAll("", "x"), 0);
    EXPECT_EQ(none.replaceAll(nullptr, "x"), 0);
    StringBuffer del("a--b--");
    EXPECT_EQ(del.replaceAll("-", nullptr), 4);
    EXPECT_EQ(str(del), "ab");
    StringBuffer noRescan("aaa");
    EXPECT_EQ(noRescan.replaceAll("a", "aa"), 3);
    EXPECT_EQ(str(noRescan), "aaaaaa");
    StringBuffer overlap("aaaa");
    EXPECT_EQ(overlap.replaceAll("aa", "b"), 2);

    StringBuffer f("one two two");
    EXPECT_TRUE(f.replaceFirst("two", "2"));
    EXPECT_EQ(str(f), "one 2 two");
    EXPECT_FALSE(f.replaceFirst("zzz", "2"));
    EXPECT_FALSE(f.replaceFirst("", "2"));
    EXPECT_FALSE(f.replaceFirst("one", nullptr));

    StringBuffer r("abcdef");
    r.removeRange(1, 2);
    EXPECT_EQ(str(r), "adef");
    for (auto [i, n] : std::vector<std::pair<int, int>>{{-1, 1}, {4, 0}, {3, 2}, {0, -1}, {2, 1 << 30}, {1 << 30, 1}}) {
        r.removeRange(i, n);
        EXPECT_EQ(str(r), "adef") << i << "," << n;
    }
    r.removeRange(0, 4);
    EXPECT_EQ(str(r), "");

    StringBuffer s("abcdef");
    s.shorten(2);
    EXPECT_EQ(str(s), "abcd");
    s.shorten(-3);
    EXPECT_EQ(str(s), "abcd");
    s.shorten(99);
    EXPECT_EQ(str(s), "");

    StringBuffer rc("a.b.c.d");
    rc.removeCharFrom('.', 3);
    EXPECT_EQ(str(rc), "a.bcd");
    rc.removeCharFrom('.', 99);
    rc.removeCharFrom('.', -1);
    EXPECT_EQ(str(rc), "a.bcd");
    rc.removeChar('.');
    EXPECT_EQ(str(rc), "abcd");
    rc.replaceChar('b', 'B');
    EXPECT_EQ(str(rc), "aBcd");
    rc.toLower();
    EXPECT_EQ(str(rc), "abcd");

    StringBuffer own("abcdef");
    own.setString(own.data() + 2);
    EXPECT_EQ(str(own), "cdef");
    own.append(own.data());
    EXPECT_EQ(str(own), "cdefcdef");
    own.prepend(own.data() + 4);
    EXPECT_EQ(str(own), "cdefcdefcdef");

    StringBuffer e("<a & \"b\">");
    e.entityEncode();
    EXPECT_EQ(str(e), "&lt;a &amp; &quot;b&quot;&gt;");
    StringBuffer e2("<\">");
    e2.entityEncodeNoQuotes();
    EXPECT_EQ(str(e2), "&lt;\"&gt;");
    StringBuffer esc;
    esc.appendEscaped("x'&\"<>y\0z", 10);
    EXPECT_EQ(str(esc), "x'&amp;&quot;&lt;&gt;y");
    StringBuffer esc2;
    esc2.appendEscaped("&&&", 2);
    EXPECT_EQ(str(esc2), "&amp;&amp;");
}

TEST(StringBuffer, ReadsAndComparisons) {
    StringBuffer b("Hello");
    EXPECT_EQ(b.charAt(-1), 0);
    EXPECT_EQ(b.charAt(5), 0);
    EXPECT_EQ(b.charAt(4), 'o');
    EXPECT_EQ(b.lastChar(), 'o');
    EXPECT_EQ(StringBuffer("").lastChar(), 0);
    EXPECT_TRUE(b.contains("ell"));
    EXPECT_TRUE(b.contains(""));
    EXPECT_FALSE(b.contains(nullptr));
    EXPECT_TRUE(b.containsNoCase("ELL"));
    EXPECT_FALSE(b.containsNoCase(""));
    EXPECT_TRUE(b.equals("Hello"));
    EXPECT_FALSE(b.equals("Hell"));
    EXPECT_TRUE(b.equalsNoCase("hELLO"));
    EXPECT_FALSE(b.equals(nullptr));
    EXPECT_TRUE(StringBuffer("").equals(nullptr));
    EXPECT_TRUE(StringBuffer("").equalsNoCase(nullptr));
    EXPECT_EQ(StringBuffer("a").compare("b"), -1);
    EXPECT_EQ(StringBuffer("b").compare("a"), 1);
    EXPECT_EQ(StringBuffer("ab").compare("ab"), 0);
    EXPECT_EQ(StringBuffer("ab").compare("abc"), -1);
    EXPECT_EQ(StringBuffer("\xC3").compare("z"), 1);  // unsigned bytes
    EXPECT_EQ(StringBuffer("Z").compare("a"), -1);
    StringBuffer withZero("a\0b", 3, 0);
    EXPECT_FALSE(withZero.equals("a"));
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
        {"x,\"y,z\"", ",", false, false, {"x", "\"y", "z\""}},
        {"a\\,b,c", ",", false, true, {"a\\,b", "c"}},
        {"a b;c", " ;", false, false, {"a", "b", "c"}},
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
    EXPECT_EQ(hex.length(), 46);
    EXPECT_EQ(str(hex), "000F 1E2D 3C4B 5A69 7887 96A5 B4C3 D2E1 \nF0FF ");
    hex.appendHexDump(bytes, 0);
    hex.appendHexDump(nullptr, 5);
    EXPECT_EQ(hex.length(), 46);

    for (auto [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"/tmp/dir/file.xml", "file.xml"}, {"C:\\a\\b.txt", "b.txt"}, {"plain", "plain"},
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
        {"", "**", true, true},      {"", nullptr, true, true},   {nullptr, "", true, true},
        {"", "a", true, false},      {"abc", "", true, false},    {"abc", nullptr, true, false},
        {"abcbc", "a*bc", true, true}, {"ABC", "a*", false, true}, {"ABC", "a*", true, false},
        {"abc", "abc", true, true},  {"abc", "ab", true, false},  {"abc", "*", true, true},
        {"abc", "*c", true, true},   {"abc", "*b", true, false},  {"abc", "a*b*c", true, true},
        {"ac", "a*b*c", true, false}, {"aXbXc", "a**b*c", true, true}, {"abab", "*ab*ab", true, true},
        {"ab", "ab*ab", true, false}, {"abc", "A*C", false, true}, {"x", "x*", true, true},
        {"hello world", "*lo w*", true, true}, {"aaa", "*aa", true, true}, {"a", "*aa", true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wildcardMatch(c.text, c.pattern, c.sensitive), c.expected)
            << (c.text ? c.text : "(null)") << " ~ " << (c.pattern ? c.pattern : "(null)");
    }
    std::string long600(600, 'z');
    long600 += "end";
    EXPECT_TRUE(wildcardMatch(long600.c_str(), "z*end", true));

    const char* text = "Hello World";
    EXPECT_EQ(findNoCase(text, "wORLD"), text + 6);
    EXPECT_EQ(findNoCase(text, ""), nullptr);
    EXPECT_EQ(findNoCase("", "a"), nullptr);
    EXPECT_EQ(findNoCase(nullptr, "a"), nullptr);
    EXPECT_EQ(findNoCase(text, nullptr), nullptr);
    EXPECT_EQ(findNoCase("abc", "abcd"), nullptr);
    const char* accented = "x\xC3\xA9";
    EXPECT_EQ(findNoCase(accented, "\xC3\xA9"), accented + 1);
    EXPECT_EQ(findNoCase(accented, "\xC3\x89"), nullptr);  // folding is ASCII only
    EXPECT_STREQ(intToString(-17), "-17");
}

TEST(StringBuffer, BlockPoolRecyclesAtMostOneHundredBlocks) {
    StringBuffer::freeBlockPool();
    EXPECT_EQ(StringBuffer::pooledBlockCount(), 0);
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
    StringBuffer::freeBlockPool();
    EXPECT_EQ(StringBuffer::pooledBlockCount(), 0);
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
    ExtPtrArray empty;
    EXPECT_EQ(empty.capacity(), 0);
    EXPECT_EQ(empty.pop(), nullptr);
    EXPECT_EQ(empty.capacity(), 5);
    ExtPtrArray a(0, -3);
    EXPECT_EQ(a.capacity(), 5);
    EXPECT_EQ(a.increment(), 5);
    int values[12];
    for (int i = 0; i < 12; ++i) EXPECT_EQ(a.append(&values[i]), i);
    EXPECT_EQ(a.capacity(), 20);  // 5 -> 10 (increment becomes 10) -> 20
    EXPECT_EQ(a.at(-1), nullptr);
    EXPECT_EQ(a.at(12), nullptr);
    EXPECT_EQ(a.removeAt(0), &values[0]);
    EXPECT_EQ(a.at(0), &values[1]);
    EXPECT_EQ(a.removeAt(99), nullptr);
    EXPECT_EQ(a.last(), &values[11]);
    EXPECT_EQ(a.pop(), &values[11]);
    EXPECT_EQ(a.count(), 10);
    ExtPtrArray big;
    for (int i = 0; i < 300000; ++i) big.append(nullptr);
    EXPECT_EQ(big.increment(), ExtPtrArray::kIncrementLimit);

    ExtIntArray ints;
    EXPECT_EQ(ints.capacity(), 80);
    for (int i = 0; i < 100; ++i) ints.append(i);
    EXPECT_EQ(ints.capacity(), 280);
    EXPECT_EQ(ints.at(-1), 0);
    EXPECT_EQ(ints.at(100), 0);
    EXPECT_EQ(ints.removeAt(5), 5);
    EXPECT_EQ(ints.at(5), 6);
    EXPECT_EQ(ints.removeAt(1000), 0);
}

}  // namespace
}  // namespace quorvel
