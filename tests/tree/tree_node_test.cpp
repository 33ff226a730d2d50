#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tree/tree_node.h"
#include "tree_check.h"

namespace quorvel {
namespace {

using test::checkTree;
using test::childTags;

TEST(TreeNode, CreationAndContent) {
    int64_t records = TreeInfo::liveCount();
    TreeNode* a = TreeNode::newTree("", "");
    TreeNode* b = TreeNode::newTree("b", "text");
    TreeNode* c = TreeNode::newTreeFromBytes("c", "x\0y", 3);
    TreeNode* d = TreeNode::newTreeFromBytes(nullptr, nullptr, 5);
    EXPECT_FALSE(a->hasTag());
    EXPECT_FALSE(a->hasContent());
    EXPECT_STREQ(a->contentData(), "");
    EXPECT_EQ(b->contentView(), "text");
    EXPECT_EQ(c->contentLength(), 3);
    EXPECT_FALSE(d->hasContent());
    EXPECT_EQ(TreeInfo::liveCount(), records + 4);
    EXPECT_LT(a->treeId(), b->treeId());
    EXPECT_GE(a->treeId(), 100);
    EXPECT_EQ(b->root(), b);

    struct Step {
        void (*apply)(TreeNode*);
        const char* expected;
    };
    const Step steps[] = {
        {[](TreeNode* n) { n->setContent("abc"); }, "abc"},
        {[](TreeNode* n) { n->appendContentBytes("de", 2); }, "abcde"},
        {[](TreeNode* n) { n->appendContentBytes("zz", 0); }, "abcde"},
        {[](TreeNode* n) { n->appendContentBytes(n->contentData(), n->contentLength()); }, "abcdeabcde"},
        {[](TreeNode* n) { n->setContentBytes(n->contentData() + 5, 3); }, "abc"},
        {[](TreeNode* n) { n->setContent(nullptr); }, ""},
        {[](TreeNode* n) { n->appendContentBytes("q", 1); }, "q"},
        {[](TreeNode* n) { n->setContentBytes(nullptr, 4); }, ""},
        {[](TreeNode* n) { n->contentForWriting().append("w"); }, "w"},
        {[](TreeNode* n) { n->setContent(""); }, ""},
    };
    for (const Step& s : steps) {
        s.apply(a);
        EXPECT_STREQ(a->contentData(), s.expected);
        EXPECT_EQ(a->hasContent(), s.expected[0] != 0);
    }
    EXPECT_EQ(a->contentForWriting().capacity(), 120);
    for (TreeNode* n : {a, b, c, d}) TreeNode::destroyTree(n);
    EXPECT_EQ(TreeInfo::liveCount(), records);
}

TEST(TreeNode, AppendChildRefusesCycles) {
    TreeNode* root = TreeNode::newTree("r");
    TreeNode* a = TreeNode::newChild(root, "a");
    TreeNode* b = TreeNode::newChild(a, "b");
    TreeNode* c = TreeNode::newChild(root, "c");
    TreeNode* other = TreeNode::newTree("o");
    TreeNode* otherChild = TreeNode::newChild(other, "oc");
    struct Case {
        TreeNode* parent;
        TreeNode* child;
    };
    const Case refused[] = {{a, a}, {b, a}, {b, root}, {a, c}, {a, b}, {c, root}, {root, a}, {a, otherChild}, {a, nullptr}};
    for (const Case& r : refused) {
        EXPECT_FALSE(r.parent->appendChild(r.child));
        EXPECT_EQ(childTags(root), (std::vector<std::string>{"a", "c"}));
        EXPECT_EQ(childTags(a), std::vector<std::string>{"b"});
    }
    checkTree(root);
    checkTree(other);
    TreeNode::destroyTree(root);
    TreeNode::destroyTree(other);
}

TEST(TreeNode, AppendingAnotherRootMergesItsTree) {
    int64_t records = TreeInfo::liveCount();
    TreeNode* root = TreeNode::newTree("r");
    TreeNode* first = TreeNode::newChild(root, "first");
    root->addHandleRef();
    TreeNode* other = TreeNode::newTree("o");
    TreeNode* deep = TreeNode::newChild(TreeNode::newChild(other, "m"), "deep");
    deep->addHandleRef();
    deep->addHandleRef();
    TreeNode* decl = TreeNode::newTree("xml");
    decl->addAttribute("version", "1.0");
    other->tree()->setDeclaration(decl);
    other->tree()->setDoctype("<!DOCTYPE o>\n");
    EXPECT_EQ(TreeInfo::liveCount(), records + 3);
    EXPECT_EQ(CommonStrings::refCount("xml") > 0, true);

    ASSERT_TRUE(root->appendChild(other));
    EXPECT_EQ(TreeInfo::liveCount(), records + 1) << "the merged record and its declaration's record are gone";
    EXPECT_EQ(deep->treeId(), root->treeId());
    EXPECT_EQ(deep->root(), root);
    EXPECT_EQ(root->treeHandleCount(), 3);
    EXPECT_EQ(first->nextSibling(), other);
    EXPECT_EQ(other->previousSibling(), first);
    EXPECT_EQ(checkTree(root), 5u);
    TreeNode::destroyTree(deep);
    EXPECT_EQ(TreeInfo::liveCount(), records);
}

TEST(TreeNode, DetachKeepsOrDestroysTheRest) {
    int64_t records = TreeInfo::liveCount();
    auto build = [] {
        TreeNode* root = TreeNode::newTree("dr");
        for (const char* t : {"d0", "d1", "d2"}) TreeNode::newChild(TreeNode::newChild(root, t), "leaf");
        return root;
    };
    // A handle on the root and one on a detached child: both trees stay.
    TreeNode* root = build();
    TreeNode* mid = root->childAt(1);
    root->addHandleRef();
    mid->firstChild()->addHandleRef();
    int32_t oldId = root->treeId();
    mid->detachFromParent();
    EXPECT_EQ(mid->parent(), nullptr);
    EXPECT_EQ(mid->nextSibling(), nullptr);
    EXPECT_EQ(mid->previousSibling(), nullptr);
    EXPECT_EQ(root->childAt(0)->nextSibling(), root->childAt(1));
    EXPECT_EQ(childTags(root), (std::vector<std::string>{"d0", "d2"}));
    EXPECT_GT(mid->treeId(), oldId);
    EXPECT_EQ(mid->firstChild()->treeId(), mid->treeId());
    EXPECT_EQ(mid->treeHandleCount(), 1);
    EXPECT_EQ(root->treeHandleCount(), 1);
    EXPECT_EQ(checkTree(root), 5u);
    EXPECT_EQ(checkTree(mid), 2u);
    mid->detachFromParent();  // already a root: nothing
    EXPECT_EQ(checkTree(mid), 2u);
    // Re-attach the detached part: counts join, record ends.
    ASSERT_TRUE(root->childAt(0)->appendChild(mid));
    EXPECT_EQ(root->treeHandleCount(), 2);
    EXPECT_EQ(checkTree(root), 7u);
    // No handle left on the rest: it is destroyed at once.
    EXPECT_EQ(CommonStrings::refCount("dr"), 1);
    root->releaseHandleRef();
    mid->detachFromParent();
    EXPECT_EQ(CommonStrings::refCount("dr"), 0);
    EXPECT_EQ(checkTree(mid), 2u);
    EXPECT_TRUE(TreeNode::releaseHandleRefAndDestroyUnused(mid->firstChild()));
    EXPECT_EQ(TreeInfo::liveCount(), records);

    // Release rules: the tree goes with its last handle.
    root = build();
    TreeNode* leaf = root->childAt(2)->firstChild();
    root->addHandleRef();
    leaf->addHandleRef();
    EXPECT_EQ(root->subtreeHandleCount(), 2);
    EXPECT_EQ(root->childAt(2)->subtreeHandleCount(), 1);
    EXPECT_FALSE(TreeNode::releaseHandleRefAndDestroyUnused(root));
    EXPECT_EQ(CommonStrings::refCount("dr"), 1);
    EXPECT_TRUE(TreeNode::releaseHandleRefAndDestroyUnused(leaf));
    EXPECT_EQ(CommonStrings::refCount("dr"), 0);
    EXPECT_EQ(TreeInfo::liveCount(), records);
}

TEST(TreeNode, ChildRemovalInAnyOrderKeepsCountsAndLinks) {
    // Each sequence removes children (by original number) and checks count, order and links after
    // every step, once letting holes pile up and once compacting them by indexed access.
    const std::vector<std::vector<int>> sequences = {
        {1, 2, 0, 3}, {8, 7, 9, 6}, {5, 4, 6, 3, 7, 2, 8, 1, 9, 0}, {0, 9, 1, 8, 2, 7},
        {2, 4, 6, 0}, {3, 5, 1, 9, 8, 7, 6, 4, 2, 0}, {0}, {9},
    };
    auto run = [](const std::vector<int>& seq, bool compactEachStep) {
        TreeNode* root = TreeNode::newTree("cr");
        root->addHandleRef();
        std::vector<TreeNode*> kids;
        for (int i = 0; i < 10; ++i) kids.push_back(TreeNode::newChild(root, test::numbered("c", i)));
        std::vector<std::string> expected = childTags(root);
        for (int k : seq) {
            kids[k]->detachFromParent();
            TreeNode::destroyTree(kids[k]);
            expected.erase(std::find(expected.begin(), expected.end(), test::numbered("c", k)));
            EXPECT_EQ(root->childCount(), static_cast<int32_t>(expected.size()));
            EXPECT_EQ(childTags(root), expected);
            if (compactEachStep) checkTree(root);
        }
        checkTree(root);
        TreeNode::destroyTree(root);
    };
    for (const auto& seq : sequences) {
        run(seq, false);
        run(seq, true);
    }
}

TEST(TreeNode, TreeRecordOwnsDeclarationAndDoctype) {
    int64_t records = TreeInfo::liveCount();
    TreeNode* root = TreeNode::newTree("r");
    TreeInfo* info = root->tree();
    EXPECT_EQ(info->declaration(), nullptr);
    EXPECT_EQ(info->doctype(), nullptr);
    info->setDeclaration(TreeNode::newTree("xml"));
    info->setDeclaration(TreeNode::newTree("xml"));  // replaces and destroys the first
    EXPECT_EQ(CommonStrings::refCount("xml"), 1);
    info->setDoctype("<?pi x?>\n");
    EXPECT_STREQ(info->doctype()->data(), "<?pi x?>\n");
    info->setDoctype("");
    EXPECT_EQ(info->doctype(), nullptr);
    info->adoptDoctype(new StringBuffer("<!DOCTYPE r>\n"));
    TreeNode* taken = info->takeDeclaration();
    EXPECT_EQ(info->declaration(), nullptr);
    info->setDeclaration(taken);
    EXPECT_EQ(TreeInfo::liveCount(), records + 2);
    TreeNode::destroyTree(root);
    EXPECT_EQ(CommonStrings::refCount("xml"), 0);
    EXPECT_EQ(TreeInfo::liveCount(), records);

    std::vector<int32_t> ids;
    for (int i = 0; i < 50; ++i) {
        TreeNode* t = TreeNode::newTree("id");
        ids.push_back(t->treeId());
        TreeNode::destroyTree(t);
    }
    for (size_t i = 1; i < ids.size(); ++i) EXPECT_GT(ids[i], ids[i - 1]);
    EXPECT_GE(ids[0], 100);
}

}  // namespace
}  // namespace quorvel
