#include "core/ext_ptr_array.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace quorvel {

namespace {

template <class T>
T* allocZeroed(int32_t n) {
    void* p = std::calloc(static_cast<size_t>(n), sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
}

// Grows so that `count` elements fit: capacity + increment (or count when that is not enough);
// the increment then becomes the new capacity, up to the limit.
template <class T>
void growBlock(T*& block, int32_t& capacity, int32_t& increment, int32_t count, int32_t limit) {
    int64_t newCap = static_cast<int64_t>(capacity) + increment;
    if (newCap < count) newCap = count;
    if (newCap > INT32_MAX / static_cast<int64_t>(sizeof(T))) throw std::bad_alloc();
    T* fresh = allocZeroed<T>(static_cast<int32_t>(newCap));
    if (block) {
        std::memcpy(fresh, block, sizeof(T) * static_cast<size_t>(capacity));
        std::free(block);
    }
    block = fresh;
    capacity = static_cast<int32_t>(newCap);
    if (increment < limit) increment = capacity < limit ? capacity : limit;
}

}  // namespace

ExtPtrArray::ExtPtrArray() : increment_(5), capacity_(0) {}

ExtPtrArray::ExtPtrArray(int32_t capacity, int32_t increment)
    : increment_(increment < 1 ? 5 : increment), capacity_(capacity < 1 ? 5 : capacity) {
    block_ = allocZeroed<void*>(capacity_);
}

ExtPtrArray::~ExtPtrArray() { std::free(block_); }

void ExtPtrArray::grow(int32_t needed) {
    if (!block_ && capacity_ == 0 && needed <= 5) {
        block_ = allocZeroed<void*>(5);
        capacity_ = 5;
        return;
    }
    growBlock(block_, capacity_, increment_, needed, kIncrementLimit);
}

int32_t ExtPtrArray::append(void* p) {
    if (count_ + 1 > capacity_ || !block_) grow(count_ + 1);
    block_[count_] = p;
    return count_++;
}

void* ExtPtrArray::removeAt(int32_t i) {
    if (i < 0 || i >= count_) return nullptr;
    void* p = block_[i];
    std::memmove(block_ + i, block_ + i + 1, sizeof(void*) * static_cast<size_t>(count_ - i - 1));
    --count_;
    block_[count_] = nullptr;
    return p;
}

void* ExtPtrArray::pop() {
    if (!block_) grow(0);
    if (count_ == 0) return nullptr;
    void* p = block_[--count_];
    block_[count_] = nullptr;
    return p;
}

void ExtPtrArray::destroyAll() {
    for (int32_t i = 0; i < count_; ++i) {
        delete static_cast<QuorvelObject*>(block_[i]);
        block_[i] = nullptr;
    }
    count_ = 0;
}

void ExtPtrArray::sort(int (*comparator)(const void*, const void*)) {
    if (count_ > 1) std::qsort(block_, static_cast<size_t>(count_), sizeof(void*), comparator);
}

ExtIntArray::ExtIntArray(int32_t capacity, int32_t increment)
    : increment_(increment < 1 ? 5 : increment), capacity_(capacity < 1 ? 5 : capacity) {
    block_ = allocZeroed<int32_t>(capacity_);
}

ExtIntArray::~ExtIntArray() { std::free(block_); }

int32_t ExtIntArray::append(int32_t v) {
    if (count_ + 1 > capacity_) growBlock(block_, capacity_, increment_, count_ + 1, kIncrementLimit);
    block_[count_] = v;
    return count_++;
}

int32_t ExtIntArray::removeAt(int32_t i) {
    if (i < 0 || i >= count_) return 0;
    int32_t v = block_[i];
    std::memmove(block_ + i, block_ + i + 1, sizeof(int32_t) * static_cast<size_t>(count_ - i - 1));
    --count_;
    return v;
}

}  // namespace quorvel
