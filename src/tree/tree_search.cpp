#include <vector>

#include "tree/search_cursor.h"
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
// those nodes were tested. Only nodes with children are queued. A search that finds a node leaves
// its queue in the tree's cursor, and a search from the same node after that result takes it up
// again (see SearchCursor); one that finds nothing frees it.
template <class Test>
TreeNode* TreeNode::searchBreadthFirst(const TreeNode* after, Test test) const {
    TreeNode* self = const_cast<TreeNode*>(this);
    SearchCursor* cursor = tree_ ? &tree_->searchCursor() : nullptr;
    std::vector<TreeNode*> parents;
    size_t head = 0;
    TreeNode* c = nullptr;  // the next node of the run of siblings being visited
    const bool resumed =
        after && cursor && cursor->from == this && cursor->found == after && cursor->reshapes == tree_->reshapeCount();
    if (cursor) {
        // The queue is this search's now, whichever way it ends.
        parents = std::move(cursor->parents);
        cursor->found = nullptr;
    }
    if (resumed) {
        head = cursor->head;
        TreeNode* last = const_cast<TreeNode*>(after);
        if (last->hasChildren()) parents.push_back(last);
        c = last == self ? nullptr : last->next_;
        after = nullptr;
    } else {
        parents.clear();
        if (after && after != this && !isAncestorOf(after)) return nullptr;
    }
    bool testing = after == nullptr;
    auto visit = [&](TreeNode* n) {
        if (!testing) {
            testing = n == after;
        } else if (test(n)) {
            return true;
        }
        if (n->hasChildren()) parents.push_back(n);
        return false;
    };
    auto foundAt = [&](TreeNode* n) {
        if (cursor) {
            cursor->from = this;
            cursor->found = n;
            cursor->reshapes = tree_->reshapeCount();
            cursor->parents = std::move(parents);
            cursor->head = head;
        }
        return n;
    };
    if (!resumed && visit(self)) return foundAt(self);
    for (;;) {
        for (; c; c = c->next_) {
            if (visit(c)) return foundAt(c);
        }
        if (head >= parents.size()) break;
        TreeNode* p = parents[head++];
        if (head >= 4096 && head * 2 >= parents.size()) {
            parents.erase(parents.begin(), parents.begin() + static_cast<std::ptrdiff_t>(head));
            head = 0;
        }
        c = p->firstChild();
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
