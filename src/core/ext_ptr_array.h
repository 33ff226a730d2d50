#pragma once
#include <cstdint>

#include "core/quorvel_object.h"

namespace quorvel {

// Growable array of pointers. After the first growth it doubles, in steps of at most 100000.
class ExtPtrArray : public QuorvelObject {
public:
    ExtPtrArray();
    ExtPtrArray(int32_t capacity, int32_t increment);
    ~ExtPtrArray() override;
    ExtPtrArray(const ExtPtrArray&) = delete;
    ExtPtrArray& operator=(const ExtPtrArray&) = delete;

    int32_t append(void* p);
    void* at(int32_t i) const { return (i >= 0 && i < count_) ? block_[i] : nullptr; }
    template <class T> T* atAs(int32_t i) const { return static_cast<T*>(at(i)); }
    void* last() const { return count_ > 0 ? block_[count_ - 1] : nullptr; }
    void* removeAt(int32_t i);
    void* pop();
    void clear() { count_ = 0; }
    // Destroys each non-null element through QuorvelObject's virtual destructor.
    void destroyAll();
    void sort(int (*comparator)(const void*, const void*));

    int32_t count() const { return count_; }
    int32_t capacity() const { return capacity_; }
    int32_t increment() const { return increment_; }
    void** data() { return block_; }

    static constexpr int32_t kIncrementLimit = 100000;

private:
    void grow(int32_t needed);

    int32_t increment_;
    int32_t capacity_;
    int32_t count_ = 0;
    void** block_ = nullptr;
};

// Growable array of 32-bit integers, doubling in steps of at most 500000.
class ExtIntArray : public QuorvelObject {
public:
    ExtIntArray() : ExtIntArray(80, 200) {}
    ExtIntArray(int32_t capacity, int32_t increment);
    ~ExtIntArray() override;
    ExtIntArray(const ExtIntArray&) = delete;
    ExtIntArray& operator=(const ExtIntArray&) = delete;

    int32_t append(int32_t v);
    int32_t at(int32_t i) const { return (i >= 0 && i < count_) ? block_[i] : 0; }
    int32_t removeAt(int32_t i);
    void set(int32_t i, int32_t v) {
        if (i >= 0 && i < count_) block_[i] = v;
    }
    void clear() { count_ = 0; }

    int32_t count() const { return count_; }
    int32_t capacity() const { return capacity_; }
    int32_t increment() const { return increment_; }
    const int32_t* data() const { return block_; }

    static constexpr int32_t kIncrementLimit = 500000;

private:
    int32_t increment_;
    int32_t capacity_;
    int32_t count_ = 0;
    int32_t* block_ = nullptr;
};

}  // namespace quorvel
