#include "charset/mb_string.h"

#include <cstring>

namespace quorvel {

bool MbChar::set(const void* p, uint32_t n) {
    if (n > kMaxBytes) return false;
    if (n) std::memcpy(bytes, p, n);
    count = static_cast<uint8_t>(n);
    return true;
}

namespace {

// End of the run of bytes below 0x80 that begins at pos, eight at a time where it can.
uint32_t asciiRunEnd(const uint8_t* bytes, uint32_t pos, uint32_t length) {
    while (pos + 8 <= length) {
        uint64_t word;
        std::memcpy(&word, bytes + pos, 8);
        if (word & 0x8080808080808080ull) break;
        pos += 8;
    }
    while (pos < length && bytes[pos] < 0x80) ++pos;
    return pos;
}

}  // namespace

void MbString::build(const uint8_t* bytes, uint32_t length) {
    bytes_ = bytes;
    byteLength_ = length;
    count_ = 0;
    starts_.clear();
    bool asciiIsSingle = true;
    for (unsigned b = 0; b < 0x80; ++b) asciiIsSingle = asciiIsSingle && leadLengths_[b] == 1;
    uint32_t pos = 0;
    while (pos < length) {
        if (asciiIsSingle && bytes[pos] < 0x80) {
            // A run of one-byte characters: the stored starts inside it follow by arithmetic.
            const uint32_t end = asciiRunEnd(bytes, pos, length);
            const uint32_t n = end - pos;
            for (uint32_t i = (count_ + kStride - 1) / kStride * kStride; i < count_ + n; i += kStride) {
                starts_.push_back(pos + (i - count_));
            }
            count_ += n;
            pos = end;
            continue;
        }
        const uint32_t n = lengthAt(pos);
        if (n == 0) {
            ++pos;
            continue;
        }
        if (count_ % kStride == 0) starts_.push_back(pos);
        ++count_;
        pos += n;
    }
}

// The first position at or after pos where a character begins (byteLength_ when none does).
uint32_t MbString::nextStart(uint32_t pos) const {
    while (pos < byteLength_ && lengthAt(pos) == 0) ++pos;
    return pos;
}

uint32_t MbString::offset(uint32_t i) const {
    uint32_t pos = starts_[i / kStride];
    for (uint32_t k = i % kStride; k > 0; --k) pos = nextStart(pos + lengthAt(pos));
    return pos;
}

uint32_t MbString::endOffset(uint32_t first, uint32_t n) const {
    const uint32_t last = offset(first + n - 1);
    return last + lengthAt(last);
}

uint32_t MbString::endFrom(uint32_t pos, uint32_t n) const {
    for (; n > 1; --n) pos = nextStart(pos + lengthAt(pos));
    return pos + lengthAt(pos);
}

MbChar MbString::charAt(uint32_t i) const {
    MbChar c;
    const uint32_t pos = offset(i);
    c.set(bytes_ + pos, lengthAt(pos));
    return c;
}

MbStringUtf8::MbStringUtf8(const void* bytes, uint32_t length) : MbString(kLeadLengths) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    if (length >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        p += 3;
        length -= 3;
    }
    build(p, length);
}

}  // namespace quorvel
