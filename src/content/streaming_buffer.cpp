#include "content/streaming_buffer.h"

#include <algorithm>
#include <cstring>

namespace quorvel {

StreamingBuffer::StreamingBuffer(uint32_t capacity) : block_(new uint8_t[capacity ? capacity : 1]), capacity_(capacity) {}

StreamingBuffer::~StreamingBuffer() { delete[] block_; }

uint32_t StreamingBuffer::write(const void* bytes, uint32_t n) {
    n = std::min(n, freeBytes());
    if (!bytes || n == 0) return 0;
    const auto* in = static_cast<const uint8_t*>(bytes);
    const uint32_t firstPart = std::min(n, capacity_ - writePos_);
    std::memcpy(block_ + writePos_, in, firstPart);
    std::memcpy(block_, in + firstPart, n - firstPart);
    writePos_ = (writePos_ + n) % capacity_;
    count_ += n;
    return n;
}

void StreamingBuffer::readable(Span& first, Span& second) const {
    const uint32_t toEnd = std::min(count_, capacity_ - readPos_);
    first = {block_ + readPos_, toEnd};
    second = {block_, count_ - toEnd};
}

void StreamingBuffer::consume(uint32_t n) {
    n = std::min(n, count_);
    if (n == 0) return;
    readPos_ = (readPos_ + n) % capacity_;
    count_ -= n;
}

}  // namespace quorvel
