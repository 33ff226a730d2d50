// Allocations made by the members, counted by replacing the global operator new of this test
// program: walking a million elements with FirstChild2, NextSibling2 and GetParent2 allocates
// nothing, and a search allocates only its queue and the handle on what it found.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "tree_member_support.h"

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
