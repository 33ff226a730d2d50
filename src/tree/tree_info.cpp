#include "tree/tree_info.h"

#include <atomic>

#include "tree/search_cursor.h"
#include "tree/tree_node.h"

namespace quorvel {

namespace {

std::atomic<int32_t> nextTreeId{100};
std::atomic<int64_t> liveRecords{0};

}  // namespace

TreeInfo::TreeInfo(TreeNode* root, int32_t handleCount)
    : root_(root), id_(takeNextId()), handleCount_(handleCount) {
    liveRecords.fetch_add(1, std::memory_order_relaxed);
}

TreeInfo::~TreeInfo() {
    delete cursor_;
    delete doctype_;
    TreeNode::destroyTree(declaration_);
    liveRecords.fetch_sub(1, std::memory_order_relaxed);
}

SearchCursor& TreeInfo::searchCursor() {
    if (!cursor_) cursor_ = new SearchCursor;
    return *cursor_;
}

void TreeInfo::forgetSearchPosition() {
    cursor_->found = nullptr;
    std::vector<TreeNode*>().swap(cursor_->parents);
}

int32_t TreeInfo::takeNextId() { return nextTreeId.fetch_add(1, std::memory_order_relaxed); }

int64_t TreeInfo::liveCount() { return liveRecords.load(std::memory_order_relaxed); }

void TreeInfo::setDeclaration(TreeNode* declaration) {
    if (declaration == declaration_) return;
    TreeNode* old = declaration_;
    declaration_ = declaration;
    TreeNode::destroyTree(old);
}

TreeNode* TreeInfo::takeDeclaration() {
    TreeNode* d = declaration_;
    declaration_ = nullptr;
    return d;
}

void TreeInfo::setDoctype(TextRef text) {
    if (text.empty()) {
        adoptDoctype(nullptr);
        return;
    }
    adoptDoctype(new StringBuffer(text.data(), static_cast<int32_t>(text.size()), 0));
}

void TreeInfo::adoptDoctype(StringBuffer* text) {
    if (text == doctype_) return;
    delete doctype_;
    doctype_ = text;
}

}  // namespace quorvel
