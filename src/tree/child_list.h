#pragma once
#include <cstdint>

#include "tree/node_arena.h"

namespace quorvel {

class TreeNode;

// The children of one element, in document order, as a vector of slots. Each child knows its
// slot, so removing any child is O(1): the first or last live slot moves the start or the end,
// any other leaves a hole that the next indexed access (or too many holes) compacts away. So a
// node with a million children can lose them from the front, the back or in any order in
// linear total time. A hole links back to a slot at or before which the live child before it
// lies, and a search for that child shortens the links it follows, so children keep no link to
// their previous sibling. A single child is held directly, without a block of slots. The list
// owns its slots, never the children.
class ChildList {
public:
    ChildList() = default;
    ~ChildList() { reset(); }
    ChildList(const ChildList&) = delete;
    ChildList& operator=(const ChildList&) = delete;
    void swap(ChildList& other) noexcept {
        uintptr_t b = bits_;
        bits_ = other.bits_;
        other.bits_ = b;
    }

    int32_t count() const {
        if (!bits_) return 0;
        return (bits_ & kSingle) ? 1 : block()->end - block()->start - block()->holes;
    }
    bool empty() const { return bits_ == 0; }
    TreeNode* first() const {
        if (!bits_) return nullptr;
        return (bits_ & kSingle) ? single() : slots()[block()->start];
    }
    TreeNode* last() const {
        if (!bits_) return nullptr;
        return (bits_ & kSingle) ? single() : slots()[block()->end - 1];
    }
    // The child at position i, none outside 0..count-1. O(1) once holes are compacted away.
    TreeNode* at(int32_t i) const;
    bool contains(const TreeNode* child) const;
    // The child before child, which must be in the list; none for the first.
    TreeNode* before(const TreeNode* child) const;

    void append(TreeNode* child);
    // For an empty list: holds child alone, directly. The caller sets the child's slot to 0.
    void adoptOnly(TreeNode* child) { bits_ = reinterpret_cast<uintptr_t>(child) | kSingle; }
    // For a list that holds one child directly: gives it up and is empty.
    TreeNode* releaseOnly() {
        TreeNode* child = single();
        bits_ = 0;
        return child;
    }
    // Takes child out of the list; false when it is not in it.
    bool remove(TreeNode* child);
    // Replaces the list by nodes[0..n-1] in that order (the nodes must be the same children).
    void assign(TreeNode* const* nodes, int32_t n);
    // For an empty list: holds nodes[0..n-1] in a block of exactly n slots carved from arena.
    // A later growth moves the slots to a block of the list's own. The nodes already carry
    // their slot numbers 0..n-1 and are not touched.
    void assignInArena(NodeArena& arena, TreeNode* const* nodes, int32_t n);

    // A node's slot number has 30 bits.
    static constexpr int32_t kMaxChildren = int32_t{1} << 30;
    // Forgets every slot; the children themselves are untouched.
    void reset();
    // reset, with an arena block's release gathered into batch.
    void releaseInto(NodeArena::ReleaseBatch& batch);

private:
    struct Block {
        int32_t start;
        int32_t end;
        int32_t capacity;
        int32_t holes;
    };
    static constexpr uintptr_t kSingle = 1;
    static constexpr uintptr_t kArenaBlock = 2;
    // A hole's slot holds the number of an earlier slot, plus one, shifted up past a set low
    // bit (children are aligned, so no child has it). Every slot between the two is a hole.
    static bool isHole(const TreeNode* s) { return (reinterpret_cast<uintptr_t>(s) & 1) != 0; }
    static TreeNode* holeTo(int32_t slot) {
        return reinterpret_cast<TreeNode*>((static_cast<uintptr_t>(static_cast<uint32_t>(slot + 1)) << 1) | 1);
    }
    static int32_t holeLink(const TreeNode* s) {
        return static_cast<int32_t>(reinterpret_cast<uintptr_t>(s) >> 1) - 1;
    }
    TreeNode* single() const { return reinterpret_cast<TreeNode*>(bits_ & ~kSingle); }
    Block* block() const { return reinterpret_cast<Block*>(bits_ & ~kArenaBlock); }
    TreeNode** slots() const { return reinterpret_cast<TreeNode**>(block() + 1); }
    static Block* allocate(int32_t capacity);
    void setBlock(Block* b) { bits_ = reinterpret_cast<uintptr_t>(b); }
    void compact() const;
    void growTo(int32_t capacity);

    // Empty (0), one child with the low bit set, or a Block of slots (with kArenaBlock set when
    // it was carved from a NodeArena).
    uintptr_t bits_ = 0;
};

}  // namespace quorvel
