#include "tree/tree_builder.h"

#include <climits>
#include <cstring>
#include <new>

#include "tree/small_copy.h"
#include "tree/tree_node.h"

namespace quorvel {

// Segments grow geometrically, so each child moves a bounded number of times on average. The
// children of one element sit in one segment, whose size bounds their count: indices into it fit
// a slot number.
void TreeBuilder::makeRoomForTwo() {
    if (limit_ - top_ >= 2) return;
    const size_t moving = static_cast<size_t>(top_ - first_);
    const size_t most = static_cast<size_t>(ChildList::kMaxChildren) - 1;
    if (moving + 2 > most) throw std::bad_alloc();
    const size_t level = segments_.empty() ? 0 : level_ + 1;
    size_t capacity = static_cast<size_t>(limit_ - base_) * 2;
    if (capacity < 16) capacity = 16;
    if (capacity < 2 * (moving + 2)) capacity = 2 * (moving + 2);
    if (capacity > most) capacity = most;
    if (level == segments_.size()) segments_.emplace_back();
    Segment& s = segments_[level];
    if (s.capacity < capacity) {
        s.room.reset(new TreeNode*[capacity]);
        s.capacity = capacity;
    }
    TreeNode** const to = s.room.get();
    if (moving) std::memcpy(to, first_, moving * sizeof(TreeNode*));
    s.resume = first_;
    s.owner = current_;
    level_ = level;
    owner_ = current_;
    base_ = to;
    limit_ = to + s.capacity;
    first_ = to;
    top_ = to + moving;
}

void TreeBuilder::resumeSegment() {
    // Children that outgrew more than one segment began each of them.
    const TreeNode* const owner = owner_;
    do {
        top_ = segments_[level_].resume;
        --level_;
    } while (level_ > 0 && segments_[level_].owner == owner);
    owner_ = level_ > 0 ? segments_[level_].owner : nullptr;
    base_ = segments_[level_].room.get();
    limit_ = base_ + segments_[level_].capacity;
}

TreeNode* TreeBuilder::openSlow(TagEntry* tag) {
    TreeNode* node;
    TreeNode* parent = current_;
    try {
        makeRoomForTwo();
        node = new (arena_.allocate(sizeof(TreeNode))) TreeNode(parent ? openTree_ : nullptr, tag, parent,
                                                                static_cast<uint32_t>(parent ? nextIndex() : 0), first_);
    } catch (...) {
        CommonStrings::release(tag);
        throw;
    }
    if (parent) return node->slot() == 0 ? enterFirstChild(node) : enterLaterChild(node, static_cast<size_t>(top_ - first_));
    try {
        node->tree_ = new TreeInfo(node, 0);
    } catch (...) {
        node->next_ = nullptr;
        TreeNode::release(node);
        throw;
    }
    openTree_ = node->tree_;
    openTree_->markAsBuilt();
    ++trees_;
    return enter(node);
}

void TreeBuilder::listChildren(TreeNode* node) {
    node->children_.assignInArena(arena_, first_, static_cast<int32_t>(top_ - first_));
    top_ = first_;
}

void TreeBuilder::closeAll() {
    while (current_) {
        try {
            close();
        } catch (...) {
            // No room for an exact block: give the children a list of the ordinary kind, which
            // grows one child at a time; if even that fails, they are lost with their subtrees.
            TreeNode* node = current_;
            node->edited();  // its children's list is not the arena's
            TreeNode** i = first_;
            try {
                for (; i < top_; ++i) node->children_.append(*i);
            } catch (...) {
                if (i > first_) i[-1]->next_ = nullptr;
                for (; i < top_; ++i) {
                    TreeNode* orphan = *i;
                    orphan->parent_ = nullptr;
                    TreeNode::destroySubtree(orphan);
                }
            }
            top_ = first_;
            leave(node);
        }
    }
}

void TreeBuilder::finish(TreeNode* root, std::vector<std::pair<TagEntry*, int64_t>>&& tags) {
    if (trees_ != 1 || current_ || !openTree_ || !root || root->tree_ != openTree_) return;
    TreeInfo::BuiltPieces pieces;
    if (!arena_.takeInventory(pieces.arena)) return;
    pieces.tags = std::move(tags);
    pieces.contents = std::move(ownContents_);
    ownContents_.clear();
    openTree_->keepBuiltPieces(std::move(pieces));
}

void TreeBuilder::setAttributeElsewhere(TreeNode* element, TextRef name, TextRef value) {
    element->attributes_.buildInArena(arena_, &name, &value, 1);
}

void TreeBuilder::setContentElsewhere(TreeNode* element, const char* bytes, size_t n) {
    if (n == 0) return;
    if (n > static_cast<size_t>(INT32_MAX) - 1) throw std::bad_alloc();
    size_t size = sizeof(TreeNode::BuiltContent) + n + 1;
    if (size > NodeArena::kLargestPiece) {
        ownContents_.reserve(ownContents_.size() + 1);
        element->content_ = reinterpret_cast<uintptr_t>(new StringBuffer(bytes, static_cast<int32_t>(n), 0));
        ownContents_.push_back(element->ownedContent());
        return;
    }
    auto* text = static_cast<TreeNode::BuiltContent*>(arena_.allocate(size));
    text->length = static_cast<int32_t>(n);
    copySmall(text->bytes(), bytes, n);
    text->bytes()[n] = 0;
    element->content_ = reinterpret_cast<uintptr_t>(text) | TreeNode::kBuiltContent;
}

}  // namespace quorvel
