#include "tree/text_views.h"

namespace quorvel {

std::string_view viewCopyOf(const TreeNode* node, uint32_t which, std::string_view stored) {
    TreeInfo* tree = node->tree();
    if (!tree) return stored;  // a node always has a tree; none only while one is being made
    return tree->viewCopies().copyOf(node, which, stored);
}

}  // namespace quorvel
