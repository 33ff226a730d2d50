#pragma once
// Single-byte code pages converted by their table rather than by iconv, one byte to one character
// both ways, as the platform converts them: windows-1255 and windows-1258, whose iconv converters
// join a base letter and a following combining mark into one precomposed character (and split such
// a character into two bytes when encoding), and the code pages whose iconv table is not the
// platform's (IBM875, IBM1026, IBM424, and the classic Macintosh Roman and Icelandic tables).

#include <array>
#include <cstdint>
#include <span>

#include "charset/quick_convert_tables.h"

namespace quorvel {

struct ByteTable {
    uint32_t codePage;
    // Indexed by byte value; 0 where the code page defines no character (byte 0 is U+0000).
    const std::array<char16_t, 256>* toUtf16;
    // Every character some byte decodes to, sorted by unit, with the byte it encodes to.
    std::span<const QuickConvertReverseEntry> fromUtf16;
};

// All byte tables (generated with the quick-convert tables, from the same source).
std::span<const ByteTable> byteTables() noexcept;

// The table a code page is converted by, nullptr when iconv converts it.
const ByteTable* byteTableForCodePage(uint32_t codePage) noexcept;

// The character of a byte; false where the code page defines none.
bool decodeTableByte(const ByteTable& table, uint8_t byte, char16_t* unit) noexcept;

// The byte of a UTF-16 unit; false when the code page has no byte for it (a surrogate never has).
bool encodeTableUnit(const ByteTable& table, char16_t unit, uint8_t* byte) noexcept;

}  // namespace quorvel
