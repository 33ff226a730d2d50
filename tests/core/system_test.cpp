#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/system/code_page.h"
#include "core/system/error_text.h"
#include "core/system/file.h"
#include "core/system/file_system.h"
#include "core/system/thread_id.h"
#include "core/system/utf8.h"
#include "scratch_dir.h"

using namespace quorvel::sys;
namespace fs = std::filesystem;

namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

}  // namespace

TEST(CodePage, AnsiRoundTripsEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::u16string wide = fromAnsi(all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(wide[0x80], 0x20AC);  // euro sign
  EXPECT_EQ(wide[0x9F], 0x0178);
  for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(wide[b], b);
  EXPECT_EQ(toAnsi(wide), all);

  // Characters the code page lacks become one '?' each; a pair is one character.
  EXPECT_EQ(toAnsi(u"a\u0080\u0100\u20AC\U0001F600\xD800z\xDC00"), "a??\x80??z?");
  EXPECT_EQ(toLatin1(u"\u00FF\u0100\u20AC\U0001F600"), "\xFF???");
  EXPECT_EQ(fromLatin1("\x80\xFF"), u"\u0080\u00FF");
}

TEST(Utf8, DecodesIllFormedInputAsMaximalSubparts) {
  const char16_t R = 0xFFFD;
  const struct {
    std::string in;
    std::u16string out;
  } table[] = {
      // Boundaries of the sequence lengths.
      {bytes({0x00}), std::u16string(1, 0)},
      {bytes({0xEF, 0xBF, 0xBF}), u"\uFFFF"},
      {bytes({0xF4, 0x8F, 0xBF, 0xBF}), u"\U0010FFFF"},
      // The worked example of the Unicode standard's best practice.
      {bytes({0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2, 0x62, 0x80, 0x63, 0x80, 0xBF, 0x64}),
       {u'a', R, R, R, u'b', R, u'c', R, R, u'd'}},
      // Impossible bytes; truncated sequences, one replacement each, then what follows.
      {bytes({0xFE, 0xC0, 0xF5}), {R, R, R}},
      {bytes({0xDF, 0xEF, 0xBF, 0xF4, 0x8F, 0xBF}), {R, R, R}},
      // Overlong forms, encoded surrogates, values above U+10FFFF: one per byte.
      {bytes({0xE0, 0x80, 0xAF}), {R, R, R}},
      {bytes({0xED, 0xA0, 0x80}), {R, R, R}},
      {bytes({0xF4, 0x90, 0x80, 0x80}), {R, R, R, R}},
      // Long ASCII runs around a sequence (the fast path's seams).
      {"abcdefgh" + bytes({0xC3, 0xA9}) + "ijklmnopqr", u"abcdefgh\u00E9ijklmnopqr"},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(::testing::PrintToString(t.in));
    EXPECT_EQ(fromUtf8(t.in), t.out);
    EXPECT_EQ(utf16Length(t.in.data(), t.in.size()), t.out.size());
    // Long ASCII runs go sixteen bytes at a time: the same at every offset of such a run.
    for (size_t before = 0; before <= 40; before += 3) {
      const std::string in = std::string(before, 'a') + t.in + std::string(40 - before, 'b');
      const std::u16string out = std::u16string(before, u'a') + t.out + std::u16string(40 - before, u'b');
      EXPECT_EQ(fromUtf8(in), out) << before;
      EXPECT_EQ(utf16Length(in.data(), in.size()), out.size()) << before;
    }
  }
}

TEST(Utf8, EncodesAndReplacesUnpairedSurrogates) {
  const struct {
    std::u16string in;
    std::string out;
  } table[] = {
      {u"a\u20AC", bytes({0x61, 0xE2, 0x82, 0xAC})},
      {u"\U0001F600", bytes({0xF0, 0x9F, 0x98, 0x80})},
      {std::u16string{0xDC00, 0xD800}, bytes({0xEF, 0xBF, 0xBD, 0xEF, 0xBF, 0xBD})},
      {std::u16string{u'x', 0xD83D, u'y'}, bytes({0x78, 0xEF, 0xBF, 0xBD, 0x79})},
  };
  for (const auto& t : table) {
    EXPECT_EQ(toUtf8(t.in), t.out);
    EXPECT_EQ(utf8Length(t.in.data(), t.in.size()), t.out.size());
    // Long ASCII runs go sixteen units at a time: the same at every offset of such a run.
    for (size_t before = 0; before <= 40; ++before) {
      const std::u16string in = std::u16string(before, u'a') + t.in + std::u16string(40 - before, u'b');
      const std::string out = std::string(before, 'a') + t.out + std::string(40 - before, 'b');
      EXPECT_EQ(toUtf8(in), out) << before;
      EXPECT_EQ(utf8Length(in.data(), in.size()), out.size()) << before;
    }
  }
  // Every well-formed text survives the round trip.
  std::u16string all;
  for (char32_t c = 1; c < 0x110000; c += 97) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (c > 0xFFFF) {
      all.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      all.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      all.push_back(static_cast<char16_t>(c));
    }
  }
  EXPECT_EQ(fromUtf8(toUtf8(all)), all);
}

TEST(ErrorText, MessagesAndLastErrorPerThread) {
  EXPECT_EQ(errorText(ENOENT), "No such file or directory");
  EXPECT_EQ(errorText(987654), "");
  setLastError(EEXIST);
  std::thread([] { EXPECT_EQ(lastError(), 0); }).join();
  EXPECT_EQ(lastError(), EEXIST);
  uint32_t other = 0;
  std::thread([&] { other = currentThreadId(); }).join();
  EXPECT_NE(currentThreadId(), other);
}

class Files : public ::testing::Test, protected quorvel::test::ScratchDir {};

// Reading, writing, deleting and directories are checked through DataBuffer::loadFile and FileSys.
TEST_F(Files, AttributesAndMovesThatNeverReplace) {
  const std::string file = path("data.txt"), other = path("other.txt"), renamed = path("renamed.txt");
  ASSERT_TRUE(File::createForWriting(file.c_str()) && File::createForWriting(other.c_str()));
  EXPECT_EQ(std::vector({fileAttributes(file.c_str()), fileAttributes(dir.c_str()), fileAttributes(path("none").c_str())}),
            std::vector({kFileAttributeNormal, kFileAttributeDirectory, kInvalidFileAttributes}));
  EXPECT_EQ(lastError(), ENOENT);

  ASSERT_TRUE(setFileAttributes(file.c_str(), kFileAttributeReadOnly));
  EXPECT_EQ(fileAttributes(file.c_str()), kFileAttributeReadOnly);
  EXPECT_FALSE(File::createForWriting(file.c_str()));  // refused even for root
  EXPECT_EQ(lastError(), EACCES);

  EXPECT_FALSE(moveFile(file.c_str(), other.c_str()));
  EXPECT_EQ(lastError(), EEXIST);
  EXPECT_TRUE(moveFile(file.c_str(), renamed.c_str()));
  EXPECT_EQ(fileAttributes(file.c_str()), kInvalidFileAttributes);
}
