#pragma once
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/system/utf8.h"
#include "tree/tree_node.h"
#include "tree/view_copies.h"

namespace quorvel {

// A node's texts as views of well-formed UTF-8, for hosts that read them without a copy: the
// stored bytes themselves when they are well-formed, which a document's texts nearly always are
// (tags are pooled, contents and attributes contiguous and stored unescaped, so none needs
// assembling); otherwise a repaired copy that reads exactly as the host string the owning
// members return (see ViewCopies). A view stays valid until the node's tag, content or
// attributes change, the node is destroyed, or its tree ends.
//
// Cost: an ASCII check of the text, eight bytes a step; text that is not ASCII is checked once
// more in full. With QV_VIEW_COPIES (sanitizer builds) every view is a copy, made once per
// unchanged text, and freed when the node changes.

// Whether the bytes are all ASCII.
inline bool allAscii(std::string_view s) {
    uint64_t any = 0;
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        any |= w;
    }
    for (; i < s.size(); ++i) any |= static_cast<unsigned char>(s[i]);
    return (any & 0x8080808080808080ull) == 0;
}

// The view copy of node's text `which` (ViewCopies), out of line.
std::string_view viewCopyOf(const TreeNode* node, uint32_t which, std::string_view stored);

inline std::string_view utf8ViewOf(const TreeNode* node, uint32_t which, std::string_view stored) {
    if (!QV_VIEW_COPIES && (allAscii(stored) || sys::wellFormedUtf8Length(stored.data(), stored.size()) == stored.size())) {
        return stored;
    }
    return viewCopyOf(node, which, stored);
}

inline std::string_view utf8Tag(const TreeNode* node) {
    if (!QV_VIEW_COPIES) {
        // A pooled tag has zeros after it up to 8 bytes: one word tells a short ASCII tag.
        const TagEntry* tag = node->tagEntry();
        if (!tag) return {};
        if (tag->length() <= 8 && (tag->firstWord() & 0x8080808080808080ull) == 0) return tag->view();
    }
    return utf8ViewOf(node, ViewCopies::kTag, node->tagView());
}

inline std::string_view utf8Content(const TreeNode* node) {
    return utf8ViewOf(node, ViewCopies::kContent, node->contentView());
}

// Attribute i's name and value; false, leaving both empty, outside 0..count-1.
inline bool utf8Attribute(const TreeNode* node, int32_t i, std::string_view& name, std::string_view& value) {
    const AttributeSet& set = node->attributes();
    if (i < 0 || i >= set.count()) {
        name = value = {};
        return false;
    }
    name = utf8ViewOf(node, ViewCopies::attributeName(i), set.name(i));
    value = utf8ViewOf(node, ViewCopies::attributeValue(i), set.value(i));
    return true;
}

// The value of the first attribute with exactly that name; false, leaving value empty, when
// there is none.
inline bool utf8AttributeNamed(const TreeNode* node, std::string_view name, std::string_view& value) {
    const int32_t i = node->attributes().indexOf(name);
    if (i < 0) {
        value = {};
        return false;
    }
    value = utf8ViewOf(node, ViewCopies::attributeValue(i), node->attributes().value(i));
    return true;
}

}  // namespace quorvel
