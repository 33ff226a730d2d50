#include "charset/mb_string.h"

#include <cstring>

namespace quorvel {

bool MbChar::set(const void* p, uint32_t n) {
    if (n > kMaxBytes) return false;
    if (n) std::memcpy(bytes, p, n);
    count = static_cast<uint8_t>(n);
    return true;
}

void MbString::build(const uint8_t* bytes, uint32_t length) {
    bytes_ = bytes;
    byteLength_ = length;
    count_ = 0;
    starts_.clear();
    uint32_t pos = 0;
    for (;;) {
        pos = nextStart(pos);
        if (pos >= length) break;
        if (count_ % kStride == 0) starts_.push_back(pos);
        ++count_;
        pos += lengthAt(pos);
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
