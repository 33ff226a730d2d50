#include "core/data_buffer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "recording_log.h"
#include "core/string_buffer.h"
#include "quorvel/automation.hpp"
#include "scratch_dir.h"

namespace quorvel {
namespace {

std::string text(const DataBuffer& b) { return {b.data(), b.data() + b.size()}; }

VARIANT variant(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
}

TEST(DataBuffer, GrowthBorrowingAndRemoval) {
    // Appending grows by the needed size, at least the 20000-byte step.
    DataBuffer small, large;
    small.appendByte(7);
    std::string big(30000, 'b');
    large.append(big.data(), 30000);
    EXPECT_EQ(std::pair(small.capacity(), large.capacity()), std::pair(20000u, 30000u));
    large.append("c", 1);
    EXPECT_EQ(large.capacity(), 50000u);  // 30000 + max(1, 20000)

    const char outside[] = "outside";
    DataBuffer b;
    b.borrow(outside, 7);
    b.removeFirst(3);  // must not shift the borrowed bytes
    EXPECT_EQ(text(b), "side");
    b.borrow(outside, 7);
    b.append("!", 1);  // copies the borrowed bytes first
    EXPECT_EQ(text(b), "outside!");
    EXPECT_STREQ(outside, "outside");

    DataBuffer c, f;
    c.assign("abcdef", 6);
    c.removeFirst(2);
    EXPECT_EQ(text(c), "cdef");
    c.removeFirst(99);
    EXPECT_EQ(c.size(), 0u);
    f.moveFrom(large);
    EXPECT_EQ(text(f), big + "c");
}

TEST(DataBuffer, PaddingSchemes) {
    struct Case {
        uint32_t length;
        int scheme;
        uint32_t padded;
        int lastByte;  // -1: not checked (random padding)
        uint32_t unpadded;
    };
    // Up to the next multiple of 16, a whole block when aligned. Scheme 0 pads with the pad length,
    // 1 with random bytes then the length, 2 with random bytes only and is never removed.
    for (const Case& c : {Case{16, 0, 32, 16, 16}, Case{15, 0, 16, 1, 15}, Case{16, 1, 32, 16, 16}, Case{5, 2, 16, -1, 16}}) {
        DataBuffer b;
        std::string bytes(c.length, 's');
        b.append(bytes.data(), c.length);
        b.appendPadding(c.scheme);
        ASSERT_EQ(b.size(), c.padded) << c.length << "/" << c.scheme;
        EXPECT_TRUE(c.lastByte < 0 || b.data()[c.padded - 1] == c.lastByte);
        for (uint32_t i = c.length; c.scheme == 0 && i < c.padded; ++i) EXPECT_EQ(b.data()[i], c.lastByte);
        b.removePadding(c.scheme);
        EXPECT_EQ(b.size(), c.unpadded) << c.length << "/" << c.scheme;
    }
    DataBuffer bogus;
    uint8_t last[] = {1, 2, 200};
    bogus.append(last, 3);
    bogus.removePadding(0);  // a pad length past the data takes it all
    bogus.removePadding(0);  // and empty stays empty
    EXPECT_EQ(bogus.size(), 0u);
}

TEST(DataBuffer, VariantsInAndOut) {
    // Strings give their UTF-16 bytes, arrays their element bytes; by reference the same.
    VARIANT s = variant(VT_BSTR), ref = variant(VT_BYREF | VT_VARIANT), refStr = variant(VT_BYREF | VT_BSTR);
    s.bstrVal = SysAllocString(u"AB");
    ref.pvarVal = &s;
    refStr.pbstrVal = &s.bstrVal;
    DataBuffer b, g;
    b.appendVariant(&s);
    b.appendVariant(&ref);
    b.appendVariant(&refStr);
    EXPECT_EQ(text(b), std::string("A\0B\0A\0B\0A\0B\0", 12));
    VariantClear(&s);

    SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 1}};
    SAFEARRAY* grid = SafeArrayCreate(VT_I2, 2, bounds);
    static_cast<SHORT*>(grid->pvData)[5] = 0x4241;
    VARIANT arr = variant(VT_ARRAY | VT_I2), arrRef = variant(VT_BYREF | VT_ARRAY | VT_I2), number = variant(VT_I4);
    arr.parray = grid;
    arrRef.pparray = &grid;
    g.appendVariant(&arr);
    EXPECT_EQ(text(g), std::string(10, '\0') + "AB");  // 2-byte elements, 3 x 2 of them
    g.appendVariant(&arrRef);
    number.lVal = 5;
    g.appendVariant(&number);  // other kinds add nothing
    g.appendVariant(nullptr);
    EXPECT_EQ(g.size(), 24u);
    VariantClear(&arr);

    VARIANT out;
    DataBuffer empty, full;
    empty.toVariant(&out);
    EXPECT_EQ(out.vt, VT_NULL);
    full.append("xyz", 3);
    full.toVariant(&out);
    ASSERT_EQ(out.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(out.parray->rgsabound[0].cElements, 3u);  // the bytes, no terminator
    EXPECT_EQ(std::memcmp(out.parray->pvData, "xyz", 3), 0);
    VariantClear(&out);
}

TEST(DataBuffer, LoadFileBothForms) {
    namespace fs = std::filesystem;
    const test::ScratchDir scratch;
    const fs::path& dir = scratch.dir;
    fs::path emptyFile = dir / "empty.bin", data = dir / "d\xC3\xA9.bin";  // UTF-8 name, reached by the UTF-16 form too
    test::spill(emptyFile, "");
    test::spill(data, std::string_view("abc\0def", 7));

    RecordingLog log;
    DataBuffer b;
    b.append("stale", 5);
    EXPECT_TRUE(b.loadFile(emptyFile.c_str(), &log));
    EXPECT_EQ(b.size(), 0u);
    EXPECT_FALSE(b.loadFile(u"", nullptr));
    EXPECT_TRUE(b.loadFile(data.c_str(), &log));
    EXPECT_EQ(b.size(), 7u);
    std::u16string wide = (dir / "d").u16string() + u"\u00E9.bin";
    DataBuffer w;
    EXPECT_TRUE(w.loadFile(wide.c_str(), &log));
    EXPECT_EQ(text(w), text(b));
    EXPECT_TRUE(log.lines.empty());

    using Lines = std::vector<std::string>;
    EXPECT_FALSE(b.loadFile(static_cast<const char*>(nullptr), &log));
    EXPECT_EQ(log.take(), Lines{"E:Cannot load binary data file, filename is NULL or empty"});
    std::string missing = (dir / "missing.bin").string();
    EXPECT_FALSE(b.loadFile(missing.c_str(), &log));
    EXPECT_EQ(log.take(), (Lines{"E:No such file or directory", "D:filename=" + missing,
                                 "D:current_dir=" + fs::current_path().string()}));
    std::u16string missingWide(missing.begin(), missing.end());
    EXPECT_FALSE(b.loadFile(missingWide.c_str(), &log));  // the wide form names no file
    EXPECT_EQ(log.take(), Lines{"E:No such file or directory"});
    EXPECT_FALSE(b.loadFile(dir.c_str(), &log));  // a directory is not a file
    EXPECT_EQ(log.lines.at(0), "E:Is a directory");
}

TEST(StringBuffer, HostStringsThroughTheAnsiCodePage) {
    StringBuffer w(u"caf\u00E9 \u20AC \u4E2D");  // lands as one byte each, '?' where the page has none
    w.appendWide(nullptr);
    BSTR b = w.toBstr();
    EXPECT_EQ(std::u16string(b, SysStringLen(b)), u"caf\u00E9 \u20AC ?");
    SysFreeString(b);
    BSTR e = StringBuffer("").toBstr();
    ASSERT_NE(e, nullptr);  // an empty string, not the null one
    SysFreeString(e);
}

}  // namespace
}  // namespace quorvel
