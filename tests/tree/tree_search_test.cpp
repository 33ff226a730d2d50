// Searches that go on from where the last one stopped must find exactly what a search from the
// start finds: the same breadth-first order, the same `after` rule, the tags, contents and
// attributes as they are at the time of the search, and never a stale position once the tree's
// shape has changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tree/tree_node.h"
#include "tree_check.h"

namespace quorvel {
namespace {

using test::checkTree;

// The search order worked out independently: level by level through indexed child access.
std::vector<TreeNode*> levelOrder(TreeNode* from) {
    std::vector<TreeNode*> out{from};
    for (size_t i = 0; i < out.size(); ++i) {
        for (int32_t k = 0; k < out[i]->childCount(); ++k) out.push_back(out[i]->childAt(k));
    }
    return out;
}

struct Query {
    int kind;  // 0 tag, 1 content, 2 any content, 3 attribute
    std::string tag, pattern, attr;
    bool matches(const TreeNode* n) const {
        switch (kind) {
            case 0: return n->tagView() == tag;
            case 1: return n->tagView() == tag && wildcardMatch(n->contentData(), pattern.c_str(), true);
            case 2: return wildcardMatch(n->contentData(), pattern.c_str(), true);
            default: return n->tagView() == tag && n->attributeMatches(attr, pattern.c_str());
        }
    }
    TreeNode* run(const TreeNode* from, const TreeNode* after) const {
        switch (kind) {
            case 0: return from->searchForTag(after, tag);
            case 1: return from->searchForContent(after, tag, pattern.c_str());
            case 2: return from->searchAllForContent(after, pattern.c_str());
            default: return from->searchForAttribute(after, tag, attr, pattern.c_str());
        }
    }
    TreeNode* expected(TreeNode* from, const TreeNode* after) const {
        const std::vector<TreeNode*> order = levelOrder(from);
        size_t i = 0;
        if (after) {
            while (i < order.size() && order[i] != after) ++i;
            ++i;  // past after; past the end when after is not in the subtree
        }
        for (; i < order.size(); ++i) {
            if (matches(order[i])) return order[i];
        }
        return nullptr;
    }
};

// Random walks of all matches, each call's after mostly the last result, sometimes none or an
// arbitrary node (of this tree or another), with every kind of change between calls, against
// the plain search from the start.
TEST(TreeSearch, ResumedSearchesAgreeWithSearchesFromTheStart) {
    const char* tags[] = {"a", "b", "c", ""};
    const char* contents[] = {"", "x", "xy", "yx", "abc"};
    const char* patterns[] = {"x*", "*", "", "*y*", "abc"};
    std::mt19937 rng(18);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    int64_t resumedWalks = 0;
    for (int round = 0; round < 40; ++round) {
        TreeNode* root = TreeNode::newTree("a");
        root->addHandleRef();  // keeps the tree alive through detaching
        TreeNode* other = TreeNode::newTree("a");
        std::vector<TreeNode*> nodes{root};
        const size_t size = 20 + pick(200);
        while (nodes.size() < size) {
            TreeNode* n = TreeNode::newChild(nodes[pick(nodes.size()) / (1 + pick(3))], tags[pick(4)]);
            if (pick(2)) n->setContent(contents[pick(5)]);
            if (pick(3) == 0) n->addAttribute("k", contents[pick(5)]);
            nodes.push_back(n);
        }
        Query q;
        TreeNode* from = root;
        TreeNode* last = nullptr;
        for (int step = 0; step < 400; ++step) {
            const size_t what = pick(20);
            if (what == 0 || !last) {  // a new walk
                q = {static_cast<int>(pick(4)), tags[pick(4)], patterns[pick(5)], pick(5) ? "k" : ""};
                from = pick(3) ? root : nodes[pick(nodes.size())];
                last = nullptr;
            } else if (what == 1) {  // an after that is not the last result
                last = pick(4) ? nodes[pick(nodes.size())] : other;
            } else if (what == 2) {  // another search in between, whose after may lie anywhere
                Query r{static_cast<int>(pick(4)), tags[pick(4)], patterns[pick(5)], "k"};
                TreeNode* start = nodes[pick(nodes.size())];
                TreeNode* rafter = pick(2) ? nodes[pick(nodes.size())] : nullptr;
                ASSERT_EQ(r.run(start, rafter), r.expected(start, rafter)) << "round " << round << " step " << step;
            } else if (what <= 8) {  // a change
                TreeNode* n = nodes[pick(nodes.size())];
                TreeNode* m = nodes[pick(nodes.size())];
                switch (pick(11)) {
                    case 0: n->setTag(tags[pick(4)]); break;
                    case 1: n->setContent(contents[pick(5)]); break;
                    case 2: n->appendContentBytes("y", 1); break;
                    case 3: n->clearContent(); break;
                    case 4: n->updateAttribute("k", contents[pick(5)]); break;
                    case 5: n->removeAttribute("k"); break;
                    case 6: nodes.push_back(TreeNode::newChild(n, tags[pick(4)])); break;
                    case 7: n->sortChildren(ChildSortKey::Tag, pick(2) == 0); break;
                    case 8: n->swapNodeData(m); break;
                    case 9: n->swapSubtrees(m); break;
                    default:  // moved under another node, whose tree it joins again
                        if (n != root && !n->isAncestorOf(m) && n != m) {
                            n->detachFromParent();
                            m->appendChild(n);
                        }
                }
            }
            TreeNode* want = q.expected(from, last);
            TreeNode* got = q.run(from, last);
            ASSERT_EQ(got, want) << "round " << round << " step " << step << " kind " << q.kind;
            resumedWalks += last && got;
            last = got;
        }
        checkTree(root);
        root->releaseHandleRef();
        TreeNode::destroyTree(root);
        TreeNode::destroyTree(other);
    }
    EXPECT_GT(resumedWalks, 2000);
}

// A walk over a wide and deep tree from a subtree's root, with the queue far beyond the point
// where it drops its front; then the same walk after a change in the middle of it. Also the
// walk whose first result is the start node itself, which has no run of siblings to go on in.
TEST(TreeSearch, LongWalksAndTheStartNodeItself) {
    TreeNode* root = TreeNode::newTree("r");
    TreeNode* top = TreeNode::newChild(root, "t");
    for (int i = 0; i < 3000; ++i) {
        TreeNode* mid = TreeNode::newChild(top, i % 2 ? "m" : "t");
        for (int j = 0; j < 3; ++j) TreeNode::newChild(TreeNode::newChild(mid, "t"), "t");
    }
    Query q{0, "t", "", ""};
    for (int pass = 0; pass < 2; ++pass) {
        TreeNode* at = nullptr;
        size_t matched = 0;
        std::vector<TreeNode*> order = levelOrder(top);
        for (size_t i = 0; i < order.size(); ++i) {
            if (!q.matches(order[i])) continue;
            at = top->searchForTag(at, "t");
            ASSERT_EQ(at, order[i]) << "pass " << pass << " match " << matched;
            ++matched;
            if (pass == 1 && matched == 5000) {
                // Ahead of the walk a match goes, behind it a node becomes one: the walk goes on
                // where it was and tests the nodes ahead as they are now.
                top->childAt(2999)->firstChild()->firstChild()->setTag("x");
                top->childAt(2997)->setTag("t");
                top->childAt(2998)->lastChild()->lastChild()->setContent("c");
            } else if (pass == 1 && matched == 8000) {
                // The level the walk is in now comes in another order: the queue it had is stale.
                top->sortChildren(ChildSortKey::Tag, false);
            } else {
                continue;
            }
            order = levelOrder(top);
            i = static_cast<size_t>(std::find(order.begin(), order.end(), at) - order.begin());
        }
        EXPECT_GT(matched, 12000u);
        EXPECT_EQ(top->searchForTag(at, "t"), nullptr);
    }
    // Found first, the start node itself: the next result is among its children, and a leaf
    // start node has none.
    TreeNode* leaf = top->lastChild()->lastChild()->lastChild();
    EXPECT_EQ(top->searchForTag(nullptr, "t"), top);
    EXPECT_EQ(top->searchForTag(top, "t"), top->childAt(0));
    EXPECT_EQ(leaf->searchForTag(nullptr, "t"), leaf);
    EXPECT_EQ(leaf->searchForTag(leaf, "t"), nullptr);
    TreeNode::destroyTree(root);
}

}  // namespace
}  // namespace quorvel
