#include <vector>

#include "tree/tree_node.h"

namespace quorvel {

TreeNode* TreeNode::findChild(TextRef tag) const {
    for (TreeNode* c = firstChild(); c; c = c->next_) {
        if (c->tagEquals(tag.view())) return c;
    }
    return nullptr;
}

TreeNode* TreeNode::nthChildWithTag(int32_t n, TextRef tag) const {
    if (n < 0) return nullptr;
    for (TreeNode* c = firstChild(); c; c = c->next_) {
        if (c->tagEquals(tag.view()) && n-- == 0) return c;
    }
    return nullptr;
}

int32_t TreeNode::countChildrenWithTag(TextRef tag) const {
    int32_t n = 0;
    for (TreeNode* c = firstChild(); c; c = c->next_) n += c->tagEquals(tag.view());
    return n;
}

// Level order: this node, then the children of each tested node that has children, in the order
// those nodes were tested. Only nodes with children are queued; the queue belongs to this call
// and is freed when it returns.
template <class Test>
TreeNode* TreeNode::searchBreadthFirst(const TreeNode* after, Test test) const {
    if (after && after != this && !isAncestorOf(after)) return nullptr;
    bool testing = after == nullptr;
    std::vector<TreeNode*> parents;
    size_t head = 0;
    auto visit = [&](TreeNode* n) {
        if (!testing) {
            testing = n == after;
        } else if (test(n)) {
            return true;
        }
        if (n->hasChildren()) parents.push_back(n);
        return false;
    };
    TreeNode* self = const_cast<TreeNode*>(this);
    if (visit(self)) return self;
    while (head < parents.size()) {
        TreeNode* p = parents[head++];
        if (head >= 4096 && head * 2 >= parents.size()) {
            parents.erase(parents.begin(), parents.begin() + static_cast<std::ptrdiff_t>(head));
            head = 0;
        }
        for (TreeNode* c = p->firstChild(); c; c = c->next_) {
            if (visit(c)) return c;
        }
    }
    return nullptr;
}

TreeNode* TreeNode::searchForTag(const TreeNode* after, TextRef tag) const {
    return searchBreadthFirst(after, [tag](const TreeNode* n) { return n->tagEquals(tag.view()); });
}

TreeNode* TreeNode::searchForContent(const TreeNode* after, TextRef tag, const char* pattern) const {
    return searchBreadthFirst(after, [tag, pattern](const TreeNode* n) {
        return n->tagEquals(tag.view()) && wildcardMatch(n->contentData(), pattern, true);
    });
}

TreeNode* TreeNode::searchAllForContent(const TreeNode* after, const char* pattern) const {
    return searchBreadthFirst(after, [pattern](const TreeNode* n) { return wildcardMatch(n->contentData(), pattern, true); });
}

TreeNode* TreeNode::searchForAttribute(const TreeNode* after, TextRef tag, TextRef attr, const char* pattern) const {
    if (attr.empty()) return nullptr;
    return searchBreadthFirst(after, [tag, attr, pattern](const TreeNode* n) {
        return n->tagEquals(tag.view()) && n->attributeMatches(attr, pattern);
    });
}

TreeNode* TreeNode::findNextRecord(TextRef tag, const char* pattern) const {
    for (const TreeNode* r = this; r; r = r->next_) {
        const TreeNode* field = r->findChild(tag);
        if (field && wildcardMatch(field->contentData(), pattern, true)) return const_cast<TreeNode*>(r);
    }
    return nullptr;
}

}  // namespace quorvel
