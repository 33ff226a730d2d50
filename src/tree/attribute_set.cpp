#include "tree/attribute_set.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "tree/small_copy.h"

namespace quorvel {

namespace {

constexpr uint32_t kMinArea = 64;
constexpr size_t kMaxArea = 0x7fffff00;

size_t roundUp4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

}  // namespace

AttributeSet& AttributeSet::operator=(AttributeSet&& other) noexcept {
    if (this != &other) {
        removeAll();
        block_ = other.block_;
        other.block_ = nullptr;
    }
    return *this;
}

AttributeSet::Record AttributeSet::record(uint32_t i) const {
    Record r;
    std::memcpy(&r, area() + block_->capacity - kRecordSize * (i + 1), kRecordSize);
    return r;
}

void AttributeSet::setRecord(uint32_t i, const Record& r) {
    std::memcpy(area() + block_->capacity - kRecordSize * (i + 1), &r, kRecordSize);
}

bool AttributeSet::nameIs(const Record& r, std::string_view name) const {
    return r.nameLength == name.size() && std::memcmp(area() + r.offset, name.data(), name.size()) == 0;
}

void AttributeSet::add(TextRef name, TextRef value) {
    if (name.empty()) return;
    size_t need = name.size() + value.size() + 2 + kRecordSize;
    size_t inUse = block_ ? block_->used + kRecordSize * block_->count : 0;
    if (need > kMaxArea || inUse + need > kMaxArea) throw std::bad_alloc();
    if (!block_ || inUse + need > block_->capacity) {
        size_t capacity = roundUp4(inUse + need);
        if (block_ && capacity < 2 * static_cast<size_t>(block_->capacity)) capacity = 2 * static_cast<size_t>(block_->capacity);
        if (capacity < kMinArea) capacity = kMinArea;
        if (capacity > kMaxArea) capacity = roundUp4(inUse + need);
        auto* fresh = static_cast<Block*>(std::malloc(sizeof(Block) + capacity));
        if (!fresh) throw std::bad_alloc();
        fresh->count = 0;
        fresh->used = 0;
        fresh->capacity = static_cast<uint32_t>(capacity);
        fresh->inArena = 0;
        if (block_) {
            char* to = reinterpret_cast<char*>(fresh + 1);
            size_t records = kRecordSize * block_->count;
            std::memcpy(to, area(), block_->used);
            std::memcpy(to + capacity - records, area() + block_->capacity - records, records);
            fresh->count = block_->count;
            fresh->used = block_->used;
        }
        // The old block is freed only after the copy below: name or value may point into it.
        Block* old = block_;
        block_ = fresh;
        char* at = area() + block_->used;
        std::memcpy(at, name.data(), name.size());
        at[name.size()] = 0;
        if (!value.empty()) std::memcpy(at + name.size() + 1, value.data(), value.size());
        at[name.size() + 1 + value.size()] = 0;
        freeBlock(old);
    } else {
        char* at = area() + block_->used;
        std::memmove(at, name.data(), name.size());
        at[name.size()] = 0;
        if (!value.empty()) std::memmove(at + name.size() + 1, value.data(), value.size());
        at[name.size() + 1 + value.size()] = 0;
    }
    Record r{block_->used, static_cast<uint32_t>(name.size()), static_cast<uint32_t>(value.size())};
    setRecord(block_->count, r);
    block_->used += static_cast<uint32_t>(name.size() + value.size() + 2);
    ++block_->count;
}

void AttributeSet::update(TextRef name, TextRef value) {
    if (name.empty()) return;
    const char* lo = block_ ? area() : nullptr;
    const char* hi = block_ ? area() + block_->capacity : nullptr;
    auto inside = [&](TextRef t) { return lo && t.data() >= lo && t.data() < hi; };
    if (inside(name) || inside(value)) {
        std::string n(name.view()), v(value.view());
        remove(n);
        add(n, v);
        return;
    }
    remove(name);
    add(name, value);
}

void AttributeSet::remove(TextRef name) {
    if (!block_ || name.empty()) return;
    uint32_t kept = 0;
    uint32_t used = 0;
    uint32_t n = block_->count;
    for (uint32_t i = 0; i < n; ++i) {
        Record r = record(i);
        if (nameIs(r, name.view())) continue;
        uint32_t size = r.nameLength + r.valueLength + 2;
        if (r.offset != used) std::memmove(area() + used, area() + r.offset, size);
        r.offset = used;
        setRecord(kept++, r);
        used += size;
    }
    if (kept == 0) {
        removeAll();
        return;
    }
    block_->count = kept;
    block_->used = used;
}

void AttributeSet::freeBlock(Block* b) {
    if (!b) return;
    if (b->inArena) {
        NodeArena::release(b);
    } else {
        std::free(b);
    }
}

void AttributeSet::removeAll() {
    freeBlock(block_);
    block_ = nullptr;
}

void AttributeSet::releaseInto(NodeArena::ReleaseBatch& batch) {
    if (block_ && block_->inArena) {
        batch.add(block_);
        block_ = nullptr;
    }
    removeAll();
}

AttributeSet::Block* AttributeSet::carve(NodeArena& arena, size_t areaBytes) {
    if (areaBytes > kMaxArea) throw std::bad_alloc();
    Block* b;
    if (sizeof(Block) + areaBytes <= NodeArena::kLargestPiece) {
        b = static_cast<Block*>(arena.allocate(sizeof(Block) + areaBytes));
        b->inArena = 1;
    } else {
        b = static_cast<Block*>(std::malloc(sizeof(Block) + areaBytes));
        if (!b) throw std::bad_alloc();
        b->inArena = 0;
        arena.noteBlock(b);
    }
    b->capacity = static_cast<uint32_t>(areaBytes);
    return b;
}

void AttributeSet::buildInArena(NodeArena& arena, const TextRef* names, const TextRef* values, int32_t n) {
    // Most elements with attributes have one: laid out without an image.
    if (n == 1 && !names[0].empty()) {
        const size_t areaBytes = areaForPair(names[0].size(), values[0].size());
        if (sizeof(Block) + areaBytes <= NodeArena::kLargestPiece) {
            writePair(arena.allocate(sizeof(Block) + areaBytes), areaBytes, names[0], values[0]);
            return;
        }
    }
    AttributeImage image;
    for (int32_t i = 0; i < n; ++i) image.addPair(names[i].data(), names[i].size(), values[i].data(), values[i].size());
    buildFromImage(arena, image);
}

void AttributeSet::buildFromImage(NodeArena& arena, const AttributeImage& image) {
    // The set is empty: it is not even looked at, as it belongs to a node just made in memory
    // that may not be at hand yet.
    const uint32_t count = image.count();
    if (count == 0) return;
    const size_t used = image.size();
    Block* b = carve(arena, roundUp4(used) + kRecordSize * count);
    char* base = reinterpret_cast<char*>(b + 1);
    copySmall(base, image.bytes(), used);
    char* recordEnd = base + b->capacity;
    const uint32_t* lengths = image.lengths();
    uint32_t offset = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t nameLength = lengths[2 * i], valueLength = lengths[2 * i + 1];
        recordEnd -= kRecordSize;
        // Field by field: a record put together on the stack and copied whole stalls the copy.
        std::memcpy(recordEnd, &offset, 4);
        std::memcpy(recordEnd + 4, &nameLength, 4);
        std::memcpy(recordEnd + 8, &valueLength, 4);
        offset += nameLength + valueLength + 2;
    }
    b->used = static_cast<uint32_t>(used);
    b->count = count;
    block_ = b;
}

std::string_view AttributeSet::name(int32_t i) const {
    if (i < 0 || i >= count()) return {};
    Record r = record(static_cast<uint32_t>(i));
    return {area() + r.offset, r.nameLength};
}

std::string_view AttributeSet::value(int32_t i) const {
    if (i < 0 || i >= count()) return {};
    Record r = record(static_cast<uint32_t>(i));
    return {area() + r.offset + r.nameLength + 1, r.valueLength};
}

bool AttributeSet::nameAt(int32_t i, StringBuffer& out) const {
    out.clear();
    if (i < 0 || i >= count()) return false;
    std::string_view v = name(i);
    out.appendBytes(v.data(), static_cast<int32_t>(v.size()));
    return true;
}

bool AttributeSet::valueAt(int32_t i, StringBuffer& out) const {
    out.clear();
    if (i < 0 || i >= count()) return false;
    std::string_view v = value(i);
    out.appendBytes(v.data(), static_cast<int32_t>(v.size()));
    return true;
}

int32_t AttributeSet::indexOf(TextRef name) const {
    if (!block_ || name.empty()) return -1;
    for (uint32_t i = 0; i < block_->count; ++i) {
        if (nameIs(record(i), name.view())) return static_cast<int32_t>(i);
    }
    return -1;
}

bool AttributeSet::valueOf(TextRef name, StringBuffer& out) const {
    out.clear();
    int32_t i = indexOf(name);
    if (i < 0) return false;
    std::string_view v = value(i);
    out.appendBytes(v.data(), static_cast<int32_t>(v.size()));
    return true;
}

bool AttributeSet::hasWithValue(TextRef name, TextRef value) const {
    if (!block_ || name.empty()) return false;
    for (uint32_t i = 0; i < block_->count; ++i) {
        Record r = record(i);
        if (nameIs(r, name.view()) && r.valueLength == value.size() &&
            (value.empty() || std::memcmp(area() + r.offset + r.nameLength + 1, value.data(), value.size()) == 0)) {
            return true;
        }
    }
    return false;
}

bool AttributeSet::matches(TextRef name, const char* pattern) const {
    if (!block_ || name.empty()) return false;
    for (uint32_t i = 0; i < block_->count; ++i) {
        Record r = record(i);
        if (nameIs(r, name.view()) && wildcardMatch(area() + r.offset + r.nameLength + 1, pattern ? pattern : "", true)) {
            return true;
        }
    }
    return false;
}

}  // namespace quorvel
