#pragma once
// Table conversion of UTF-16 text to one of the single-byte code pages that have a table.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel {

// Appends the conversion of `units` to `out` and returns true when `targetCodePage` has a
// table; returns false and leaves `out` alone otherwise. Each unit below 255 becomes the byte
// of the same value (whatever the code page has there); any other unit becomes the lowest
// byte of 128..255 whose table entry equals it, and is left out when there is none.
bool quickConvertFromUtf16(uint32_t targetCodePage, const char16_t* units, std::size_t count, std::string& out);

}  // namespace quorvel
