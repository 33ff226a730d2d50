#include "tree/tree_node.h"

#include <climits>
#include <cstring>
#include <new>

#include "tree/node_arena.h"

namespace quorvel {

static_assert(sizeof(void*) != 8 || sizeof(TreeNode) == 64, "keep elements compact");

namespace {

int32_t checkedLength(size_t n) {
    if (n > static_cast<size_t>(INT32_MAX) - 1) throw std::bad_alloc();
    return static_cast<int32_t>(n);
}

StringBuffer* newContent(const char* bytes, int32_t length) { return new StringBuffer(bytes, length, 0); }

// Preorder walk of the subtree under top, following child and sibling links only.
template <class Visit>
void forEachInSubtree(TreeNode* top, Visit visit) {
    TreeNode* n = top;
    for (;;) {
        visit(n);
        if (TreeNode* c = n->firstChild()) {
            n = c;
            continue;
        }
        while (n != top && !n->nextSibling()) n = n->parent();
        if (n == top) return;
        n = n->nextSibling();
    }
}

}  // namespace

// The single place where elements are allocated and freed, so that a faster allocator can
// replace it.
TreeNode* TreeNode::allocate(TreeInfo* tree) {
    void* p = ::operator new(sizeof(TreeNode));
    return new (p) TreeNode(tree);
}

void TreeNode::release(TreeNode* node) {
    bool built = node->built();
    node->~TreeNode();
    if (built) {
        NodeArena::release(node);
    } else {
        ::operator delete(node);
    }
}

TreeNode::~TreeNode() {
    CommonStrings::release(tag_);
    dropContent();
}

void TreeNode::dropContent() {
    if (content_ & kBuiltContent) {
        NodeArena::release(builtContent());
    } else {
        delete ownedContent();
    }
    content_ = 0;
}

TreeNode* TreeNode::newTree(TextRef tag, TextRef content) {
    int32_t contentLength = checkedLength(content.size());
    TreeNode* node = allocate(nullptr);
    try {
        node->tree_ = new TreeInfo(node, 0);
        if (!tag.empty()) node->tag_ = CommonStrings::intern(tag.view());
        if (contentLength > 0) node->content_ = reinterpret_cast<uintptr_t>(newContent(content.data(), contentLength));
    } catch (...) {
        delete node->tree_;
        release(node);
        throw;
    }
    return node;
}

TreeNode* TreeNode::newTreeFromBytes(TextRef tag, const char* bytes, int32_t length) {
    if (!bytes || length < 0) length = 0;
    return newTree(tag, TextRef(bytes, static_cast<size_t>(length)));
}

void TreeNode::linkAsLastChild(TreeNode* child) {
    reshaped();
    TreeNode* last = children_.last();
    children_.append(child);
    if (last) last->next_ = child;
    child->next_ = nullptr;
    child->parent_ = this;
}

TreeNode* TreeNode::newChild(TreeNode* parent, TextRef tag) {
    if (!parent) return newTree(tag);
    TreeNode* node = newChildSharingTag(parent, nullptr);
    if (!tag.empty()) node->tag_ = CommonStrings::intern(tag.view());
    return node;
}

TreeNode* TreeNode::newChildSharingTag(TreeNode* parent, TagEntry* tag) {
    TreeNode* node = newChildAdoptingTag(parent, nullptr);
    node->tag_ = CommonStrings::retain(tag);
    return node;
}

TreeNode* TreeNode::newChildAdoptingTag(TreeNode* parent, TagEntry* tag) {
    TreeNode* node = nullptr;
    try {
        if (!parent) {
            node = newTree(TextRef());
        } else {
            node = allocate(parent->tree_);
            parent->linkAsLastChild(node);
        }
    } catch (...) {
        if (parent && node) release(node);
        CommonStrings::release(tag);
        throw;
    }
    node->tag_ = tag;
    return node;
}

TreeNode* TreeNode::newChildFromBytes(TreeNode* parent, TextRef tag, const char* bytes, int32_t length) {
    if (!parent) return newTreeFromBytes(tag, bytes, length);
    TreeNode* node = newChild(parent, tag);
    if (bytes && length > 0) node->content_ = reinterpret_cast<uintptr_t>(newContent(bytes, length));
    return node;
}

namespace {

// Tag references dropped by a destruction are gathered per tag and given back together, since a
// document mostly repeats a few tags. A small direct-mapped table keeps the gathering O(1).
class TagReleaseBatch {
public:
    TagReleaseBatch() = default;
    TagReleaseBatch(const TagReleaseBatch&) = delete;
    TagReleaseBatch& operator=(const TagReleaseBatch&) = delete;
    ~TagReleaseBatch() {
        for (int i = 0; i < kWays; ++i) CommonStrings::release(entries_[i], counts_[i]);
    }
    void add(TagEntry* e) {
        if (!e) return;
        size_t i = (reinterpret_cast<uintptr_t>(e) >> 4) % kWays;
        if (entries_[i] != e) {
            CommonStrings::release(entries_[i], counts_[i]);
            entries_[i] = e;
            counts_[i] = 0;
        }
        ++counts_[i];
    }

private:
    static constexpr int kWays = 61;
    TagEntry* entries_[kWays] = {};
    int32_t counts_[kWays] = {};
};

}  // namespace

void TreeNode::destroySubtree(TreeNode* top) {
    // Post order along the links, without recursion or allocation: down the first children to a
    // leaf, free it, go on with its next sibling's leftmost leaf, or with its parent once the
    // last sibling is gone. Child lists are not kept up to date while their children go: a
    // parent's list is only ever read before its children are freed and dropped with it.
    // Tags and arena pieces are given back in batches, as a document mostly repeats a few tags
    // and was carved mostly in order.
    TagReleaseBatch tags;
    NodeArena::ReleaseBatch pieces;
    ViewCopies* copies = top->tree_ ? top->tree_->viewCopiesIfAny() : nullptr;
    TreeNode* n = top;
    while (TreeNode* c = n->children_.first()) n = c;
    for (;;) {
        TreeNode* next = (n == top) ? nullptr : n->next_;
        TreeNode* parent = (n == top) ? nullptr : n->parent_;
        if (copies) copies->drop(n);
        tags.add(n->tag_);
        n->tag_ = nullptr;
        if (n->content_ & kBuiltContent) {
            pieces.add(n->builtContent());
            n->content_ = 0;
        }
        if (!n->attributes_.empty()) n->attributes_.releaseInto(pieces);
        if (!n->children_.empty()) n->children_.releaseInto(pieces);
        if (n->built() && !n->content_) {
            // Everything the node owned is given back already, so its destructor has nothing
            // left to do: the room goes back with the batch.
            pieces.add(n);
        } else {
            release(n);
        }
        if (next) {
            n = next;
            while (TreeNode* c = n->children_.first()) n = c;
        } else if (parent) {
            n = parent;
        } else {
            return;
        }
    }
}

void TreeNode::destroyTree(TreeNode* node) {
    if (!node) return;
    TreeInfo* info = node->tree_;
    TreeNode* root = info ? info->root_ : nullptr;
    if (!root) {
        root = node;
        while (root->parent_) root = root->parent_;
    }
    if (info && info->root_ == root && info->built_) {
        info->releaseBuiltPieces();
    } else {
        destroySubtree(root);
    }
    if (info && info->root_ == root) delete info;
}

void TreeNode::setTag(const char* text) {
    if (!text) {
        edited();
        CommonStrings::release(tag_);
        tag_ = nullptr;
        return;
    }
    setTag(std::string_view(text));
}

void TreeNode::setTag(std::string_view text) {
    if (tag_ && tag_->view() == text) return;
    edited();
    TagEntry* fresh = CommonStrings::intern(text);
    CommonStrings::release(tag_);
    tag_ = fresh;
}

void TreeNode::setTagEntry(TagEntry* entry) {
    if (entry == tag_) return;
    edited();
    CommonStrings::retain(entry);
    CommonStrings::release(tag_);
    tag_ = entry;
}

void TreeNode::setContent(const char* text) {
    if (!text) {
        clearContent();
        return;
    }
    setContentBytes(text, checkedLength(std::strlen(text)));
}

void TreeNode::setContentBytes(const char* bytes, int32_t length) {
    if (!bytes || length <= 0) {
        clearContent();
        return;
    }
    edited();
    StringBuffer* owned = (content_ & kBuiltContent) ? nullptr : ownedContent();
    if (owned && !(bytes >= owned->data() && bytes < owned->data() + owned->capacity())) {
        owned->clear();
        owned->appendBytes(bytes, length);
        return;
    }
    // The bytes may be the old content itself, which must outlive the copy.
    StringBuffer* fresh = newContent(bytes, length);
    dropContent();
    content_ = reinterpret_cast<uintptr_t>(fresh);
}

void TreeNode::appendContentBytes(const char* bytes, int32_t length) {
    if (!bytes || length <= 0) return;
    edited();
    if (!content_) {
        content_ = reinterpret_cast<uintptr_t>(newContent(bytes, length));
        return;
    }
    contentForWriting().appendBytes(bytes, length);
}

void TreeNode::clearContent() {
    edited();
    dropContent();
}

StringBuffer& TreeNode::contentForWriting() {
    edited();
    if (!content_) {
        content_ = reinterpret_cast<uintptr_t>(new StringBuffer(120));
    } else if (content_ & kBuiltContent) {
        StringBuffer* owned = newContent(builtContent()->bytes(), builtContent()->length);
        dropContent();
        content_ = reinterpret_cast<uintptr_t>(owned);
    }
    return *ownedContent();
}

void TreeNode::addHandleRef() {
    ++handleCount_;
    if (tree_) ++tree_->handleCount_;
}

void TreeNode::releaseHandleRef() {
    --handleCount_;
    if (tree_) --tree_->handleCount_;
}

bool TreeNode::releaseHandleRefAndDestroyUnused(TreeNode* node) {
    if (!node) return false;
    node->releaseHandleRef();
    if (node->treeHandleCount() > 0) return false;
    destroyTree(node);
    return true;
}

int32_t TreeNode::subtreeHandleCount() const {
    int32_t sum = 0;
    forEachInSubtree(const_cast<TreeNode*>(this), [&sum](TreeNode* n) { sum += n->handleCount_; });
    return sum;
}

void TreeNode::setTreeOfSubtree(TreeInfo* record) {
    forEachInSubtree(this, [record](TreeNode* n) {
        if (n->tree_ && n->tree_ != record && n->tree_->viewCopiesIfAny()) n->tree_->moveViewCopies(record, n);
        n->tree_ = record;
    });
}

bool TreeNode::isAncestorOf(const TreeNode* node) const {
    if (!node) return false;
    for (const TreeNode* p = node->parent_; p; p = p->parent_) {
        if (p == this) return true;
    }
    return false;
}

bool TreeNode::appendChild(TreeNode* child) {
    if (!child) return false;
    if (child->parent_ && child->parent_ != this) return false;
    TreeInfo* old = child->tree_;
    int32_t moved = old ? old->handleCount_ : 0;
    if (old == tree_) return false;
    linkAsLastChild(child);  // counts the reshaping
    child->setTreeOfSubtree(tree_);  // before the old record ends, taking its view copies along
    delete old;
    if (tree_) tree_->handleCount_ += moved;
    return true;
}

void TreeNode::detachFromParent() { detach(true); }

void TreeNode::detach(bool destroyEmptyRest) {
    TreeNode* p = parent_;
    if (!p || !p->children_.contains(this)) return;
    reshaped();
    TreeInfo* fresh = new TreeInfo(this, 0);
    if (TreeNode* previous = p->children_.before(this)) previous->next_ = next_;
    next_ = nullptr;
    p->children_.remove(this);
    parent_ = nullptr;
    TreeInfo* old = tree_;
    int32_t moved = 0;
    forEachInSubtree(this, [fresh, &moved](TreeNode* n) {
        if (n->tree_ && n->tree_->viewCopiesIfAny()) n->tree_->moveViewCopies(fresh, n);
        n->tree_ = fresh;
        moved += n->handleCount_;
    });
    fresh->handleCount_ = moved;
    if (old) {
        old->handleCount_ -= moved;
        if (destroyEmptyRest && old->handleCount_ == 0) destroyTree(old->root_);
    }
}

}  // namespace quorvel
