#include <gtest/gtest.h>

#include <vector>

#include "tree/tree_node.h"
#include "tree_check.h"

namespace quorvel {
namespace {

using test::build;
using test::checkTree;
using test::describe;

TEST(TreeNode, CreationAndContent) {
    int64_t records = TreeInfo::liveCount();
    TreeNode* a = TreeNode::newTree("", "");
    TreeNode* b = TreeNode::newTreeFromBytes("b", "x\0y", 3);
    EXPECT_EQ(b->contentLength(), 3);
    EXPECT_GE(a->treeId(), 100);
    EXPECT_LT(a->treeId(), b->treeId());

    // Content set and appended from its own bytes must survive the buffer moving underneath.
    a->setContent("abcde");
    a->appendContentBytes(a->contentData(), a->contentLength());
    EXPECT_STREQ(a->contentData(), "abcdeabcde");
    a->setContentBytes(a->contentData() + 5, 3);
    EXPECT_STREQ(a->contentData(), "abc");
    for (TreeNode* n : {a, b}) TreeNode::destroyTree(n);
    EXPECT_EQ(TreeInfo::liveCount(), records);
}

TEST(TreeNode, AppendChildRefusesCyclesAndMergesOtherTrees) {
    int64_t records = TreeInfo::liveCount();
    TreeNode* root = build("r(a(b),c)");
    TreeNode* a = root->childAt(0);
    TreeNode* b = a->firstChild();
    TreeNode* c = root->childAt(1);
    TreeNode* other = build("o(m(deep))");
    for (auto [parent, child] : std::vector<std::pair<TreeNode*, TreeNode*>>{
             {a, a}, {b, a}, {b, root}, {a, c}, {a, b}, {c, root}, {root, a}, {a, other->firstChild()}, {a, nullptr}}) {
        EXPECT_FALSE(parent->appendChild(child));
        EXPECT_EQ(describe(root), "r(a(b),c)");
    }
    // Appending another root: its record, declaration and doctype go, its handles come along.
    TreeNode* deep = other->firstChild()->firstChild();
    root->addHandleRef();
    deep->addHandleRef();
    deep->addHandleRef();
    other->tree()->setDeclaration(TreeNode::newTree("xml"));
    other->tree()->setDoctype("<!DOCTYPE o>\n");
    EXPECT_EQ(TreeInfo::liveCount(), records + 3);
    ASSERT_TRUE(b->appendChild(other));
    EXPECT_EQ(TreeInfo::liveCount(), records + 1);
    EXPECT_EQ(deep->treeId(), root->treeId());
    EXPECT_EQ(root->treeHandleCount(), 3);
    EXPECT_EQ(checkTree(root), 7u);
    TreeNode::destroyTree(deep);
    EXPECT_EQ(TreeInfo::liveCount(), records);
}

TEST(TreeNode, DetachKeepsOrDestroysTheRest) {
    TreeNode* root = build("dr(d0(l0),d1(l1),d2(l2))");
    TreeNode* mid = root->childAt(1);
    TreeNode* leaf = mid->firstChild();
    root->addHandleRef();
    leaf->addHandleRef();
    int32_t oldId = root->treeId();
    mid->detachFromParent();
    EXPECT_EQ(describe(root), "dr(d0(l0),d2(l2))");
    EXPECT_GT(mid->treeId(), oldId);
    EXPECT_EQ(leaf->treeId(), mid->treeId());
    EXPECT_EQ(mid->treeHandleCount(), 1);
    EXPECT_EQ(root->treeHandleCount(), 1);
    checkTree(root);
    mid->detachFromParent();  // a root: nothing
    EXPECT_EQ(checkTree(mid), 2u);
    // The last handle on the rest goes first: detaching then destroys the rest at once.
    ASSERT_TRUE(root->firstChild()->appendChild(mid));
    EXPECT_FALSE(TreeNode::releaseHandleRefAndDestroyUnused(root));
    mid->detachFromParent();
    EXPECT_EQ(CommonStrings::refCount("dr"), 0);
    EXPECT_EQ(checkTree(mid), 2u);
    EXPECT_TRUE(TreeNode::releaseHandleRefAndDestroyUnused(leaf));
    EXPECT_EQ(CommonStrings::refCount("d1"), 0);
}

}  // namespace
}  // namespace quorvel
