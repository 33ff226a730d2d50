#pragma once
// The ten single-byte code pages that UTF-16 text is converted to by table, without the
// platform converter: 10007 (classic Macintosh Cyrillic) and 1250 to 1258.
// The data lives in quick_convert_tables.cpp, written by tools/gen_quick_convert.py.

#include <array>
#include <cstdint>
#include <span>

namespace quorvel {

struct QuickConvertReverseEntry {
    char16_t unit;
    uint8_t byte;
};

struct QuickConvertTable {
    uint32_t codePage;
    // Indexed by byte value; 0 where the code page defines no character.
    const std::array<char16_t, 256>* toUtf16;
    // Every unit of 0x00FF and above that bytes 128..255 decode to, sorted by unit, paired with
    // the lowest such byte. Lower units are never looked up, they stand for themselves.
    std::span<const QuickConvertReverseEntry> fromUtf16;
};

// All ten tables.
std::span<const QuickConvertTable> quickConvertTables() noexcept;

// The table of a code page, nullptr when the code page has none.
const QuickConvertTable* findQuickConvertTable(uint32_t codePage) noexcept;

}  // namespace quorvel
