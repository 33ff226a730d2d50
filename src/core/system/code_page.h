// Single-byte code pages: Windows-1252, which stands in for the ANSI code
// page of narrow host text, and ISO-8859-1. Encoding writes '?' for a
// character the code page lacks; a surrogate pair is one character and so
// gives one '?', and so does an unpaired surrogate.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::sys {

inline constexpr unsigned kCodePageAnsi = 1252;
inline constexpr unsigned kCodePageLatin1 = 28591;

// Raw forms: `out` must have room for n bytes (encoding) or n units
// (decoding); the result is the number written.
std::size_t encodeAnsi(const char16_t* in, std::size_t n, char* out);
std::size_t decodeAnsi(const char* in, std::size_t n, char16_t* out);
std::size_t encodeLatin1(const char16_t* in, std::size_t n, char* out);
std::size_t decodeLatin1(const char* in, std::size_t n, char16_t* out);

void appendAnsi(std::string& out, std::u16string_view in);
void appendAnsiAsUtf16(std::u16string& out, std::string_view in);

std::string toAnsi(std::u16string_view in);
std::u16string fromAnsi(std::string_view in);
std::string toLatin1(std::u16string_view in);
std::u16string fromLatin1(std::string_view in);

}  // namespace quorvel::sys
