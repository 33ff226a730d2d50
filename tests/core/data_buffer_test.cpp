#include "core/data_buffer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/log_base.h"
#include "core/string_buffer.h"
#include "quorvel/automation.hpp"

namespace quorvel {
namespace {

// Records what the buffer logs, one line per call.
struct RecordingLog : LogBase {
    std::vector<std::string> lines;
    bool LogError(const char* m) override { return lines.emplace_back(std::string("E:") + m), true; }
    bool LogInfo(const char* m) override { return lines.emplace_back(std::string("I:") + m), true; }
    bool ClearLog() override { return lines.clear(), true; }
    bool EnterContext(const char*) override { return true; }
    bool LeaveContext() override { return true; }
    bool LogData(const char* k, const char* v) override { return lines.emplace_back(std::string("D:") + k + "=" + v), true; }
    bool LogDataLong(const char*, int32_t) override { return true; }
    bool GetErrorSummary(StringBuffer&) override { return true; }
    bool SaveXmlLog(const char*) override { return true; }
};

std::vector<uint8_t> bytes(const DataBuffer& b) { return {b.data(), b.data() + b.size()}; }

TEST(DataBuffer, GrowthBorrowingAndRemoval) {
    DataBuffer one;
    one.appendByte(7);
    EXPECT_EQ(one.capacity(), 20000u);
    DataBuffer small;
    small.append("x", 1);
    EXPECT_EQ(small.capacity(), 20000u);
    std::string big(30000, 'b');
    DataBuffer large;
    large.append(big.data(), 30000);
    EXPECT_EQ(large.capacity(), 30000u);
    large.append("c", 1);
    EXPECT_EQ(large.capacity(), 50000u);  // 30000 + max(1, 20000)

    DataBuffer zeroed(8);
    EXPECT_EQ(zeroed.size(), 0u);
    EXPECT_EQ(zeroed.capacity(), 8u);
    zeroed.reserve(4);
    EXPECT_EQ(zeroed.capacity(), 8u);
    zeroed.reserve(9);
    EXPECT_EQ(zeroed.capacity(), 9u);

    const char outside[] = "outside";
    DataBuffer b;
    b.borrow(outside, 7);
    EXPECT_TRUE(b.borrowed());
    b.removeFirst(3);  // must not shift the borrowed bytes
    EXPECT_STREQ(outside, "outside");
    EXPECT_EQ(std::string(b.data(), b.data() + b.size()), "side");
    b.borrow(outside, 7);
    b.append("!", 1);
    EXPECT_FALSE(b.borrowed());
    EXPECT_EQ(std::string(b.data(), b.data() + b.size()), "outside!");
    b.clear();
    EXPECT_STREQ(outside, "outside");

    DataBuffer c;
    c.assign("abcdef", 6);
    EXPECT_EQ(c.capacity(), 6u);
    c.removeFirst(2);
    EXPECT_EQ(std::string(c.data(), c.data() + c.size()), "cdef");
    c.removeFirst(99);
    EXPECT_EQ(c.size(), 0u);
    DataBuffer d;
    d.append("xyz", 3);
    DataBuffer e;
    e.copyFrom(d);
    EXPECT_EQ(e.capacity(), d.capacity());
    DataBuffer f;
    f.moveFrom(e);
    EXPECT_EQ(e.size(), 0u);
    EXPECT_EQ(e.data(), nullptr);
    EXPECT_EQ(bytes(f), bytes(d));
}

TEST(DataBuffer, PaddingSchemes) {
    DataBuffer b;
    std::string sixteen(16, 's');
    b.append(sixteen.data(), 16);
    b.appendPadding(0);
    ASSERT_EQ(b.size(), 32u);
    for (uint32_t i = 16; i < 32; ++i) EXPECT_EQ(b.data()[i], 16);
    b.removePadding(0);
    EXPECT_EQ(b.size(), 16u);

    DataBuffer odd;
    odd.append(sixteen.data(), 15);
    odd.appendPadding(0);
    EXPECT_EQ(odd.size(), 16u);
    EXPECT_EQ(odd.data()[15], 1);
    odd.appendPadding(1);
    EXPECT_EQ(odd.size(), 32u);
    EXPECT_EQ(odd.data()[31], 16);
    odd.removePadding(1);
    EXPECT_EQ(odd.size(), 16u);

    DataBuffer random;
    random.append(sixteen.data(), 5);
    random.appendPadding(2);
    EXPECT_EQ(random.size(), 16u);
    random.removePadding(2);  // scheme 2 removes nothing
    EXPECT_EQ(random.size(), 16u);

    DataBuffer bogus;
    uint8_t last[] = {1, 2, 200};
    bogus.append(last, 3);
    bogus.removePadding(0);
    EXPECT_EQ(bogus.size(), 0u);
    bogus.removePadding(0);  // empty stays empty
    EXPECT_EQ(bogus.size(), 0u);
}

TEST(DataBuffer, VariantsInAndOut) {
    VARIANT s;
    VariantInit(&s);
    s.vt = VT_BSTR;
    s.bstrVal = SysAllocString(u"AB");
    DataBuffer b;
    b.appendVariant(&s);
    EXPECT_EQ(bytes(b), (std::vector<uint8_t>{0x41, 0, 0x42, 0}));

    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_VARIANT;
    ref.pvarVal = &s;
    b.appendVariant(&ref);
    VARIANT refStr;
    VariantInit(&refStr);
    refStr.vt = VT_BYREF | VT_BSTR;
    refStr.pbstrVal = &s.bstrVal;
    b.appendVariant(&refStr);
    EXPECT_EQ(b.size(), 12u);
    VariantClear(&s);

    SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 1}};
    SAFEARRAY* grid = SafeArrayCreate(VT_I2, 2, bounds);
    VARIANT arr;
    VariantInit(&arr);
    arr.vt = VT_ARRAY | VT_I2;
    arr.parray = grid;
    DataBuffer g;
    g.appendVariant(&arr);
    EXPECT_EQ(g.size(), 12u);  // 2-byte elements, 3 x 2 of them
    VARIANT arrRef;
    VariantInit(&arrRef);
    arrRef.vt = VT_BYREF | VT_ARRAY | VT_I2;
    arrRef.pparray = &grid;
    g.appendVariant(&arrRef);
    EXPECT_EQ(g.size(), 24u);
    VariantClear(&arr);

    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 5;
    g.appendVariant(&number);
    g.appendVariant(nullptr);
    EXPECT_EQ(g.size(), 24u);

    VARIANT out;
    DataBuffer empty;
    empty.toVariant(&out);
    EXPECT_EQ(out.vt, VT_NULL);
    DataBuffer full;
    full.append("xyz", 3);
    full.toVariant(&out);
    ASSERT_EQ(out.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(out.parray->cDims, 1);
    EXPECT_EQ(out.parray->rgsabound[0].cElements, 3u);
    EXPECT_EQ(out.parray->rgsabound[0].lLbound, 0);
    EXPECT_EQ(std::memcmp(out.parray->pvData, "xyz", 3), 0);
    VariantClear(&out);
}

TEST(DataBuffer, LoadFileBothForms) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("qv_databuffer_" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path emptyFile = dir / "empty.bin";
    std::ofstream(emptyFile).close();
    fs::path data = dir / "d\xC3\xA9.bin";  // UTF-8 name, reached by the UTF-16 form too
    std::ofstream(data, std::ios::binary) << std::string("abc\0def", 7);

    RecordingLog log;
    DataBuffer b;
    b.append("stale", 5);
    EXPECT_TRUE(b.loadFile(emptyFile.c_str(), &log));
    EXPECT_EQ(b.size(), 0u);
    EXPECT_TRUE(b.loadFile(u"", nullptr) == false);
    EXPECT_TRUE(b.loadFile(data.c_str(), &log));
    EXPECT_EQ(b.size(), 7u);
    std::u16string wide = (dir / "d").u16string() + u"\u00E9.bin";
    DataBuffer w;
    EXPECT_TRUE(w.loadFile(wide.c_str(), &log));
    EXPECT_EQ(bytes(w), bytes(b));
    EXPECT_TRUE(log.lines.empty());

    EXPECT_FALSE(b.loadFile(static_cast<const char*>(nullptr), &log));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"E:Cannot load binary data file, filename is NULL or empty"}));
    log.lines.clear();
    std::string missing = (dir / "missing.bin").string();
    EXPECT_FALSE(b.loadFile(missing.c_str(), &log));
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[0], "E:No such file or directory");
    EXPECT_EQ(log.lines[1], "D:filename=" + missing);
    EXPECT_EQ(log.lines[2].rfind("D:current_dir=/", 0), 0u);
    log.lines.clear();
    std::u16string missingWide(missing.begin(), missing.end());
    EXPECT_FALSE(b.loadFile(missingWide.c_str(), &log));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"E:No such file or directory"}));
    log.lines.clear();
    EXPECT_FALSE(b.loadFile(dir.c_str(), &log));  // a directory is not a file
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines[0], "E:Is a directory");
    fs::remove_all(dir);
}

TEST(StringBuffer, HostStringsThroughTheAnsiCodePage) {
    StringBuffer w(u"caf\u00E9 \u20AC \u4E2D");
    EXPECT_EQ(w.view(), "caf\xE9 \x80 ?");
    EXPECT_EQ(w.capacity(), w.length() + 1);
    EXPECT_EQ(w.growth(), 200);
    StringBuffer n(static_cast<const char16_t*>(nullptr));
    EXPECT_EQ(n.capacity(), 4);
    n.appendWide(u"x\u00FF");
    n.appendWide(nullptr);
    EXPECT_EQ(n.view(), "x\xFF");
    BSTR b = w.toBstr();
    EXPECT_EQ(std::u16string(b, SysStringLen(b)), u"caf\u00E9 \u20AC ?");
    SysFreeString(b);
    BSTR e = StringBuffer("").toBstr();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(SysStringLen(e), 0u);
    SysFreeString(e);
    StringBuffer err;
    err.appendErrorText(2);
    EXPECT_EQ(err.view(), "No such file or directory");
}

}  // namespace
}  // namespace quorvel
