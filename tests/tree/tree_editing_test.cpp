#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tree/tree_node.h"
#include "tree_check.h"

namespace quorvel {
namespace {

using test::build;
using test::checkTree;
using test::describe;

TEST(TreeEditing, SwapData) {
    TreeNode* root = build("r(a:text(a1),b)");
    TreeNode* a = root->childAt(0);
    TreeNode* b = root->childAt(1);
    a->addAttribute("k", "v");
    b->setCdata(true);
    a->swapNodeData(b);
    EXPECT_EQ(describe(root), "r(b(a1),a:text)");
    EXPECT_EQ(a->attributeCount(), 0);
    EXPECT_TRUE(b->hasAttributeWithValue("k", "v"));
    EXPECT_TRUE(b->cdata());
    a->swapNodeData(a);
    a->swapNodeData(nullptr);
    EXPECT_EQ(describe(root), "r(b(a1),a:text)");
    TreeNode::destroyTree(root);
}

TEST(TreeEditing, SwapSubtrees) {
    TreeNode* one = build("one(p:P(g1(gg),g2),q)");
    TreeNode* two = build("two(s:S(h1))");
    TreeNode* p = one->firstChild();
    TreeNode* s = two->firstChild();
    TreeNode* gg = p->firstChild()->firstChild();
    one->addHandleRef();
    gg->addHandleRef();
    gg->addHandleRef();
    two->addHandleRef();
    ASSERT_TRUE(p->swapSubtrees(s));
    EXPECT_EQ(describe(one), "one(s:S(h1),q)") << "tags, contents and children all change places";
    EXPECT_EQ(describe(two), "two(p:P(g1(gg),g2))");
    EXPECT_EQ(gg->treeId(), two->treeId());
    EXPECT_EQ(one->treeHandleCount(), 1);
    EXPECT_EQ(two->treeHandleCount(), 3);
    checkTree(one);
    checkTree(two);

    // Within one tree: fine between unrelated nodes, refused along an ancestor line.
    TreeNode* g1 = s->firstChild();
    ASSERT_TRUE(g1->swapSubtrees(s->lastChild()));
    EXPECT_EQ(describe(two), "two(p:P(g2,g1(gg)))");
    for (auto [x, y] : {std::pair{s, gg}, std::pair{gg, s}, std::pair{two, s}, std::pair<TreeNode*, TreeNode*>{s, nullptr}}) {
        EXPECT_FALSE(x->swapSubtrees(y));
        EXPECT_EQ(describe(two), "two(p:P(g2,g1(gg)))");
    }
    EXPECT_TRUE(s->swapSubtrees(s));
    EXPECT_EQ(two->treeHandleCount(), 3);
    checkTree(two);
    TreeNode::destroyTree(one);
    TreeNode::destroyTree(two);
}

TEST(TreeEditing, RemoveAllChildren) {
    int64_t records = TreeInfo::liveCount();
    TreeNode* root = build("ra(c0(k0),c1(k1(kk)),c2,c3)");
    root->addHandleRef();
    TreeNode* kk = root->childAt(1)->firstChild()->firstChild();
    TreeNode* c3 = root->childAt(3);
    kk->addHandleRef();
    c3->addHandleRef();
    root->removeAllChildren();
    EXPECT_EQ(root->childCount(), 0);
    EXPECT_EQ(root->treeHandleCount(), 1);
    EXPECT_EQ(CommonStrings::refCount("c0"), 0);
    EXPECT_EQ(CommonStrings::refCount("c2"), 0);
    EXPECT_EQ(describe(kk->root()), "c1(k1(kk))");
    EXPECT_EQ(kk->treeHandleCount(), 1);
    EXPECT_EQ(c3->root(), c3);
    EXPECT_EQ(TreeInfo::liveCount(), records + 3);
    // Without any handle on the node's own tree, the node still survives the removal.
    TreeNode* bare = build("bare(x,y)");
    bare->removeAllChildren();
    EXPECT_EQ(describe(bare), "bare");
    for (TreeNode* t : {root, kk, c3, bare}) TreeNode::destroyTree(t);
    EXPECT_EQ(TreeInfo::liveCount(), records);
}

TEST(TreeEditing, SortChildren) {
    struct Case {
        const char* tree;
        ChildSortKey key;
        bool ascending;
        const char* attr;
        const char* recordTag;
        const char* expected;
    };
    const Case cases[] = {
        {"r(b,a,Z)", ChildSortKey::Tag, true, "", "", "r(Z,a,b)"},
        {"r(b,a,Z)", ChildSortKey::Tag, false, "", "", "r(b,a,Z)"},
        {"r(b,a,Z,,aa)", ChildSortKey::Tag, true, "", "", "r(,Z,a,aa,b)"},
        {"r(c:10,c:9,c)", ChildSortKey::Content, true, "", "", "r(c,c:10,c:9)"},
        {"r(c:10,c:9,c)", ChildSortKey::Content, false, "", "", "r(c:9,c:10,c)"},
        {"r(x:\xc3\xa9,x:z,x:Z)", ChildSortKey::Content, true, "", "", "r(x:Z,x:z,x:\xc3\xa9)"},
        {"r(n:2,n:1,n:3,n)", ChildSortKey::Attribute, true, "id", "", "r(n,n:1,n:2,n:3)"},
        {"r(p(name:Smith,a),p(name:Jones,b),p(name:Brown,c))", ChildSortKey::RecordContent, true, "", "name",
         "r(p(name:Brown,c),p(name:Jones,b),p(name:Smith,a))"},
        {"r(p(name:Smith),p(other),p(name:Brown))", ChildSortKey::RecordContent, true, "", "name",
         "r(p(other),p(name:Brown),p(name:Smith))"},
        {"r(p(f:1),p(f:2),p(f:3))", ChildSortKey::RecordAttribute, false, "v", "f", "r(p(f:3),p(f:2),p(f:1))"},
        {"r(only)", ChildSortKey::Tag, true, "", "", "r(only)"},
        {"r", ChildSortKey::Tag, true, "", "", "r"},
    };
    for (const Case& c : cases) {
        TreeNode* root = build(c.tree);
        // Attributes: for the Attribute cases "id" copies the content; fields f get "v" = their
        // content, except f:1, which has none and so sorts by the empty value.
        for (TreeNode* n = root->firstChild(); n; n = n->nextSibling()) {
            if (c.key == ChildSortKey::Attribute && n->hasContent()) n->addAttribute("id", n->contentData());
            if (TreeNode* f = n->findChild("f"); f && !f->contentView().starts_with("1")) f->addAttribute("v", f->contentData());
        }
        root->sortChildren(c.key, c.ascending, c.attr, c.recordTag);
        EXPECT_EQ(describe(root), c.expected) << c.tree;
        checkTree(root);
        TreeNode::destroyTree(root);
    }
}

}  // namespace
}  // namespace quorvel
