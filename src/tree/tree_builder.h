#pragma once
#include <cstddef>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "tree/node_arena.h"
#include "tree/small_copy.h"
#include "tree/text_ref.h"
#include "tree/tree_node.h"

namespace quorvel {

// Builds trees element by element in document order, the way a parser meets them. Elements,
// their contents, attribute sets and child lists are carved from a NodeArena instead of being
// allocated one by one, and each element's child list is laid out once, at its exact size, when
// the element is closed. The trees are ordinary trees: every later change works on them as on
// any other, and they may outlive the builder.
//
// Until an element is closed its child list holds at most its first child (sibling and parent
// links are already set), so an open element's tree must not be read or changed by anything but
// the builder; closeAll completes every open element.
class TreeBuilder {
public:
    TreeBuilder() = default;
    ~TreeBuilder() { closeAll(); }
    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;

    // A new element, tagged with tag (whose reference passes to the element; null: no tag): the
    // last child of the open element, or, when none is open, the root of a new tree with a
    // record of its own. It becomes the open element.
    TreeNode* open(TagEntry* tag) {
        static_assert(sizeof(TreeNode) % 8 == 0);
        TreeNode* const parent = current_;
        if (!parent) return openSlow(tag);
        void* room;
        const size_t onStack = static_cast<size_t>(top_ - first_);
        if (onStack == 0 && parent->children_.empty()) {
            // A first child is held by its parent directly: the stack is not needed.
            if (!arena_.tryAllocate(sizeof(TreeNode), room)) return openSlow(tag);
            return enterFirstChild(new (room) TreeNode(openTree_, tag, parent, 0, first_));
        }
        if (limit_ - top_ < 2 || !arena_.tryAllocate(sizeof(TreeNode), room)) return openSlow(tag);
        return enterLaterChild(new (room) TreeNode(openTree_, tag, parent, static_cast<uint32_t>(onStack ? onStack : 1), first_),
                               onStack);
    }
    // Completes the open element; its parent, if any, becomes the open element. Returns the
    // element closed, or none when no element is open.
    TreeNode* close() {
        TreeNode* node = current_;
        if (!node) return nullptr;
        // Elements are carved in document order, so in a deep chain the ones about to close lie
        // just below this one; the memory one page down is asked for early, as the hardware
        // stops prefetching at the page's edge.
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(node) - NodeArena::kPageBytes));
        if (top_ != first_) listChildren(node);  // else its one child, if any, is in place
        leave(node);
        return node;
    }
    // Closes every open element.
    void closeAll();
    // When the builder has made a single tree, root's, and nothing open is left, gives it the
    // list of everything its elements hold (TreeInfo::BuiltPieces), so that it can end without
    // visiting them; tags lists the tag references the elements were given. Nothing more may be
    // built afterwards.
    void finish(TreeNode* root, std::vector<std::pair<TagEntry*, int64_t>>&& tags);
    TreeNode* current() const { return current_; }

    // The first content of an element without content; nothing for no bytes.
    void setContent(TreeNode* element, const char* bytes, size_t n) {
        // Most contents are short and fit the current page: carved and copied without a call.
        const size_t size = (sizeof(TreeNode::BuiltContent) + n + 1 + 7) & ~size_t{7};
        void* room;
        if (n - 1 >= kShortContent || !arena_.tryAllocate(size, room)) {
            setContentElsewhere(element, bytes, n);
            return;
        }
        auto* text = static_cast<TreeNode::BuiltContent*>(room);
        text->length = static_cast<int32_t>(n);
        copySmall(text->bytes(), bytes, n);
        text->bytes()[n] = 0;
        element->content_ = reinterpret_cast<uintptr_t>(text) | TreeNode::kBuiltContent;
    }
    // As setContent, for the bytes that fill(to) writes to room for n and counts (at most n), so
    // that a decoded text is written once, where it stays.
    template <class Fill>
    void setContentBy(TreeNode* element, size_t n, Fill fill) {
        const size_t size = sizeof(TreeNode::BuiltContent) + n + 1;
        if (n == 0 || size > NodeArena::kLargestPiece) {
            setContentFilled(element, n, fill);
            return;
        }
        auto* text = static_cast<TreeNode::BuiltContent*>(arena_.allocate(size));
        const size_t length = fill(text->bytes());
        text->length = static_cast<int32_t>(length);
        text->bytes()[length] = 0;
        if (length == 0) {
            NodeArena::release(text);
            return;
        }
        element->content_ = reinterpret_cast<uintptr_t>(text) | TreeNode::kBuiltContent;
    }
    // The attributes of an element without attributes, in order; pairs with an empty name are
    // left out.
    void setAttributes(TreeNode* element, const TextRef* names, const TextRef* values, int32_t n) {
        element->attributes_.buildInArena(arena_, names, values, n);
    }
    // The attributes of an element without attributes, as written in image.
    void setAttributes(TreeNode* element, const AttributeImage& image) {
        element->attributes_.buildFromImage(arena_, image);
    }
    // The one attribute of an element without attributes; an empty name is left out.
    void setAttribute(TreeNode* element, TextRef name, TextRef value) {
        if (!element->attributes_.buildShortPairInPage(arena_, name, value)) setAttributeElsewhere(element, name, value);
    }

private:
    static constexpr size_t kShortContent = 32;
    TreeNode* openSlow(TagEntry* tag);
    [[gnu::noinline]] void setContentElsewhere(TreeNode* element, const char* bytes, size_t n);
    template <class Fill>
    [[gnu::noinline]] void setContentFilled(TreeNode* element, size_t n, Fill fill) {
        if (n == 0) return;
        StringBuffer filled;
        if (n > static_cast<size_t>(INT32_MAX) - 1) throw std::bad_alloc();
        filled.reserve(static_cast<int32_t>(n));
        filled.extendBy(static_cast<int32_t>(fill(filled.mutableData())));
        setContent(element, filled.data(), static_cast<size_t>(filled.length()));
    }
    [[gnu::noinline]] void setAttributeElsewhere(TreeNode* element, TextRef name, TextRef value);
    // An open element holds its first child directly, as a closed one with a single child does,
    // and its children go on the stack from the second on: chains of single children, the most
    // common shape, never touch the stack.
    size_t nextIndex() const {
        const size_t onStack = static_cast<size_t>(top_ - first_);
        return onStack == 0 && !current_->children_.empty() ? 1 : onStack;
    }
    // Links node, just made as the open element's first child or as a later one (onStack: the
    // open element's children on the stack so far), after its siblings, and makes it the open
    // element. A later child needs room for two on the stack.
    TreeNode* enterFirstChild(TreeNode* node) {
        current_->children_.adoptOnly(node);
        return enter(node);
    }
    TreeNode* enterLaterChild(TreeNode* node, size_t onStack) {
        if (onStack == 0) *top_++ = current_->children_.releaseOnly();  // the second: the first goes on the stack too
        top_[-1]->next_ = node;
        *top_++ = node;
        return enter(node);
    }
    TreeNode* enter(TreeNode* node) {
        first_ = top_;
        current_ = node;
        return node;
    }
    // Room for two more children on the stack, in a larger segment when this one is full.
    void makeRoomForTwo();
    // Back to the segment below the ones whose owner is closing, its children taken off.
    void resumeSegment();
    // Gives the open element its child list and takes its children off the stack.
    void listChildren(TreeNode* node);
    // Makes node's parent the open element again. Every element carries its slot number from
    // the start, so laying out a list touches none of the children; while an element is open,
    // its next-sibling link keeps where its parent's children start on the stack, so the open
    // elements need no stack of their own.
    void leave(TreeNode* node) {
        if (node == owner_) resumeSegment();
        first_ = reinterpret_cast<TreeNode**>(node->next_);
        node->next_ = nullptr;
        current_ = node->parent_;
    }

    NodeArena arena_;
    int32_t trees_ = 0;  // trees begun
    std::vector<StringBuffer*> ownContents_;  // contents too large for the arena
    // The record of the tree of the open elements, kept here so that making a child does not read
    // its parent, which was written a moment ago and may not be at hand yet.
    TreeInfo* openTree_ = nullptr;
    TreeNode* current_ = nullptr;       // the open element
    // The children of the open elements that have more than one, grouped by element, on a stack
    // of raw pointers that never moves: an open element keeps a pointer to where its parent's
    // children start. When a segment of the stack is full, the open element's children move to
    // the start of a larger one and the stack goes on there; the segments below stay as they
    // are.
    struct Segment {
        std::unique_ptr<TreeNode*[]> room;
        size_t capacity = 0;
        TreeNode** resume = nullptr;  // the top of the segment below when this one was begun
        TreeNode* owner = nullptr;    // the element whose children were moved to begin it
    };
    std::vector<Segment> segments_;  // those in use up to level_; the rest are kept for reuse
    size_t level_ = 0;
    TreeNode* owner_ = nullptr;   // the owner of the segment in use, none for the first
    TreeNode** base_ = nullptr;   // the segment in use
    TreeNode** limit_ = nullptr;  // past its room
    TreeNode** top_ = nullptr;    // past the last child
    TreeNode** first_ = nullptr;  // the open element's first child
};

}  // namespace quorvel
