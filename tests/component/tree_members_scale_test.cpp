// Members at a million nodes. A node with a million children: extracting every child from the
// front, the five sorts and the nth child by tag complete (times are the benchmark's; detaching in
// other orders and the searches' walks are in tests/tree). Allocations, counted by replacing the
// global operator new: walking a million elements with FirstChild2, NextSibling2 and GetParent2
// allocates nothing, and a search allocates only its queue and the handle on what it found.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "component_test_support.h"
#include "tree/tree_info.h"

namespace {
thread_local bool countingAllocations = false;
thread_local int64_t allocationCount = 0;

void* countedAllocation(std::size_t n) noexcept {
    if (countingAllocations) ++allocationCount;
    return std::malloc(n ? n : 1);
}
}  // namespace

#define QV_REPLACEMENT __attribute__((visibility("default")))
QV_REPLACEMENT void* operator new(std::size_t n) {
    if (void* p = countedAllocation(n)) return p;
    throw std::bad_alloc();
}
QV_REPLACEMENT void* operator new[](std::size_t n) {
    if (void* p = countedAllocation(n)) return p;
    throw std::bad_alloc();
}
QV_REPLACEMENT void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return countedAllocation(n); }
QV_REPLACEMENT void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return countedAllocation(n); }
QV_REPLACEMENT void operator delete(void* p) noexcept { std::free(p); }
QV_REPLACEMENT void operator delete[](void* p) noexcept { std::free(p); }
QV_REPLACEMENT void operator delete(void* p, std::size_t) noexcept { std::free(p); }
QV_REPLACEMENT void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
QV_REPLACEMENT void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
QV_REPLACEMENT void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace quorvel {
namespace {

using namespace test;

constexpr int kChildren = 1000000;

std::string key(int i) {
    char s[16];
    std::snprintf(s, sizeof s, "%07d", static_cast<int>((int64_t{i} * 7919) % 1000003));
    return s;
}

// A document whose root has kChildren records "r", each with content key(i), attribute v=key(i)
// and one field "f" holding key(i) with the same attribute.
ComPtr<IQuorvelXml> records() {
    ComPtr<IQuorvelXml> doc = newHandle();
    TreeNode* root = nodeOf(doc.get());
    for (int i = 0; i < kChildren; ++i) {
        const std::string k = key(i);
        TreeNode* r = TreeNode::newChild(root, "r");
        r->setContent(k.c_str());
        r->addAttribute("v", k);
        TreeNode* f = TreeNode::newChild(r, "f");
        f->setContent(k.c_str());
        f->addAttribute("v", k);
    }
    return doc;
}

// Whether the children's keys (read by keyOf) are in order.
template <class KeyOf>
bool inOrder(IQuorvelXml* doc, bool ascending, KeyOf keyOf) {
    const TreeNode* previous = nullptr;
    int n = 0;
    for (const TreeNode* c = nodeOf(doc)->firstChild(); c; c = c->nextSibling(), ++n) {
        if (c->previousSibling() != previous) return false;
        if (previous && (ascending ? keyOf(previous) > keyOf(c) : keyOf(previous) < keyOf(c))) return false;
        previous = c;
    }
    return n == kChildren && nodeOf(doc)->lastChild() == previous;
}

TEST(TreeMembersScale, ExtractingEveryChildFromTheFront) {
    const int64_t trees = TreeInfo::liveCount();
    ComPtr<IQuorvelXml> doc = newHandle();
    for (int i = 0; i < kChildren; ++i) ASSERT_EQ(doc->NewChild2(bstr(i % 2 ? "odd" : "even").get(), bstr("").get()), S_OK);
    for (int i = 0; i < kChildren; ++i) {
        IQuorvelXml* c = nullptr;
        ASSERT_EQ(doc->ExtractChildByIndex(0, &c), S_OK);
        ASSERT_EQ(nodeOf(c)->tagView(), i % 2 ? "odd" : "even");
        c->Release();
    }
    EXPECT_EQ(getLong(doc.get(), &IQuorvelXml::get_NumChildren), 0);
    EXPECT_EQ(TreeInfo::liveCount(), trees + 1);
}

TEST(TreeMembersScale, SortsAndNthChildByTag) {
    ComPtr<IQuorvelXml> doc = records();
    ASSERT_EQ(doc->SortByContent(1), S_OK);
    EXPECT_TRUE(inOrder(doc.get(), true, [](const TreeNode* n) { return n->contentView(); }));
    ASSERT_EQ(doc->SortByAttribute(bstr("v").get(), 0), S_OK);
    EXPECT_TRUE(inOrder(doc.get(), false, [](const TreeNode* n) { return n->attributes().value(0); }));
    ASSERT_EQ(doc->SortRecordsByContent(bstr("f").get(), 1), S_OK);
    EXPECT_TRUE(inOrder(doc.get(), true, [](const TreeNode* n) { return n->firstChild()->contentView(); }));
    ASSERT_EQ(doc->SortRecordsByAttribute(bstr("f").get(), bstr("v").get(), 0), S_OK);
    EXPECT_TRUE(inOrder(doc.get(), false, [](const TreeNode* n) { return n->firstChild()->attributes().value(0); }));
    // Tags alternating "r" and "q": the sort must bring every "q" before every "r".
    int i = 0;
    for (TreeNode* c = nodeOf(doc.get())->firstChild(); c; c = c->nextSibling()) c->setTag(i++ % 2 ? "q" : "r");
    ASSERT_EQ(doc->SortByTag(1), S_OK);
    EXPECT_TRUE(inOrder(doc.get(), true, [](const TreeNode* n) { return n->tagView(); }));
    EXPECT_EQ(nodeOf(doc.get())->firstChild()->tagView(), "q");

    ComPtr<IQuorvelXml> last;
    ASSERT_EQ(doc->GetNthChildWithTag(bstr("r").get(), kChildren / 2 - 1, last.put()), S_OK);
    EXPECT_EQ(nodeOf(last.get()), nodeOf(doc.get())->lastChild());
}

// Operator new calls made by body on this thread.
template <class Body>
int64_t allocationsOf(Body&& body) {
    allocationCount = 0;
    countingAllocations = true;
    body();
    countingAllocations = false;
    return allocationCount;
}

TEST(MemberAllocations, WalkingAMillionElementsInPlaceAllocatesNothing) {
    // 1 root, 999 sections, 999,000 leaves; the last leaf has a tag of its own.
    constexpr int kSections = 999;
    constexpr int kLeaves = 1000;
    ComPtr<IQuorvelXml> doc = newHandle();
    TreeNode* root = nodeOf(doc.get());
    for (int s = 0; s < kSections; ++s) {
        TreeNode* section = TreeNode::newChild(root, "section");
        for (int l = 0; l < kLeaves; ++l) TreeNode::newChild(section, "leaf");
    }
    root->lastChild()->lastChild()->setTag("last");

    ComPtr<IQuorvelXml> walker;
    ASSERT_EQ(doc->GetRoot(walker.put()), S_OK);
    IQuorvelXml* w = walker.get();
    int64_t visited = 1;
    int64_t depthSum = 0;
    const int64_t allocations = allocationsOf([&] {
        LONG found = 0;
        int depth = 0;
        for (;;) {
            w->FirstChild2(&found);
            if (found) {
                ++visited;
                depthSum += ++depth;
                continue;
            }
            for (;;) {
                w->NextSibling2(&found);
                if (found) {
                    ++visited;
                    depthSum += depth;
                    break;
                }
                w->GetParent2(&found);
                if (!found) return;
                --depth;
            }
        }
    });
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(visited, 1 + kSections + int64_t{kSections} * kLeaves);
    EXPECT_EQ(depthSum, kSections + 2 * int64_t{kSections} * kLeaves);
    EXPECT_EQ(nodeOf(w), root);
    EXPECT_EQ(root->treeHandleCount(), 2);

    // A search allocates its queue and the handle on what it found, whatever the number of nodes
    // it passes: the queue holds only nodes with children (1,000 here) and grows geometrically.
    const BstrHolder rootTag = bstr("unnamed"), lastTag = bstr("last");
    ComPtr<IQuorvelXml> found;
    const int64_t atOnce = allocationsOf([&] { doc->SearchForTag(nullptr, rootTag.get(), found.put()); });
    const int64_t atTheEnd = allocationsOf([&] { doc->SearchForTag(nullptr, lastTag.get(), found.put()); });
    EXPECT_EQ(nodeOf(found.get()), root->lastChild()->lastChild());
    EXPECT_GT(atOnce, 0);  // the counting sees a new handle at all
    EXPECT_LE(atTheEnd - atOnce, 24) << atOnce << " " << atTheEnd;
}

}  // namespace
}  // namespace quorvel
