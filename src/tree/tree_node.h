#pragma once
#include <cstdint>
#include <string_view>

#include "core/string_buffer.h"
#include "tree/attribute_set.h"
#include "tree/child_list.h"
#include "tree/child_sort.h"
#include "tree/tag_pool.h"
#include "tree/text_ref.h"
#include "tree/tree_info.h"

namespace quorvel {

// One element of a document tree: a pooled tag, attributes, one content text with its CDATA flag,
// and ordered children linked as siblings. A tree is owned by its root; nodes are made and freed
// only through the factories below, and a tree ends only through destroyTree.
//
// Handle counting: a node handle holds one reference on its node, which counts on the node and
// on the node's tree. The tree's count is always the sum of its nodes' counts, so moving a subtree
// moves exactly the count of its nodes, and the tree is destroyed by its handles' owner when
// the count reaches 0.
//
// No operation recurses along the depth of the tree.
class TreeNode {
public:
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;

    // A root with its own tree record (the next tree id). An empty tag gives a node without tag;
    // content is set only when not empty.
    static TreeNode* newTree(TextRef tag, TextRef content = {});
    // As newTree; content is set only when length > 0.
    static TreeNode* newTreeFromBytes(TextRef tag, const char* bytes, int32_t length);
    // A new last child of parent, in parent's tree; without a parent, newTree.
    static TreeNode* newChild(TreeNode* parent, TextRef tag);
    static TreeNode* newChildFromBytes(TreeNode* parent, TextRef tag, const char* bytes, int32_t length);
    // As newChild, taking a new reference on a pooled tag the caller already holds one on, so a
    // builder that caches its tags creates elements without looking them up in the pool.
    static TreeNode* newChildSharingTag(TreeNode* parent, TagEntry* tag);
    // As newChildSharingTag, but the node takes over one reference that the caller owns, so a
    // builder may take references in batches (CommonStrings::retain with a count).
    static TreeNode* newChildAdoptingTag(TreeNode* parent, TagEntry* tag);
    // Destroys the whole tree node belongs to: every node from its root down, and the record with
    // its declaration and doctype text. Handle counts are not consulted. Null is ignored.
    static void destroyTree(TreeNode* node);

    // Tag. A node without tag reads as the empty tag.
    void setTag(const char* text);  // null: no tag
    void setTag(std::string_view text);
    // Shares a pooled tag the caller holds a reference on (null: no tag).
    void setTagEntry(TagEntry* entry);
    const char* tag() const { return tag_ ? tag_->text() : ""; }
    std::string_view tagView() const { return tag_ ? tag_->view() : std::string_view(); }
    int32_t tagLength() const { return tag_ ? static_cast<int32_t>(tag_->length()) : 0; }
    bool hasTag() const { return tag_ != nullptr; }
    bool tagEquals(std::string_view text) const { return tagView() == text; }
    TagEntry* tagEntry() const { return tag_; }

    // Content. A node without content and a node with empty content behave alike.
    void setContent(const char* text);  // null empties it
    void setContentBytes(const char* bytes, int32_t length);  // null bytes empty it
    void appendContentBytes(const char* bytes, int32_t length);
    void clearContent();
    bool hasContent() const { return contentLength() > 0; }
    const char* contentData() const {  // 0-terminated
        if (!content_) return "";
        return (content_ & kBuiltContent) ? builtContent()->bytes() : ownedContent()->data();
    }
    int32_t contentLength() const {
        if (!content_) return 0;
        return (content_ & kBuiltContent) ? builtContent()->length : ownedContent()->length();
    }
    std::string_view contentView() const {
        return {contentData(), static_cast<size_t>(contentLength())};
    }
    // The content for in-place building, created with capacity 120 when absent.
    StringBuffer& contentForWriting();
    bool cdata() const { return (flags_ & kCdataFlag) != 0; }
    void setCdata(bool on) { flags_ = on ? (flags_ | kCdataFlag) : (flags_ & ~kCdataFlag); }

    // Handle counting.
    void addHandleRef();
    void releaseHandleRef();
    // releaseHandleRef, then destroyTree when no handle designates a node of the tree any more.
    // True when the tree was destroyed.
    static bool releaseHandleRefAndDestroyUnused(TreeNode* node);
    int32_t handleCount() const { return handleCount_; }
    int32_t treeHandleCount() const { return tree_ ? tree_->handleCount() : 0; }
    int32_t subtreeHandleCount() const;

    // Structure.
    TreeInfo* tree() const { return tree_; }
    int32_t treeId() const { return tree_ ? tree_->id() : 0; }
    void setTreeOfSubtree(TreeInfo* record);
    // Makes child, the root of another tree, the last child of this node. The other tree's record
    // ends (its declaration and doctype with it) and its handle count joins this tree. Refused,
    // changing nothing, when child has another parent or belongs to this node's tree.
    bool appendChild(TreeNode* child);
    // Makes this node the root of a new tree (new id) holding the handle count of its subtree.
    // When no handle is left on the rest of the old tree, the rest is destroyed. Nothing for a root.
    void detachFromParent();
    TreeNode* root() const { return tree_ ? tree_->root() : nullptr; }
    TreeNode* parent() const { return parent_; }
    TreeNode* nextSibling() const { return next_; }
    TreeNode* previousSibling() const { return parent_ ? parent_->children_.before(this) : nullptr; }
    TreeNode* firstChild() const { return children_.first(); }
    TreeNode* lastChild() const { return children_.last(); }
    TreeNode* childAt(int32_t i) const { return children_.at(i); }
    int32_t childCount() const { return children_.count(); }
    bool hasChildren() const { return !children_.empty(); }
    // A number that ascends in document order among the children of one parent (not dense:
    // removed siblings may leave gaps until the next indexed access).
    uint32_t siblingOrder() const { return slot(); }
    // Whether this node lies on the parent chain of node (a node is not its own ancestor).
    bool isAncestorOf(const TreeNode* node) const;

    // Attributes.
    const AttributeSet& attributes() const { return attributes_; }
    void addAttribute(TextRef name, TextRef value) {
        edited();
        attributes_.add(name, value);
    }
    void updateAttribute(TextRef name, TextRef value) {
        edited();
        attributes_.update(name, value);
    }
    void removeAttribute(TextRef name) {
        edited();
        attributes_.remove(name);
    }
    void removeAllAttributes() {
        edited();
        attributes_.removeAll();
    }
    int32_t attributeCount() const { return attributes_.count(); }
    bool attributeNameAt(int32_t i, StringBuffer& out) const { return attributes_.nameAt(i, out); }
    bool attributeValueAt(int32_t i, StringBuffer& out) const { return attributes_.valueAt(i, out); }
    bool attributeValue(TextRef name, StringBuffer& out) const { return attributes_.valueOf(name, out); }
    bool hasAttribute(TextRef name) const { return attributes_.has(name); }
    bool hasAttributeWithValue(TextRef name, TextRef value) const { return attributes_.hasWithValue(name, value); }
    bool attributeMatches(TextRef name, const char* pattern) const { return attributes_.matches(name, pattern); }

    // Lookup among the children, in document order, by exact tag (a node without tag has the
    // empty tag).
    TreeNode* findChild(TextRef tag) const;
    // Match number n (0-based) among the children with that tag; none when too few (or n < 0).
    TreeNode* nthChildWithTag(int32_t n, TextRef tag) const;
    int32_t countChildrenWithTag(TextRef tag) const;

    // Breadth-first searches of this node's subtree, this node first, then level by level with
    // children in document order. With after given, nodes up to and including after in that
    // order are skipped, so passing each result as the next after walks all matches; an after
    // outside the subtree finds nothing. A search whose after is the last result of the tree's
    // last search from this node, with the tree's shape unchanged since, goes on where that one
    // stopped, so such a walk costs one pass over the tree in all. Patterns are case-sensitive with `*` as the only
    // wildcard (null counts as empty); content is compared up to its first 0 byte.
    TreeNode* searchForTag(const TreeNode* after, TextRef tag) const;
    TreeNode* searchForContent(const TreeNode* after, TextRef tag, const char* pattern) const;
    TreeNode* searchAllForContent(const TreeNode* after, const char* pattern) const;
    // Nodes with that tag having some attribute named attr whose value matches; an empty attr
    // finds nothing.
    TreeNode* searchForAttribute(const TreeNode* after, TextRef tag, TextRef attr, const char* pattern) const;
    // From this node along its next siblings, the first node whose first child with that tag has
    // content matching pattern.
    TreeNode* findNextRecord(TextRef tag, const char* pattern) const;

    // Exchanges tags, contents and attributes with other; CDATA flags, children and places stay.
    void swapNodeData(TreeNode* other);
    // swapNodeData, and the two nodes exchange all their children with everything below them;
    // subtrees that change trees take their handle counts along. Refused (false, nothing
    // changes) when one node is an ancestor of the other or other is null.
    bool swapSubtrees(TreeNode* other);
    // Detaches every child. A child subtree that some handle designates lives on as a tree of
    // its own; the others are destroyed. This node's own tree is never destroyed here.
    void removeAllChildren();

    // Reorders the children by a key of each (see ChildSortKey): bytes compared unsigned, up to
    // the first 0 byte, shorter prefix first. Not stable. Handles stay on their nodes.
    void sortChildren(ChildSortKey key, bool ascending, TextRef attrName = {}, TextRef recordTag = {});

private:
    friend class ChildList;
    friend class TreeBuilder;

    // Content carved by a TreeBuilder: fixed bytes, 0-terminated, in the document's arena. It is
    // turned into a StringBuffer of the node's own on the first change.
    struct BuiltContent {
        int32_t length;
        // length bytes and a 0 follow the header
        char* bytes() { return reinterpret_cast<char*>(this + 1); }
    };
    static constexpr uintptr_t kBuiltContent = 1;
    StringBuffer* ownedContent() const { return reinterpret_cast<StringBuffer*>(content_); }
    BuiltContent* builtContent() const { return reinterpret_cast<BuiltContent*>(content_ & ~kBuiltContent); }
    // Every change of which nodes the tree holds, or of their order, is counted on the tree
    // (TreeInfo::noteReshape). Tags, contents and attributes change no search order.
    void reshaped() {
        if (tree_) tree_->noteReshape();
    }
    // Every change of a tag, content or attribute is noted on the tree (TreeInfo::noteEdit), and
    // ends the copies that views of this node's texts were given (TreeInfo::viewCopies).
    void edited() {
        if (tree_) {
            tree_->noteEdit();
            tree_->dropViewCopies(this);
        }
    }
    // Ends the content in whichever form it has; the field becomes 0.
    void dropContent();

    template <class Test>
    TreeNode* searchBreadthFirst(const TreeNode* after, Test test) const;

    explicit TreeNode(TreeInfo* tree) : tree_(tree) {}
    // A builder's node, written whole at once: a node in fresh memory is never read before it is
    // complete, which would wait for the memory. While it is open, its next-sibling link (it can
    // have no next sibling yet) keeps a pointer for the builder.
    TreeNode(TreeInfo* tree, TagEntry* tag, TreeNode* parent, uint32_t slot, void* builderMark)
        : tree_(tree), tag_(tag), parent_(parent), next_(static_cast<TreeNode*>(builderMark)), flags_(kBuiltFlag | slot) {}
    uint32_t slot() const { return flags_ & kSlotMask; }
    void setSlot(uint32_t i) { flags_ = (flags_ & ~kSlotMask) | i; }
    bool built() const { return (flags_ & kBuiltFlag) != 0; }
    ~TreeNode();
    static TreeNode* allocate(TreeInfo* tree);
    static void release(TreeNode* node);
    static void destroySubtree(TreeNode* top);
    void linkAsLastChild(TreeNode* child);
    void detach(bool destroyEmptyRest);

    TreeInfo* tree_;
    TagEntry* tag_ = nullptr;
    AttributeSet attributes_;
    uintptr_t content_ = 0;  // none, a StringBuffer*, or a BuiltContent* with kBuiltContent set
    ChildList children_;
    TreeNode* parent_ = nullptr;
    TreeNode* next_ = nullptr;
    int32_t handleCount_ = 0;
    // The index of this node's slot in its parent's ChildList (30 bits), the CDATA flag, and
    // whether the node itself lives in a builder's arena. One word, set and read whole.
    static constexpr uint32_t kSlotMask = (uint32_t{1} << 30) - 1;
    static constexpr uint32_t kCdataFlag = uint32_t{1} << 30;
    static constexpr uint32_t kBuiltFlag = uint32_t{1} << 31;
    uint32_t flags_ = 0;
};

}  // namespace quorvel
