#pragma once
#include <cstdint>

namespace quorvel {

// A ring buffer of fixed capacity: writes copy up to the free room, wrapping at the end of the
// block; the readable bytes are offered as at most two spans in order, and consuming frees them.
// Invariant: count() + freeBytes() == capacity(). No operation allocates after construction.
class StreamingBuffer {
public:
    explicit StreamingBuffer(uint32_t capacity);
    ~StreamingBuffer();
    StreamingBuffer(const StreamingBuffer&) = delete;
    StreamingBuffer& operator=(const StreamingBuffer&) = delete;

    struct Span {
        const uint8_t* data = nullptr;
        uint32_t size = 0;
    };

    // Copies min(n, freeBytes()) bytes in; returns how many.
    uint32_t write(const void* bytes, uint32_t n);
    // The readable bytes: first from the read position towards the end of the block, then the
    // rest from its start (second is empty when they do not wrap).
    void readable(Span& first, Span& second) const;
    // Frees the first n readable bytes (at most count()).
    void consume(uint32_t n);

    uint32_t capacity() const { return capacity_; }
    uint32_t count() const { return count_; }
    uint32_t freeBytes() const { return capacity_ - count_; }

private:
    uint8_t* block_;
    uint32_t capacity_;
    uint32_t count_ = 0;
    uint32_t readPos_ = 0;
    uint32_t writePos_ = 0;
};

}  // namespace quorvel
