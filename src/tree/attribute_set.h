#pragma once
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/string_buffer.h"
#include "tree/attribute_image.h"
#include "tree/node_arena.h"
#include "tree/small_copy.h"
#include "tree/text_ref.h"

namespace quorvel {

// An element's attributes in document order. Duplicate names are kept; names are never empty,
// values may be. Names are compared exactly (same length, same bytes).
//
// All names, values and their lengths live in one block, allocated on the first add: bytes grow
// from the front, per-attribute records from the back, so every access by index is direct and an
// element with attributes costs a single allocation. Each stored name and value is followed by a
// 0 byte, so the views below can also be read as terminated strings.
class AttributeSet {
public:
    AttributeSet() = default;
    ~AttributeSet() { removeAll(); }
    AttributeSet(const AttributeSet&) = delete;
    AttributeSet& operator=(const AttributeSet&) = delete;
    AttributeSet(AttributeSet&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    AttributeSet& operator=(AttributeSet&& other) noexcept;
    void swap(AttributeSet& other) noexcept {
        Block* b = block_;
        block_ = other.block_;
        other.block_ = b;
    }

    // Appends the pair; nothing when name is empty. A value may hold any bytes.
    void add(TextRef name, TextRef value);
    // Removes every attribute of that name, then appends the pair; nothing when name is empty.
    void update(TextRef name, TextRef value);
    // Removes every attribute of that name, keeping the order of the others.
    void remove(TextRef name);
    void removeAll();

    int32_t count() const { return block_ ? static_cast<int32_t>(block_->count) : 0; }
    bool empty() const { return count() == 0; }
    // The name or value of attribute i; empty outside 0..count-1.
    std::string_view name(int32_t i) const;
    std::string_view value(int32_t i) const;
    // The out string is emptied, then receives the name or value of attribute i; false outside the range.
    bool nameAt(int32_t i, StringBuffer& out) const;
    bool valueAt(int32_t i, StringBuffer& out) const;
    // Index of the first attribute with exactly that name, or -1.
    int32_t indexOf(TextRef name) const;
    // The out string is emptied, then receives the value of the first attribute of that name.
    bool valueOf(TextRef name, StringBuffer& out) const;
    bool has(TextRef name) const { return indexOf(name) >= 0; }
    bool hasWithValue(TextRef name, TextRef value) const;
    // Whether some attribute of that name has a value matching the case-sensitive `*` pattern
    // (null counts as empty). Values are compared up to their first 0 byte.
    bool matches(TextRef name, const char* pattern) const;

    // Lays out the pairs (names[i], values[i]) in one block of exactly their size carved from
    // arena. The set must be empty: it is overwritten, not freed. Pairs with an empty name are
    // left out. A later add that needs more room moves the attributes to a block of its own.
    void buildInArena(NodeArena& arena, const TextRef* names, const TextRef* values, int32_t n);
    // As buildInArena for the one pair (name, value) of short texts, in the room left in the
    // arena's current page: false, leaving the set empty, when the name is empty, a text is longer
    // than 32 bytes or the page is full. Calls nothing, so a caller's fast path saves nothing.
    bool buildShortPairInPage(NodeArena& arena, TextRef name, TextRef value) {
        const size_t nameLength = name.size(), valueLength = value.size();
        if (nameLength - 1 >= 32 || valueLength > 32) return false;
        const size_t areaBytes = areaForPair(nameLength, valueLength);
        void* room;
        if (!arena.tryAllocate((sizeof(Block) + areaBytes + 7) & ~size_t{7}, room)) return false;
        writePair(room, areaBytes, name, value);
        return true;
    }
    // As buildInArena, for the pairs of image.
    void buildFromImage(NodeArena& arena, const AttributeImage& image);
    // removeAll, with an arena block's release gathered into batch.
    void releaseInto(NodeArena::ReleaseBatch& batch);

private:
    struct Block {
        uint32_t count;
        uint32_t used;      // bytes of names and values at the front of the area
        uint32_t capacity;  // size of the area that follows this header
        uint32_t inArena;   // carved from a NodeArena rather than allocated on its own
    };
    static void freeBlock(Block* b);
    static size_t areaForPair(size_t nameLength, size_t valueLength) {
        return ((nameLength + valueLength + 2 + 3) & ~size_t{3}) + kRecordSize;
    }
    // Lays out one pair in room, an arena piece with an area of areaBytes.
    void writePair(void* room, size_t areaBytes, TextRef name, TextRef value) {
        const size_t nameLength = name.size(), valueLength = value.size();
        auto* b = static_cast<Block*>(room);
        b->count = 1;
        b->used = static_cast<uint32_t>(nameLength + valueLength + 2);
        b->capacity = static_cast<uint32_t>(areaBytes);
        b->inArena = 1;
        char* at = reinterpret_cast<char*>(b + 1);
        copySmall(at, name.data(), nameLength);
        at[nameLength] = 0;
        copySmall(at + nameLength + 1, value.data(), valueLength);
        at[nameLength + 1 + valueLength] = 0;
        const uint32_t offset = 0, nameBytes = static_cast<uint32_t>(nameLength),
                       valueBytes = static_cast<uint32_t>(valueLength);
        char* record = at + areaBytes - kRecordSize;  // field by field, as buildFromImage writes it
        std::memcpy(record, &offset, 4);
        std::memcpy(record + 4, &nameBytes, 4);
        std::memcpy(record + 8, &valueBytes, 4);
        block_ = b;
    }
    // A block with an area of areaBytes, from arena when it fits a piece; count and used unset.
    static Block* carve(NodeArena& arena, size_t areaBytes);
    static constexpr size_t kRecordSize = 3 * sizeof(uint32_t);
    struct Record {
        uint32_t offset;
        uint32_t nameLength;
        uint32_t valueLength;
    };
    char* area() const { return reinterpret_cast<char*>(block_ + 1); }
    Record record(uint32_t i) const;
    void setRecord(uint32_t i, const Record& r);
    bool nameIs(const Record& r, std::string_view name) const;

    Block* block_ = nullptr;
};

}  // namespace quorvel
