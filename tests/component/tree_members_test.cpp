// The tree members through the IQuorvelXml table: navigation, lookup, attributes, search,
// editing and sorting, with the error summaries and logs of the calls that fail.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "recording_handle.h"
#include "tree_member_support.h"

namespace quorvel {
namespace {

using namespace test;

IQuorvelXml* const kUntouched = reinterpret_cast<IQuorvelXml*>(uintptr_t{0x5a5a5a50});

// A handle on the first node of the tree with that tag.
ComPtr<IQuorvelXml> find(IQuorvelXml* doc, const char* tag) {
    ComPtr<IQuorvelXml> found;
    EXPECT_EQ(doc->SearchForTag(nullptr, bstr(tag).get(), found.put()), S_OK);
    return found;
}

ComPtr<IQuorvelXml> child(IQuorvelXml* parent, LONG i) {
    ComPtr<IQuorvelXml> c;
    EXPECT_EQ(parent->GetChild(i, c.put()), S_OK);
    return c;
}

// The tags met stepping from `at` with a sibling member until it gives null.
std::string walk(ComPtr<IQuorvelXml> at, HRESULT (IQuorvelXml::*step)(IQuorvelXml**)) {
    std::string tags;
    while (at) {
        tags += tagOf(at.get());
        IQuorvelXml* next = kUntouched;
        EXPECT_EQ((at.get()->*step)(&next), S_OK);
        at = adoptResult(next);
    }
    return tags;
}

// Where each navigation member lands is checked against a model in handle_model_test.
TEST(TreeMembers, NavigationFailuresAndNewHandles) {
    ComPtr<IQuorvelXml> doc = document("a(c) b(d)");
    // GetRoot on the root is a new handle all the same.
    ComPtr<IQuorvelXml> root;
    ASSERT_EQ(doc->GetRoot(root.put()), S_OK);
    EXPECT_NE(root.get(), doc.get());
    EXPECT_EQ(nodeOf(root.get()), nodeOf(doc.get()));
    expectNullRefused(doc.get(), doc->FirstChild(nullptr), "FirstChild");
    expectFailure(doc.get(), doc->GetRoot(nullptr), "(GetRoot)\nParameter is NULL",
                  "<QuorvelLog>\n<GetRoot>\n    <error>Parameter is NULL</error>\n</GetRoot>\n</QuorvelLog>\n");

    // GetChild: every index outside the range fails and logs the index as given.
    for (LONG bad : {-1, 2, INT32_MIN}) {
        IQuorvelXml* out = kUntouched;
        const std::string index = std::to_string(bad);
        expectFailure(doc.get(), doc->GetChild(bad, &out), "(GetChild)\nNo child at this index\nindex: " + index,
                      logXml("GetChild", {{"error", "No child at this index"}, {"index", index}}));
        EXPECT_EQ(out, kUntouched);
        EXPECT_EQ(errorLogText(doc.get()), "No child at this index\r\nindex: " + index + "\r\n");
    }
    // A successful call leaves the failed call's record in place.
    EXPECT_EQ(tagOf(child(doc.get(), 1).get()), "b");
    EXPECT_NE(errorLogXml(doc.get()).find("<index>-2147483648</index>"), std::string::npos);
}

TEST(TreeMembers, MovingTheHandleItself) {
    ComPtr<IQuorvelXml> doc = document("a(c) b(d)");
    ComPtr<IQuorvelXml> h = child(doc.get(), 0);
    IQuorvelXml* x = h.get();
    const struct {
        std::function<HRESULT(LONG*)> move;
        LONG found;
        const char* tagAfter;
    } steps[] = {
        {[x](LONG* f) { return x->NextSibling2(f); }, 1, "b"},
        {[x](LONG* f) { return x->NextSibling2(f); }, 0, "b"},  // past the last child: stays
        {[x](LONG* f) { return x->PreviousSibling2(f); }, 1, "a"},
        {[x](LONG* f) { return x->PreviousSibling2(f); }, 0, "a"},
        {[x](LONG* f) { return x->LastChild2(f); }, 1, "c"},
        {[x](LONG* f) { return x->GetChild2(-1, f); }, 0, "c"},
        {[x](LONG*) { return x->GetRoot2(); }, -7, "root"},
        {[x](LONG* f) { return x->FindChild2(bstr(" b\t").get(), f); }, 1, "b"},
        {[x](LONG* f) { return x->FindChild2(bstr("zz").get(), f); }, 0, "b"},
        {[x](LONG*) { return x->FirstChild2(nullptr); }, -7, "d"},  // no flag place: moves all the same
    };
    for (const auto& s : steps) {
        LONG found = -7;
        EXPECT_EQ(s.move(&found), S_OK);
        EXPECT_EQ(found, s.found) << s.tagAfter;
        EXPECT_EQ(tagOf(x), s.tagAfter);
    }
    // The tree's handle count follows the handle, never doubling.
    EXPECT_EQ(nodeOf(x)->treeHandleCount(), 2);
    EXPECT_EQ(errorLogXml(x), "");
    expectNullRefused(x, x->FindChild2(nullptr, nullptr), "FindChild2");
}

TEST(TreeMembers, LookupByTag) {
    ComPtr<IQuorvelXml> doc = document("a=1 b=2 a=3 Item item=4");
    for (auto [tag, n] : {std::pair{"a", 2}, {" a ", 2}, {"Item", 1}, {"item", 1}, {"ITEM", 0}, {"", 0}}) {
        LONG got = -1;
        EXPECT_EQ(doc->NumChildrenHavingTag(bstr(tag).get(), &got), S_OK);
        EXPECT_EQ(got, n) << tag;
    }
    const struct {
        const char* tag;
        LONG n;
        const char* content;  // null: the call fails
    } nth[] = {{"a", 0, "1"}, {"a", 1, "3"}, {" a", 2, nullptr}, {"a", -1, nullptr}, {"b", 0, "2"}, {"zz", 0, nullptr}};
    for (const auto& c : nth) {
        IQuorvelXml* out = kUntouched;
        const HRESULT hr = doc->GetNthChildWithTag(bstr(c.tag).get(), c.n, &out);
        if (c.content) {
            EXPECT_EQ(contentOf(adoptResult(out).get()), c.content);
            continue;
        }
        const std::string tag = c.tag[0] == ' ' ? c.tag + 1 : c.tag, n = std::to_string(c.n);
        expectFailure(doc.get(), hr, "(GetNthChildByTag)\nNot enough children have that tag.\ntag: " + tag + "\nn_value: " + n,
                      logXml("GetNthChildByTag", {{"error", "Not enough children have that tag."}, {"tag", tag}, {"n_value", n}}));
        EXPECT_EQ(out, kUntouched);
    }
    expectNullRefused(doc.get(), doc->GetNthChildWithTag(nullptr, 0, nullptr), "GetNthChildByTag");
    expectNullRefused(doc.get(), doc->NumChildrenHavingTag(bstr("a").get(), nullptr), "NumChildrenHavingTag");

    // FindChild finds with a padded tag and leaves the result alone on a miss; GetChildWithTag stores null.
    ComPtr<IQuorvelXml> found;
    ASSERT_EQ(doc->FindChild(bstr("  item\r\n").get(), found.put()), S_OK);
    EXPECT_EQ(contentOf(found.get()), "4");
    EXPECT_EQ(errorLogXml(doc.get()), "");
    IQuorvelXml* out = kUntouched;
    EXPECT_EQ(doc->FindChild(bstr("none").get(), &out), S_OK);
    EXPECT_EQ(out, kUntouched);
    expectNullRefused(doc.get(), doc->FindChild(nullptr, &out), "FindChild");
    EXPECT_EQ(doc->GetChildWithTag(bstr("none").get(), &out), S_OK);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(doc->GetChildWithTag(bstr("b ").get(), found.put()), S_OK);
    EXPECT_EQ(contentOf(found.get()), "2");
    expectNullRefused(doc.get(), doc->GetChildWithTag(bstr("b").get(), nullptr), "GetChildWithTag");

    // GetChildContent: that child's own text only; empty on a miss; a missing place returns at once.
    ComPtr<IQuorvelXml> deep = document("rec(name=Smith(inner=x)) empty"), rec = child(deep.get(), 0);
    for (auto [from, tag, content] : {std::tuple{deep.get(), "rec", ""}, {deep.get(), "none", ""},
                                      {deep.get(), " rec ", ""}, {rec.get(), "name", "Smith"}}) {
        BSTR s = nullptr;
        EXPECT_EQ(from->GetChildContent(bstr(tag).get(), &s), S_OK);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(take(s), content);
    }
    EXPECT_EQ(deep->GetChildContent(bstr("rec").get(), nullptr), S_OK);

    // FindOrAddNewChild: finds the first match, or appends one empty child once.
    for (int round = 0; round < 2; ++round) {
        ComPtr<IQuorvelXml> made;
        ASSERT_EQ(doc->FindOrAddNewChild(bstr(" fresh ").get(), made.put()), S_OK);
        EXPECT_EQ(tagOf(made.get()), "fresh");
        EXPECT_EQ(treeIdOf(made.get()), treeIdOf(doc.get()));
    }
    EXPECT_EQ(errorLogXml(doc.get()), "");
    EXPECT_EQ(shape(doc.get()), "root(a=1 b=2 a=3 Item item=4 fresh)");
    ASSERT_EQ(doc->FindOrAddNewChild(bstr("a").get(), found.put()), S_OK);
    EXPECT_EQ(contentOf(found.get()), "1");
    expectNullRefused(doc.get(), doc->FindOrAddNewChild(bstr("a").get(), nullptr), "FindOrAddNewChild");
}

TEST(TreeMembers, Attributes) {
    ComPtr<IQuorvelXml> h = newHandle();
    auto attrs = [&] {
        std::string s;
        for (LONG i = 0; i < getLong(h.get(), &IQuorvelXml::get_NumAttributes); ++i) {
            BSTR name = nullptr, value = nullptr;
            EXPECT_EQ(h->GetAttributeName(i, &name), S_OK);
            EXPECT_EQ(h->GetAttributeValue(i, &value), S_OK);
            s += take(name) + "=" + take(value) + ";";
        }
        return s;
    };
    auto add = [&](const char* n, const char* v) { return h->AddAttribute(bstr(n).get(), bstr(v).get()); };
    auto update = [&](const char* n, const char* v) {
        return h->UpdateAttribute(n ? bstr(n).get() : nullptr, v ? bstr(v).get() : nullptr);
    };
    auto remove = [&](const char* n) { return h->RemoveAttribute(bstr(n).get()); };
    const std::pair<std::function<HRESULT()>, const char*> edits[] = {
        {[&] { return add("k", "1"); }, "k=1;"},
        {[&] { return add("k", "2"); }, "k=1;k=2;"},
        {[&] { return add(" j ", " v "); }, "k=1;k=2; j = v ;"},
        {[&] { return add("", "x"); }, "k=1;k=2; j = v ;"},
        {[&] { return update("k", "3"); }, " j = v ;k=3;"},
        {[&] { return update("m", nullptr); }, " j = v ;k=3;m=;"},
        {[&] { return update(nullptr, "z"); }, " j = v ;k=3;m=;"},
        {[&] { return remove("  k\t"); }, " j = v ;m=;"},
        {[&] { return remove("j"); }, " j = v ;m=;"},  // stored untrimmed
        {[&] { return remove("absent"); }, " j = v ;m=;"},
        {[&] { return add("k", "abc"); }, " j = v ;m=;k=abc;"},
    };
    for (const auto& [edit, after] : edits) {
        EXPECT_EQ(edit(), S_OK);
        EXPECT_EQ(attrs(), after);
    }
    EXPECT_EQ(errorLogXml(h.get()), "");

    for (auto [name, value, expected] : {std::tuple{"k", "abc", 1}, {" k ", "abc", 1}, {"k", "ab", 0}, {"k", "abcd", 0},
                                         {"k", " abc", 0}, {"m", "", 1}, {"m", nullptr, 1}, {"K", "abc", 0}}) {
        LONG r = -1;
        EXPECT_EQ(h->HasAttrWithValue(bstr(name).get(), value ? bstr(value).get() : nullptr, &r), S_OK);
        EXPECT_EQ(r, expected) << name << "=" << (value ? value : "null");
    }
    for (auto [name, value] : {std::pair{"k", "abc"}, {" k", "abc"}, {"absent", ""}, {"m", ""}}) {
        BSTR s = nullptr;
        EXPECT_EQ(h->GetAttrValue(bstr(name).get(), &s), S_OK);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(take(s), value);
    }
    // Past the end: the value reads empty, the name fails.
    for (LONG bad : {3, -1}) {
        BSTR s = nullptr;
        EXPECT_EQ(h->GetAttributeValue(bad, &s), S_OK);
        EXPECT_EQ(take(s), "");
        BSTR name = reinterpret_cast<BSTR>(uintptr_t{0x5a5a5a50});
        const std::string index = std::to_string(bad);
        expectFailure(h.get(), h->GetAttributeName(bad, &name), "(GetAttributeName)\nNo attribute at this index\nindex: " + index,
                      logXml("GetAttributeName", {{"error", "No attribute at this index"}, {"index", index}}));
        EXPECT_EQ(name, reinterpret_cast<BSTR>(uintptr_t{0x5a5a5a50}));
    }
    // Null arguments, and the attribute list unchanged by every failed call.
    LONG r = 9;
    expectNullRefused(h.get(), h->HasAttrWithValue(nullptr, nullptr, &r), "HasAttrWithValue");
    EXPECT_EQ(r, 9);
    expectNullRefused(h.get(), h->AddAttribute(bstr("n").get(), nullptr), "AddAttribute");
    expectNullRefused(h.get(), h->AddAttribute(nullptr, bstr("v").get()), "AddAttribute");
    expectNullRefused(h.get(), h->RemoveAttribute(nullptr), "RemoveAttribute");
    expectNullRefused(h.get(), h->GetAttrValue(bstr("k").get(), nullptr), "GetAttrValue");
    expectNullRefused(h.get(), h->GetAttributeValue(0, nullptr), "GetAttributeValue");
    EXPECT_EQ(attrs(), " j = v ;m=;k=abc;");
    EXPECT_EQ(h->RemoveAllAttributes(), S_OK);
    EXPECT_EQ(attrs(), "");
}

// Every match of a search, walking with each result as the next after.
template <class Search>
std::vector<TreeNode*> allMatches(Search search) {
    std::vector<TreeNode*> out;
    ComPtr<IQuorvelXml> after;
    while (out.size() <= 1000) {
        ComPtr<IQuorvelXml> next;
        EXPECT_EQ(search(after.get(), next.put()), S_OK);
        if (!next) break;
        out.push_back(nodeOf(next.get()));
        after = std::move(next);
    }
    return out;
}

// The level order with an after is checked against a model in handle_model_test.
TEST(TreeMembers, SearchForTag) {
    ComPtr<IQuorvelXml> doc = document("a(c) b(d)"), a = find(doc.get(), "a");
    const struct {
        const char* tag;
        const char* after;  // tag of the after node, null for none
        const char* expected;
    } finds[] = {{" c ", nullptr, "c"}, {"a", "b", "(null)"}, {"root", "root", "(null)"}, {"b", "a", "b"}};
    for (const auto& f : finds) {
        ComPtr<IQuorvelXml> after = f.after ? find(doc.get(), f.after) : ComPtr<IQuorvelXml>(), got;
        EXPECT_EQ(doc->SearchForTag(after.get(), bstr(f.tag).get(), got.put()), S_OK);
        EXPECT_EQ(tagOf(got.get()), f.expected) << f.tag << " after " << (f.after ? f.after : "none");
        EXPECT_EQ(errorLogXml(doc.get()), "");
    }

    // An after outside the subtree or in another tree finds nothing; a stranger counts as none.
    RecordingHandle stranger;
    ComPtr<IQuorvelXml> elsewhere = document("x"), got;
    EXPECT_EQ(a->SearchForTag(doc.get(), bstr("c").get(), got.put()), S_OK);
    EXPECT_FALSE(got);
    EXPECT_EQ(doc->SearchForTag(elsewhere.get(), bstr("c").get(), got.put()), S_OK);
    EXPECT_FALSE(got);
    EXPECT_EQ(doc->SearchForTag(&stranger, bstr("root").get(), got.put()), S_OK);
    EXPECT_EQ(nodeOf(got.get()), nodeOf(doc.get()));
    EXPECT_EQ(stranger.lastCall, "");
    IQuorvelXml* out = kUntouched;
    EXPECT_EQ(doc->SearchForTag(nullptr, bstr("none").get(), &out), S_OK);
    EXPECT_EQ(out, nullptr);
    expectNullRefused(doc.get(), doc->SearchForTag(nullptr, bstr("c").get(), nullptr), "SearchForTag");
}

TEST(TreeMembers, ContentAndAttributeSearches) {
    ComPtr<IQuorvelXml> doc = document("i i=abc i=Abc j=abc(i=xyz) i=a*c"), j = find(doc.get(), "j");
    for (auto [name, value] : {std::pair{"k", "abc"}, {"k", "xyz"}, {"other", "q"}}) {
        ASSERT_EQ(j->AddAttribute(bstr(name).get(), bstr(value).get()), S_OK);
    }
    const struct {
        const char* tag;  // null: SearchAllForContent
        const char* pattern;
        const char* expected;
    } cases[] = {
        {"i", "*", "i=;i=abc;i=Abc;i=a*c;i=xyz;"},  // * matches a node without content
        {"i", "A*", "i=Abc;"},
        {" i ", "*c", "i=abc;i=Abc;i=a*c;"},
        {"i", "", "i=;"},
        {"i", "abc ", ""},  // the pattern is not trimmed
        {nullptr, "abc", "i=abc;j=abc;"},
        {nullptr, "*y*", "i=xyz;"},
        {nullptr, "", "root=;i=;"},
    };
    for (const auto& c : cases) {
        std::string found;
        for (TreeNode* n : allMatches([&](IQuorvelXml* after, IQuorvelXml** out) {
                 return c.tag ? doc->SearchForContent(after, bstr(c.tag).get(), bstr(c.pattern).get(), out)
                              : doc->SearchAllForContent(after, bstr(c.pattern).get(), out);
             })) {
            found += std::string(n->tagView()) + "=" + std::string(n->contentView()) + ";";
        }
        EXPECT_EQ(found, c.expected) << (c.tag ? c.tag : "(all)") << " " << c.pattern;
    }
    for (auto [tag, name, pattern, finds] : {std::tuple{"j", "k", "x*", true}, {"j", " k ", "abc", true},
                                             {"j", "k", "q", false}, {"j", "", "*", false}, {"i", "k", "*", false},
                                             {"j", "other", "*", true}, {"j", "k", "*Z", false}}) {
        ComPtr<IQuorvelXml> got;
        EXPECT_EQ(doc->SearchForAttribute(nullptr, bstr(tag).get(), bstr(name).get(), bstr(pattern).get(), got.put()), S_OK);
        EXPECT_EQ(got ? nodeOf(got.get()) : nullptr, finds ? nodeOf(j.get()) : nullptr) << tag << " " << name << " " << pattern;
    }
    expectNullRefused(doc.get(), doc->SearchForAttribute(nullptr, nullptr, nullptr, nullptr, nullptr), "SearchForAttribute");
    expectNullRefused(doc.get(), doc->SearchAllForContent(nullptr, nullptr, nullptr), "SearchAllForContent");
}

TEST(TreeMembers, FindNextRecordWalksSiblings) {
    ComPtr<IQuorvelXml> doc = document("r(key=x n=1) r(key=y n=2) r(n=3 key=x) r(n=4)");
    auto record = [](IQuorvelXml* r) { return r ? std::string(nodeOf(r)->findChild("n")->contentView()) : "-"; };
    for (auto [start, tag, pattern, expected] : {std::tuple{0, "key", "x", "1"}, {1, "key", "x", "3"}, {1, " key", "y", "2"},
                                                 {3, "key", "*", "-"}, {0, "key", "z", "-"}, {0, "n", "4", "4"},
                                                 {2, "key", "X", "-"}}) {
        IQuorvelXml* out = kUntouched;
        EXPECT_EQ(child(doc.get(), start)->FindNextRecord(bstr(tag).get(), bstr(pattern).get(), &out), S_OK);
        EXPECT_EQ(record(adoptResult(out).get()), expected) << start << " " << tag << " " << pattern;
    }
    // All records with key x: each search starts on the sibling after the last record found.
    std::string walked;
    ComPtr<IQuorvelXml> first = child(doc.get(), 0), at = first, r;
    while (at && at->FindNextRecord(bstr("key").get(), bstr("x").get(), r.put()) == S_OK && r) {
        walked += record(r.get());
        ASSERT_EQ(r->NextSibling(at.put()), S_OK);
    }
    EXPECT_EQ(walked, "13");
    EXPECT_EQ(first->FindNextRecord(nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(errorLogXml(first.get()), "");
}

TEST(TreeMembers, NewChildrenAndContent) {
    ComPtr<IQuorvelXml> doc = newHandle();
    ComPtr<IQuorvelXml> c = addChild(doc.get(), " \tpadded\r\n", "  text  "), nulls;
    EXPECT_EQ(tagOf(c.get()) + "|" + contentOf(c.get()), "padded|  text  ");
    EXPECT_EQ(treeIdOf(c.get()), treeIdOf(doc.get()));
    EXPECT_EQ(nodeOf(doc.get())->treeHandleCount(), 2);
    ASSERT_EQ(doc->NewChild(nullptr, nullptr, nulls.put()), S_OK);
    EXPECT_FALSE(nodeOf(nulls.get())->hasContent());

    // NewChild2 leaves the handle where it was and keeps what the log held.
    expectFailure(doc.get(), doc->GetChild(9, nulls.put()), "(GetChild)\nNo child at this index\nindex: 9");
    ASSERT_EQ(doc->NewChild2(bstr(" n2 ").get(), bstr("v").get()), S_OK);
    ASSERT_EQ(doc->NewChild2(bstr("  ").get(), bstr("").get()), S_OK);
    EXPECT_EQ(shape(doc.get()), "unnamed(padded=  text    n2=v )");
    EXPECT_FALSE(nodeOf(doc.get())->lastChild()->hasTag());
    expectFailure(doc.get(), doc->NewChild2(bstr("t").get(), nullptr), "(NewChild2)\nNull Parameter",
                  "<QuorvelLog>\n" + logContext("GetChild", {{"error", "No child at this index"}, {"index", "9"}}) +
                      logContext("NewChild2", {{"error", "Null Parameter"}}) + "</QuorvelLog>\n");
    expectNullRefused(doc.get(), doc->NewChild(bstr("t").get(), bstr("v").get(), nullptr), "NewChild");
    EXPECT_EQ(getLong(doc.get(), &IQuorvelXml::get_NumChildren), 4);

    // AppendToContent adds bytes, keeps the CDATA flag, and ignores empty strings.
    ASSERT_EQ(c->put_Cdata(1), S_OK);
    for (const char* piece : {"a", "", "\xc3\xa9"}) ASSERT_EQ(c->AppendToContent(bstr(piece).get()), S_OK);
    ASSERT_EQ(c->AppendToContent(nullptr), S_OK);
    EXPECT_EQ(contentOf(c.get()), "  text  a\xc3\xa9");
    EXPECT_EQ(getLong(c.get(), &IQuorvelXml::get_Cdata), 1);
}

// Merging, moving and swapping whole subtrees, with the trees' ids and handle counts, are
// checked against a model in handle_model_test.
TEST(TreeMembers, GraftingAndSwapping) {
    {
        // Foreign and null arguments change nothing.
        ComPtr<IQuorvelXml> doc = document("a(b)");
        RecordingHandle stranger;
        for (auto [call, context] : {std::pair{&IQuorvelXml::AddChildTree, "AddChildTree"},
                                     {&IQuorvelXml::SwapNode, "SwapNode"}, {&IQuorvelXml::SwapTree, "SwapTree"}}) {
            expectFailure(doc.get(), (doc.get()->*call)(&stranger), "(" + std::string(context) + ")\nArgument is not a QuorvelXml node",
                          logXml(context, {{"error", "Argument is not a QuorvelXml node"}}));
        }
        expectNullRefused(doc.get(), doc->AddChildTree(nullptr), "AddChildTree");
        expectNullRefused(doc.get(), doc->SwapTree(nullptr), "SwapTree");
        EXPECT_EQ(shape(doc.get()), "root(a(b))");
    }

    // SwapNode exchanges tag, content and attributes; CDATA flags, children and handles stay.
    ComPtr<IQuorvelXml> one = document("t=text(kid) bare"), t = child(one.get(), 0), bare = child(one.get(), 1);
    ASSERT_EQ(t->AddAttribute(bstr("k").get(), bstr("v").get()), S_OK);
    ASSERT_EQ(t->put_Cdata(1), S_OK);
    ASSERT_EQ(t->SwapNode(bare.get()), S_OK);
    EXPECT_EQ(shape(one.get()), "root(bare(kid) t=text)");
    EXPECT_EQ(getLong(t.get(), &IQuorvelXml::get_Cdata), 1);
    EXPECT_EQ(getLong(bare.get(), &IQuorvelXml::get_NumAttributes), 1);
    EXPECT_EQ(getLong(t.get(), &IQuorvelXml::get_NumAttributes), 0);
    ASSERT_EQ(t->SwapNode(t.get()), S_OK);
    EXPECT_EQ(shape(one.get()), "root(bare(kid) t=text)");

    // A node and its own ancestor or descendant: refused, nothing changes.
    ComPtr<IQuorvelXml> kid = child(t.get(), 0);
    expectFailure(one.get(), one->SwapTree(kid.get()), "(SwapTree)\nCannot swap a node with its own ancestor or descendant",
                  "<QuorvelLog>\n<SwapTree>\n    <error>Cannot swap a node with its own ancestor or descendant</error>\n"
                  "</SwapTree>\n</QuorvelLog>\n");
    expectFailure(kid.get(), kid->SwapTree(t.get()), "(SwapTree)\nCannot swap a node with its own ancestor or descendant");
    EXPECT_EQ(shape(one.get()), "root(bare(kid) t=text)");
}

// What ExtractChildByIndex, RemoveFromTree and Clear leave behind is checked against a model in
// handle_model_test.
TEST(TreeMembers, TakingNodesOut) {
    ComPtr<IQuorvelXml> doc = document("b(c) c");
    for (LONG bad : {-1, 2}) {
        IQuorvelXml* out = kUntouched;
        expectFailure(doc.get(), doc->ExtractChildByIndex(bad, &out),
                      "(ExtractChildByIndex)\nNo child at this index\nindex: " + std::to_string(bad));
        EXPECT_EQ(out, kUntouched);
    }
    expectNullRefused(doc.get(), doc->ExtractChildByIndex(0, nullptr), "ExtractChildByIndex");
    EXPECT_EQ(shape(doc.get()), "root(b(c) c)");

    // By name: without an attribute, a direct child; with one, the level order from this node itself.
    ComPtr<IQuorvelXml> inner = child(child(doc.get(), 0).get(), 0), got;
    ASSERT_EQ(inner->AddAttribute(bstr("id").get(), bstr("7").get()), S_OK);
    ASSERT_EQ(doc->AddAttribute(bstr("id").get(), bstr("r").get()), S_OK);
    ASSERT_EQ(doc->ExtractChildByName(bstr(" c ").get(), bstr("").get(), nullptr, got.put()), S_OK);
    EXPECT_NE(nodeOf(got.get()), nodeOf(inner.get()));
    EXPECT_EQ(shape(doc.get()), "root(b(c))");
    EXPECT_EQ(errorLogXml(doc.get()), "");
    ASSERT_EQ(doc->ExtractChildByName(bstr("c").get(), bstr(" id ").get(), bstr("").get(), got.put()), S_OK);
    EXPECT_EQ(nodeOf(got.get()), nodeOf(inner.get()));
    EXPECT_EQ(shape(doc.get()), "root(b)");
    // This node itself matches; being a root, it stays where it is.
    ASSERT_EQ(doc->ExtractChildByName(bstr("root").get(), bstr("id").get(), bstr("r*").get(), got.put()), S_OK);
    EXPECT_EQ(nodeOf(got.get()), nodeOf(doc.get()));
    EXPECT_EQ(shape(doc.get()), "root(b)");

    IQuorvelXml* out = kUntouched;
    ASSERT_EQ(doc->ExtractChildByName(bstr("b").get(), bstr("id").get(), bstr("?").get(), &out), S_OK);
    EXPECT_EQ(out, kUntouched);
    EXPECT_EQ(errorLogXml(doc.get()), logXml("ExtractChildByName", {{"info", "No child found with this tag"}, {"tag", "b"},
                                                                     {"attribute", "id"}, {"attribute_value_pattern", "?"}}));
    EXPECT_FALSE(takeErrorInfo().present);
    ASSERT_EQ(doc->ExtractChildByName(bstr(" zz").get(), bstr("id ").get(), nullptr, &out), S_OK);
    EXPECT_NE(errorLogXml(doc.get()).find("<tag>zz</tag>\n    <attribute>id</attribute>\n"
                                          "    <attribute_value_pattern>*</attribute_value_pattern>"),
              std::string::npos);
    expectNullRefused(doc.get(), doc->ExtractChildByName(nullptr, nullptr, nullptr, &out), "ExtractChildByName");
}

TEST(TreeMembers, Sorting) {
    using Sort = std::function<HRESULT(IQuorvelXml*)>;
    const std::string records = "r(name=Smith id=1) r(name=Jones id=2) r(id=3 name=Brown)";
    const struct {
        std::string shape;
        Sort sort;
        const char* expected;
    } cases[] = {
        {"b a Z", [](IQuorvelXml* h) { return h->SortByTag(1); }, "root(Z a b)"},
        {"b a Z", [](IQuorvelXml* h) { return h->SortByTag(0); }, "root(b a Z)"},
        {"b a Z", [](IQuorvelXml* h) { return h->SortByTag(-3); }, "root(Z a b)"},
        {"x=10 x=9 x", [](IQuorvelXml* h) { return h->SortByContent(1); }, "root(x x=10 x=9)"},
        {"x=10 x=9 x", [](IQuorvelXml* h) { return h->SortByContent(0); }, "root(x=9 x=10 x)"},
        {"x=\xc3\xa9 x=z x=Z", [](IQuorvelXml* h) { return h->SortByContent(1); }, "root(x=Z x=z x=\xc3\xa9)"},
        {records, [](IQuorvelXml* h) { return h->SortRecordsByContent(bstr(" name ").get(), 1); },
         "root(r(id=3 name=Brown) r(name=Jones id=2) r(name=Smith id=1))"},
        {records, [](IQuorvelXml* h) { return h->SortRecordsByContent(bstr("name").get(), 0); },
         "root(r(name=Smith id=1) r(name=Jones id=2) r(id=3 name=Brown))"},
        {"", [](IQuorvelXml* h) { return h->SortByContent(1); }, "root"},
        {"", [](IQuorvelXml* h) { return h->SortRecordsByAttribute(nullptr, nullptr, 1); }, "root"},
    };
    for (const auto& c : cases) {
        ComPtr<IQuorvelXml> doc = document(c.shape);
        EXPECT_EQ(c.sort(doc.get()), S_OK);
        EXPECT_EQ(shape(doc.get()), c.expected) << c.shape;
        EXPECT_EQ(errorLogXml(doc.get()), "");
    }

    // By attribute, with a padded name; children without it sort first when ascending.
    ComPtr<IQuorvelXml> doc = document("c b none a");
    const char* keys[] = {"3", "2", nullptr, "1"};
    std::vector<ComPtr<IQuorvelXml>> kids;
    for (LONG i = 0; i < 4; ++i) {
        kids.push_back(child(doc.get(), i));
        if (keys[i]) { ASSERT_EQ(kids.back()->AddAttribute(bstr("key").get(), bstr(keys[i]).get()), S_OK); }
    }
    ASSERT_EQ(doc->SortByAttribute(bstr("\tkey ").get(), 1), S_OK);
    EXPECT_EQ(shape(doc.get()), "root(none a b c)");
    ASSERT_EQ(doc->SortByAttribute(bstr("key").get(), 0), S_OK);
    EXPECT_EQ(shape(doc.get()), "root(c b a none)");
    // Handles stay on their nodes; the sibling links follow the new order both ways.
    EXPECT_EQ(tagOf(kids[0].get()), "c");
    EXPECT_EQ(nodeOf(child(doc.get(), 1).get()), nodeOf(kids[1].get()));
    EXPECT_EQ(walk(child(doc.get(), 0), &IQuorvelXml::NextSibling), "cbanone");
    EXPECT_EQ(walk(child(doc.get(), 3), &IQuorvelXml::PreviousSibling), "noneabc");

    // Record attributes: a record without the field has no key and never breaks the sort.
    ComPtr<IQuorvelXml> recs = document("r=0(f) r=1(f) r=2(g) r=3(f)");
    const char* values[] = {"b", nullptr, nullptr, "a"};
    for (LONG i = 0; i < 4; ++i) {
        if (values[i]) { ASSERT_EQ(child(child(recs.get(), i).get(), 0)->AddAttribute(bstr("v").get(), bstr(values[i]).get()), S_OK); }
    }
    ASSERT_EQ(recs->SortRecordsByAttribute(bstr(" f").get(), bstr("v ").get(), 1), S_OK);
    // The keyless record (2) first, then the empty value (1), then a (3) and b (0).
    EXPECT_EQ(shape(recs.get()), "root(r=2(g) r=1(f) r=3(f) r=0(f))");
}

}  // namespace
}  // namespace quorvel
