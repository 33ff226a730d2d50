#pragma once
// Single-byte code pages converted by their table rather than by iconv, because iconv's
// converter for them is not one byte to one character: for windows-1255 and windows-1258 it
// joins a base letter and a following combining mark into one precomposed character, and
// splits such a character into two bytes when encoding. The platform maps each byte to its own
// character and back, and has no byte for a precomposed character its table lacks.

#include <cstdint>

namespace quorvel {

struct QuickConvertTable;

// The table a code page is converted by, nullptr when iconv converts it.
const QuickConvertTable* byteTableForCodePage(uint32_t codePage) noexcept;

// The character of a byte; false where the code page defines none.
bool decodeTableByte(const QuickConvertTable& table, uint8_t byte, char16_t* unit) noexcept;

// The byte of a UTF-16 unit; false when the code page has no byte for it (a surrogate never has).
bool encodeTableUnit(const QuickConvertTable& table, char16_t unit, uint8_t* byte) noexcept;

}  // namespace quorvel
