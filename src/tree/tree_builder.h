#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tree/node_arena.h"
#include "tree/text_ref.h"
#include "tree/tree_node.h"

namespace quorvel {

// Builds trees element by element in document order, the way a parser meets them. Elements,
// their contents, attribute sets and child lists are carved from a NodeArena instead of being
// allocated one by one, and each element's child list is laid out once, at its exact size, when
// the element is closed. The trees are ordinary trees: every later change works on them as on
// any other, and they may outlive the builder.
//
// Until an element is closed its child list is empty (sibling and parent links are already
// set), so an open element's tree must not be read or changed by anything but the builder;
// closeAll completes every open element.
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
        void* room;
        if (!current_ || children_.size() == children_.capacity() || !arena_.tryAllocate(sizeof(TreeNode), room)) {
            return openSlow(tag);
        }
        const size_t index = children_.size() - firstChild_;
        return enterChild(new (room) TreeNode(openTree_, tag, current_, static_cast<uint32_t>(index), static_cast<int32_t>(firstChild_)), index);
    }
    // Completes the open element; its parent, if any, becomes the open element. Returns the
    // element closed, or none when no element is open.
    TreeNode* close() {
        TreeNode* node = current_;
        if (!node) return nullptr;
        size_t n = children_.size() - firstChild_;
        if (n == 1) {
            node->children_.adoptOnly(children_.back());
            children_.pop_back();
        } else if (n > 1) {
            listChildren(node);
        }
        leave(node);
        return node;
    }
    // Closes every open element.
    void closeAll();
    TreeNode* current() const { return current_; }

    // The first content of an element without content; nothing for no bytes.
    void setContent(TreeNode* element, const char* bytes, size_t n);
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
    TreeNode* openSlow(TagEntry* tag);
    [[gnu::noinline]] void setAttributeElsewhere(TreeNode* element, TextRef name, TextRef value);
    // Links node, just made as child number `index` of the open element, after its siblings;
    // either way, node becomes the open element.
    TreeNode* enterChild(TreeNode* node, size_t index) {
        if (index > 0) children_.back()->next_ = node;
        children_.push_back(node);
        return enter(node);
    }
    TreeNode* enter(TreeNode* node) {
        firstChild_ = children_.size();
        current_ = node;
        return node;
    }
    // Gives the open element its child list and takes its children off children_.
    void listChildren(TreeNode* node);
    // Makes node's parent the open element again. Every element carries its slot number from
    // the start, so laying out a list touches none of the children; while an element is open,
    // its handle count keeps where its parent's children start in children_, so the open
    // elements need no stack of their own.
    void leave(TreeNode* node) {
        firstChild_ = static_cast<size_t>(node->handleCount_);
        node->handleCount_ = 0;
        current_ = node->parent_;
    }

    NodeArena arena_;
    // The record of the tree of the open elements, kept here so that making a child does not read
    // its parent, which was written a moment ago and may not be at hand yet.
    TreeInfo* openTree_ = nullptr;
    TreeNode* current_ = nullptr;       // the open element
    size_t firstChild_ = 0;             // index in children_ of its first child
    std::vector<TreeNode*> children_;   // the children of the open elements, grouped by element
};

}  // namespace quorvel
