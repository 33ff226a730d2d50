#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tree/tree_node.h"
#include "tree_check.h"

namespace quorvel {
namespace {

// A plain model of a forest with handle counts, against which random edits of real trees are
// checked: which nodes live, the shape of every tree, and every tree's handle count.
struct Model {
    struct Node {
        int parent = -1;
        std::vector<int> children;
        int handles = 0;
        bool alive = true;
        int tag = 0;  // tags are unique and move with swapSubtrees
    };
    std::vector<Node> nodes;
    std::vector<TreeNode*> real;
    std::vector<int> handles;  // one entry per handle reference taken

    static std::string tagOf(int k) { return test::numbered("hm", k); }
    int rootOf(int k) const {
        while (nodes[k].parent >= 0) k = nodes[k].parent;
        return k;
    }
    std::vector<int> subtree(int k) const {
        std::vector<int> out{k};
        for (size_t i = 0; i < out.size(); ++i)
            for (int c : nodes[out[i]].children) out.push_back(c);
        return out;
    }
    int handleSum(int k) const {
        int sum = 0;
        for (int n : subtree(k)) sum += nodes[n].handles;
        return sum;
    }
    void kill(int root) {
        for (int n : subtree(root)) nodes[n].alive = false;
        handles.erase(std::remove_if(handles.begin(), handles.end(), [&](int h) { return !nodes[h].alive; }), handles.end());
    }
    void unlink(int k) {
        auto& siblings = nodes[nodes[k].parent].children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), k));
        nodes[k].parent = -1;
    }
    bool isAncestor(int a, int b) const {
        for (int p = nodes[b].parent; p >= 0; p = nodes[p].parent)
            if (p == a) return true;
        return false;
    }
    int add(TreeNode* n, int parent) {
        nodes.push_back({parent, {}, 0, true, static_cast<int>(nodes.size())});
        real.push_back(n);
        if (parent >= 0) nodes[parent].children.push_back(static_cast<int>(nodes.size()) - 1);
        return static_cast<int>(nodes.size()) - 1;
    }
    std::vector<int> alive() const {
        std::vector<int> out;
        for (size_t k = 0; k < nodes.size(); ++k)
            if (nodes[k].alive) out.push_back(static_cast<int>(k));
        return out;
    }

    void verify() const {
        for (size_t k = 0; k < nodes.size(); ++k) {
            ASSERT_EQ(CommonStrings::refCount(tagOf(nodes[k].tag)), nodes[k].alive ? 1 : 0) << "node " << k;
        }
        for (int k : alive()) {
            const Node& n = nodes[k];
            TreeNode* r = real[k];
            ASSERT_EQ(r->handleCount(), n.handles);
            ASSERT_EQ(r->childCount(), static_cast<int32_t>(n.children.size()));
            for (size_t i = 0; i < n.children.size(); ++i) ASSERT_EQ(r->childAt(static_cast<int32_t>(i)), real[n.children[i]]);
            if (n.parent < 0) {
                ASSERT_EQ(r->root(), r);
                ASSERT_EQ(test::checkTree(r), subtree(k).size());
                ASSERT_EQ(r->treeHandleCount(), handleSum(k));
            } else {
                ASSERT_EQ(r->parent(), real[n.parent]);
            }
        }
    }
};

TEST(HandleCounting, RandomEditsFollowTheModel) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        Model m;
        auto pick = [&](const std::vector<int>& from) { return from[rng() % from.size()]; };
        for (int step = 0; step < 500; ++step) {
            std::vector<int> live = m.alive();
            unsigned op = live.empty() ? 0 : rng() % (live.size() > 150 ? 11 : 9);
            switch (op) {
                case 0: {  // a new tree, usually with a handle on it
                    int k = m.add(TreeNode::newTree(Model::tagOf(static_cast<int>(m.nodes.size()))), -1);
                    if (rng() % 4) {
                        m.real[k]->addHandleRef();
                        ++m.nodes[k].handles;
                        m.handles.push_back(k);
                    }
                    break;
                }
                case 1: {
                    int p = pick(live);
                    m.add(TreeNode::newChild(m.real[p], Model::tagOf(static_cast<int>(m.nodes.size()))), p);
                    break;
                }
                case 2: {
                    int k = pick(live);
                    m.real[k]->addHandleRef();
                    ++m.nodes[k].handles;
                    m.handles.push_back(k);
                    break;
                }
                case 3: {
                    int a = pick(live), b = pick(live);
                    bool ok = m.nodes[b].parent < 0 && m.rootOf(a) != m.rootOf(b);
                    ASSERT_EQ(m.real[a]->appendChild(m.real[b]), ok) << a << " <- " << b;
                    if (ok) {
                        m.nodes[b].parent = a;
                        m.nodes[a].children.push_back(b);
                    }
                    break;
                }
                case 4:
                case 6: {
                    int k = pick(live);
                    if (m.nodes[k].parent < 0) break;
                    int rest = m.rootOf(k);
                    m.unlink(k);
                    m.real[k]->detachFromParent();
                    if (m.handleSum(rest) == 0) m.kill(rest);
                    break;
                }
                case 7: {  // exchange subtrees, refused along an ancestor line
                    int a = pick(live), b = pick(live);
                    bool ok = a == b || !(m.isAncestor(a, b) || m.isAncestor(b, a));
                    ASSERT_EQ(m.real[a]->swapSubtrees(m.real[b]), ok);
                    if (!ok || a == b) break;
                    std::swap(m.nodes[a].tag, m.nodes[b].tag);
                    std::swap(m.nodes[a].children, m.nodes[b].children);
                    for (int c : m.nodes[a].children) m.nodes[c].parent = a;
                    for (int c : m.nodes[b].children) m.nodes[c].parent = b;
                    break;
                }
                case 8: {
                    int k = pick(live);
                    if (rng() % 2) {
                        m.real[k]->removeAllChildren();
                        for (int c : std::vector<int>(m.nodes[k].children)) {
                            m.unlink(c);
                            if (m.handleSum(c) == 0) m.kill(c);
                        }
                    } else {
                        bool ascending = rng() % 2;
                        m.real[k]->sortChildren(ChildSortKey::Tag, ascending);
                        std::sort(m.nodes[k].children.begin(), m.nodes[k].children.end(), [&](int x, int y) {
                            std::string tx = Model::tagOf(m.nodes[x].tag), ty = Model::tagOf(m.nodes[y].tag);
                            return ascending ? tx < ty : tx > ty;
                        });
                    }
                    break;
                }
                default: {
                    if (m.handles.empty()) break;
                    size_t i = rng() % m.handles.size();
                    int k = m.handles[i];
                    m.handles.erase(m.handles.begin() + static_cast<std::ptrdiff_t>(i));
                    --m.nodes[k].handles;
                    bool gone = m.handleSum(m.rootOf(k)) == 0;
                    ASSERT_EQ(TreeNode::releaseHandleRefAndDestroyUnused(m.real[k]), gone);
                    if (gone) m.kill(m.rootOf(k));
                    break;
                }
            }
            m.verify();
            if (HasFatalFailure()) return;
        }
        for (int k : m.alive())
            if (m.nodes[k].parent < 0) TreeNode::destroyTree(m.real[k]);
    }
}

}  // namespace
}  // namespace quorvel
