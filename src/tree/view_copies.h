#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// In builds with AddressSanitizer every view of a node's text is given as a copy of its own,
// freed the moment the node changes (see ViewCopies), so that reading through a view kept past
// the change is reported as a use after free.
#if defined(__SANITIZE_ADDRESS__)
#define QV_VIEW_COPIES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_VIEW_COPIES 1
#endif
#endif
#ifndef QV_VIEW_COPIES
#define QV_VIEW_COPIES 0
#endif

namespace quorvel {

class TreeNode;

// The texts of a tree's nodes that views are given instead of the stored bytes, kept with the
// tree (TreeInfo::viewCopies): a text that is not well-formed UTF-8 is given repaired, each
// ill-formed sequence as U+FFFD, exactly as the host string the owning members return reads;
// and with QV_VIEW_COPIES every text is given so. A node's copies live until the node changes
// (TreeNode::edited drops them), is destroyed, or its tree ends; a node moving to another tree
// takes them along. One copy per node and text at a time: asking again for an unchanged text
// gives the same bytes at the same place.
//
// Cost: nothing for a tree none of whose views needed a copy. A copy costs one block for the
// text plus the stored bytes kept to tell that the text is unchanged, and each view asked for
// it compares the stored text with them once.
class ViewCopies {
public:
    // Which text of a node: its tag, its content, or attribute i's name or value.
    static constexpr uint32_t kTag = 0;
    static constexpr uint32_t kContent = 1;
    static uint32_t attributeName(int32_t i) { return 2 + 2 * static_cast<uint32_t>(i); }
    static uint32_t attributeValue(int32_t i) { return 3 + 2 * static_cast<uint32_t>(i); }

    // The copy of stored, node's text `which`: repaired when it is not well-formed UTF-8.
    std::string_view copyOf(const TreeNode* node, uint32_t which, std::string_view stored);
    // Frees every copy of node's texts.
    void drop(const TreeNode* node) {
        if (!copies_.empty()) copies_.erase(node);
    }
    // Hands node's copies over to other, the copies of the tree node moves to.
    void moveTo(ViewCopies& other, const TreeNode* node);
    size_t nodeCount() const { return copies_.size(); }

private:
    struct Copy {
        uint32_t which;
        std::string stored;           // the text the copy was made from
        std::unique_ptr<char[]> text;  // a block of its own, so that freeing it poisons it
        size_t size;
    };
    std::unordered_map<const TreeNode*, std::vector<Copy>> copies_;
};

}  // namespace quorvel
