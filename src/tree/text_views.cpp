#include "tree/text_views.h"

#include "core/string_buffer.h"

namespace quorvel {

std::string_view viewCopyOf(const TreeNode* node, uint32_t which, std::string_view stored) {
    TreeInfo* tree = node->tree();
    if (!tree) return stored;  // a node always has a tree; none only while one is being made
    return tree->viewCopies().copyOf(node, which, stored);
}

bool utf8AttributeNamed(const TreeNode* node, std::string_view name, std::string_view& value) {
    value = {};
    while (!name.empty() && isWhiteByte(static_cast<unsigned char>(name.back()))) name.remove_suffix(1);
    while (!name.empty() && isWhiteByte(static_cast<unsigned char>(name.front()))) name.remove_prefix(1);
    name = name.substr(0, name.find('\0'));
    const int32_t i = node->attributes().indexOf(name);
    if (i < 0) return false;
    value = utf8ViewOf(node, ViewCopies::attributeValue(i), node->attributes().value(i));
    return true;
}

}  // namespace quorvel
