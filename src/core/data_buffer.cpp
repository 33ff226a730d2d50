#include "core/data_buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace quorvel {

DataBuffer::DataBuffer(uint32_t capacity) {
    if (capacity) {
        data_ = static_cast<uint8_t*>(std::calloc(capacity, 1));
        if (!data_) throw std::bad_alloc();
        capacity_ = capacity;
    }
}

DataBuffer::~DataBuffer() { clear(); }

void DataBuffer::clear() {
    if (!borrowed_) std::free(data_);
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
    borrowed_ = 0;
}

// Moves the bytes in use into an owned block of exactly newCapacity bytes.
void DataBuffer::reallocate(uint64_t newCapacity) {
    if (newCapacity > UINT32_MAX) throw std::bad_alloc();
    if (data_ && !borrowed_ && newCapacity >= size_) {
        // An owned block grows in place where it can, and large ones move by remapping their
        // pages instead of copying and touching fresh ones.
        void* grown = std::realloc(data_, newCapacity ? newCapacity : 1);
        if (!grown) throw std::bad_alloc();
        data_ = static_cast<uint8_t*>(grown);
        capacity_ = static_cast<uint32_t>(newCapacity);
        return;
    }
    uint8_t* fresh = static_cast<uint8_t*>(std::malloc(newCapacity ? newCapacity : 1));
    if (!fresh) throw std::bad_alloc();
    if (size_) std::memcpy(fresh, data_, size_);
    if (!borrowed_) std::free(data_);
    data_ = fresh;
    capacity_ = static_cast<uint32_t>(newCapacity);
    borrowed_ = 0;
}

uint8_t* DataBuffer::appendSpace(uint32_t n) {
    if (static_cast<uint64_t>(size_) + n > capacity_ || (borrowed_ && n)) {
        reallocate(static_cast<uint64_t>(size_) + (n > kGrowthStep ? n : kGrowthStep));
    }
    return data_ + size_;
}

void DataBuffer::append(const void* bytes, uint32_t n) {
    if (!bytes || n == 0) return;
    uint8_t* dst = appendSpace(n);
    std::memcpy(dst, bytes, n);
    size_ += n;
}

void DataBuffer::appendByte(uint8_t b) {
    if (size_ >= capacity_ || borrowed_) reallocate(static_cast<uint64_t>(capacity_) + kGrowthStep);
    data_[size_++] = b;
}

void DataBuffer::appendExact(const void* bytes, uint32_t n) {
    if (!bytes || n == 0) return;
    if (static_cast<uint64_t>(size_) + n > capacity_ || borrowed_) reallocate(static_cast<uint64_t>(size_) + n);
    std::memcpy(data_ + size_, bytes, n);
    size_ += n;
}

void DataBuffer::reserve(uint32_t n) {
    if (capacity_ < n) reallocate(n);
}

void DataBuffer::assign(const void* bytes, uint32_t n) {
    clear();
    if (!bytes || n == 0) return;
    reallocate(n);
    std::memcpy(data_, bytes, n);
    size_ = n;
}

void DataBuffer::copyFrom(const DataBuffer& other) {
    if (&other == this) return;
    clear();
    if (other.capacity_ == 0) return;
    reallocate(other.capacity_);
    if (other.size_) std::memcpy(data_, other.data_, other.size_);
    size_ = other.size_;
}

void DataBuffer::moveFrom(DataBuffer& other) {
    if (&other == this) return;
    clear();
    borrowed_ = other.borrowed_;
    data_ = other.data_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    other.data_ = nullptr;
    other.size_ = 0;
    other.capacity_ = 0;
    other.borrowed_ = 0;
}

void DataBuffer::adopt(uint8_t* block, uint32_t n) {
    clear();
    data_ = block;
    size_ = capacity_ = block ? n : 0;
}

void DataBuffer::borrow(const void* block, uint32_t n) {
    clear();
    data_ = static_cast<uint8_t*>(const_cast<void*>(block));
    size_ = capacity_ = block ? n : 0;
    borrowed_ = block ? 1 : 0;
}

void DataBuffer::removeFirst(uint32_t n) {
    if (n >= size_) {
        size_ = 0;
        return;
    }
    if (borrowed_) {
        // The bytes are somebody else's: keep the rest in a block of our own instead of shifting theirs.
        const uint8_t* rest = data_ + n;
        uint32_t left = size_ - n;
        uint8_t* fresh = static_cast<uint8_t*>(std::malloc(left));
        if (!fresh) throw std::bad_alloc();
        std::memcpy(fresh, rest, left);
        data_ = fresh;
        size_ = capacity_ = left;
        borrowed_ = 0;
        return;
    }
    std::memmove(data_, data_ + n, size_ - n);
    size_ -= n;
}

void DataBuffer::appendPadding(int scheme) {
    uint8_t p = static_cast<uint8_t>(16 - size_ % 16);
    uint8_t pad[16];
    switch (scheme) {
        case 0:
            std::memset(pad, p, p);
            break;
        case 1:
            for (int i = 0; i < p - 1; ++i) pad[i] = static_cast<uint8_t>(std::rand() & 0xFF);
            pad[p - 1] = p;
            break;
        case 2:
            for (int i = 0; i < p; ++i) pad[i] = static_cast<uint8_t>(std::rand() & 0xFF);
            break;
        default:
            return;
    }
    appendExact(pad, p);
}

void DataBuffer::removePadding(int scheme) {
    if ((scheme != 0 && scheme != 1) || size_ == 0) return;
    uint8_t p = data_[size_ - 1];
    size_ = p >= size_ ? 0 : size_ - p;
}

}  // namespace quorvel
