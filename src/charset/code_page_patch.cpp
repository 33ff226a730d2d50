#include "charset/code_page_patch.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quorvel {
namespace {

using E = CodePagePatchEntry;
constexpr char16_t kNone = E::kNone;

// Shift_JIS as the platform has it: 0x80 and four single bytes for the private use area, and no
// yen sign, em dash or overline (iconv's best fits for the backslash, horizontal bar and tilde),
// nor cent, pound or not sign, double vertical line, minus sign or wave dash (its best fits for
// their fullwidth forms, the parallel sign, the fullwidth hyphen-minus and the fullwidth tilde).
constexpr char16_t k932BestFits[] = {u'\u00A2', u'\u00A3', u'\u00A5', u'\u00AC', u'\u2014',
                                     u'\u2016', u'\u203E', u'\u2212', u'\u301C'};
constexpr E k932[] = {
    {0x80, 0x80, u'\u0080', kNone, true},
    {0xA0, 0xA0, u'\uF8F0', kNone, true},
    {0xFD, 0xFF, u'\uF8F1', kNone, true},
};

// Johab: 0x5C is the backslash, not the won sign; jamo written with a fill code decode to the
// compatibility jamo (which encode to their other codes); KS X 1001:2002's U+327E is not there.
constexpr E k1361[] = {
    {0x5C, 0x5C, u'\\', u'\u20A9', true},
    {0x8441, 0x8441, u'\u3000', kNone, false},
    {0x8442, 0x8443, u'\u3131', kNone, false},
    {0x8445, 0x8445, u'\u3134', kNone, false},
    {0x8448, 0x8448, u'\u3137', kNone, false},
    {0x8449, 0x8449, u'\u3139', kNone, false},
    {0x8451, 0x8451, u'\u3141', kNone, false},
    {0x8453, 0x8453, u'\u3142', kNone, false},
    {0x8455, 0x8458, u'\u3145', kNone, false},
    {0x8459, 0x845D, u'\u314A', kNone, false},
    {0xD9E8, 0xD9E8, kNone, u'\u327E', false},
};

// EUC-JP: no yen sign or overline either (iconv writes the ASCII backslash and tilde).
constexpr char16_t kEucJpBestFits[] = {u'\u00A5', u'\u203E'};

// The user-defined areas of GBK, Unified Hangul and Big5, which the platform maps to the private
// use area in this order; iconv's Big5 has only the last one (0xC6A1-0xC8FE from U+F6B1 on).
constexpr UserDefinedArea k936UserDefined[] = {
    {0xAA, 0xAF, {{0xA1, 0xFE}, {1, 0}}, u'\uE000'},
    {0xF8, 0xFE, {{0xA1, 0xFE}, {1, 0}}, u'\uE234'},
    {0xA1, 0xA7, {{0x40, 0x7E}, {0x80, 0xA0}}, u'\uE4C6'},
};
constexpr UserDefinedArea k949UserDefined[] = {
    {0xC9, 0xC9, {{0xA1, 0xFE}, {1, 0}}, u'\uE000'},
    {0xFE, 0xFE, {{0xA1, 0xFE}, {1, 0}}, u'\uE05E'},
};
constexpr UserDefinedArea k950UserDefined[] = {
    {0xFA, 0xFE, {{0x40, 0x7E}, {0xA1, 0xFE}}, u'\uE000'},
    {0x8E, 0xA0, {{0x40, 0x7E}, {0xA1, 0xFE}}, u'\uE311'},
    {0x81, 0x8D, {{0x40, 0x7E}, {0xA1, 0xFE}}, u'\uEEB8'},
};

constexpr size_t trailCount(const uint8_t (&range)[2]) { return range[1] >= range[0] ? range[1] - range[0] + 1u : 0u; }
constexpr size_t perLead(const UserDefinedArea& a) { return trailCount(a.trails[0]) + trailCount(a.trails[1]); }
constexpr size_t areaSize(const UserDefinedArea& a) { return (a.leadLast - a.leadFirst + 1) * perLead(a); }
// Each area ends where the next begins.
static_assert(k936UserDefined[0].unit + areaSize(k936UserDefined[0]) == k936UserDefined[1].unit);
static_assert(k936UserDefined[1].unit + areaSize(k936UserDefined[1]) == k936UserDefined[2].unit);
static_assert(k936UserDefined[2].unit + areaSize(k936UserDefined[2]) == 0xE766);
static_assert(k949UserDefined[0].unit + areaSize(k949UserDefined[0]) == k949UserDefined[1].unit);
static_assert(k950UserDefined[0].unit + areaSize(k950UserDefined[0]) == k950UserDefined[1].unit);
static_assert(k950UserDefined[1].unit + areaSize(k950UserDefined[1]) == k950UserDefined[2].unit);
static_assert(k950UserDefined[2].unit + areaSize(k950UserDefined[2]) == 0xF6B1);

// EUC-KR without KS X 1001:2002's U+327E.
constexpr E kEucKr[] = {
    {0xA2E8, 0xA2E8, kNone, u'\u327E', false},
};

// UTF-7: the ASCII bytes outside the sets the standard names still stand for themselves. They
// encode in base64, which decodes to the same characters.
constexpr E kUtf7[] = {
    {0x00, 0x08, u'\u0000', kNone, false},
    {0x0B, 0x0C, u'\u000B', kNone, false},
    {0x0E, 0x1F, u'\u000E', kNone, false},
    {0x5C, 0x5C, u'\\', kNone, false},
    {0x7E, 0x7F, u'~', kNone, false},
};

constexpr CodePagePatch patch(uint32_t codePage, std::span<const E> entries, std::span<const char16_t> bestFits = {},
                              std::span<const UserDefinedArea> userDefined = {}) {
    CodePagePatch p{codePage, entries, bestFits, userDefined, u'\uFFFF', u'\0', u'\uFFFF', u'\0'};
    for (const E& e : entries) {
        if (e.iconvUnit == kNone) continue;
        p.rewriteLow = std::min(p.rewriteLow, e.iconvUnit);
        p.rewriteHigh = std::max(p.rewriteHigh, e.iconvUnit);
    }
    p.lackLow = p.rewriteLow;
    p.lackHigh = p.rewriteHigh;
    for (char16_t unit : bestFits) {
        p.lackLow = std::min(p.lackLow, unit);
        p.lackHigh = std::max(p.lackHigh, unit);
    }
    return p;
}

constexpr auto kPatches = std::to_array<CodePagePatch>({
    patch(932, k932, k932BestFits),
    patch(936, {}, {}, k936UserDefined),
    patch(949, {}, {}, k949UserDefined),
    patch(950, {}, {}, k950UserDefined),
    patch(1361, k1361),
    patch(20932, {}, kEucJpBestFits),
    patch(20949, kEucKr),
    patch(51932, {}, kEucJpBestFits),
    patch(51949, kEucKr),
    patch(65000, kUtf7),
});

}  // namespace

const CodePagePatch* codePagePatch(uint32_t codePage) noexcept {
    for (const CodePagePatch& patch : kPatches) {
        if (patch.codePage == codePage) return &patch;
    }
    return nullptr;
}

size_t decodeRejected(const CodePagePatch& patch, const uint8_t* bytes, size_t left, char16_t* unit) noexcept {
    for (const E& e : patch.entries) {
        if (e.iconvUnit != kNone || e.unit == kNone) continue;
        const size_t length = e.first > 0xFF ? 2 : 1;
        if (left < length) continue;
        const uint32_t code = length == 2 ? uint32_t{bytes[0]} << 8 | bytes[1] : bytes[0];
        if (e.first <= code && code <= e.last) {
            *unit = static_cast<char16_t>(e.unit + (code - e.first));
            return length;
        }
    }
    if (left < 2) return 0;
    for (const UserDefinedArea& a : patch.userDefined) {
        if (bytes[0] < a.leadFirst || bytes[0] > a.leadLast) continue;
        size_t at = (bytes[0] - a.leadFirst) * perLead(a);
        for (const auto& range : a.trails) {
            if (range[0] <= bytes[1] && bytes[1] <= range[1]) {
                *unit = static_cast<char16_t>(a.unit + at + (bytes[1] - range[0]));
                return 2;
            }
            at += trailCount(range);
        }
    }
    return 0;
}

bool fixDecoded(const CodePagePatch& patch, char16_t* unit) noexcept {
    if (*unit < patch.rewriteLow || *unit > patch.rewriteHigh) return true;
    for (const E& e : patch.entries) {
        if (e.iconvUnit != kNone && e.iconvUnit == *unit) {
            *unit = e.unit;
            return e.unit != kNone;
        }
    }
    return true;
}

bool lacksUnit(const CodePagePatch& patch, char16_t unit) noexcept {
    if (unit < patch.lackLow || unit > patch.lackHigh) return false;
    for (const E& e : patch.entries) {
        if (e.iconvUnit != kNone && e.iconvUnit == unit) return true;
    }
    return std::find(patch.bestFits.begin(), patch.bestFits.end(), unit) != patch.bestFits.end();
}

size_t readUtf8Unit(const uint8_t* b, size_t left, char16_t* unit) noexcept {
    if (left >= 1 && b[0] < 0x80) {
        *unit = b[0];
        return 1;
    }
    if (left >= 2 && b[0] >= 0xC2 && b[0] < 0xE0 && (b[1] & 0xC0) == 0x80) {
        *unit = static_cast<char16_t>((b[0] & 0x1F) << 6 | (b[1] & 0x3F));
        return 2;
    }
    if (left >= 3 && (b[0] & 0xF0) == 0xE0 && (b[1] & 0xC0) == 0x80 && (b[2] & 0xC0) == 0x80) {
        const char16_t u = static_cast<char16_t>((b[0] & 0x0F) << 12 | (b[1] & 0x3F) << 6 | (b[2] & 0x3F));
        if (u < 0x800 || (u >= 0xD800 && u < 0xE000)) return 0;
        *unit = u;
        return 3;
    }
    return 0;
}

// Whether a block of kBlock values (bytes, or UTF-16LE units) has one in [low, low + span]: a
// loop of fixed length that the compiler vectorises.
constexpr size_t kBlock = 64;
template <class T>
bool blockNear(const uint8_t* bytes, T low, T span) {
    T values[kBlock];
    std::memcpy(values, bytes, sizeof values);
    T near = 0;
    for (T v : values) near |= static_cast<T>(v - low) <= span;
    return near != 0;
}

// The same for the kBlock pairs of a byte and the next (kBlock + 1 bytes), as big-endian numbers.
bool pairsNear(const uint8_t* bytes, uint16_t low, uint16_t span) {
    uint8_t values[kBlock + 1];
    std::memcpy(values, bytes, sizeof values);
    uint16_t near = 0;
    for (size_t i = 0; i < kBlock; ++i) near |= static_cast<uint16_t>((values[i] << 8 | values[i + 1]) - low) <= span;
    return near != 0;
}

// A character's first two bytes in UTF-8, as a big-endian number; a character of one byte is
// followed by any byte, the lowest or (`highest`) the highest. In the order of the characters.
constexpr uint16_t utf8Head(char16_t u, bool highest) {
    if (u < 0x80) return static_cast<uint16_t>(u << 8 | (highest ? 0xFF : 0));
    if (u < 0x800) return static_cast<uint16_t>((0xC0 | u >> 6) << 8 | 0x80 | (u & 0x3F));
    return static_cast<uint16_t>((0xE0 | u >> 12) << 8 | 0x80 | (u >> 6 & 0x3F));
}

template <class T>
size_t scanForLacked(const CodePagePatch& patch, const uint8_t* bytes, size_t length) noexcept {
    constexpr bool kUtf8 = sizeof(T) == 1;
    // In UTF-8, the first bytes of the characters in [low, high].
    auto lead = [](char16_t u) -> T { return static_cast<T>(u < 0x80 ? u : u < 0x800 ? 0xC0 | u >> 6 : 0xE0 | u >> 12); };
    const T low = kUtf8 ? lead(patch.lackLow) : static_cast<T>(patch.lackLow);
    const T span = static_cast<T>((kUtf8 ? lead(patch.lackHigh) : patch.lackHigh) - low);
    // A block of UTF-8 is passed over by the first two bytes of its characters: by its first byte
    // alone, the wave dash would keep the kana (which share it) from being passed over.
    const uint16_t headLow = utf8Head(patch.lackLow, false);
    const uint16_t headSpan = static_cast<uint16_t>(utf8Head(patch.lackHigh, true) - headLow);
    const size_t last = length & ~(sizeof(T) - 1);
    for (size_t at = 0; at < last;) {
        const size_t end = std::min(last, at + kBlock * sizeof(T));
        const bool clear = kUtf8 ? end < last && !pairsNear(bytes + at, headLow, headSpan)
                                 : end - at == kBlock * sizeof(T) && !blockNear<T>(bytes + at, low, span);
        if (clear) {
            at = end;
            continue;
        }
        for (; at < end; at += sizeof(T)) {
            char16_t unit = static_cast<char16_t>(kUtf8 ? bytes[at] : bytes[at] | bytes[at + 1 - kUtf8] << 8);
            if (static_cast<T>(unit - low) > span) continue;
            if (kUtf8 && readUtf8Unit(bytes + at, length - at, &unit) == 0) continue;
            if (lacksUnit(patch, unit)) return at;
        }
    }
    return length;
}

size_t firstLacked(const CodePagePatch& patch, const uint8_t* bytes, size_t length, bool utf8) noexcept {
    if (patch.lackLow > patch.lackHigh) return length;
    return utf8 ? scanForLacked<uint8_t>(patch, bytes, length) : scanForLacked<uint16_t>(patch, bytes, length);
}

size_t encodeRejected(const CodePagePatch& patch, char16_t unit, uint8_t* bytes) noexcept {
    for (const E& e : patch.entries) {
        if (!e.encodes || unit < e.unit || unit - e.unit > e.last - e.first) continue;
        const uint32_t code = e.first + (unit - e.unit);
        if (code > 0xFF) {
            bytes[0] = static_cast<uint8_t>(code >> 8);
            bytes[1] = static_cast<uint8_t>(code);
            return 2;
        }
        bytes[0] = static_cast<uint8_t>(code);
        return 1;
    }
    for (const UserDefinedArea& a : patch.userDefined) {
        if (unit < a.unit || size_t{unit} - a.unit >= areaSize(a)) continue;
        const size_t at = unit - a.unit;
        size_t trail = at % perLead(a);
        const bool second = trail >= trailCount(a.trails[0]);
        if (second) trail -= trailCount(a.trails[0]);
        bytes[0] = static_cast<uint8_t>(a.leadFirst + at / perLead(a));
        bytes[1] = static_cast<uint8_t>(a.trails[second][0] + trail);
        return 2;
    }
    return 0;
}

}  // namespace quorvel
