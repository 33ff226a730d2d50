#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tree/tree_node.h"
#include "tree_check.h"

namespace quorvel {
namespace {

constexpr int kMillion = 1000000;

TEST(TreeScale, MillionDeepChain) {
    TreeNode* root = TreeNode::newTree("deep");
    root->addHandleRef();
    TreeNode* n = root;
    TreeNode* middle = nullptr;
    for (int i = 1; i < kMillion; ++i) {
        n = TreeNode::newChild(n, "deep");
        if (i == kMillion / 2) middle = n;
    }
    TreeNode* bottom = n;
    bottom->addHandleRef();
    bottom->setContent("bottom");
    EXPECT_EQ(root->searchAllForContent(nullptr, "bot*"), bottom);
    EXPECT_EQ(root->searchForTag(bottom->parent(), "deep"), bottom);
    EXPECT_EQ(middle->searchForTag(root, "deep"), nullptr) << "after outside the subtree";
    EXPECT_EQ(root->subtreeHandleCount(), 2);
    EXPECT_EQ(CommonStrings::refCount("deep"), kMillion);
    EXPECT_TRUE(root->isAncestorOf(bottom));

    middle->detachFromParent();
    EXPECT_EQ(bottom->root(), middle);
    EXPECT_EQ(middle->treeHandleCount(), 1);
    EXPECT_EQ(root->treeHandleCount(), 1);
    EXPECT_FALSE(bottom->appendChild(middle));
    ASSERT_TRUE(root->appendChild(middle));
    EXPECT_EQ(bottom->tree(), root->tree());
    EXPECT_EQ(root->treeHandleCount(), 2);
    EXPECT_EQ(root->subtreeHandleCount(), 2);

    TreeNode::destroyTree(bottom);
    EXPECT_EQ(CommonStrings::refCount("deep"), 0);
}

TEST(TreeScale, MillionChildrenDetachedInEveryOrder) {
    TreeNode* root = TreeNode::newTree("wide");
    root->addHandleRef();
    std::vector<TreeNode*> kids;
    for (int i = 0; i < kMillion; ++i) kids.push_back(TreeNode::newChild(root, "w"));
    // Half of them, in random order, move to another tree; indexed reads at checkpoints see the rest.
    std::vector<int> order;
    for (int i = 1; i < kMillion; i += 2) order.push_back(i);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    TreeNode* holder = TreeNode::newTree("holder");
    holder->addHandleRef();
    std::vector<char> gone(kMillion, 0);
    for (size_t i = 0; i < order.size(); ++i) {
        kids[order[i]]->detachFromParent();
        ASSERT_TRUE(holder->appendChild(kids[order[i]]));
        gone[order[i]] = 1;
        if (i % 100000 == 0 || i == order.size() - 1) {
            ASSERT_EQ(root->childCount(), kMillion - static_cast<int32_t>(i) - 1) << "counted before any compaction";
            int32_t at = 0;
            for (int j = 0; j < kMillion; ++j) {
                if (!gone[j]) {
                    ASSERT_EQ(root->childAt(at++), kids[j]);
                }
            }
            ASSERT_EQ(root->childAt(at), nullptr);
        }
    }
    for (int i = 0; i + 2 < kMillion; i += 2) ASSERT_EQ(kids[i]->nextSibling(), kids[i + 2]);
    // Back again, then off the front (destroyed at once) and off the back.
    while (TreeNode* k = holder->firstChild()) {
        k->detachFromParent();
        ASSERT_TRUE(root->appendChild(k));
    }
    EXPECT_EQ(root->childCount(), kMillion);
    for (int i = 0; i < kMillion / 2; ++i) {
        TreeNode* k = root->firstChild();
        k->detachFromParent();
        TreeNode::destroyTree(k);
    }
    while (root->childCount() > 1) {
        TreeNode* k = root->lastChild();
        k->detachFromParent();
        TreeNode::destroyTree(k);
    }
    EXPECT_EQ(root->childAt(0), kids[order[0]]);
    EXPECT_EQ(root->lastChild(), kids[order[0]]);
    EXPECT_TRUE(kids[order[0]]->nextSibling() == nullptr && kids[order[0]]->previousSibling() == nullptr);
    TreeNode::destroyTree(holder);
    TreeNode::destroyTree(root);
    EXPECT_EQ(CommonStrings::refCount("w"), 0);
}

// Sorts and searches over a million children run through the handle in tests/component.
TEST(TreeScale, SwapAndClearMillionChildren) {
    TreeNode* root = TreeNode::newTree("big");
    root->addHandleRef();
    for (int i = 0; i < kMillion; ++i) TreeNode::newChild(root, "w");
    TreeNode* other = TreeNode::newTree("other");
    other->addHandleRef();
    TreeNode* kept = root->childAt(123);
    kept->addHandleRef();
    ASSERT_TRUE(root->swapSubtrees(other));
    EXPECT_EQ(other->childCount(), kMillion);
    EXPECT_EQ(kept->root(), other);
    EXPECT_EQ(other->treeHandleCount(), 2);
    EXPECT_EQ(root->treeHandleCount(), 1);
    EXPECT_EQ(other->nthChildWithTag(kMillion - 1, "w"), other->lastChild());
    other->removeAllChildren();
    EXPECT_EQ(other->childCount(), 0);
    EXPECT_EQ(kept->root(), kept);
    EXPECT_EQ(CommonStrings::refCount("w"), 1);
    for (TreeNode* t : {root, other, kept}) TreeNode::destroyTree(t);
}

}  // namespace
}  // namespace quorvel
