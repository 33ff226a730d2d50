#include <utility>

#include "tree/tree_node.h"

namespace quorvel {

void TreeNode::swapNodeData(TreeNode* other) {
    if (!other || other == this) return;
    edited();
    other->edited();
    std::swap(tag_, other->tag_);
    std::swap(content_, other->content_);
    attributes_.swap(other->attributes_);
}

bool TreeNode::swapSubtrees(TreeNode* other) {
    if (!other) return false;
    if (other == this) return true;
    if (tree_ == other->tree_ && (isAncestorOf(other) || other->isAncestorOf(this))) return false;
    swapNodeData(other);
    reshaped();
    other->reshaped();
    children_.swap(other->children_);
    for (TreeNode* c = firstChild(); c; c = c->next_) c->parent_ = this;
    for (TreeNode* c = other->firstChild(); c; c = c->next_) c->parent_ = other;
    if (tree_ == other->tree_) return true;
    // The children now under this node came from other's tree, and the other way round.
    int32_t toThis = 0;
    int32_t toOther = 0;
    for (TreeNode* c = firstChild(); c; c = c->next_) {
        toThis += c->subtreeHandleCount();
        c->setTreeOfSubtree(tree_);
    }
    for (TreeNode* c = other->firstChild(); c; c = c->next_) {
        toOther += c->subtreeHandleCount();
        c->setTreeOfSubtree(other->tree_);
    }
    if (tree_) tree_->handleCount_ += toThis - toOther;
    if (other->tree_) other->tree_->handleCount_ += toOther - toThis;
    return true;
}

void TreeNode::removeAllChildren() {
    reshaped();
    while (TreeNode* c = firstChild()) {
        if (c->subtreeHandleCount() > 0) {
            c->detach(false);
            continue;
        }
        // Nothing designates this child's subtree: it goes without ever becoming a tree.
        children_.remove(c);
        c->next_ = nullptr;
        c->parent_ = nullptr;
        destroySubtree(c);
    }
}

}  // namespace quorvel
