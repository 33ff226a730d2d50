#include <algorithm>
#include <cstring>
#include <vector>

#include "tree/tree_node.h"

namespace quorvel {

namespace {

struct SortItem {
    const char* key;  // null: a record without the field
    TreeNode* node;
};

const char* attributeKey(const TreeNode* n, TextRef name) {
    int32_t i = n->attributes().indexOf(name);
    return i >= 0 ? n->attributes().value(i).data() : "";
}

const char* keyOf(const TreeNode* n, ChildSortKey key, TextRef attrName, TextRef recordTag) {
    switch (key) {
        case ChildSortKey::Tag:
            return n->tag();
        case ChildSortKey::Content:
            return n->contentData();
        case ChildSortKey::Attribute:
            return attributeKey(n, attrName);
        case ChildSortKey::RecordContent:
        case ChildSortKey::RecordAttribute: {
            const TreeNode* field = n->findChild(recordTag);
            if (!field) return nullptr;
            return key == ChildSortKey::RecordContent ? field->contentData() : attributeKey(field, attrName);
        }
    }
    return "";
}

}  // namespace

void TreeNode::sortChildren(ChildSortKey key, bool ascending, TextRef attrName, TextRef recordTag) {
    int32_t n = childCount();
    if (n < 2) return;
    reshaped();
    std::vector<SortItem> items;
    items.reserve(static_cast<size_t>(n));
    for (TreeNode* c = firstChild(); c; c = c->next_) items.push_back({keyOf(c, key, attrName, recordTag), c});
    auto before = [ascending](const SortItem& a, const SortItem& b) {
        if (!a.key || !b.key) return !a.key && b.key;
        int r = std::strcmp(a.key, b.key);
        return ascending ? r < 0 : r > 0;
    };
    std::sort(items.begin(), items.end(), before);

    std::vector<TreeNode*> order;
    order.reserve(items.size());
    for (const SortItem& it : items) order.push_back(it.node);
    children_.assign(order.data(), n);
    for (int32_t i = 0; i < n; ++i) order[i]->next_ = i + 1 < n ? order[i + 1] : nullptr;
}

}  // namespace quorvel
