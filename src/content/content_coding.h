#pragma once
#include <cstdint>

namespace quorvel {

class StringBuffer;
class DataBuffer;

// The text encodings that make bytes safe to store as XML content, and back: base64 (RFC 4648
// alphabet, "=" padding) in 72-character CR LF lines or unbroken, the Q encoding of RFC 2047 and
// RFC 2047 encoded words. Works on raw bytes: a charset name in an encoded word is a label, never
// applied. Stateless apart from the line length; every operation is linear in its input and
// never reads past the length it is given (or the first NUL where a length is not given).
//
// Blocks handed out ("a new block") come from std::malloc; the caller frees them with std::free
// or hands them to DataBuffer::adopt.
class ContentCoding {
public:
    ContentCoding() = default;
    virtual ~ContentCoding() = default;

    int32_t lineLength() const { return lineLength_; }

    // Appends base64 of bytes[0..n) in lines of at most 72 characters, each ended by CR LF, the
    // last one too. A whole line is 18 groups; a final partial group does not count against the
    // line, so input of a multiple of 54 bytes ends with an empty line. n == 0 appends nothing.
    void encodeBase64Lines(const void* bytes, uint32_t n, StringBuffer& out) const;
    // Appends base64 of bytes[0..n) without any line break.
    void encodeBase64(const void* bytes, uint32_t n, StringBuffer& out) const;
    // A new NUL-terminated block of unbroken base64, its length (without the NUL) in *outLength.
    char* encodeBase64Block(const void* bytes, uint32_t n, uint32_t* outLength) const;

    // Lenient base64 decoding of text[0..length): stops at the first "=" or NUL, skips CR, LF, TAB
    // and space, and skips every other byte outside the alphabet; a trailing group of 2 or 3
    // characters gives 1 or 2 bytes. Never fails. A new block and its count, none for length 0.
    uint8_t* decodeBase64(const char* text, uint32_t length, uint32_t* outCount) const;
    // The same, appended to out.
    void decodeBase64(const char* text, uint32_t length, DataBuffer& out) const;

    // A new NUL-terminated block of Q-encoded text: printable ASCII but "=", "?" and "_" as they
    // are, space as "_", every other byte as "=" and two upper-case hex digits.
    char* encodeQ(const void* bytes, uint32_t n, uint32_t* outLength) const;
    // Q decoding of text[0..length), or up to the first NUL when length <= 0: "_" is a space,
    // "=XY" with upper-case hex digits is a byte, an "=" not so followed is kept, and the bytes
    // below 0x21, "?" and 0x7F..0x9F are dropped. A new block and its count.
    uint8_t* decodeQ(const char* text, int32_t length, uint32_t* outCount) const;

    // Append one encoded word "=?charset?Q?...?=" (or "?B?" with unbroken base64), never split.
    // Nothing is appended when bytes is null, n is 0 or charset is null.
    void makeQWord(const void* bytes, uint32_t n, const char* charset, StringBuffer& out) const;
    void makeBWord(const void* bytes, uint32_t n, const char* charset, StringBuffer& out) const;

    // Append to out the NUL-terminated text with every Q (or B) encoded word decoded and the text
    // between words kept as it is. Where an "=?" has no marker after it, or a marker no "?=", no
    // later word can close either, so the rest of the text is appended unchanged.
    void decodeQWords(const char* text, DataBuffer& out) const;
    void decodeBWords(const char* text, DataBuffer& out) const;

    static constexpr int32_t kLineLength = 72;

private:
    void decodeWords(const char* text, char marker, DataBuffer& out) const;

    int32_t lineLength_ = kLineLength;
};

}  // namespace quorvel
