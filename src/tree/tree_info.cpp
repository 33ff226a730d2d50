#include "tree/tree_info.h"

#include <atomic>
#include <climits>

#include "tree/search_cursor.h"
#include "tree/tag_pool.h"
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
    delete attachment_.load(std::memory_order_acquire);
    delete viewCopies_;
    delete built_;
    delete cursor_;
    delete doctype_;
    TreeNode::destroyTree(declaration_);
    liveRecords.fetch_sub(1, std::memory_order_relaxed);
}

TreeAttachment* TreeInfo::installAttachment(TreeAttachment* fresh) {
    TreeAttachment* expected = nullptr;
    if (attachment_.compare_exchange_strong(expected, fresh, std::memory_order_acq_rel)) return fresh;
    delete fresh;
    return expected;
}

ViewCopies& TreeInfo::viewCopies() {
    if (!viewCopies_) viewCopies_ = new ViewCopies;
    return *viewCopies_;
}

void TreeInfo::moveViewCopies(TreeInfo* other, const TreeNode* node) {
    if (!viewCopies_ || other == this) return;
    if (!other) {
        viewCopies_->drop(node);
        return;
    }
    viewCopies_->moveTo(other->viewCopies(), node);
}

SearchCursor& TreeInfo::searchCursor() {
    if (!cursor_) cursor_ = new SearchCursor;
    return *cursor_;
}

void TreeInfo::forgetSearchPosition() {
    cursor_->found = nullptr;
    std::vector<TreeNode*>().swap(cursor_->parents);
}

void TreeInfo::keepBuiltPieces(BuiltPieces&& pieces) {
    if (!asBuilt_) return;
    try {
        BuiltPieces* kept = new BuiltPieces(std::move(pieces));
        delete built_;
        built_ = kept;
    } catch (...) {
        forgetBuiltPieces();  // the tree ends element by element, as any other
    }
}

void TreeInfo::forgetBuiltPieces() {
    asBuilt_ = false;
    delete built_;
    built_ = nullptr;
}

void TreeInfo::releaseBuiltPieces() {
    BuiltPieces* b = built_;
    built_ = nullptr;
    asBuilt_ = false;
    for (const auto& [tag, count] : b->tags) {
        for (int64_t left = count; left > 0; left -= INT32_MAX) {
            CommonStrings::release(tag, static_cast<int32_t>(left < INT32_MAX ? left : INT32_MAX));
        }
    }
    for (StringBuffer* c : b->contents) delete c;
    b->arena.releaseAll();
    delete b;
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
