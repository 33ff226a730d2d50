#include "content/content_coding.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/data_buffer.h"
#include "core/string_buffer.h"

namespace quorvel {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexDigits[] = "0123456789ABCDEF";

// Base64 decoding: a character's 6-bit value, or one of these.
constexpr uint8_t kSkip = 0x40;  // white space and every byte outside the alphabet
constexpr uint8_t kStop = 0x80;  // "=" and NUL end the text

constexpr std::array<uint8_t, 256> makeDecodeTable() {
    std::array<uint8_t, 256> t{};
    for (auto& v : t) v = kSkip;
    for (int i = 0; i < 64; ++i) t[static_cast<uint8_t>(kAlphabet[i])] = static_cast<uint8_t>(i);
    t['='] = kStop;
    t[0] = kStop;
    return t;
}
constexpr std::array<uint8_t, 256> kDecode = makeDecodeTable();

// Pairs of alphabet characters for 12 bits at once, so a group of 3 bytes takes two loads.
struct PairTable {
    std::array<uint16_t, 4096> pairs{};
    constexpr PairTable() {
        for (int i = 0; i < 4096; ++i) {
            // Stored in memory order: first character in the low byte.
            pairs[i] = static_cast<uint16_t>(static_cast<uint8_t>(kAlphabet[i >> 6]) |
                                             (static_cast<uint8_t>(kAlphabet[i & 63]) << 8));
        }
    }
};
constexpr PairTable kPairs;

// Q encoding: whether a byte is written as it is (space is handled apart).
constexpr bool qLiteral(unsigned c) {
    return (c >= 0x21 && c <= 0x3C) || c == 0x3E || (c >= 0x40 && c <= 0x5E) || (c >= 0x60 && c <= 0x7E);
}
// Q decoding copies the same bytes and also the upper half from 0xA0.
constexpr bool qKept(unsigned c) { return qLiteral(c) || c >= 0xA0; }
int upperHexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void* mallocOrThrow(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

// Writes the 4 characters of each whole group of bytes[0..groups*3) to out; returns the end.
inline char* encodeGroups(const uint8_t* in, size_t groups, char* out) {
    for (size_t g = 0; g < groups; ++g, in += 3, out += 4) {
        const uint32_t v = (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
        const uint16_t hi = kPairs.pairs[v >> 12];
        const uint16_t lo = kPairs.pairs[v & 0xFFF];
        std::memcpy(out, &hi, 2);
        std::memcpy(out + 2, &lo, 2);
    }
    return out;
}

// The last 1 or 2 bytes as 4 characters with "=" padding; returns the end.
inline char* encodeTail(const uint8_t* in, size_t rest, char* out) {
    if (rest == 0) return out;
    const uint32_t v = (uint32_t{in[0]} << 16) | (rest == 2 ? uint32_t{in[1]} << 8 : 0);
    out[0] = kAlphabet[v >> 18];
    out[1] = kAlphabet[(v >> 12) & 63];
    out[2] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out[3] = '=';
    return out + 4;
}

// Unbroken base64 into room of at least 4 * ceil(n / 3) bytes; returns the end.
char* encodeUnbroken(const uint8_t* in, size_t n, char* out) {
    out = encodeGroups(in, n / 3, out);
    return encodeTail(in + n / 3 * 3, n % 3, out);
}

size_t unbrokenLength(size_t n) { return (n + 2) / 3 * 4; }

// Room in a StringBuffer for `extra` more bytes; throws when the text would pass its 32-bit length.
char* roomIn(StringBuffer& out, size_t extra) {
    if (extra > static_cast<size_t>(INT32_MAX - 1 - out.length())) throw std::bad_alloc();
    out.reserve(static_cast<int32_t>(extra));
    return out.mutableData() + out.length();
}

// Decodes text[0..length) into out (room for 3 * length / 4 + 3 bytes); returns the count.
size_t decodeInto(const unsigned char* text, size_t length, uint8_t* out) {
    uint8_t* const start = out;
    const unsigned char* p = text;
    const unsigned char* const end = text + length;
    uint32_t acc = 0;
    int have = 0;  // characters in acc
    while (p < end) {
        // Whole groups of 4 alphabet characters, the common case between line breaks.
        if (have == 0) {
            while (end - p >= 4) {
                const uint32_t a = kDecode[p[0]], b = kDecode[p[1]], c = kDecode[p[2]], d = kDecode[p[3]];
                if ((a | b | c | d) >= 64) break;
                const uint32_t v = (a << 18) | (b << 12) | (c << 6) | d;
                out[0] = static_cast<uint8_t>(v >> 16);
                out[1] = static_cast<uint8_t>(v >> 8);
                out[2] = static_cast<uint8_t>(v);
                out += 3;
                p += 4;
            }
            if (p >= end) break;
        }
        const uint8_t v = kDecode[*p++];
        if (v == kStop) break;
        if (v == kSkip) continue;
        acc = (acc << 6) | v;
        if (++have == 4) {
            out[0] = static_cast<uint8_t>(acc >> 16);
            out[1] = static_cast<uint8_t>(acc >> 8);
            out[2] = static_cast<uint8_t>(acc);
            out += 3;
            acc = 0;
            have = 0;
        }
    }
    if (have == 2) {
        *out++ = static_cast<uint8_t>(acc >> 4);
    } else if (have == 3) {
        *out++ = static_cast<uint8_t>(acc >> 10);
        *out++ = static_cast<uint8_t>(acc >> 2);
    }
    return static_cast<size_t>(out - start);
}

size_t decodedRoom(size_t length) { return 3 * length / 4 + 4; }

// Finds needle (2 or 3 bytes) wholly inside [from, end); the letter in the middle of a 3-byte
// needle (an upper-case marker letter) also matches its lower case.
const char* findMarker(const char* from, const char* end, const char* needle, size_t n) {
    if (end - from < static_cast<std::ptrdiff_t>(n)) return nullptr;
    const char* last = end - n;
    for (const char* p = from; p <= last; ++p) {
        p = static_cast<const char*>(std::memchr(p, needle[0], static_cast<size_t>(last - p) + 1));
        if (!p) return nullptr;
        bool same = true;
        for (size_t i = 1; i < n && same; ++i) {
            char c = p[i];
            if (n == 3 && i == 1 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            same = c == needle[i];
        }
        if (same) return p;
    }
    return nullptr;
}

}  // namespace

// ---- Base64 -------------------------------------------------------------------------------

void ContentCoding::encodeBase64Lines(const void* bytes, uint32_t n, StringBuffer& out) const {
    if (!bytes || n == 0) return;
    const auto* in = static_cast<const uint8_t*>(bytes);
    const size_t groupsPerLine = static_cast<size_t>(lineLength_) / 4;
    const size_t groups = n / 3;
    const size_t fullLines = groupsPerLine ? groups / groupsPerLine : 0;
    // Each whole line and the end carry CR LF; the tail adds at most 4 characters.
    const size_t room = groups * 4 + fullLines * 2 + 4 + 2;
    char* const start = roomIn(out, room);
    char* o = start;
    for (size_t line = 0; line < fullLines; ++line) {
        o = encodeGroups(in, groupsPerLine, o);
        in += groupsPerLine * 3;
        *o++ = '\r';
        *o++ = '\n';
    }
    o = encodeGroups(in, groups - fullLines * groupsPerLine, o);
    in += (groups - fullLines * groupsPerLine) * 3;
    o = encodeTail(in, n % 3, o);
    *o++ = '\r';
    *o++ = '\n';
    out.extendBy(static_cast<int32_t>(o - start));
}

void ContentCoding::encodeBase64(const void* bytes, uint32_t n, StringBuffer& out) const {
    if (!bytes || n == 0) return;
    char* const start = roomIn(out, unbrokenLength(n));
    char* o = encodeUnbroken(static_cast<const uint8_t*>(bytes), n, start);
    out.extendBy(static_cast<int32_t>(o - start));
}

char* ContentCoding::encodeBase64Block(const void* bytes, uint32_t n, uint32_t* outLength) const {
    if (!bytes) n = 0;
    const size_t len = unbrokenLength(n);
    char* block = static_cast<char*>(mallocOrThrow(len + 1));
    if (n) encodeUnbroken(static_cast<const uint8_t*>(bytes), n, block);
    block[len] = 0;
    if (outLength) *outLength = static_cast<uint32_t>(len);
    return block;
}

uint8_t* ContentCoding::decodeBase64(const char* text, uint32_t length, uint32_t* outCount) const {
    if (outCount) *outCount = 0;
    if (!text || length == 0) return nullptr;
    auto* block = static_cast<uint8_t*>(mallocOrThrow(decodedRoom(length)));
    const size_t n = decodeInto(reinterpret_cast<const unsigned char*>(text), length, block);
    if (outCount) *outCount = static_cast<uint32_t>(n);
    return block;
}

void ContentCoding::decodeBase64(const char* text, uint32_t length, DataBuffer& out) const {
    if (!text || length == 0) return;
    const size_t room = decodedRoom(length);
    uint8_t* dst = out.appendSpace(static_cast<uint32_t>(room));
    out.commit(static_cast<uint32_t>(decodeInto(reinterpret_cast<const unsigned char*>(text), length, dst)));
}

// ---- Q encoding ---------------------------------------------------------------------------

char* ContentCoding::encodeQ(const void* bytes, uint32_t n, uint32_t* outLength) const {
    if (!bytes) n = 0;
    const auto* in = static_cast<const uint8_t*>(bytes);
    char* block = static_cast<char*>(mallocOrThrow(static_cast<size_t>(n) * 3 + 1));
    char* o = block;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t c = in[i];
        if (qLiteral(c)) {
            *o++ = static_cast<char>(c);
        } else if (c == ' ') {
            *o++ = '_';
        } else {
            o[0] = '=';
            o[1] = kHexDigits[c >> 4];
            o[2] = kHexDigits[c & 15];
            o += 3;
        }
    }
    *o = 0;
    if (outLength) *outLength = static_cast<uint32_t>(o - block);
    return block;
}

uint8_t* ContentCoding::decodeQ(const char* text, int32_t length, uint32_t* outCount) const {
    size_t len = 0;
    if (text) len = length > 0 ? static_cast<size_t>(length) : std::strlen(text);
    auto* block = static_cast<uint8_t*>(mallocOrThrow(len));
    uint8_t* o = block;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0; i < len; ++i) {
        const unsigned char c = p[i];
        if (c == '=') {
            const int hi = i + 2 < len ? upperHexValue(p[i + 1]) : -1;
            const int lo = hi >= 0 ? upperHexValue(p[i + 2]) : -1;
            if (lo >= 0) {
                *o++ = static_cast<uint8_t>(hi << 4 | lo);
                i += 2;
            } else {
                *o++ = '=';
            }
        } else if (c == '_') {
            *o++ = ' ';
        } else if (qKept(c)) {
            *o++ = c;
        }
    }
    if (outCount) *outCount = static_cast<uint32_t>(o - block);
    return block;
}

// ---- Encoded words ------------------------------------------------------------------------

void ContentCoding::makeQWord(const void* bytes, uint32_t n, const char* charset, StringBuffer& out) const {
    if (!bytes || n == 0 || !charset) return;
    uint32_t len = 0;
    char* payload = encodeQ(bytes, n, &len);
    out.append("=?");
    out.append(charset);
    out.append("?Q?");
    out.appendBytes(payload, static_cast<int32_t>(len));
    out.append("?=");
    std::free(payload);
}

void ContentCoding::makeBWord(const void* bytes, uint32_t n, const char* charset, StringBuffer& out) const {
    if (!bytes || n == 0 || !charset) return;
    out.append("=?");
    out.append(charset);
    out.append("?B?");
    encodeBase64(bytes, n, out);
    out.append("?=");
}

void ContentCoding::decodeQWords(const char* text, DataBuffer& out) const { decodeWords(text, 'Q', out); }
void ContentCoding::decodeBWords(const char* text, DataBuffer& out) const { decodeWords(text, 'B', out); }

void ContentCoding::decodeWords(const char* text, char marker, DataBuffer& out) const {
    if (!text) return;
    const char* const end = text + std::strlen(text);
    const char needle[3] = {'?', marker, '?'};
    const char* p = text;
    while (p < end) {
        const char* open = findMarker(p, end, "=?", 2);
        const char* mark = open ? findMarker(open, end, needle, 3) : nullptr;
        const char* close = mark ? findMarker(mark + 3, end, "?=", 2) : nullptr;
        if (!close) break;  // no later word could close either: the rest goes out as it is
        out.append(p, static_cast<uint32_t>(open - p));
        const char* payload = mark + 3;
        const auto payloadLength = static_cast<uint32_t>(close - payload);
        if (payloadLength > 0) {
            uint32_t n = 0;
            uint8_t* bytes = marker == 'Q' ? decodeQ(payload, static_cast<int32_t>(payloadLength), &n)
                                           : decodeBase64(payload, payloadLength, &n);
            out.append(bytes, n);
            std::free(bytes);
        }
        p = close + 2;
    }
    out.append(p, static_cast<uint32_t>(end - p));
}

}  // namespace quorvel
