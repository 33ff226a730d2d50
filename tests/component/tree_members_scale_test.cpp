// A node with a million children: extracting every child from the front, the five sorts and the
// searches all complete (their times are measured by the benchmark, not here). Detaching in every
// order and removing all children at that size run in tests/tree/tree_scale_test.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "tree/tree_info.h"
#include "tree_member_support.h"

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
    for (int i = 0; i < kChildren; ++i) {
        ASSERT_EQ(doc->NewChild2(bstr(i % 2 ? "odd" : "even").get(), bstr("").get()), S_OK);
    }
    ASSERT_EQ(getLong(doc.get(), &IQuorvelXml::get_NumChildren), kChildren);
    for (int i = 0; i < kChildren; ++i) {
        IQuorvelXml* c = nullptr;
        ASSERT_EQ(doc->ExtractChildByIndex(0, &c), S_OK);
        ASSERT_EQ(nodeOf(c)->tagView(), i % 2 ? "odd" : "even");
        c->Release();
    }
    EXPECT_EQ(getLong(doc.get(), &IQuorvelXml::get_NumChildren), 0);
    EXPECT_EQ(TreeInfo::liveCount(), trees + 1);
}

TEST(TreeMembersScale, SortsAndSearches) {
    ComPtr<IQuorvelXml> doc = records();
    ASSERT_EQ(doc->SortByContent(1), S_OK);
    EXPECT_TRUE(inOrder(doc.get(), true, [](const TreeNode* n) { return n->contentView(); }));
    ASSERT_EQ(doc->SortByAttribute(bstr("v").get(), 0), S_OK);
    EXPECT_TRUE(inOrder(doc.get(), false, [](const TreeNode* n) { return n->attributes().value(0); }));
    ASSERT_EQ(doc->SortRecordsByContent(bstr("f").get(), 1), S_OK);
    EXPECT_TRUE(inOrder(doc.get(), true, [](const TreeNode* n) { return n->firstChild()->contentView(); }));
    ASSERT_EQ(doc->SortRecordsByAttribute(bstr("f").get(), bstr("v").get(), 0), S_OK);
    EXPECT_TRUE(inOrder(doc.get(), false, [](const TreeNode* n) { return n->firstChild()->attributes().value(0); }));
    ASSERT_EQ(doc->SortByTag(1), S_OK);  // all equal: any order, but every child is still there
    EXPECT_TRUE(inOrder(doc.get(), true, [](const TreeNode*) { return 0; }));

    // The searches pass every node before finding the last one.
    const std::string last(nodeOf(doc.get())->lastChild()->contentView());
    const TreeNode* lastRecord = nodeOf(doc.get())->lastChild();
    struct Search {
        const char* name;
        std::function<HRESULT(IQuorvelXml**)> call;
        const TreeNode* expected;
    };
    const Search searches[] = {
        {"content", [&](IQuorvelXml** o) { return doc->SearchForContent(nullptr, bstr("r").get(), bstr(last).get(), o); },
         lastRecord},
        {"all", [&](IQuorvelXml** o) { return doc->SearchAllForContent(nullptr, bstr(last).get(), o); }, lastRecord},
        {"attribute",
         [&](IQuorvelXml** o) { return doc->SearchForAttribute(nullptr, bstr("f").get(), bstr("v").get(), bstr(last).get(), o); },
         lastRecord->firstChild()},
        {"tag", [&](IQuorvelXml** o) { return doc->SearchForTag(nullptr, bstr("none").get(), o); }, nullptr},
        {"nth", [&](IQuorvelXml** o) { return doc->GetNthChildWithTag(bstr("r").get(), kChildren - 1, o); },
         lastRecord},
    };
    for (const Search& s : searches) {
        IQuorvelXml* out = nullptr;
        ASSERT_EQ(s.call(&out), S_OK) << s.name;
        ComPtr<IQuorvelXml> got = ComPtr<IQuorvelXml>::adopt(out);
        EXPECT_EQ(got ? nodeOf(got.get()) : nullptr, s.expected) << s.name;
    }
}

}  // namespace
}  // namespace quorvel
