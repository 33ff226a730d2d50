#pragma once
// Turning the charset names found in documents and set by hosts into Windows code page numbers.

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// Canonical form of a charset name: trimmed of SP, TAB, CR and LF, ASCII letters lowered,
// "_" turned into "-", then the fixed alias rewrites applied in order. A name that is empty
// after trimming yields the empty string.
std::string CanonicalCharsetName(std::string_view name);

// Code page of a canonical name, 0 when the name is not recognised. Besides the name table,
// "windows-" followed by a decimal number names that number; a number above 2147483647
// (the largest a signed 32-bit conversion can hold) is not recognised.
uint32_t CodePageForCharset(std::string_view canonicalName);

}  // namespace quorvel
