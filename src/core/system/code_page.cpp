#include "core/system/code_page.h"

#include <array>

namespace quorvel::sys {
namespace {

// Bytes 0x80..0x9F of Windows-1252. The five bytes the code page leaves
// undefined decode to the C1 control of the same value, and encode back.
constexpr std::array<char16_t, 32> kAnsiHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

constexpr bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

char ansiByte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kAnsiHigh.size(); ++i)
    if (kAnsiHigh[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

char latin1Byte(char16_t c) { return c <= 0xFF ? static_cast<char>(c) : '?'; }

template <char (*Map)(char16_t)>
std::size_t encode(const char16_t* in, std::size_t n, char* out) {
  std::size_t o = 0;
  for (std::size_t i = 0; i < n; ++i) {
    char16_t c = in[i];
    if (c < 0x80) {
      out[o++] = static_cast<char>(c);
      continue;
    }
    if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(in[i + 1])) ++i;
    out[o++] = Map(c);
  }
  return o;
}

}  // namespace

std::size_t encodeAnsi(const char16_t* in, std::size_t n, char* out) { return encode<ansiByte>(in, n, out); }

std::size_t encodeLatin1(const char16_t* in, std::size_t n, char* out) { return encode<latin1Byte>(in, n, out); }

std::size_t decodeAnsi(const char* in, std::size_t n, char16_t* out) {
  for (std::size_t i = 0; i < n; ++i) {
    auto b = static_cast<unsigned char>(in[i]);
    out[i] = (b & 0xE0) == 0x80 ? kAnsiHigh[b - 0x80] : static_cast<char16_t>(b);
  }
  return n;
}

std::size_t decodeLatin1(const char* in, std::size_t n, char16_t* out) {
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(in[i]);
  return n;
}

void appendAnsi(std::string& out, std::u16string_view in) {
  std::size_t old = out.size();
  out.resize(old + in.size());
  out.resize(old + encodeAnsi(in.data(), in.size(), out.data() + old));
}

void appendAnsiAsUtf16(std::u16string& out, std::string_view in) {
  std::size_t old = out.size();
  out.resize(old + in.size());
  decodeAnsi(in.data(), in.size(), out.data() + old);
}

std::string toAnsi(std::u16string_view in) {
  std::string out;
  appendAnsi(out, in);
  return out;
}

std::u16string fromAnsi(std::string_view in) {
  std::u16string out;
  appendAnsiAsUtf16(out, in);
  return out;
}

std::string toLatin1(std::u16string_view in) {
  std::string out(in.size(), '\0');
  out.resize(encodeLatin1(in.data(), in.size(), out.data()));
  return out;
}

std::u16string fromLatin1(std::string_view in) {
  std::u16string out(in.size(), u'\0');
  decodeLatin1(in.data(), in.size(), out.data());
  return out;
}

}  // namespace quorvel::sys
