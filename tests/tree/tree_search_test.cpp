#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tree/tree_node.h"
#include "tree_check.h"

namespace quorvel {
namespace {

using test::build;

// Every node of the subtree in search order, found by walking with `after`.
std::vector<TreeNode*> walkAll(const TreeNode* from) {
    std::vector<TreeNode*> out;
    for (TreeNode* n = from->searchAllForContent(nullptr, "*"); n; n = from->searchAllForContent(n, "*")) out.push_back(n);
    return out;
}

TEST(TreeSearch, LevelOrderAndAfter) {
    TreeNode* root = build("root(a(c),b(d))");
    TreeNode* a = root->childAt(0);
    TreeNode* b = root->childAt(1);
    std::vector<std::string> order;
    for (TreeNode* n : walkAll(root)) order.emplace_back(n->tagView());
    EXPECT_EQ(order, (std::vector<std::string>{"root", "a", "b", "c", "d"}));
    for (const char* t : {"root", "a", "b", "c", "d"}) EXPECT_TRUE(root->searchForTag(nullptr, t)->tagEquals(t));
    EXPECT_EQ(root->searchForTag(b, "d"), b->firstChild());
    EXPECT_EQ(root->searchForTag(b, "a"), nullptr);
    EXPECT_EQ(root->searchForTag(root, "root"), nullptr);
    EXPECT_EQ(a->searchForTag(nullptr, "a"), a) << "the node itself comes first";
    EXPECT_EQ(a->searchForTag(b, "c"), nullptr) << "after outside the subtree finds nothing";
    TreeNode* other = build("x(c)");
    EXPECT_EQ(root->searchForTag(other->firstChild(), "c"), nullptr);

    // Against a plain level-order walk on random trees (deep, wide and mixed).
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        TreeNode* r = TreeNode::newTree("n");
        std::vector<TreeNode*> all{r};
        for (int i = 0; i < 300; ++i) {
            TreeNode* p = all[round % 2 ? all.size() - 1 - rng() % std::min<size_t>(all.size(), 3) : rng() % all.size()];
            all.push_back(TreeNode::newChild(p, "n"));
        }
        std::vector<TreeNode*> expected{r};
        for (size_t i = 0; i < expected.size(); ++i)
            for (TreeNode* c = expected[i]->firstChild(); c; c = c->nextSibling()) expected.push_back(c);
        ASSERT_EQ(walkAll(r), expected);
        TreeNode::destroyTree(r);
    }
    TreeNode::destroyTree(root);
    TreeNode::destroyTree(other);
}

TEST(TreeSearch, Tests) {
    TreeNode* root = build("r(item:apple,Item:Apple,item,x:abc(item:xyz),:untagged)");
    TreeNode* item0 = root->childAt(0);
    TreeNode* x = root->childAt(3);
    TreeNode* untagged = root->childAt(4);
    x->addAttribute("k", "abc");
    x->addAttribute("k", "xyz");
    root->childAt(2)->addAttribute("k", "x");
    TreeNode* nested = x->firstChild();

    EXPECT_EQ(root->searchForContent(nullptr, "item", "*"), item0);
    EXPECT_EQ(root->searchForContent(item0, "item", "*"), root->childAt(2)) << "no content counts as empty";
    EXPECT_EQ(root->searchForContent(nullptr, "item", "A*"), nullptr);
    EXPECT_EQ(root->searchForContent(nullptr, "Item", "A*"), root->childAt(1));
    EXPECT_EQ(root->searchForContent(nullptr, "item", "x*"), nested);
    EXPECT_EQ(root->searchAllForContent(nullptr, "*bc"), x);
    EXPECT_EQ(root->searchAllForContent(nullptr, "untagged"), untagged);
    EXPECT_EQ(root->searchAllForContent(nullptr, nullptr), root) << "null pattern is empty, matching empty content";
    EXPECT_EQ(root->searchForTag(nullptr, ""), untagged);
    EXPECT_EQ(root->searchForTag(nullptr, nullptr), untagged);
    EXPECT_EQ(root->searchForAttribute(nullptr, "x", "k", "x*"), x);
    EXPECT_EQ(root->searchForAttribute(nullptr, "item", "k", "*"), root->childAt(2));
    EXPECT_EQ(root->searchForAttribute(nullptr, "x", "K", "*"), nullptr);
    EXPECT_EQ(root->searchForAttribute(nullptr, "x", "", "*"), nullptr);
    EXPECT_EQ(root->searchForAttribute(x, "x", "k", "*"), nullptr);

    EXPECT_EQ(root->findChild("item"), item0);
    EXPECT_EQ(root->findChild("nope"), nullptr);
    EXPECT_EQ(root->findChild(""), untagged);
    EXPECT_EQ(root->countChildrenWithTag("item"), 2);
    EXPECT_EQ(root->countChildrenWithTag("Item"), 1);
    EXPECT_EQ(root->nthChildWithTag(1, "item"), root->childAt(2));
    EXPECT_EQ(root->nthChildWithTag(2, "item"), nullptr);
    EXPECT_EQ(root->nthChildWithTag(-1, "item"), nullptr);
    EXPECT_EQ(item0->findChild("item"), nullptr);
    TreeNode::destroyTree(root);

    TreeNode* records = build("rs(rec(key:x),rec(key:y),rec(other:x),rec(key:x))");
    TreeNode* first = records->childAt(0);
    EXPECT_EQ(first->findNextRecord("key", "x"), first);
    EXPECT_EQ(records->childAt(1)->findNextRecord("key", "x"), records->childAt(3));
    EXPECT_EQ(records->childAt(1)->findNextRecord("key", "z"), nullptr);
    EXPECT_EQ(records->findNextRecord("key", "*"), nullptr) << "the root has no siblings and no key field";
    TreeNode::destroyTree(records);
}

}  // namespace
}  // namespace quorvel
