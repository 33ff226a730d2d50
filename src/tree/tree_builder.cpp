#include "tree/tree_builder.h"

#include <climits>
#include <cstring>
#include <new>

#include "tree/small_copy.h"
#include "tree/tree_node.h"

namespace quorvel {

namespace {

// Room for one more, growing geometrically, so that the push that follows cannot fail. Indices
// into the list must fit a slot number.
void makeRoomForOne(std::vector<TreeNode*>& v) {
    if (v.size() + 1 >= static_cast<size_t>(ChildList::kMaxChildren)) throw std::bad_alloc();
    if (v.size() < v.capacity()) return;
    const size_t most = static_cast<size_t>(ChildList::kMaxChildren) - 1;
    size_t grown = v.capacity() < 16 ? 16 : v.capacity() * 2;
    v.reserve(grown < most ? grown : most);
}

}  // namespace

TreeNode* TreeBuilder::openSlow(TagEntry* tag) {
    TreeNode* node;
    TreeNode* parent = current_;
    const size_t index = parent ? children_.size() - firstChild_ : 0;
    try {
        makeRoomForOne(children_);
        node = new (arena_.allocate(sizeof(TreeNode))) TreeNode(parent ? openTree_ : nullptr, tag, parent,
                                                                static_cast<uint32_t>(index), parent ? static_cast<int32_t>(firstChild_) : 0);
    } catch (...) {
        CommonStrings::release(tag);
        throw;
    }
    if (parent) return enterChild(node, index);
    try {
        node->tree_ = new TreeInfo(node, 0);
    } catch (...) {
        TreeNode::release(node);
        throw;
    }
    openTree_ = node->tree_;
    return enter(node);
}

void TreeBuilder::listChildren(TreeNode* node) {
    size_t n = children_.size() - firstChild_;
    node->children_.assignInArena(arena_, children_.data() + firstChild_, static_cast<int32_t>(n));
    children_.resize(firstChild_);
}

void TreeBuilder::closeAll() {
    while (current_) {
        try {
            close();
        } catch (...) {
            // No room for an exact block: give the children a list of the ordinary kind, which
            // grows one child at a time; if even that fails, they are lost with their subtrees.
            TreeNode* node = current_;
            size_t i = firstChild_;
            try {
                for (; i < children_.size(); ++i) node->children_.append(children_[i]);
            } catch (...) {
                if (i > firstChild_) children_[i - 1]->next_ = nullptr;
                for (; i < children_.size(); ++i) {
                    TreeNode* orphan = children_[i];
                    orphan->parent_ = nullptr;
                    TreeNode::destroySubtree(orphan);
                }
            }
            children_.resize(firstChild_);
            leave(node);
        }
    }
}

void TreeBuilder::setAttributeElsewhere(TreeNode* element, TextRef name, TextRef value) {
    element->attributes_.buildInArena(arena_, &name, &value, 1);
}

void TreeBuilder::setContent(TreeNode* element, const char* bytes, size_t n) {
    if (n == 0) return;
    if (n > static_cast<size_t>(INT32_MAX) - 1) throw std::bad_alloc();
    size_t size = sizeof(TreeNode::BuiltContent) + n + 1;
    if (size > NodeArena::kLargestPiece) {
        element->setContentBytes(bytes, static_cast<int32_t>(n));
        return;
    }
    auto* text = static_cast<TreeNode::BuiltContent*>(arena_.allocate(size));
    text->length = static_cast<int32_t>(n);
    copySmall(text->bytes(), bytes, n);
    text->bytes()[n] = 0;
    element->content_ = reinterpret_cast<uintptr_t>(text) | TreeNode::kBuiltContent;
}

}  // namespace quorvel
