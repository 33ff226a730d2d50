// Long random sequences of the members that move, detach, merge, swap, extract, clear and
// release, over several documents and many handles, checked after every step against a model
// kept independently of the tree: each handle's node, every live tree's shape and handle counts,
// and that a tree lives exactly while some handle designates one of its nodes. Where searches and
// sorts land is the tree search and sorting tests', and which id a tree takes the tree node test's.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "component_test_support.h"
#include "tree/tree_info.h"

namespace quorvel {
namespace {

using namespace test;

struct ModelNode {
    int parent = -1;
    std::vector<int> children;
    std::string tag;
    TreeNode* real = nullptr;
};

struct ModelHandle {
    ComPtr<IQuorvelXml> h;
    int node;
};

class HandleModel {
public:
    explicit HandleModel(uint32_t seed) : rng_(seed) { handles_.reserve(1024); }

    void run(int steps) {
        for (int i = 0; i < 4; ++i) newDocument();
        check();
        for (step_ = 0; step_ < steps; ++step_) {
            if (handles_.empty()) newDocument();
            randomStep();
            check();
            if (::testing::Test::HasFatalFailure() || failures_ > 5) return;
        }
        handles_.clear();
        EXPECT_EQ(TreeInfo::liveCount(), liveTrees_);
        EXPECT_EQ(CQuorvelXml::liveCount(), liveHandles_);
    }

private:
    std::mt19937 rng_;
    std::vector<ModelNode> nodes_;
    std::vector<ModelHandle> handles_;
    int step_ = 0;
    int failures_ = 0;
    size_t liveNodes_ = 0;  // in trees some handle designates, as of the last check
    const int64_t liveTrees_ = TreeInfo::liveCount();
    const int64_t liveHandles_ = CQuorvelXml::liveCount();
    std::string lastOp_;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    ModelHandle& anyHandle() { return handles_[static_cast<size_t>(pick(static_cast<int>(handles_.size())))]; }

    int addNode(int parent, TreeNode* real) {
        const int id = static_cast<int>(nodes_.size());
        nodes_.push_back({parent, {}, "n" + std::to_string(id), real});
        if (parent >= 0) nodes_[static_cast<size_t>(parent)].children.push_back(id);
        return id;
    }
    ModelNode& at(int id) { return nodes_[static_cast<size_t>(id)]; }
    int rootOf(int id) {
        while (at(id).parent >= 0) id = at(id).parent;
        return id;
    }
    // Where a navigation member leads from id: 0 first child, 1 last child, 2 next sibling,
    // 3 previous sibling, 4 parent, 5 root; -1 for nowhere.
    int relative(int id, int which) {
        const auto& kids = at(id).children;
        if (which < 2) return kids.empty() ? -1 : which == 0 ? kids.front() : kids.back();
        if (which > 3) return which == 4 ? at(id).parent : rootOf(id);
        if (at(id).parent < 0) return -1;
        const auto& s = at(at(id).parent).children;
        const auto i = std::find(s.begin(), s.end(), id) - s.begin() + (which == 2 ? 1 : -1);
        return i >= 0 && i < static_cast<long>(s.size()) ? s[static_cast<size_t>(i)] : -1;
    }
    void detach(int id) {
        ModelNode& n = at(id);
        if (n.parent < 0) return;
        auto& siblings = at(n.parent).children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), id));
        n.parent = -1;
    }
    void keep(IQuorvelXml* p, int node) {
        ASSERT_NE(p, nullptr) << lastOp_;
        ASSERT_EQ(nodeOf(p), at(node).real) << lastOp_;
        handles_.push_back({ComPtr<IQuorvelXml>::adopt(p), node});
    }

    void newDocument() {
        ComPtr<IQuorvelXml> h = newHandle();
        const int id = addNode(-1, nodeOf(h.get()));
        h->put_Tag(bstr(at(id).tag).get());
        handles_.push_back({h, id});
    }

    std::vector<int> levelOrder(int top) {
        std::vector<int> order{top};
        for (size_t i = 0; i < order.size(); ++i) {
            for (int c : at(order[i]).children) order.push_back(c);
        }
        return order;
    }
    bool within(int top, int n) {
        const std::vector<int> order = levelOrder(top);
        return std::find(order.begin(), order.end(), n) != order.end();
    }

    void randomStep() {
        const bool crowded = liveNodes_ > 400 || handles_.size() > 80;
        ModelHandle& self = anyHandle();
        IQuorvelXml* h = self.h.get();
        const int a = self.node;
        ModelHandle& other = anyHandle();
        const int b = other.node;
        const int op = crowded ? 8 + pick(5) : pick(13);
        lastOp_ = "step " + std::to_string(step_) + " op " + std::to_string(op);
        switch (op) {
            case 0:
            case 1: {  // a new child, with or without a handle on it
                const int id = addNode(a, nullptr);
                IQuorvelXml* c = nullptr;
                if (pick(2)) {
                    ASSERT_EQ(h->NewChild(bstr(at(id).tag).get(), bstr("").get(), &c), S_OK);
                    at(id).real = nodeOf(c);
                    keep(c, id);
                } else {
                    ASSERT_EQ(h->NewChild2(bstr(at(id).tag).get(), bstr("x").get()), S_OK);
                    at(id).real = at(a).real->lastChild();
                }
                break;
            }
            case 2:
            case 3: {  // a handle on a relative, or the handle itself moves there; 6 is by index
                using Get = HRESULT (IQuorvelXml::*)(IQuorvelXml**);
                using Move = HRESULT (IQuorvelXml::*)(LONG*);
                static constexpr Get gets[] = {&IQuorvelXml::FirstChild,      &IQuorvelXml::LastChild,
                                               &IQuorvelXml::NextSibling,     &IQuorvelXml::PreviousSibling,
                                               &IQuorvelXml::GetParent,       &IQuorvelXml::GetRoot};
                static constexpr Move moves[] = {&IQuorvelXml::FirstChild2,  &IQuorvelXml::LastChild2,
                                                 &IQuorvelXml::NextSibling2, &IQuorvelXml::PreviousSibling2,
                                                 &IQuorvelXml::GetParent2};
                const auto& kids = at(a).children;
                const int which = pick(7), index = pick(static_cast<int>(kids.size()) + 2) - 1;
                const bool inRange = index >= 0 && index < static_cast<int>(kids.size());
                const int target = which < 6 ? relative(a, which) : inRange ? kids[static_cast<size_t>(index)] : -1;
                if (pick(2)) {
                    IQuorvelXml* out = nullptr;
                    const HRESULT hr = which < 6 ? (h->*gets[which])(&out) : h->GetChild(index, &out);
                    EXPECT_EQ(hr, which == 6 && !inRange ? E_FAIL : S_OK) << lastOp_;
                    if (target >= 0) {
                        keep(out, target);
                    } else {
                        EXPECT_EQ(out, nullptr) << lastOp_;
                        takeErrorInfo();
                    }
                } else if (which == 5) {
                    ASSERT_EQ(h->GetRoot2(), S_OK);
                    self.node = target;
                } else {
                    LONG found = -1;
                    which < 6 ? (h->*moves[which])(&found) : h->GetChild2(index, &found);
                    EXPECT_EQ(found, target >= 0 ? 1 : 0) << lastOp_;
                    if (target >= 0) self.node = target;
                }
                break;
            }
            case 8: handles_.erase(handles_.begin() + (&self - handles_.data())); break;  // release
            case 4:
            case 9:
                ASSERT_EQ(h->RemoveFromTree(), S_OK);
                detach(a);
                break;
            case 5:
            case 10: {  // ExtractChildByIndex, out of range now and then
                const int n = static_cast<int>(at(a).children.size());
                const int i = pick(n + 1);
                IQuorvelXml* out = nullptr;
                const HRESULT hr = h->ExtractChildByIndex(i, &out);
                if (i >= n) {
                    EXPECT_EQ(hr, E_FAIL);
                    takeErrorInfo();
                    break;
                }
                const int c = at(a).children[static_cast<size_t>(i)];
                detach(c);
                pick(3) ? keep(out, c) : void(out->Release());
                break;
            }
            case 6: {  // AddChildTree
                ASSERT_EQ(h->AddChildTree(other.h.get()), S_OK);
                detach(b);
                if (rootOf(a) != b) {
                    at(b).parent = a;
                    at(a).children.push_back(b);
                }
                break;
            }
            case 7:
            case 11: {  // SwapNode or SwapTree
                if (pick(2)) {
                    ASSERT_EQ(h->SwapNode(other.h.get()), S_OK);
                    std::swap(at(a).tag, at(b).tag);
                    break;
                }
                const HRESULT hr = h->SwapTree(other.h.get());
                if (a != b && (within(a, b) || within(b, a))) {
                    EXPECT_EQ(hr, E_FAIL) << lastOp_;
                    takeErrorInfo();
                    break;
                }
                ASSERT_EQ(hr, S_OK) << lastOp_;
                if (a == b) break;
                std::swap(at(a).tag, at(b).tag);
                std::swap(at(a).children, at(b).children);
                for (int c : at(a).children) at(c).parent = a;
                for (int c : at(b).children) at(c).parent = b;
                break;
            }
            default: {  // Clear, giving the new root a tag of its own
                ASSERT_EQ(h->Clear(), S_OK);
                const int id = addNode(-1, nodeOf(h));
                h->put_Tag(bstr(at(id).tag).get());
                self.node = id;
                break;
            }
        }
    }

    void check() {
        std::map<int, int> handlesOnNode;
        std::map<int, int> handlesOnTree;
        for (const ModelHandle& mh : handles_) {
            ++handlesOnNode[mh.node];
            const int root = rootOf(mh.node);
            ++handlesOnTree[root];
            if (nodeOf(mh.h.get()) != at(mh.node).real) {
                ADD_FAILURE() << lastOp_ << ": a handle left its node";
                ++failures_;
                return;
            }
        }

        // Every live tree, node for node; trees no handle designates are gone.
        liveNodes_ = 0;
        for (auto [root, count] : handlesOnTree) {
            const TreeNode* realRoot = at(root).real;
            EXPECT_EQ(realRoot->parent(), nullptr) << lastOp_;
            EXPECT_EQ(realRoot->root(), realRoot) << lastOp_;
            EXPECT_EQ(realRoot->treeHandleCount(), count) << lastOp_;
            for (int id : levelOrder(root)) {
                const ModelNode& m = at(id);
                const TreeNode* n = m.real;
                ++liveNodes_;
                EXPECT_EQ(n->tagView(), m.tag) << lastOp_;
                EXPECT_EQ(n->tree(), realRoot->tree()) << lastOp_;
                EXPECT_EQ(n->handleCount(), handlesOnNode[id]) << lastOp_;
                EXPECT_EQ(n->childCount(), static_cast<int32_t>(m.children.size())) << lastOp_;
                const TreeNode* c = n->firstChild();
                for (int k : m.children) {
                    if (c != at(k).real || c->parent() != n) {
                        ADD_FAILURE() << lastOp_ << ": children of " << m.tag << " differ";
                        ++failures_;
                        return;
                    }
                    c = c->nextSibling();
                }
                EXPECT_EQ(c, nullptr) << lastOp_;
            }
        }
        EXPECT_EQ(TreeInfo::liveCount(), liveTrees_ + static_cast<int64_t>(handlesOnTree.size())) << lastOp_;
        EXPECT_EQ(CQuorvelXml::liveCount(), liveHandles_ + static_cast<int64_t>(handles_.size())) << lastOp_;
    }
};

TEST(HandleModel, RandomSequencesKeepHandlesTreesAndLifetimesRight) {
    for (uint32_t seed : {1u, 2u, 3u, 20261205u}) {
        SCOPED_TRACE(seed);
        HandleModel(seed).run(4000);
    }
}

// What a handle makes on first use (its log's storage, its connection points) behaves as if it had
// been there from the start: a result handle that never logged reads and clears an empty log, a
// logged failure stays with the handle as it moves, and a sink connected before a load hears it.
TEST(HandleParts, MadeOnFirstUseTheyBehaveAsIfAlwaysThere) {
    ComPtr<IQuorvelXml> doc = parsed("<r><a/><b/></r>");
    ComPtr<IQuorvelXml> a = child(doc.get(), 0);
    for (auto getter : {&IQuorvelXml::get_ErrorLogText, &IQuorvelXml::get_ErrorLogHtml, &IQuorvelXml::get_ErrorLogXml})
        EXPECT_EQ(getString(a.get(), getter), "");
    EXPECT_EQ(a->ErrorLogClear(), S_OK);

    IQuorvelXml* none = nullptr;
    EXPECT_EQ(a->GetChild(5, &none), E_FAIL);
    takeErrorInfo();
    const std::string logged = errorLogXml(a.get());
    EXPECT_NE(logged.find("No child at this index"), std::string::npos) << logged;
    LONG found = 0;
    ASSERT_EQ(static_cast<IQuorvelXml2*>(a.get())->NextSibling2(&found), S_OK);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(tagOf(a.get()), "b");
    EXPECT_EQ(errorLogXml(a.get()), logged);
    EXPECT_EQ(a->ErrorLogClear(), S_OK);
    EXPECT_EQ(errorLogXml(a.get()), "");

    // The points are made once: found again or enumerated, they are the same objects.
    ComPtr<IQuorvelXml> h = newHandle();
    PercentSink sink;
    DWORD cookie = 0;
    ComPtr<IConnectionPoint> events = connectEvents(h.get(), &sink, &cookie);
    ASSERT_TRUE(events);
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(h->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> again;
    ASSERT_EQ(container->FindConnectionPoint(DIID_IQuorvelXmlEvents, again.put()), S_OK);
    EXPECT_EQ(again.get(), events.get());
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
    ComPtr<IConnectionPoint> first;
    ULONG fetched = 0;
    ASSERT_EQ(points->Next(1, first.put(), &fetched), S_OK);
    EXPECT_EQ(first.get(), events.get());
    LONG flag = 0;
    ASSERT_EQ(h->LoadXml(bstr("<r><a/></r>").get(), &flag), S_OK);
    EXPECT_EQ(flag, 1);
    ASSERT_FALSE(sink.percents.empty());
    EXPECT_EQ(sink.percents.back(), 100);
    EXPECT_EQ(events->Unadvise(cookie), S_OK);
}

}  // namespace
}  // namespace quorvel
