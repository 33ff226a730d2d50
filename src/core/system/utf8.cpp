#include "core/system/utf8.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quorvel::sys {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the ASCII run at the start of the bytes, each also widened into `out` when there is
// one: sixteen bytes a step while that many remain, then one at a time.
std::size_t asciiRun(const char* in, std::size_t n, char16_t* out) {
  std::size_t i = 0;
#ifdef __SSE2__
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    if (_mm_movemask_epi8(v) != 0) break;
    if (out) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
    }
  }
  // Fewer than sixteen left of a run that long: one more block, overlapping the one before.
  if (i < n && i + 16 > n && n >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + n - 16));
    if (_mm_movemask_epi8(v) == 0) {
      if (out) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n - 16), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n - 8), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
      }
      return n;
    }
  }
#endif
  for (; i < n && static_cast<unsigned char>(in[i]) < 0x80; ++i) {
    if (out) out[i] = static_cast<unsigned char>(in[i]);
  }
  return i;
}

// Length of the ASCII run at the start of the units, each also narrowed into `out` when there is
// one: sixteen units a step while that many remain, so that a document's markup goes through
// a few instructions per sixteen characters, then one unit at a time.
std::size_t asciiRun(const char16_t* in, std::size_t n, char* out) {
  std::size_t i = 0;
#ifdef __SSE2__
  const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
  for (; i + 16 <= n; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 8));
    const __m128i beyond = _mm_and_si128(_mm_or_si128(a, b), high);
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(beyond, _mm_setzero_si128())) != 0xFFFF) break;
    if (out) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(a, b));
  }
#endif
  for (; i < n && in[i] < 0x80; ++i) {
    if (out) out[i] = static_cast<char>(in[i]);
  }
  return i;
}

// End of the non-ASCII stretch that starts at i. Such stretches are decoded
// one at a time between the fast ASCII runs; no sequence contains an ASCII
// byte, so splitting there changes nothing.
std::size_t nonAsciiEnd(const char* in, std::size_t i, std::size_t n) {
  ++i;
  while (i < n && static_cast<unsigned char>(in[i]) >= 0x80) ++i;
  return i;
}

// Walks the bytes and hands each decoded code point to `emit`.
template <class Emit>
void decode(const unsigned char* s, std::size_t n, Emit&& emit) {
  std::size_t i = 0;
  while (i < n) {
    unsigned char b = s[i];
    if (b < 0x80) {
      emit(b);
      ++i;
      continue;
    }
    int need;
    char32_t cp;
    unsigned char lower = 0x80, upper = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      cp = b & 0x0F;
      if (b == 0xE0) lower = 0xA0;  // shorter forms are overlong
      if (b == 0xED) upper = 0x9F;  // D800..DFFF are not characters
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      cp = b & 0x07;
      if (b == 0xF0) lower = 0x90;
      if (b == 0xF4) upper = 0x8F;  // nothing above U+10FFFF
    } else {
      emit(kReplacement);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    for (; need > 0; --need, ++j) {
      if (j >= n || s[j] < lower || s[j] > upper) break;
      cp = (cp << 6) | (s[j] & 0x3F);
      lower = 0x80;
      upper = 0xBF;
    }
    // An incomplete sequence is replaced as a whole; the byte that broke it
    // starts afresh.
    emit(need == 0 ? cp : kReplacement);
    i = j;
  }
}

}  // namespace

std::size_t utf8Length(const char16_t* in, std::size_t n) {
  std::size_t bytes = 0;
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = asciiRun(in + i, n - i, nullptr);
    bytes += run;
    i += run;
    if (i == n) break;
    char16_t c = in[i++];
    if (c < 0x80) bytes += 1;
    else if (c < 0x800) bytes += 2;
    else if (c >= 0xD800 && c <= 0xDBFF && i < n && in[i] >= 0xDC00 && in[i] <= 0xDFFF) bytes += 4, ++i;
    else bytes += 3;
  }
  return bytes;
}

std::size_t encodeUtf8(const char16_t* in, std::size_t n, char* out) {
  std::size_t o = 0;
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = asciiRun(in + i, n - i, out + o);
    o += run;
    i += run;
    if (i == n) break;
    char32_t c = in[i++];
    if (c < 0x800) {
      out[o++] = static_cast<char>(0xC0 | (c >> 6));
      out[o++] = static_cast<char>(0x80 | (c & 0x3F));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c <= 0xDBFF && i < n && in[i] >= 0xDC00 && in[i] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (in[i++] - 0xDC00);
        out[o++] = static_cast<char>(0xF0 | (c >> 18));
        out[o++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out[o++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[o++] = static_cast<char>(0x80 | (c & 0x3F));
        continue;
      }
      c = kReplacement;
    }
    out[o++] = static_cast<char>(0xE0 | (c >> 12));
    out[o++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[o++] = static_cast<char>(0x80 | (c & 0x3F));
  }
  return o;
}

std::size_t utf16Length(const char* in, std::size_t n) {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = asciiRun(in + i, n - i, nullptr);
    units += run;
    i += run;
    if (i == n) break;
    std::size_t end = nonAsciiEnd(in, i, n);
    decode(reinterpret_cast<const unsigned char*>(in) + i, end - i,
           [&](char32_t c) { units += c > 0xFFFF ? 2 : 1; });
    i = end;
  }
  return units;
}

std::size_t widenAscii(const char* in, std::size_t n, char16_t* out) { return asciiRun(in, n, out); }

std::size_t wellFormedUtf8Length(const char* in, std::size_t n) {
  const auto* s = reinterpret_cast<const unsigned char*>(in);
  std::size_t i = 0;
  while (i < n) {
    i += asciiRun(in + i, n - i, static_cast<char16_t*>(nullptr));
    if (i == n) break;
    // The same bounds decode keeps: a sequence is well-formed when it decodes to its code point.
    const unsigned char b = s[i];
    int need;
    unsigned char lower = 0x80, upper = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      if (b == 0xE0) lower = 0xA0;
      if (b == 0xED) upper = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      if (b == 0xF0) lower = 0x90;
      if (b == 0xF4) upper = 0x8F;
    } else {
      return i;
    }
    std::size_t j = i + 1;
    for (; need > 0; --need, ++j) {
      if (j >= n || s[j] < lower || s[j] > upper) return i;
      lower = 0x80;
      upper = 0xBF;
    }
    i = j;
  }
  return n;
}

std::size_t decodeUtf8(const char* in, std::size_t n, char16_t* out) {
  std::size_t o = 0;
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = asciiRun(in + i, n - i, out + o);
    o += run;
    i += run;
    if (i == n) break;
    std::size_t end = nonAsciiEnd(in, i, n);
    decode(reinterpret_cast<const unsigned char*>(in) + i, end - i, [&](char32_t c) {
      if (c > 0xFFFF) {
        c -= 0x10000;
        out[o++] = static_cast<char16_t>(0xD800 + (c >> 10));
        out[o++] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
      } else {
        out[o++] = static_cast<char16_t>(c);
      }
    });
    i = end;
  }
  return o;
}

void appendUtf8(std::string& out, std::u16string_view in) {
  std::size_t old = out.size();
  out.resize(old + utf8Length(in.data(), in.size()));
  encodeUtf8(in.data(), in.size(), out.data() + old);
}

void appendUtf16(std::u16string& out, std::string_view in) {
  std::size_t old = out.size();
  out.resize(old + in.size());
  out.resize(old + decodeUtf8(in.data(), in.size(), out.data() + old));
}

std::string toUtf8(std::u16string_view in) {
  std::string out;
  appendUtf8(out, in);
  return out;
}

std::u16string fromUtf8(std::string_view in) {
  std::u16string out;
  appendUtf16(out, in);
  return out;
}

}  // namespace quorvel::sys
