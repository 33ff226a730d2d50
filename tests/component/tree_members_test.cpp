// The tree members through the IQuorvelXml table: navigation, lookup, attributes, search,
// editing and sorting, with the error summaries and logs of the calls that fail.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "recording_handle.h"
#include "tree/tree_info.h"
#include "tree_member_support.h"

namespace quorvel {
namespace {

using namespace test;

// A failed call: E_FAIL, the summary as error information and the log holding just that call.
void expectFailure(IQuorvelXml* h, HRESULT hr, const std::string& summary, const std::string& logXml = "") {
    EXPECT_EQ(hr, E_FAIL) << summary;
    ErrorRecord e = takeErrorInfo();
    EXPECT_TRUE(e.present);
    EXPECT_EQ(e.description, summary);
    if (!logXml.empty()) { EXPECT_EQ(errorLogXml(h), logXml); }
}

IQuorvelXml* const kUntouched = reinterpret_cast<IQuorvelXml*>(uintptr_t{0x5a5a5a50});

TEST(TreeMembers, NavigationReturnsNewHandlesOrNull) {
    ComPtr<IQuorvelXml> doc = document("a(c) b(d)");
    ComPtr<IQuorvelXml> a;
    ASSERT_EQ(doc->GetChild(0, a.put()), S_OK);
    ComPtr<IQuorvelXml> d;
    ASSERT_EQ(doc->SearchForTag(nullptr, bstr("d").get(), d.put()), S_OK);

    using Member = HRESULT (IQuorvelXml::*)(IQuorvelXml**);
    struct Case {
        IQuorvelXml* from;
        Member member;
        const char* expected;
    };
    const Case cases[] = {
        {doc.get(), &IQuorvelXml::FirstChild, "a"},        {doc.get(), &IQuorvelXml::LastChild, "b"},
        {doc.get(), &IQuorvelXml::NextSibling, "(null)"},  {doc.get(), &IQuorvelXml::GetParent, "(null)"},
        {doc.get(), &IQuorvelXml::GetRoot, "root"},        {a.get(), &IQuorvelXml::NextSibling, "b"},
        {a.get(), &IQuorvelXml::PreviousSibling, "(null)"}, {a.get(), &IQuorvelXml::GetParent, "root"},
        {d.get(), &IQuorvelXml::GetRoot, "root"},          {d.get(), &IQuorvelXml::FirstChild, "(null)"},
        {d.get(), &IQuorvelXml::LastChild, "(null)"},      {d.get(), &IQuorvelXml::GetParent, "b"},
    };
    for (const Case& c : cases) {
        IQuorvelXml* out = kUntouched;
        EXPECT_EQ((c.from->*c.member)(&out), S_OK);
        EXPECT_NE(out, kUntouched);
        ComPtr<IQuorvelXml> got = adoptResult(out);
        EXPECT_EQ(tagOf(got.get()), c.expected);
        if (got) { EXPECT_EQ(treeIdOf(got.get()), treeIdOf(doc.get())); }
    }
    // GetRoot on the root is a new handle all the same.
    ComPtr<IQuorvelXml> root;
    ASSERT_EQ(doc->GetRoot(root.put()), S_OK);
    EXPECT_NE(root.get(), doc.get());
    EXPECT_EQ(nodeOf(root.get()), nodeOf(doc.get()));

    // A missing result place fails under the member's own context, the root's with its own name.
    expectFailure(doc.get(), doc->FirstChild(nullptr), "(FirstChild)\nParameter is NULL");
    expectFailure(doc.get(), doc->GetRoot(nullptr), "(GetRoot)\nParameter is NULL",
                  "<QuorvelLog>\n<GetRoot>\n    <error>Parameter is NULL</error>\n</GetRoot>\n</QuorvelLog>\n");

    // GetChild: every index outside the range fails and logs the index as given.
    for (LONG bad : {-1, 2, 1000, INT32_MIN}) {
        IQuorvelXml* out = kUntouched;
        const std::string index = std::to_string(bad);
        expectFailure(doc.get(), doc->GetChild(bad, &out), "(GetChild)\nNo child at this index\nindex: " + index,
                      "<QuorvelLog>\n<GetChild>\n    <error>No child at this index</error>\n    <index>" + index +
                          "</index>\n</GetChild>\n</QuorvelLog>\n");
        EXPECT_EQ(out, kUntouched);
        EXPECT_EQ(getString(doc.get(), &IQuorvelXml::get_ErrorLogText),
                  "No child at this index\r\nindex: " + index + "\r\n");
    }
    // A successful call leaves the failed call's record in place.
    const std::string before = errorLogXml(doc.get());
    ComPtr<IQuorvelXml> second;
    ASSERT_EQ(doc->GetChild(1, second.put()), S_OK);
    EXPECT_EQ(tagOf(second.get()), "b");
    EXPECT_EQ(errorLogXml(doc.get()), before);
}

TEST(TreeMembers, MovingTheHandleItself) {
    ComPtr<IQuorvelXml> doc = document("a(c) b(d)");
    ComPtr<IQuorvelXml> h;
    ASSERT_EQ(doc->GetRoot(h.put()), S_OK);
    using Move = std::function<HRESULT(LONG*)>;
    IQuorvelXml* x = h.get();
    struct Step {
        Move move;
        LONG found;
        const char* tagAfter;
    };
    const Step steps[] = {
        {[x](LONG* f) { return x->GetParent2(f); }, 0, "root"},
        {[x](LONG* f) { return x->GetChild2(-1, f); }, 0, "root"},
        {[x](LONG* f) { return x->GetChild2(2, f); }, 0, "root"},
        {[x](LONG* f) { return x->GetChild2(1, f); }, 1, "b"},
        {[x](LONG* f) { return x->NextSibling2(f); }, 0, "b"},  // past the last child: stays
        {[x](LONG* f) { return x->PreviousSibling2(f); }, 1, "a"},
        {[x](LONG* f) { return x->PreviousSibling2(f); }, 0, "a"},
        {[x](LONG* f) { return x->LastChild2(f); }, 1, "c"},
        {[x](LONG* f) { return x->FirstChild2(f); }, 0, "c"},
        {[x](LONG* f) { return x->GetParent2(f); }, 1, "a"},
        {[x](LONG* f) { return x->FirstChild2(f); }, 1, "c"},
        {[x](LONG*) { return x->GetRoot2(); }, -7, "root"},
        {[x](LONG*) { return x->GetRoot2(); }, -7, "root"},  // already there: nothing happens
        {[x](LONG* f) { return x->FindChild2(bstr(" b\t").get(), f); }, 1, "b"},
        {[x](LONG* f) { return x->FindChild2(bstr("zz").get(), f); }, 0, "b"},
        {[x](LONG*) { return x->FirstChild2(nullptr); }, -7, "d"},  // no flag place: moves all the same
    };
    for (const Step& s : steps) {
        LONG found = -7;
        EXPECT_EQ(s.move(&found), S_OK);
        EXPECT_EQ(found, s.found) << s.tagAfter;
        EXPECT_EQ(tagOf(x), s.tagAfter);
    }
    // The tree's handle count follows the handle, never doubling.
    EXPECT_EQ(nodeOf(x)->treeHandleCount(), 2);
    EXPECT_EQ(errorLogXml(x), "");
    expectFailure(x, x->FindChild2(nullptr, nullptr), "(FindChild2)\nParameter is NULL");
}

TEST(TreeMembers, LookupByTag) {
    ComPtr<IQuorvelXml> doc = document("a=1 b=2 a=3 Item item=4");
    struct Count {
        const char* tag;
        LONG n;
    };
    for (const Count& c : {Count{"a", 2}, {" a ", 2}, {"Item", 1}, {"item", 1}, {"ITEM", 0}, {"", 0}, {"b", 1}}) {
        LONG n = -1;
        EXPECT_EQ(doc->NumChildrenHavingTag(bstr(c.tag).get(), &n), S_OK);
        EXPECT_EQ(n, c.n) << c.tag;
    }
    struct Nth {
        const char* tag;
        LONG n;
        const char* content;  // null: the call fails
    };
    for (const Nth& c : {Nth{"a", 0, "1"}, {"a", 1, "3"}, {" a", 2, nullptr}, {"a", -1, nullptr}, {"b", 0, "2"},
                         {"zz", 0, nullptr}}) {
        IQuorvelXml* out = kUntouched;
        const HRESULT hr = doc->GetNthChildWithTag(bstr(c.tag).get(), c.n, &out);
        if (c.content) {
            ASSERT_EQ(hr, S_OK);
            ComPtr<IQuorvelXml> got = adoptResult(out);
            EXPECT_EQ(getString(got.get(), &IQuorvelXml::get_Content), c.content);
            continue;
        }
        std::string trimmed(c.tag);
        trimmed.erase(0, trimmed.find_first_not_of(' '));
        const std::string n = std::to_string(c.n);
        expectFailure(doc.get(), hr, "(GetNthChildByTag)\nNot enough children have that tag.\ntag: " + trimmed +
                                         "\nn_value: " + n,
                      "<QuorvelLog>\n<GetNthChildByTag>\n    <error>Not enough children have that tag.</error>\n"
                      "    <tag>" + trimmed + "</tag>\n    <n_value>" + n +
                          "</n_value>\n</GetNthChildByTag>\n</QuorvelLog>\n");
        EXPECT_EQ(out, kUntouched);
    }
    expectFailure(doc.get(), doc->GetNthChildWithTag(nullptr, 0, nullptr), "(GetNthChildByTag)\nParameter is NULL");
    expectFailure(doc.get(), doc->NumChildrenHavingTag(bstr("a").get(), nullptr),
                  "(NumChildrenHavingTag)\nParameter is NULL");

    // FindChild finds with a padded tag, leaves an empty log, and leaves the result alone on a miss.
    ComPtr<IQuorvelXml> found;
    ASSERT_EQ(doc->FindChild(bstr("  item\r\n").get(), found.put()), S_OK);
    EXPECT_EQ(getString(found.get(), &IQuorvelXml::get_Content), "4");
    EXPECT_EQ(errorLogXml(doc.get()), "");
    IQuorvelXml* out = kUntouched;
    EXPECT_EQ(doc->FindChild(bstr("none").get(), &out), S_OK);
    EXPECT_EQ(out, kUntouched);
    expectFailure(doc.get(), doc->FindChild(nullptr, &out), "(FindChild)\nParameter is NULL");
    // GetChildWithTag stores null on a miss.
    EXPECT_EQ(doc->GetChildWithTag(bstr("none").get(), &out), S_OK);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(doc->GetChildWithTag(bstr("b ").get(), found.put()), S_OK);
    EXPECT_EQ(getString(found.get(), &IQuorvelXml::get_Content), "2");
    expectFailure(doc.get(), doc->GetChildWithTag(bstr("b").get(), nullptr), "(GetChildWithTag)\nParameter is NULL");

    // GetChildContent: that child's own text only; empty on a miss; a missing place returns at once.
    ComPtr<IQuorvelXml> deep = document("rec(name=Smith(inner=x)) empty");
    for (auto [tag, content] : {std::pair{"rec", ""}, {"empty", ""}, {"none", ""}, {" rec ", ""}}) {
        BSTR s = nullptr;
        EXPECT_EQ(deep->GetChildContent(bstr(tag).get(), &s), S_OK);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(take(s), content);
    }
    ComPtr<IQuorvelXml> rec;
    ASSERT_EQ(deep->FirstChild(rec.put()), S_OK);
    BSTR s = nullptr;
    EXPECT_EQ(rec->GetChildContent(bstr("name").get(), &s), S_OK);
    EXPECT_EQ(take(s), "Smith");
    EXPECT_EQ(rec->GetChildContent(bstr("name").get(), nullptr), S_OK);

    // FindOrAddNewChild: finds the first match, or appends one empty child once.
    const LONG id = treeIdOf(doc.get());
    for (int round = 0; round < 2; ++round) {
        ComPtr<IQuorvelXml> made;
        ASSERT_EQ(doc->FindOrAddNewChild(bstr(" fresh ").get(), made.put()), S_OK);
        EXPECT_EQ(tagOf(made.get()), "fresh");
        EXPECT_EQ(treeIdOf(made.get()), id);
        EXPECT_EQ(errorLogXml(doc.get()), "");
    }
    EXPECT_EQ(shape(doc.get()), "root(a=1 b=2 a=3 Item item=4 fresh)");
    ASSERT_EQ(doc->FindOrAddNewChild(bstr("a").get(), found.put()), S_OK);
    EXPECT_EQ(getString(found.get(), &IQuorvelXml::get_Content), "1");
    expectFailure(doc.get(), doc->FindOrAddNewChild(bstr("a").get(), nullptr), "(FindOrAddNewChild)\nParameter is NULL");
}

TEST(TreeMembers, Attributes) {
    ComPtr<IQuorvelXml> h = newHandle();
    auto attrs = [&] {
        std::string s;
        const LONG n = getLong(h.get(), &IQuorvelXml::get_NumAttributes);
        for (LONG i = 0; i < n; ++i) {
            BSTR name = nullptr;
            BSTR value = nullptr;
            EXPECT_EQ(h->GetAttributeName(i, &name), S_OK);
            EXPECT_EQ(h->GetAttributeValue(i, &value), S_OK);
            s += take(name) + "=" + take(value) + ";";
        }
        return s;
    };
    struct Edit {
        std::function<HRESULT()> call;
        const char* after;
    };
    const Edit edits[] = {
        {[&] { return h->AddAttribute(bstr("k").get(), bstr("1").get()); }, "k=1;"},
        {[&] { return h->AddAttribute(bstr("k").get(), bstr("2").get()); }, "k=1;k=2;"},
        {[&] { return h->AddAttribute(bstr(" j ").get(), bstr(" v ").get()); }, "k=1;k=2; j = v ;"},
        {[&] { return h->AddAttribute(bstr("").get(), bstr("x").get()); }, "k=1;k=2; j = v ;"},
        {[&] { return h->UpdateAttribute(bstr("k").get(), bstr("3").get()); }, " j = v ;k=3;"},
        {[&] { return h->UpdateAttribute(bstr("m").get(), nullptr); }, " j = v ;k=3;m=;"},
        {[&] { return h->UpdateAttribute(nullptr, bstr("z").get()); }, " j = v ;k=3;m=;"},
        {[&] { return h->RemoveAttribute(bstr("  k\t").get()); }, " j = v ;m=;"},
        {[&] { return h->RemoveAttribute(bstr("j").get()); }, " j = v ;m=;"},  // stored untrimmed
        {[&] { return h->RemoveAttribute(bstr("absent").get()); }, " j = v ;m=;"},
        {[&] { return h->AddAttribute(bstr("k").get(), bstr("abc").get()); }, " j = v ;m=;k=abc;"},
    };
    for (const Edit& e : edits) {
        EXPECT_EQ(e.call(), S_OK);
        EXPECT_EQ(attrs(), e.after);
    }
    EXPECT_EQ(errorLogXml(h.get()), "");

    struct Has {
        const char* name;
        const char* value;
        LONG expected;
    };
    for (const Has& c : {Has{"k", "abc", 1}, {" k ", "abc", 1}, {"k", "ab", 0}, {"k", "abcd", 0}, {"k", " abc", 0},
                         {"m", "", 1}, {"m", nullptr, 1}, {"K", "abc", 0}}) {
        LONG r = -1;
        EXPECT_EQ(h->HasAttrWithValue(bstr(c.name).get(), c.value ? bstr(c.value).get() : nullptr, &r), S_OK);
        EXPECT_EQ(r, c.expected) << c.name << "=" << (c.value ? c.value : "null");
    }
    for (auto [name, value] : {std::pair{"k", "abc"}, {" k", "abc"}, {"absent", ""}, {"m", ""}}) {
        BSTR s = nullptr;
        EXPECT_EQ(h->GetAttrValue(bstr(name).get(), &s), S_OK);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(take(s), value);
    }
    // Past the end: the value reads empty, the name fails.
    for (LONG bad : {3, 5, -1}) {
        BSTR s = nullptr;
        EXPECT_EQ(h->GetAttributeValue(bad, &s), S_OK);
        EXPECT_EQ(take(s), "");
        BSTR untouched = reinterpret_cast<BSTR>(uintptr_t{0x5a5a5a50});
        BSTR name = untouched;
        const std::string index = std::to_string(bad);
        expectFailure(h.get(), h->GetAttributeName(bad, &name), "(GetAttributeName)\nNo attribute at this index\nindex: " + index,
                      "<QuorvelLog>\n<GetAttributeName>\n    <error>No attribute at this index</error>\n    <index>" +
                          index + "</index>\n</GetAttributeName>\n</QuorvelLog>\n");
        EXPECT_EQ(name, untouched);
    }
    // Null tests, and the attribute list unchanged by every failed call.
    LONG r = 9;
    expectFailure(h.get(), h->HasAttrWithValue(nullptr, nullptr, &r), "(HasAttrWithValue)\nParameter is NULL");
    EXPECT_EQ(r, 9);
    expectFailure(h.get(), h->AddAttribute(bstr("n").get(), nullptr), "(AddAttribute)\nParameter is NULL");
    expectFailure(h.get(), h->AddAttribute(nullptr, bstr("v").get()), "(AddAttribute)\nParameter is NULL");
    expectFailure(h.get(), h->RemoveAttribute(nullptr), "(RemoveAttribute)\nParameter is NULL");
    expectFailure(h.get(), h->GetAttrValue(bstr("k").get(), nullptr), "(GetAttrValue)\nParameter is NULL");
    expectFailure(h.get(), h->GetAttributeValue(0, nullptr), "(GetAttributeValue)\nParameter is NULL");
    EXPECT_EQ(attrs(), " j = v ;m=;k=abc;");
    EXPECT_EQ(h->RemoveAllAttributes(), S_OK);
    EXPECT_EQ(attrs(), "");
}

// Every match of a search, walking with each result as the next after.
template <class Search>
std::vector<TreeNode*> allMatches(Search search) {
    std::vector<TreeNode*> out;
    ComPtr<IQuorvelXml> after;
    for (;;) {
        ComPtr<IQuorvelXml> next;
        EXPECT_EQ(search(after.get(), next.put()), S_OK);
        if (!next) return out;
        out.push_back(nodeOf(next.get()));
        after = std::move(next);
        if (out.size() > 1000) return out;
    }
}

// Level order computed independently: a plain queue over every node.
std::vector<TreeNode*> levelOrder(TreeNode* top) {
    std::vector<TreeNode*> order{top};
    for (size_t i = 0; i < order.size(); ++i) {
        for (TreeNode* c = order[i]->firstChild(); c; c = c->nextSibling()) order.push_back(c);
    }
    return order;
}

TEST(TreeMembers, SearchesVisitInLevelOrder) {
    ComPtr<IQuorvelXml> doc = document("a(c) b(d)");
    struct Find {
        const char* tag;
        const char* after;  // tag of the after node, null for none
        const char* expected;
    };
    const Find finds[] = {{"root", nullptr, "root"}, {"a", nullptr, "a"}, {"d", nullptr, "d"},
                          {" c ", nullptr, "c"},     {"d", "b", "d"},     {"a", "b", "(null)"},
                          {"root", "root", "(null)"}, {"b", "a", "b"},   {"c", "d", "(null)"}};
    for (const Find& f : finds) {
        ComPtr<IQuorvelXml> after;
        if (f.after) { ASSERT_EQ(doc->SearchForTag(nullptr, bstr(f.after).get(), after.put()), S_OK); }
        ComPtr<IQuorvelXml> got;
        EXPECT_EQ(doc->SearchForTag(after.get(), bstr(f.tag).get(), got.put()), S_OK);
        EXPECT_EQ(tagOf(got.get()), f.expected) << f.tag << " after " << (f.after ? f.after : "none");
        EXPECT_EQ(errorLogXml(doc.get()), "");
    }

    // A wider tree with one tag everywhere: the walk is exactly the level order.
    ComPtr<IQuorvelXml> wide = document("x(x(x x(x)) x x(x(x(x)) x)) x(x x) x", "x");
    std::vector<TreeNode*> expected = levelOrder(nodeOf(wide.get()));
    EXPECT_EQ(allMatches([&](IQuorvelXml* after, IQuorvelXml** out) {
                  return wide->SearchForTag(after, bstr("x").get(), out);
              }),
              expected);
    EXPECT_EQ(allMatches([&](IQuorvelXml* after, IQuorvelXml** out) {
                  return wide->SearchAllForContent(after, bstr("*").get(), out);
              }),
              expected);
    // From an inner node: only its subtree, starting with itself.
    ComPtr<IQuorvelXml> inner;
    ASSERT_EQ(wide->GetChild(0, inner.put()), S_OK);
    EXPECT_EQ(allMatches([&](IQuorvelXml* after, IQuorvelXml** out) {
                  return inner->SearchForTag(after, bstr("x").get(), out);
              }),
              levelOrder(nodeOf(inner.get())));

    // An after that is outside the subtree, in another tree or not one of ours finds nothing or
    // counts as none.
    test::RecordingHandle stranger;
    ComPtr<IQuorvelXml> elsewhere = document("x");
    ComPtr<IQuorvelXml> got;
    EXPECT_EQ(inner->SearchForTag(wide.get(), bstr("x").get(), got.put()), S_OK);
    EXPECT_FALSE(got);
    EXPECT_EQ(wide->SearchForTag(elsewhere.get(), bstr("x").get(), got.put()), S_OK);
    EXPECT_FALSE(got);
    EXPECT_EQ(wide->SearchForTag(&stranger, bstr("x").get(), got.put()), S_OK);
    EXPECT_EQ(nodeOf(got.get()), nodeOf(wide.get()));
    EXPECT_EQ(stranger.lastCall, "");

    IQuorvelXml* out = kUntouched;
    EXPECT_EQ(wide->SearchForTag(nullptr, bstr("none").get(), &out), S_OK);
    EXPECT_EQ(out, nullptr);
    expectFailure(wide.get(), wide->SearchForTag(nullptr, bstr("x").get(), nullptr), "(SearchForTag)\nParameter is NULL");
}

TEST(TreeMembers, ContentAndAttributeSearches) {
    ComPtr<IQuorvelXml> doc = document("i i=abc i=Abc j=abc(i=xyz) i=a*c");
    ComPtr<IQuorvelXml> j;
    ASSERT_EQ(doc->FindChild(bstr("j").get(), j.put()), S_OK);
    ASSERT_EQ(j->AddAttribute(bstr("k").get(), bstr("abc").get()), S_OK);
    ASSERT_EQ(j->AddAttribute(bstr("k").get(), bstr("xyz").get()), S_OK);
    ASSERT_EQ(j->AddAttribute(bstr("other").get(), bstr("q").get()), S_OK);

    auto contents = [](const std::vector<TreeNode*>& nodes) {
        std::string s;
        for (TreeNode* n : nodes) s += std::string(n->tagView()) + "=" + std::string(n->contentView()) + ";";
        return s;
    };
    struct Case {
        const char* tag;  // null: SearchAllForContent
        const char* pattern;
        const char* expected;
    };
    const Case cases[] = {
        {"i", "*", "i=;i=abc;i=Abc;i=a*c;i=xyz;"},  // * matches a node without content
        {"i", "A*", "i=Abc;"},
        {"i", "a*", "i=abc;i=a*c;"},
        {" i ", "*c", "i=abc;i=Abc;i=a*c;"},
        {"i", "", "i=;"},
        {"i", "abc ", ""},  // the pattern is not trimmed
        {nullptr, "abc", "i=abc;j=abc;"},
        {nullptr, "*y*", "i=xyz;"},
        {nullptr, "", "root=;i=;"},
    };
    for (const Case& c : cases) {
        auto found = allMatches([&](IQuorvelXml* after, IQuorvelXml** out) {
            return c.tag ? doc->SearchForContent(after, bstr(c.tag).get(), bstr(c.pattern).get(), out)
                         : doc->SearchAllForContent(after, bstr(c.pattern).get(), out);
        });
        EXPECT_EQ(contents(found), c.expected) << (c.tag ? c.tag : "(all)") << " " << c.pattern;
    }
    struct Attr {
        const char* tag;
        const char* name;
        const char* pattern;
        bool finds;
    };
    for (const Attr& a : {Attr{"j", "k", "x*", true}, {"j", " k ", "abc", true}, {"j", "k", "q", false},
                          {"j", "", "*", false}, {"i", "k", "*", false}, {"j", "other", "*", true},
                          {"j", "k", "*Z", false}}) {
        ComPtr<IQuorvelXml> got;
        EXPECT_EQ(doc->SearchForAttribute(nullptr, bstr(a.tag).get(), bstr(a.name).get(), bstr(a.pattern).get(),
                                          got.put()),
                  S_OK);
        EXPECT_EQ(got ? nodeOf(got.get()) : nullptr, a.finds ? nodeOf(j.get()) : nullptr)
            << a.tag << " " << a.name << " " << a.pattern;
    }
    expectFailure(doc.get(), doc->SearchForAttribute(nullptr, nullptr, nullptr, nullptr, nullptr),
                  "(SearchForAttribute)\nParameter is NULL");
    expectFailure(doc.get(), doc->SearchAllForContent(nullptr, nullptr, nullptr),
                  "(SearchAllForContent)\nParameter is NULL");
}

TEST(TreeMembers, FindNextRecordWalksSiblings) {
    ComPtr<IQuorvelXml> doc = document("r(key=x n=1) r(key=y n=2) r(n=3 key=x) r(n=4)");
    ComPtr<IQuorvelXml> first;
    ASSERT_EQ(doc->FirstChild(first.put()), S_OK);
    auto record = [](IQuorvelXml* r) { return r ? std::string(nodeOf(r)->findChild("n")->contentView()) : "-"; };
    struct Case {
        int start;
        const char* tag;
        const char* pattern;
        const char* expected;  // the record's n, "-" for none
    };
    for (const Case& c : {Case{0, "key", "x", "1"}, {1, "key", "x", "3"}, {1, " key", "y", "2"}, {3, "key", "*", "-"},
                          {0, "key", "z", "-"}, {0, "n", "4", "4"}, {2, "key", "X", "-"}}) {
        ComPtr<IQuorvelXml> start;
        ASSERT_EQ(doc->GetChild(c.start, start.put()), S_OK);
        IQuorvelXml* out = kUntouched;
        EXPECT_EQ(start->FindNextRecord(bstr(c.tag).get(), bstr(c.pattern).get(), &out), S_OK);
        ComPtr<IQuorvelXml> got = adoptResult(out);
        EXPECT_EQ(record(got.get()), c.expected) << c.start << " " << c.tag << " " << c.pattern;
    }
    // All records with key x: each search starts on the sibling after the last record found.
    std::string walked;
    ComPtr<IQuorvelXml> at = first;
    while (at) {
        ComPtr<IQuorvelXml> r;
        ASSERT_EQ(at->FindNextRecord(bstr("key").get(), bstr("x").get(), r.put()), S_OK);
        if (!r) break;
        walked += record(r.get());
        ASSERT_EQ(r->NextSibling(at.put()), S_OK);
    }
    EXPECT_EQ(walked, "13");
    EXPECT_EQ(first->FindNextRecord(nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(errorLogXml(first.get()), "");
}

TEST(TreeMembers, NewChildrenAndContent) {
    ComPtr<IQuorvelXml> doc = newHandle();
    ComPtr<IQuorvelXml> c = addChild(doc.get(), " \tpadded\r\n", "  text  ");
    EXPECT_EQ(tagOf(c.get()), "padded");
    EXPECT_EQ(getString(c.get(), &IQuorvelXml::get_Content), "  text  ");
    EXPECT_EQ(treeIdOf(c.get()), treeIdOf(doc.get()));
    EXPECT_EQ(nodeOf(doc.get())->treeHandleCount(), 2);
    ComPtr<IQuorvelXml> nulls;
    ASSERT_EQ(doc->NewChild(nullptr, nullptr, nulls.put()), S_OK);
    EXPECT_FALSE(nodeOf(nulls.get())->hasContent());

    // NewChild2 leaves the handle where it was and keeps what the log held.
    expectFailure(doc.get(), doc->GetChild(9, nulls.put()), "(GetChild)\nNo child at this index\nindex: 9");
    ASSERT_EQ(doc->NewChild2(bstr(" n2 ").get(), bstr("v").get()), S_OK);
    ASSERT_EQ(doc->NewChild2(bstr("  ").get(), bstr("").get()), S_OK);
    EXPECT_EQ(tagOf(doc.get()), "unnamed");
    EXPECT_EQ(shape(doc.get()), "unnamed(padded=  text    n2=v )");
    EXPECT_FALSE(nodeOf(doc.get())->lastChild()->hasTag());
    expectFailure(doc.get(), doc->NewChild2(bstr("t").get(), nullptr), "(NewChild2)\nNull Parameter",
                  "<QuorvelLog>\n<GetChild>\n    <error>No child at this index</error>\n    <index>9</index>\n"
                  "</GetChild>\n<NewChild2>\n    <error>Null Parameter</error>\n</NewChild2>\n</QuorvelLog>\n");
    expectFailure(doc.get(), doc->NewChild(bstr("t").get(), bstr("v").get(), nullptr), "(NewChild)\nParameter is NULL");
    EXPECT_EQ(getLong(doc.get(), &IQuorvelXml::get_NumChildren), 4);

    // AppendToContent adds bytes, keeps the CDATA flag, and ignores empty strings.
    ASSERT_EQ(c->put_Cdata(1), S_OK);
    for (const char* piece : {"a", "", "\xc3\xa9"}) ASSERT_EQ(c->AppendToContent(bstr(piece).get()), S_OK);
    ASSERT_EQ(c->AppendToContent(nullptr), S_OK);
    EXPECT_EQ(getString(c.get(), &IQuorvelXml::get_Content), "  text  a\xc3\xa9");
    EXPECT_EQ(getLong(c.get(), &IQuorvelXml::get_Cdata), 1);
}

TEST(TreeMembers, GraftingAndSwapping) {
    const int64_t trees = TreeInfo::liveCount();
    {
        // AddChildTree with the root of another document merges it.
        ComPtr<IQuorvelXml> doc = document("a(b)");
        ComPtr<IQuorvelXml> other = document("x(y)", "other");
        ComPtr<IQuorvelXml> y;
        ASSERT_EQ(other->SearchForTag(nullptr, bstr("y").get(), y.put()), S_OK);
        ASSERT_EQ(doc->AddChildTree(other.get()), S_OK);
        EXPECT_EQ(shape(doc.get()), "root(a(b) other(x(y)))");
        EXPECT_EQ(treeIdOf(other.get()), treeIdOf(doc.get()));
        EXPECT_EQ(treeIdOf(y.get()), treeIdOf(doc.get()));
        ComPtr<IQuorvelXml> root;
        ASSERT_EQ(y->GetRoot(root.put()), S_OK);
        EXPECT_EQ(nodeOf(root.get()), nodeOf(doc.get()));
        EXPECT_EQ(nodeOf(doc.get())->treeHandleCount(), 4);
        EXPECT_EQ(TreeInfo::liveCount(), trees + 1);

        // A node of the same tree moves to the end; a non-root of another tree leaves its tree.
        ComPtr<IQuorvelXml> a;
        ASSERT_EQ(doc->FirstChild(a.put()), S_OK);
        ASSERT_EQ(other->AddChildTree(a.get()), S_OK);
        EXPECT_EQ(shape(doc.get()), "root(other(x(y) a(b)))");
        ComPtr<IQuorvelXml> third = document("p(q)", "third");
        ComPtr<IQuorvelXml> q;
        ASSERT_EQ(third->SearchForTag(nullptr, bstr("q").get(), q.put()), S_OK);
        ASSERT_EQ(y->AddChildTree(q.get()), S_OK);
        EXPECT_EQ(shape(doc.get()), "root(other(x(y(q)) a(b)))");
        EXPECT_EQ(shape(third.get()), "third(p)");
        EXPECT_EQ(treeIdOf(q.get()), treeIdOf(doc.get()));

        // With its own parent: the parent is detached and nothing is added.
        ComPtr<IQuorvelXml> x;
        ASSERT_EQ(y->GetParent(x.put()), S_OK);
        const LONG before = treeIdOf(doc.get());
        ASSERT_EQ(y->AddChildTree(x.get()), S_OK);
        EXPECT_EQ(shape(doc.get()), "root(other(a(b)))");
        EXPECT_EQ(shape(x.get()), "x(y(q))");
        EXPECT_NE(treeIdOf(x.get()), before);
        EXPECT_EQ(treeIdOf(y.get()), treeIdOf(x.get()));
        // With itself: it becomes a root of its own.
        ASSERT_EQ(y->AddChildTree(y.get()), S_OK);
        EXPECT_EQ(shape(x.get()), "x");
        EXPECT_EQ(nodeOf(y.get())->parent(), nullptr);

        // Foreign and null arguments change nothing.
        test::RecordingHandle stranger;
        const std::string whole = shape(doc.get());
        expectFailure(doc.get(), doc->AddChildTree(&stranger), "(AddChildTree)\nArgument is not a QuorvelXml node");
        expectFailure(doc.get(), doc->AddChildTree(nullptr), "(AddChildTree)\nParameter is NULL");
        expectFailure(doc.get(), doc->SwapNode(&stranger), "(SwapNode)\nArgument is not a QuorvelXml node",
                      "<QuorvelLog>\n<SwapNode>\n    <error>Argument is not a QuorvelXml node</error>\n</SwapNode>\n"
                      "</QuorvelLog>\n");
        expectFailure(doc.get(), doc->SwapTree(nullptr), "(SwapTree)\nParameter is NULL");
        expectFailure(doc.get(), doc->SwapTree(&stranger), "(SwapTree)\nArgument is not a QuorvelXml node");
        EXPECT_EQ(shape(doc.get()), whole);
    }
    EXPECT_EQ(TreeInfo::liveCount(), trees);

    // SwapNode exchanges tag, content and attributes; CDATA flags, children and handles stay.
    ComPtr<IQuorvelXml> one = document("t=text(kid) bare");
    ComPtr<IQuorvelXml> t, bare;
    ASSERT_EQ(one->GetChild(0, t.put()), S_OK);
    ASSERT_EQ(one->GetChild(1, bare.put()), S_OK);
    ASSERT_EQ(t->AddAttribute(bstr("k").get(), bstr("v").get()), S_OK);
    ASSERT_EQ(t->put_Cdata(1), S_OK);
    ASSERT_EQ(t->SwapNode(bare.get()), S_OK);
    EXPECT_EQ(shape(one.get()), "root(bare(kid) t=text)");
    EXPECT_EQ(getLong(t.get(), &IQuorvelXml::get_Cdata), 1);
    EXPECT_EQ(getLong(bare.get(), &IQuorvelXml::get_NumAttributes), 1);
    EXPECT_EQ(getLong(t.get(), &IQuorvelXml::get_NumAttributes), 0);
    ASSERT_EQ(t->SwapNode(t.get()), S_OK);
    EXPECT_EQ(shape(one.get()), "root(bare(kid) t=text)");

    // SwapTree across documents: the children follow, with the handles on them.
    ComPtr<IQuorvelXml> two = document("u=z(v(w))");
    ComPtr<IQuorvelXml> u, w, kid;
    ASSERT_EQ(two->FirstChild(u.put()), S_OK);
    ASSERT_EQ(two->SearchForTag(nullptr, bstr("w").get(), w.put()), S_OK);
    ASSERT_EQ(t->FirstChild(kid.put()), S_OK);
    ASSERT_EQ(t->SwapTree(u.get()), S_OK);
    EXPECT_EQ(shape(one.get()), "root(u=z(v(w)) t=text)");
    EXPECT_EQ(shape(two.get()), "root(bare(kid))");
    EXPECT_EQ(treeIdOf(w.get()), treeIdOf(one.get()));
    EXPECT_EQ(treeIdOf(kid.get()), treeIdOf(two.get()));
    EXPECT_EQ(nodeOf(one.get())->treeHandleCount(), 4);  // one, t, bare, w
    EXPECT_EQ(nodeOf(two.get())->treeHandleCount(), 3);  // two, u, kid

    // A node and its own ancestor or descendant: refused, nothing changes.
    const std::string kept = shape(one.get());
    expectFailure(one.get(), one->SwapTree(w.get()), "(SwapTree)\nCannot swap a node with its own ancestor or descendant",
                  "<QuorvelLog>\n<SwapTree>\n    <error>Cannot swap a node with its own ancestor or descendant</error>\n"
                  "</SwapTree>\n</QuorvelLog>\n");
    expectFailure(w.get(), w->SwapTree(t.get()), "(SwapTree)\nCannot swap a node with its own ancestor or descendant");
    EXPECT_EQ(shape(one.get()), kept);
    // Siblings in one tree swap their whole subtrees.
    ASSERT_EQ(t->SwapTree(bare.get()), S_OK);
    EXPECT_EQ(shape(one.get()), "root(t=text u=z(v(w)))");
    ASSERT_EQ(t->SwapTree(t.get()), S_OK);
}

TEST(TreeMembers, TakingNodesOut) {
    const int64_t trees = TreeInfo::liveCount();
    ComPtr<IQuorvelXml> doc = document("a b(c) c");
    ComPtr<IQuorvelXml> a;
    ASSERT_EQ(doc->ExtractChildByIndex(0, a.put()), S_OK);
    EXPECT_EQ(shape(doc.get()), "root(b(c) c)");
    EXPECT_NE(treeIdOf(a.get()), treeIdOf(doc.get()));
    for (auto move : {&IQuorvelXml::NextSibling, &IQuorvelXml::PreviousSibling, &IQuorvelXml::GetParent}) {
        IQuorvelXml* out = kUntouched;
        EXPECT_EQ((a.get()->*move)(&out), S_OK);
        EXPECT_EQ(out, nullptr);
    }
    for (LONG bad : {-1, 2}) {
        IQuorvelXml* out = kUntouched;
        expectFailure(doc.get(), doc->ExtractChildByIndex(bad, &out),
                      "(ExtractChildByIndex)\nNo child at this index\nindex: " + std::to_string(bad));
        EXPECT_EQ(out, kUntouched);
    }
    expectFailure(doc.get(), doc->ExtractChildByIndex(0, nullptr), "(ExtractChildByIndex)\nParameter is NULL");
    EXPECT_EQ(shape(doc.get()), "root(b(c) c)");

    // By name: without an attribute, a direct child; with one, the level order from this node itself.
    ComPtr<IQuorvelXml> b;
    ASSERT_EQ(doc->FirstChild(b.put()), S_OK);
    ComPtr<IQuorvelXml> inner;
    ASSERT_EQ(b->FirstChild(inner.put()), S_OK);
    ASSERT_EQ(inner->AddAttribute(bstr("id").get(), bstr("7").get()), S_OK);
    ASSERT_EQ(doc->AddAttribute(bstr("id").get(), bstr("r").get()), S_OK);
    ComPtr<IQuorvelXml> got;
    ASSERT_EQ(doc->ExtractChildByName(bstr(" c ").get(), bstr("").get(), nullptr, got.put()), S_OK);
    EXPECT_EQ(nodeOf(got.get())->hasChildren(), false);
    EXPECT_EQ(shape(doc.get()), "root(b(c))");
    EXPECT_EQ(errorLogXml(doc.get()), "");
    ASSERT_EQ(doc->ExtractChildByName(bstr("c").get(), bstr(" id ").get(), bstr("").get(), got.put()), S_OK);
    EXPECT_EQ(nodeOf(got.get()), nodeOf(inner.get()));
    EXPECT_EQ(shape(doc.get()), "root(b)");
    EXPECT_EQ(treeIdOf(inner.get()), treeIdOf(got.get()));
    // This node itself matches; being a root, it stays where it is.
    ASSERT_EQ(doc->ExtractChildByName(bstr("root").get(), bstr("id").get(), bstr("r*").get(), got.put()), S_OK);
    EXPECT_EQ(nodeOf(got.get()), nodeOf(doc.get()));
    EXPECT_EQ(shape(doc.get()), "root(b)");

    IQuorvelXml* out = kUntouched;
    ASSERT_EQ(doc->ExtractChildByName(bstr("b").get(), bstr("id").get(), bstr("?").get(), &out), S_OK);
    EXPECT_EQ(out, kUntouched);
    EXPECT_EQ(errorLogXml(doc.get()),
              "<QuorvelLog>\n<ExtractChildByName>\n    <info>No child found with this tag</info>\n    <tag>b</tag>\n"
              "    <attribute>id</attribute>\n    <attribute_value_pattern>?</attribute_value_pattern>\n"
              "</ExtractChildByName>\n</QuorvelLog>\n");
    EXPECT_FALSE(takeErrorInfo().present);
    ASSERT_EQ(doc->ExtractChildByName(bstr(" zz").get(), bstr("id ").get(), nullptr, &out), S_OK);
    EXPECT_NE(errorLogXml(doc.get()).find("<tag>zz</tag>\n    <attribute>id</attribute>\n"
                                          "    <attribute_value_pattern>*</attribute_value_pattern>"),
              std::string::npos);
    expectFailure(doc.get(), doc->ExtractChildByName(nullptr, nullptr, nullptr, &out),
                  "(ExtractChildByName)\nParameter is NULL");

    // RemoveFromTree: nothing on a root; a child whose document has no other handle takes the
    // rest of it down at once.
    const LONG id = treeIdOf(doc.get());
    ASSERT_EQ(doc->RemoveFromTree(), S_OK);
    EXPECT_EQ(treeIdOf(doc.get()), id);
    {
        ComPtr<IQuorvelXml> lone = document("k(l) m");
        ComPtr<IQuorvelXml> k;
        ASSERT_EQ(lone->FirstChild(k.put()), S_OK);
        lone->Clear();
        const int64_t live = TreeInfo::liveCount();
        ASSERT_EQ(k->RemoveFromTree(), S_OK);
        EXPECT_EQ(TreeInfo::liveCount(), live);  // a new record for k, the old tree destroyed
        EXPECT_EQ(shape(k.get()), "k(l)");
        EXPECT_EQ(shape(lone.get()), "unnamed");
    }
    // Clear on one of two handles: the other keeps the document.
    ComPtr<IQuorvelXml> second;
    ASSERT_EQ(doc->GetRoot(second.put()), S_OK);
    ASSERT_EQ(doc->Clear(), S_OK);
    EXPECT_EQ(shape(doc.get()), "unnamed");
    EXPECT_NE(treeIdOf(doc.get()), id);
    EXPECT_EQ(shape(second.get()), "root(b)");
    EXPECT_EQ(treeIdOf(second.get()), id);
    doc.reset();
    second.reset();
    a.reset();
    got.reset();
    b.reset();
    inner.reset();
    EXPECT_EQ(TreeInfo::liveCount(), trees);
}

TEST(TreeMembers, Sorting) {
    struct Case {
        const char* shape;
        std::function<HRESULT(IQuorvelXml*)> sort;
        const char* expected;
    };
    const Case cases[] = {
        {"b a Z", [](IQuorvelXml* h) { return h->SortByTag(1); }, "root(Z a b)"},
        {"b a Z", [](IQuorvelXml* h) { return h->SortByTag(0); }, "root(b a Z)"},
        {"b a Z", [](IQuorvelXml* h) { return h->SortByTag(-3); }, "root(Z a b)"},
        {"x=10 x=9 x", [](IQuorvelXml* h) { return h->SortByContent(1); }, "root(x x=10 x=9)"},
        {"x=10 x=9 x", [](IQuorvelXml* h) { return h->SortByContent(0); }, "root(x=9 x=10 x)"},
        {"x=\xc3\xa9 x=z x=Z", [](IQuorvelXml* h) { return h->SortByContent(1); }, "root(x=Z x=z x=\xc3\xa9)"},
        {"r(name=Smith id=1) r(name=Jones id=2) r(id=3 name=Brown)",
         [](IQuorvelXml* h) { return h->SortRecordsByContent(bstr(" name ").get(), 1); },
         "root(r(id=3 name=Brown) r(name=Jones id=2) r(name=Smith id=1))"},
        {"r(name=Smith id=1) r(name=Jones id=2) r(id=3 name=Brown)",
         [](IQuorvelXml* h) { return h->SortRecordsByContent(bstr("name").get(), 0); },
         "root(r(name=Smith id=1) r(name=Jones id=2) r(id=3 name=Brown))"},
        {"only", [](IQuorvelXml* h) { return h->SortByTag(1); }, "root(only)"},
        {"", [](IQuorvelXml* h) { return h->SortByContent(1); }, "root"},
        {"", [](IQuorvelXml* h) { return h->SortRecordsByAttribute(nullptr, nullptr, 1); }, "root"},
    };
    for (const Case& c : cases) {
        ComPtr<IQuorvelXml> doc = document(c.shape);
        EXPECT_EQ(c.sort(doc.get()), S_OK);
        EXPECT_EQ(shape(doc.get()), c.expected) << c.shape;
        EXPECT_EQ(errorLogXml(doc.get()), "");
    }

    // By attribute, with a padded name; children without it sort first when ascending.
    ComPtr<IQuorvelXml> doc = document("c b none a");
    const char* keys[] = {"3", "2", nullptr, "1"};
    std::vector<ComPtr<IQuorvelXml>> kids(4);
    for (LONG i = 0; i < 4; ++i) {
        ASSERT_EQ(doc->GetChild(i, kids[static_cast<size_t>(i)].put()), S_OK);
        if (keys[i]) { ASSERT_EQ(kids[static_cast<size_t>(i)]->AddAttribute(bstr("key").get(), bstr(keys[i]).get()), S_OK); }
    }
    ASSERT_EQ(doc->SortByAttribute(bstr("\tkey ").get(), 1), S_OK);
    EXPECT_EQ(shape(doc.get()), "root(none a b c)");
    ASSERT_EQ(doc->SortByAttribute(bstr("key").get(), 0), S_OK);
    EXPECT_EQ(shape(doc.get()), "root(c b a none)");
    // Handles stay on their nodes; the sibling links follow the new order both ways.
    EXPECT_EQ(tagOf(kids[0].get()), "c");
    std::string forward;
    ComPtr<IQuorvelXml> at;
    ASSERT_EQ(doc->FirstChild(at.put()), S_OK);
    IQuorvelXml* out = kUntouched;
    ASSERT_EQ(at->PreviousSibling(&out), S_OK);
    EXPECT_EQ(out, nullptr);
    while (at) {
        forward += tagOf(at.get());
        ComPtr<IQuorvelXml> next;
        ASSERT_EQ(at->NextSibling(next.put()), S_OK);
        at = std::move(next);
    }
    EXPECT_EQ(forward, "cbanone");
    ComPtr<IQuorvelXml> second;
    ASSERT_EQ(doc->GetChild(1, second.put()), S_OK);
    EXPECT_EQ(nodeOf(second.get()), nodeOf(kids[1].get()));

    // Record attributes: a record without the field has no key and never breaks the sort.
    ComPtr<IQuorvelXml> recs = document("r(f) r(f) r(g) r(f)");
    const char* values[] = {"b", nullptr, nullptr, "a"};
    for (LONG i = 0; i < 4; ++i) {
        ComPtr<IQuorvelXml> r, f;
        ASSERT_EQ(recs->GetChild(i, r.put()), S_OK);
        ASSERT_EQ(r->put_Content(bstr(std::to_string(i)).get()), S_OK);
        if (values[i]) {
            ASSERT_EQ(r->FirstChild(f.put()), S_OK);
            ASSERT_EQ(f->AddAttribute(bstr("v").get(), bstr(values[i]).get()), S_OK);
        }
    }
    ASSERT_EQ(recs->SortRecordsByAttribute(bstr(" f").get(), bstr("v ").get(), 1), S_OK);
    std::string order;
    for (const TreeNode* r = nodeOf(recs.get())->firstChild(); r; r = r->nextSibling()) order += r->contentView();
    // The keyless record (2) first, then the empty value (1), then a (3) and b (0).
    EXPECT_EQ(order, "2130");
}

}  // namespace
}  // namespace quorvel
