#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "tree/tree_node.h"

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

TEST(TreeScale, MillionChildren) {
    TreeNode* root = TreeNode::newTree("wide");
    root->addHandleRef();
    std::vector<TreeNode*> kids;
    kids.reserve(kMillion);
    for (int i = 0; i < kMillion; ++i) kids.push_back(TreeNode::newChild(root, "w"));
    EXPECT_EQ(root->childCount(), kMillion);
    EXPECT_EQ(root->childAt(kMillion - 1), kids.back());

    // Detach the odd children in random order, then check order and indexed access.
    std::vector<TreeNode*> odd;
    for (int i = 1; i < kMillion; i += 2) odd.push_back(kids[i]);
    std::shuffle(odd.begin(), odd.end(), std::mt19937(7));
    TreeNode* holder = TreeNode::newTree("holder");
    holder->addHandleRef();
    for (TreeNode* k : odd) {
        k->detachFromParent();
        ASSERT_TRUE(holder->appendChild(k));
    }
    ASSERT_EQ(root->childCount(), kMillion / 2);
    for (int i = 0; i < kMillion / 2; ++i) ASSERT_EQ(root->childAt(i), kids[2 * i]);
    for (int i = 0; i + 1 < kMillion / 2; ++i) ASSERT_EQ(kids[2 * i]->nextSibling(), kids[2 * i + 2]);
    EXPECT_EQ(holder->childCount(), kMillion / 2);

    // Re-attach them all at the end, then take the first half off the front and the rest off the back.
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
    EXPECT_EQ(root->childAt(0), odd[0]);
    while (root->childCount() > 1) {
        TreeNode* k = root->lastChild();
        k->detachFromParent();
        TreeNode::destroyTree(k);
    }
    EXPECT_EQ(root->childAt(0), odd[0]);
    EXPECT_EQ(root->lastChild(), odd[0]);
    EXPECT_EQ(odd[0]->nextSibling(), nullptr);
    EXPECT_EQ(odd[0]->previousSibling(), nullptr);
    TreeNode::destroyTree(holder);
    TreeNode::destroyTree(root);
    EXPECT_EQ(CommonStrings::refCount("w"), 0);
}

TEST(TreeScale, RandomRemovalKeepsIndexedAccessLinear) {
    TreeNode* root = TreeNode::newTree("ra");
    root->addHandleRef();
    std::vector<TreeNode*> kids;
    for (int i = 0; i < kMillion; ++i) kids.push_back(TreeNode::newChild(root, "r"));
    std::vector<int> order(kMillion);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(11));
    std::vector<char> gone(kMillion, 0);
    // Removals in random order interleaved with full indexed reads, which compact the holes.
    for (int i = 0; i < kMillion; ++i) {
        TreeNode* k = kids[order[i]];
        gone[order[i]] = 1;
        k->detachFromParent();
        TreeNode::destroyTree(k);
        if (i % 150000 == 0 || i == kMillion - 2) {
            ASSERT_EQ(root->childCount(), kMillion - i - 1) << "counted before any compaction";
            int32_t at = 0;
            for (int j = 0; j < kMillion; ++j) {
                if (!gone[j]) {
                    ASSERT_EQ(root->childAt(at++), kids[j]);
                }
            }
            ASSERT_EQ(root->childCount(), at);
            ASSERT_EQ(root->childAt(at), nullptr);
        }
    }
    EXPECT_EQ(root->childCount(), 0);
    EXPECT_EQ(root->firstChild(), nullptr);
    TreeNode::destroyTree(root);
}

}  // namespace
}  // namespace quorvel
