#pragma once
// Character indexes over multi-byte text, and the bytes of one character.

#include <array>
#include <cstdint>
#include <vector>

#include "core/quorvel_object.h"

namespace quorvel {

// The bytes of one character, at most six.
struct MbChar {
    static constexpr uint32_t kMaxBytes = 6;

    uint8_t bytes[kMaxBytes] = {};
    uint8_t count = 0;

    // False, leaving the character as it was, when there are more than six bytes.
    bool set(const void* p, uint32_t n);
};

// Where each character of a byte string begins and how many bytes it has. The string is not
// copied: it must outlive the index.
class MbString : public QuorvelObject {
public:
    const uint8_t* bytes() const { return bytes_; }
    uint32_t byteLength() const { return byteLength_; }
    uint32_t count() const { return count_; }

    // Byte offset (from bytes()) and byte length of character i < count().
    uint32_t offset(uint32_t i) const;
    uint32_t charLength(uint32_t i) const { return lengthAt(offset(i)); }
    // Offset just past the last byte of characters [first, first + n), n >= 1.
    uint32_t endOffset(uint32_t first, uint32_t n) const;
    MbChar charAt(uint32_t i) const;

    // Walking by byte offsets, for callers that go through the characters in order.
    // Length of the character that begins at offset pos.
    uint32_t lengthAt(uint32_t pos) const {
        const uint32_t n = leadLengths_[bytes_[pos]];
        return n < byteLength_ - pos ? n : byteLength_ - pos;
    }
    // The first offset at or after pos where a character begins (byteLength() when none does).
    uint32_t nextStart(uint32_t pos) const;
    // Offset just past the last byte of the n >= 1 characters that begin at offset pos.
    uint32_t endFrom(uint32_t pos, uint32_t n) const;

    // Only every kStride-th start is stored, so that the index of a long text stays small;
    // the others are found by stepping from the nearest stored one.
    static constexpr uint32_t kStride = 16;

protected:
    // `leadLengths` gives for each byte value the length of a character that begins with it, or
    // 0 when such a byte begins none and is passed over; it must outlive the index.
    explicit MbString(const std::array<uint8_t, 256>& leadLengths) : leadLengths_(leadLengths) {}
    // Indexes the bytes; called once by the constructor of the derived class.
    void build(const uint8_t* bytes, uint32_t length);

private:
    const std::array<uint8_t, 256>& leadLengths_;
    const uint8_t* bytes_ = nullptr;
    uint32_t byteLength_ = 0;
    uint32_t count_ = 0;
    std::vector<uint32_t> starts_;
};

// UTF-8: a leading byte-order mark EF BB BF is no character; the length of a character is read
// from its first byte alone (below 0x80 one, below 0xE0 two, below 0xF0 three, below 0xF8 four,
// below 0xFC five, below 0xFE six), so malformed text still divides into characters; 0xFE and
// 0xFF begin none. The last character is cut short at the end of the text.
class MbStringUtf8 final : public MbString {
public:
    MbStringUtf8(const void* bytes, uint32_t length);

    static uint32_t leadLength(uint8_t first) { return kLeadLengths[first]; }

private:
    static constexpr std::array<uint8_t, 256> kLeadLengths = [] {
        std::array<uint8_t, 256> t{};
        for (unsigned b = 0; b < 256; ++b) {
            t[b] = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : b < 0xFC ? 5 : b < 0xFE ? 6 : 0;
        }
        return t;
    }();
};

}  // namespace quorvel
