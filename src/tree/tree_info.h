#pragma once
#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/string_buffer.h"
#include "tree/node_arena.h"
#include "tree/text_ref.h"
#include "tree/view_copies.h"

namespace quorvel {

class TreeNode;
struct SearchCursor;
class TagEntry;

// Data a layer above the tree keeps per document (the XPath bindings and compiled queries),
// ended with the tree record. A tree made by detaching a subtree starts without one.
class TreeAttachment {
public:
    virtual ~TreeAttachment() = default;
};

// What all elements of one tree share: the root, the XML declaration, the DOCTYPE and
// processing-instruction text, the tree id and the number of node handles on the tree's nodes.
// Records are made and ended only by TreeNode, which owns the tree through its root.
class TreeInfo {
public:
    TreeInfo(const TreeInfo&) = delete;
    TreeInfo& operator=(const TreeInfo&) = delete;

    int32_t id() const { return id_; }
    TreeNode* root() const { return root_; }
    int32_t handleCount() const { return handleCount_; }

    // A node tagged "xml" whose attributes are the declaration's pseudo-attributes; it is the root
    // of a one-node tree of its own. None when the document has no declaration.
    TreeNode* declaration() const { return declaration_; }
    // Takes ownership of a root without handles; an earlier declaration is destroyed.
    void setDeclaration(TreeNode* declaration);
    // Gives up the declaration without destroying it.
    TreeNode* takeDeclaration();

    // The kept DOCTYPE and processing-instruction text; none when absent.
    const StringBuffer* doctype() const { return doctype_; }
    // Copies text; empty text leaves the tree without doctype text.
    void setDoctype(TextRef text);
    // Takes ownership of text (null removes the doctype text).
    void adoptDoctype(StringBuffer* text);

    // Counts every change of the tree's shape (nodes added, removed or reordered); a search
    // position kept from before such a change is never resumed, and its queue is freed.
    uint64_t reshapeCount() const { return reshapes_; }
    void noteReshape() {
        ++reshapes_;
        noteEdit();
        if (cursor_) forgetSearchPosition();
    }
    // Everything the elements of a tree hold when a builder has just made all of them: tag
    // references, arena pieces, blocks and contents of their own. While the tree stays as built,
    // it ends by giving these back in bulk, without visiting its elements, whose memory a large
    // document no longer has at hand.
    struct BuiltPieces {
        std::vector<std::pair<TagEntry*, int64_t>> tags;
        NodeArena::Inventory arena;
        std::vector<StringBuffer*> contents;
    };
    // A builder's tree whose elements nothing has changed yet; see keepBuiltPieces.
    void markAsBuilt() { asBuilt_ = true; }
    // Hands the tree pieces, which must be exactly what its elements hold; nothing when the
    // tree has been changed since it was marked.
    void keepBuiltPieces(BuiltPieces&& pieces);
    // Whether the tree would end in bulk now, for tests.
    bool keepsBuiltPieces() const { return built_ != nullptr; }
    // Every change of a tag, content or attribute counts here, and every reshaping: the pieces
    // no longer tell what the elements hold, and the tree ends element by element.
    void noteEdit() {
        ++changes_;
        if (asBuilt_) forgetBuiltPieces();
    }
    // Counts every edit and reshaping, so facts derived from the whole tree can be kept while
    // it stays the same.
    uint64_t changeCount() const { return changes_; }

    // The attachment, none until one is installed. installAttachment keeps the first one
    // installed, also when threads race on one tree, and returns it; a loser's fresh is deleted.
    TreeAttachment* attachment() const { return attachment_.load(std::memory_order_acquire); }
    TreeAttachment* installAttachment(TreeAttachment* fresh);

    // The copies that views of this tree's texts are given where the stored bytes cannot be
    // shown as they are (see ViewCopies); made on first use.
    ViewCopies& viewCopies();
    ViewCopies* viewCopiesIfAny() const { return viewCopies_; }
    // Frees node's copies: node changed, or ends.
    void dropViewCopies(const TreeNode* node) {
        if (viewCopies_) viewCopies_->drop(node);
    }
    // Node moves from this tree to other (no-op when it has no copies here).
    void moveViewCopies(TreeInfo* other, const TreeNode* node);

    // The position of the tree's last successful search (see SearchCursor); made on first use.
    SearchCursor& searchCursor();

    // Records alive in the process, for tests and leak statistics.
    static int64_t liveCount();
    // Tree ids are handed out from 100 upwards, process-wide, never reused.
    static int32_t takeNextId();

private:
    friend class TreeNode;
    friend class TreeBuilder;
    TreeInfo(TreeNode* root, int32_t handleCount);
    ~TreeInfo();

    TreeNode* root_;
    TreeNode* declaration_ = nullptr;
    StringBuffer* doctype_ = nullptr;
    int32_t id_;
    int32_t handleCount_;
    void forgetSearchPosition();

    void forgetBuiltPieces();
    // Gives back everything listed in built_; the elements are gone with it.
    void releaseBuiltPieces();

    uint64_t reshapes_ = 0;
    uint64_t changes_ = 0;
    std::atomic<TreeAttachment*> attachment_{nullptr};
    SearchCursor* cursor_ = nullptr;
    bool asBuilt_ = false;
    BuiltPieces* built_ = nullptr;
    ViewCopies* viewCopies_ = nullptr;
};

}  // namespace quorvel
