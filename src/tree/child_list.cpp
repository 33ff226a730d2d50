#include "tree/child_list.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "tree/node_arena.h"
#include "tree/tree_node.h"

namespace quorvel {

namespace {

constexpr int32_t kFirstCapacity = 4;
// Holes are compacted away once they outnumber the live children (and a few more), which
// keeps the cost of compaction below the removals that made the holes.
constexpr int32_t kHoleSlack = 16;

}  // namespace

ChildList::Block* ChildList::allocate(int32_t capacity) {
    auto* b = static_cast<Block*>(std::malloc(sizeof(Block) + sizeof(TreeNode*) * static_cast<size_t>(capacity)));
    if (!b) throw std::bad_alloc();
    b->start = 0;
    b->end = 0;
    b->capacity = capacity;
    b->holes = 0;
    return b;
}

void ChildList::reset() {
    if (!bits_) return;
    if (bits_ & kArenaBlock) {
        NodeArena::release(block());
    } else if (!(bits_ & kSingle)) {
        std::free(block());
    }
    bits_ = 0;
}

void ChildList::releaseInto(NodeArena::ReleaseBatch& batch) {
    if (bits_ & kArenaBlock) {
        batch.add(block());
        bits_ = 0;
        return;
    }
    reset();
}

void ChildList::compact() const {
    Block* b = block();
    TreeNode** s = slots();
    int32_t to = 0;
    for (int32_t i = b->start; i < b->end; ++i) {
        TreeNode* c = s[i];
        if (isHole(c)) continue;
        c->setSlot(static_cast<uint32_t>(to));
        s[to++] = c;
    }
    b->start = 0;
    b->end = to;
    b->holes = 0;
}

TreeNode* ChildList::at(int32_t i) const {
    if (!bits_ || i < 0) return nullptr;
    if (bits_ & kSingle) return i == 0 ? single() : nullptr;
    if (i >= count()) return nullptr;
    if (block()->holes) compact();
    return slots()[block()->start + i];
}

bool ChildList::contains(const TreeNode* child) const {
    if (!bits_ || !child) return false;
    if (bits_ & kSingle) return single() == child;
    int32_t s = static_cast<int32_t>(child->slot());
    return s >= block()->start && s < block()->end && slots()[s] == child;
}

TreeNode* ChildList::before(const TreeNode* child) const {
    if (!bits_ || (bits_ & kSingle)) return nullptr;
    TreeNode** s = slots();
    const int32_t start = block()->start;
    const int32_t from = static_cast<int32_t>(child->slot()) - 1;
    int32_t j = from;
    while (j >= start && isHole(s[j])) j = holeLink(s[j]);
    // Every hole passed on the way now links straight to where the search ended.
    for (int32_t k = from; k > j && k >= start;) {
        const int32_t next = holeLink(s[k]);
        s[k] = holeTo(j);
        k = next;
    }
    return j >= start ? s[j] : nullptr;
}

void ChildList::growTo(int32_t capacity) {
    Block* b = block();
    if (b->start == 0 && b->holes == 0 && !(bits_ & kArenaBlock)) {
        // Slots keep their numbers, so no child needs touching.
        auto* fresh = static_cast<Block*>(std::realloc(b, sizeof(Block) + sizeof(TreeNode*) * static_cast<size_t>(capacity)));
        if (!fresh) throw std::bad_alloc();
        fresh->capacity = capacity;
        setBlock(fresh);
        return;
    }
    Block* fresh = allocate(capacity);
    TreeNode** from = slots();
    TreeNode** to = reinterpret_cast<TreeNode**>(fresh + 1);
    int32_t n = 0;
    for (int32_t i = b->start; i < b->end; ++i) {
        TreeNode* c = from[i];
        if (isHole(c)) continue;
        c->setSlot(static_cast<uint32_t>(n));
        to[n++] = c;
    }
    fresh->end = n;
    reset();
    setBlock(fresh);
}

void ChildList::append(TreeNode* child) {
    if (!bits_) {
        child->setSlot(0);
        bits_ = reinterpret_cast<uintptr_t>(child) | kSingle;
        return;
    }
    if (bits_ & kSingle) {
        Block* b = allocate(kFirstCapacity);
        TreeNode* only = single();
        only->setSlot(0);
        reinterpret_cast<TreeNode**>(b + 1)[0] = only;
        b->end = 1;
        setBlock(b);
    } else if (block()->end == block()->capacity) {
        if (count() <= block()->capacity / 2) {
            compact();
        } else {
            if (block()->capacity >= kMaxChildren) throw std::bad_alloc();
            growTo(block()->capacity > kMaxChildren / 2 ? kMaxChildren : block()->capacity * 2);
        }
    }
    Block* b = block();
    child->setSlot(static_cast<uint32_t>(b->end));
    slots()[b->end++] = child;
}

bool ChildList::remove(TreeNode* child) {
    if (!contains(child)) return false;
    if (bits_ & kSingle) {
        bits_ = 0;
        return true;
    }
    TreeNode** s = slots();
    int32_t i = static_cast<int32_t>(child->slot());
    s[i] = holeTo(i - 1);
    Block& b = *block();
    if (i == b.start) {
        ++b.start;
        while (b.start < b.end && isHole(s[b.start])) {
            ++b.start;
            --b.holes;
        }
    } else if (i == b.end - 1) {
        --b.end;
        while (b.end > b.start && isHole(s[b.end - 1])) {
            --b.end;
            --b.holes;
        }
    } else {
        ++b.holes;
    }
    if (b.start == b.end) {
        reset();
    } else if (b.holes > kHoleSlack && b.holes > count()) {
        compact();
    }
    return true;
}

void ChildList::assignInArena(NodeArena& arena, TreeNode* const* nodes, int32_t n) {
    reset();
    if (n <= 1) {
        if (n == 1) append(nodes[0]);
        return;
    }
    if (n > kMaxChildren) throw std::bad_alloc();
    size_t bytes = sizeof(Block) + sizeof(TreeNode*) * static_cast<size_t>(n);
    Block* b;
    if (bytes <= NodeArena::kLargestPiece) {
        b = static_cast<Block*>(arena.allocate(bytes));
        b->start = 0;
        b->end = 0;
        b->capacity = n;
        b->holes = 0;
        bits_ = reinterpret_cast<uintptr_t>(b) | kArenaBlock;
    } else {
        b = allocate(n);
        setBlock(b);
        arena.noteBlock(b);
    }
    std::memcpy(slots(), nodes, sizeof(TreeNode*) * static_cast<size_t>(n));
    b->end = n;
}

void ChildList::assign(TreeNode* const* nodes, int32_t n) {
    if (n <= 1) {
        reset();
        if (n == 1) append(nodes[0]);
        return;
    }
    if ((bits_ & kSingle) || !bits_ || block()->capacity < n) {
        Block* fresh = allocate(n < kFirstCapacity ? kFirstCapacity : n);
        reset();
        setBlock(fresh);
    }
    TreeNode** s = slots();
    for (int32_t i = 0; i < n; ++i) {
        s[i] = nodes[i];
        nodes[i]->setSlot(static_cast<uint32_t>(i));
    }
    Block* b = block();
    b->start = 0;
    b->end = n;
    b->holes = 0;
}

}  // namespace quorvel
