// UTF-8 <-> UTF-16 for every string that crosses the host boundary.
//
// Encoding: an unpaired surrogate becomes U+FFFD (EF BF BD).
// Decoding never fails: each maximal subpart of an ill-formed sequence (the
// longest prefix of a valid sequence, or else one byte) becomes one U+FFFD.
// So overlong forms, encoded surrogates, values above U+10FFFF, stray
// continuation bytes and the bytes C0, C1, F5..FF each give U+FFFD per byte,
// while a valid sequence cut short gives a single U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::sys {

// Bytes that encodeUtf8 will write for these units.
std::size_t utf8Length(const char16_t* in, std::size_t n);
// `out` must have room for 3 * n bytes (or utf8Length); returns bytes written.
std::size_t encodeUtf8(const char16_t* in, std::size_t n, char* out);

// Units that decodeUtf8 will write for these bytes (never more than n).
std::size_t utf16Length(const char* in, std::size_t n);
// `out` must have room for n units (or utf16Length); returns units written.
std::size_t decodeUtf8(const char* in, std::size_t n, char16_t* out);
// Widens the ASCII run at the start of the bytes into `out` (room for n units); returns its
// length. Decoding may go on from there: no sequence contains an ASCII byte.
std::size_t widenAscii(const char* in, std::size_t n, char16_t* out);

// Length of the longest well-formed start of the bytes: n exactly when decoding them and encoding
// the units again gives the same bytes (no U+FFFD put in), so they can be shown as they are.
std::size_t wellFormedUtf8Length(const char* in, std::size_t n);

void appendUtf8(std::string& out, std::u16string_view in);
void appendUtf16(std::u16string& out, std::string_view in);

std::string toUtf8(std::u16string_view in);
std::u16string fromUtf8(std::string_view in);

}  // namespace quorvel::sys
