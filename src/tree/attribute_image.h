#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "tree/small_copy.h"

namespace quorvel {

// The attributes of one element as a reader writes them while it scans: each name and value
// followed by a 0 byte, pair after pair, with the lengths of each pair alongside. That is the
// front of an AttributeSet's block as it will stand, so the set is laid out from it with one copy
// and no second pass over the pairs. Reused from element to element; it only ever grows.
class AttributeImage {
public:
    void clear() {
        used_ = 0;
        pairs_ = 0;
    }
    // Room for n more bytes at the end, for the caller to write.
    char* extend(size_t n) {
        if (capacity_ - used_ < n) grow(n);
        char* at = bytes_.get() + used_;
        used_ += n;
        return at;
    }
    // Gives back the last n bytes taken with extend.
    void shorten(size_t n) { used_ -= n; }
    // Appends a pair as it stands; one with an empty name is left out.
    void addPair(const char* name, size_t nameLength, const char* value, size_t valueLength) {
        if (nameLength == 0) return;
        char* at = extend(nameLength + valueLength + 2);
        copySmall(at, name, nameLength);
        at[nameLength] = 0;
        copySmall(at + nameLength + 1, value, valueLength);
        at[nameLength + 1 + valueLength] = 0;
        endPair(static_cast<uint32_t>(nameLength), static_cast<uint32_t>(valueLength));
    }
    // The pair just written ends the bytes: a name of nameLength bytes (never 0), a 0, a value
    // of valueLength bytes and a 0.
    void endPair(uint32_t nameLength, uint32_t valueLength) {
        if (pairs_ == pairCapacity_) growPairs();
        lengths_[2 * size_t{pairs_}] = nameLength;
        lengths_[2 * size_t{pairs_} + 1] = valueLength;
        ++pairs_;
    }

    const char* bytes() const { return bytes_.get(); }
    size_t size() const { return used_; }
    uint32_t count() const { return pairs_; }
    // The name length and the value length of each pair, in order.
    const uint32_t* lengths() const { return lengths_.get(); }

private:
    void grow(size_t n) {
        size_t capacity = capacity_ ? capacity_ * 2 : 1024;
        while (capacity - used_ < n) capacity *= 2;
        std::unique_ptr<char[]> fresh(new char[capacity]);
        if (used_) std::memcpy(fresh.get(), bytes_.get(), used_);
        bytes_ = std::move(fresh);
        capacity_ = capacity;
    }
    void growPairs() {
        const uint32_t capacity = pairCapacity_ ? pairCapacity_ * 2 : 64;
        std::unique_ptr<uint32_t[]> fresh(new uint32_t[2 * size_t{capacity}]);
        if (pairs_) std::memcpy(fresh.get(), lengths_.get(), sizeof(uint32_t) * 2 * pairs_);
        lengths_ = std::move(fresh);
        pairCapacity_ = capacity;
    }

    std::unique_ptr<char[]> bytes_;
    size_t capacity_ = 0;
    size_t used_ = 0;
    std::unique_ptr<uint32_t[]> lengths_;
    uint32_t pairs_ = 0;
    uint32_t pairCapacity_ = 0;
};

}  // namespace quorvel
