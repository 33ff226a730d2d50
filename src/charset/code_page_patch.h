#pragma once
// Multi-byte and stateful code pages whose iconv converter differs from the platform's table in a
// few places, and what the platform has there. IconvConverter applies a patch where it converts
// such a code page to or from UTF-16LE; the rest of the text is iconv's.

#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvel {

// Bytes (a byte, or a pair as lead << 8 | trail) where iconv and the platform part ways.
struct CodePagePatchEntry {
    static constexpr char16_t kNone = u'\uFFFF';

    uint16_t first, last;
    char16_t unit;  // what the platform decodes `first` to, the next bytes in order; kNone: nothing
    // A character iconv decodes these bytes to, or encodes to them, which the platform's table does
    // not have (decoded it becomes `unit`, encoded it fails); kNone: none.
    char16_t iconvUnit;
    bool encodes;  // the platform encodes `unit` back to these bytes, where iconv has none for it
};

// A user-defined area that iconv leaves out: the pairs of a lead in [leadFirst, leadLast] and a
// trail in either range, lead by lead, are the private use characters from `unit` on, both ways.
struct UserDefinedArea {
    uint8_t leadFirst, leadLast;
    uint8_t trails[2][2];  // first and last trail of each range; an unused range is {1, 0}
    char16_t unit;
};

struct CodePagePatch {
    uint32_t codePage;
    std::span<const CodePagePatchEntry> entries;
    // Characters iconv encodes to the bytes of another one (best fits), which the platform lacks.
    std::span<const char16_t> bestFits;
    std::span<const UserDefinedArea> userDefined;  // pairs iconv rejects, to the private use area
    // The iconvUnits lie in [rewriteLow, rewriteHigh], and all that the platform lacks in
    // [lackLow, lackHigh] (empty ranges when there are none): a unit outside needs no look at the lists.
    char16_t rewriteLow, rewriteHigh, lackLow, lackHigh;
};

// The patch of a code page, nullptr when iconv converts it as the platform does.
const CodePagePatch* codePagePatch(uint32_t codePage) noexcept;

// The character the platform decodes the bytes at `bytes`, which iconv rejects, to; returns the
// number of bytes it takes, 0 when the platform rejects them too.
size_t decodeRejected(const CodePagePatch& patch, const uint8_t* bytes, size_t left, char16_t* unit) noexcept;

// Makes a unit iconv decoded the platform's; false when the platform decodes those bytes to nothing.
bool fixDecoded(const CodePagePatch& patch, char16_t* unit) noexcept;

// Whether the platform lacks a unit that iconv has bytes for.
bool lacksUnit(const CodePagePatch& patch, char16_t unit) noexcept;

// The offset of the first character the platform lacks in UTF-16LE (any alignment) or UTF-8 text,
// or `length` when there is none.
size_t firstLacked(const CodePagePatch& patch, const uint8_t* bytes, size_t length, bool utf8) noexcept;

// The character of the UTF-8 sequence at `bytes` when it is in the Basic Multilingual Plane;
// returns its length, 0 when it is not such a sequence.
size_t readUtf8Unit(const uint8_t* bytes, size_t left, char16_t* unit) noexcept;

// The platform's bytes for a unit iconv rejects; returns their count (1 or 2), 0 when it has none.
size_t encodeRejected(const CodePagePatch& patch, char16_t unit, uint8_t* bytes) noexcept;

}  // namespace quorvel
