#include <gtest/gtest.h>

#include <algorithm>
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
    bottom->setContent("bottom");
    EXPECT_EQ(root->searchAllForContent(nullptr, "bot*"), bottom);
    EXPECT_EQ(middle->searchForTag(root, "deep"), nullptr) << "after outside the subtree";
    EXPECT_EQ(root->subtreeHandleCount(), 2);
    EXPECT_TRUE(root->isAncestorOf(bottom));

    middle->detachFromParent();
    EXPECT_EQ(bottom->root(), middle);
    EXPECT_EQ(middle->treeHandleCount(), 1);
    EXPECT_FALSE(bottom->appendChild(middle));
    ASSERT_TRUE(root->appendChild(middle));
    EXPECT_EQ(bottom->tree(), root->tree());
    EXPECT_EQ(root->treeHandleCount(), 2);

    TreeNode::destroyTree(bottom);
    EXPECT_EQ(CommonStrings::refCount("deep"), 0);
}

TEST(TreeScale, MillionChildrenDetachedReattachedAndCleared) {
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
    while (TreeNode* k = holder->firstChild()) {
        k->detachFromParent();
        ASSERT_TRUE(root->appendChild(k));
    }
    EXPECT_EQ(root->childCount(), kMillion);
    EXPECT_EQ(root->lastChild(), kids[order.back()]);

    // Swapped into another root, then cleared: only the child with a handle survives.
    TreeNode* other = TreeNode::newTree("other");
    other->addHandleRef();
    TreeNode* kept = kids[123];
    kept->addHandleRef();
    ASSERT_TRUE(root->swapSubtrees(other));
    EXPECT_EQ(other->childCount(), kMillion);
    EXPECT_EQ(other->treeHandleCount(), 2);
    other->removeAllChildren();
    EXPECT_EQ(kept->root(), kept);
    EXPECT_EQ(CommonStrings::refCount("w"), 1);
    for (TreeNode* t : {root, other, kept, holder}) TreeNode::destroyTree(t);
}

// Children keep no link to their previous sibling: it is found across the holes that removals
// leave in the parent's slots. Small random cases check every answer; the large one removes
// from the back of the middle, and would take hours if each search walked every hole again.
TEST(TreeScale, PreviousSiblingAcrossHoles) {
    for (int n : {3, 17, 200, kMillion}) {
        TreeNode* root = TreeNode::newTree("p");
        root->addHandleRef();  // so that the rest outlives each detach
        std::vector<TreeNode*> kids;
        for (int i = 0; i < n; ++i) kids.push_back(TreeNode::newChild(root, "c"));
        std::vector<int> order;
        for (int i = 1; i + 1 < n; ++i) order.push_back(i);
        if (n == kMillion) {
            std::reverse(order.begin(), order.end());
        } else {
            std::shuffle(order.begin(), order.end(), std::mt19937(n));
        }
        std::vector<char> gone(n, 0);
        int below = n - 2;  // the child before the last
        for (int k : order) {
            kids[k]->detachFromParent();
            gone[k] = 1;
            while (below > 0 && gone[below]) --below;
            ASSERT_EQ(kids[n - 1]->previousSibling(), kids[below]);
            if (n > 1000) continue;
            TreeNode* previous = nullptr;
            for (TreeNode* c = root->firstChild(); c; previous = c, c = c->nextSibling()) {
                ASSERT_EQ(c->previousSibling(), previous);
            }
        }
        EXPECT_EQ(kids[0]->previousSibling(), nullptr);
        EXPECT_EQ(kids[0]->nextSibling(), kids[n - 1]);
        for (int k : order) TreeNode::destroyTree(kids[k]);
        TreeNode::destroyTree(root);
    }
}

}  // namespace
}  // namespace quorvel
