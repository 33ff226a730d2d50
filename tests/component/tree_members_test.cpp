// The tree members through the IQuorvelXml table: lookup, attributes, search, editing and
// sorting, with the error summaries and logs of the calls that fail. Where navigation,
// extraction and swaps land is checked against a model in handle_model_test; resumed searches in
// tests/tree; wildcards in tests/core.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "component_test_support.h"

namespace quorvel {
namespace {

using namespace test;

IQuorvelXml* const kUntouched = reinterpret_cast<IQuorvelXml*>(uintptr_t{0x5a5a5a50});

// An object that is no node handle, passed where one is expected as a host's own might be: the
// class factory, of which a member may call only the IUnknown part.
struct Stranger {
    ComPtr<IClassFactory> object;
    Stranger() { EXPECT_EQ(getClassObject(CLSID_QuorvelXml, IID_IClassFactory, object.putVoid()), S_OK); }
    IQuorvelXml* get() const { return reinterpret_cast<IQuorvelXml*>(object.get()); }
};

TEST(TreeMembers, IndexFailuresLeaveTheResultAndKeepTheLog) {
    ComPtr<IQuorvelXml> doc = parsed("<root><a><c/></a><b><d/></b></root>");
    IQuorvelXml* out = kUntouched;
    expectFailure(doc.get(), doc->GetChild(INT32_MIN, &out), "(GetChild)\nNo child at this index\nindex: -2147483648",
                  logXml("GetChild", {{"error", "No child at this index"}, {"index", "-2147483648"}}));
    EXPECT_EQ(out, kUntouched);
    // A successful call leaves the failed call's record in place.
    EXPECT_EQ(tagOf(child(doc.get(), 1).get()), "b");
    EXPECT_NE(errorLogXml(doc.get()).find("<index>-2147483648</index>"), std::string::npos);
}

TEST(TreeMembers, LookupByTag) {
    ComPtr<IQuorvelXml> doc = parsed("<root><a>1</a><b>2<c>x</c></b><a>3</a><Item/><item>4</item></root>");
    LONG count = -1;
    EXPECT_EQ(doc->NumChildrenHavingTag(bstr(" a ").get(), &count), S_OK);
    EXPECT_EQ(count, 2);
    IQuorvelXml* out = kUntouched;
    ASSERT_EQ(doc->GetNthChildWithTag(bstr("a").get(), 1, &out), S_OK);
    EXPECT_EQ(contentOf(adoptResult(out).get()), "3");
    out = kUntouched;
    expectFailure(doc.get(), doc->GetNthChildWithTag(bstr(" a").get(), 2, &out),
                  "(GetNthChildByTag)\nNot enough children have that tag.\ntag: a\nn_value: 2",
                  logXml("GetNthChildByTag", {{"error", "Not enough children have that tag."}, {"tag", "a"}, {"n_value", "2"}}));
    EXPECT_EQ(out, kUntouched);

    // FindChild finds with a padded tag and leaves the result alone on a miss; GetChildWithTag stores null.
    ComPtr<IQuorvelXml> found;
    ASSERT_EQ(doc->FindChild(bstr("  item\r\n").get(), found.put()), S_OK);
    EXPECT_EQ(contentOf(found.get()), "4");
    EXPECT_EQ(doc->FindChild(bstr("none").get(), &out), S_OK);
    EXPECT_EQ(out, kUntouched);
    EXPECT_EQ(doc->GetChildWithTag(bstr("none").get(), &out), S_OK);
    EXPECT_EQ(out, nullptr);

    // GetChildContent: that child's own text only.
    BSTR s = nullptr;
    EXPECT_EQ(doc->GetChildContent(bstr(" b ").get(), &s), S_OK);
    EXPECT_EQ(take(s), "2");

    // FindOrAddNewChild: finds the first match, or appends one empty child once.
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(doc->FindOrAddNewChild(bstr(" fresh ").get(), found.put()), S_OK);
        EXPECT_EQ(treeIdOf(found.get()), treeIdOf(doc.get()));
    }
    EXPECT_EQ(shape(doc.get()), "root(a:1,b:2(c:x),a:3,Item,item:4,fresh)");
    EXPECT_EQ(errorLogXml(doc.get()), "");
}

TEST(TreeMembers, Attributes) {
    ComPtr<IQuorvelXml> h = parsed(R"(<a k="1"/>)");
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
    ASSERT_EQ(h->AddAttribute(bstr("k").get(), bstr("2").get()), S_OK);     // a second k
    ASSERT_EQ(h->AddAttribute(bstr(" j ").get(), bstr(" v ").get()), S_OK);  // stored untrimmed
    ASSERT_EQ(h->UpdateAttribute(bstr("k").get(), bstr("3").get()), S_OK);  // every k goes, one comes last
    ASSERT_EQ(h->UpdateAttribute(bstr("m").get(), nullptr), S_OK);
    EXPECT_EQ(attrs(), " j = v ;k=3;m=;");
    ASSERT_EQ(h->RemoveAttribute(bstr("  k\t").get()), S_OK);
    ASSERT_EQ(h->RemoveAttribute(bstr("j").get()), S_OK);  // trimmed, so no match for " j "
    ASSERT_EQ(h->AddAttribute(bstr("k").get(), bstr("abc").get()), S_OK);
    EXPECT_EQ(attrs(), " j = v ;m=;k=abc;");
    EXPECT_EQ(errorLogXml(h.get()), "");

    for (auto [name, value, expected] : {std::tuple{" k ", "abc", 1}, {"m", nullptr, 1}, {"K", "abc", 0}}) {
        LONG r = -1;
        EXPECT_EQ(h->HasAttrWithValue(bstr(name).get(), value ? bstr(value).get() : nullptr, &r), S_OK);
        EXPECT_EQ(r, expected) << name << "=" << (value ? value : "null");
    }
    BSTR s = nullptr;
    EXPECT_EQ(h->GetAttrValue(bstr(" k").get(), &s), S_OK);
    EXPECT_EQ(take(s), "abc");
    // Past the end: the value reads empty, the name fails.
    EXPECT_EQ(h->GetAttributeValue(3, &s), S_OK);
    EXPECT_EQ(take(s), "");
    expectFailure(h.get(), h->GetAttributeName(3, &s), "(GetAttributeName)\nNo attribute at this index\nindex: 3",
                  logXml("GetAttributeName", {{"error", "No attribute at this index"}, {"index", "3"}}));
    expectFailure(h.get(), h->AddAttribute(bstr("n").get(), nullptr), "(AddAttribute)\nParameter is NULL");
    EXPECT_EQ(attrs(), " j = v ;m=;k=abc;");
    EXPECT_EQ(h->RemoveAllAttributes(), S_OK);
    EXPECT_EQ(attrs(), "");
}

// Every match of a search, walking with each result as the next after.
template <class Search>
std::string allMatches(Search search) {
    std::string found;
    ComPtr<IQuorvelXml> after;
    for (int i = 0; i <= 100; ++i) {
        ComPtr<IQuorvelXml> next;
        EXPECT_EQ(search(after.get(), next.put()), S_OK);
        if (!next) break;
        found += tagOf(next.get()) + "=" + contentOf(next.get()) + ";";
        after = std::move(next);
    }
    return found;
}

// Where an after outside the subtree or in another tree leaves a search is TreeSearch's.
TEST(TreeMembers, Searches) {
    ComPtr<IQuorvelXml> doc = parsed("<root><a><c/></a><b><d/></b></root>"), got;
    Stranger stranger;  // counts as no after
    EXPECT_EQ(doc->SearchForTag(stranger.get(), bstr("root").get(), got.put()), S_OK);
    EXPECT_EQ(nodeOf(got.get()), nodeOf(doc.get()));

    ComPtr<IQuorvelXml> text = parsed(R"(<root><i/><i>abc</i><i>Abc</i><j k="xyz">abc<i>xyz</i></j><i>a*c</i></root>)");
    ComPtr<IQuorvelXml> j = child(text.get(), 3);
    const struct {
        const char* tag;  // null: SearchAllForContent
        const char* pattern;
        const char* expected;
    } cases[] = {
        {" i ", "*", "i=;i=abc;i=Abc;i=a*c;i=xyz;"},  // * matches a node without content
        {"i", "abc ", ""},                              // the pattern is not trimmed
        {nullptr, "abc", "i=abc;j=abc;"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(allMatches([&](IQuorvelXml* after, IQuorvelXml** out) {
                      return c.tag ? text->SearchForContent(after, bstr(c.tag).get(), bstr(c.pattern).get(), out)
                                   : text->SearchAllForContent(after, bstr(c.pattern).get(), out);
                  }),
                  c.expected)
            << (c.tag ? c.tag : "(all)") << " " << c.pattern;
    }
    for (auto [tag, name, finds] : {std::tuple{"j", " k ", true}, {"i", "k", false}}) {
        EXPECT_EQ(text->SearchForAttribute(nullptr, bstr(tag).get(), bstr(name).get(), bstr("x*").get(), got.put()), S_OK);
        EXPECT_EQ(got ? nodeOf(got.get()) : nullptr, finds ? nodeOf(j.get()) : nullptr) << tag << " " << name;
    }
}

TEST(TreeMembers, FindNextRecordWalksSiblings) {
    ComPtr<IQuorvelXml> doc =
        parsed("<root><r>1<key>x</key></r><r>2<key>y</key></r><r>3<n/><key>x</key></r><r>4<n/></r></root>");
    // All records with key x: each search starts on the sibling after the last record found.
    std::string walked;
    ComPtr<IQuorvelXml> at = child(doc.get(), 0), r;
    while (at && at->FindNextRecord(bstr("key").get(), bstr("x").get(), r.put()) == S_OK && r) {
        walked += contentOf(r.get());
        ASSERT_EQ(r->NextSibling(at.put()), S_OK);
    }
    EXPECT_EQ(walked, "13");
    ASSERT_EQ(child(doc.get(), 3)->FindNextRecord(bstr(" key").get(), bstr("*").get(), r.put()), S_OK);
    EXPECT_FALSE(r);
}

TEST(TreeMembers, NewChildrenAndContent) {
    ComPtr<IQuorvelXml> doc = newHandle();
    ComPtr<IQuorvelXml> c;
    ASSERT_EQ(doc->NewChild(bstr(" \tpadded\r\n").get(), bstr("  text  ").get(), c.put()), S_OK);

    // NewChild2 leaves the handle where it was.
    ASSERT_EQ(doc->NewChild2(bstr(" n2 ").get(), bstr("v").get()), S_OK);
    EXPECT_EQ(shape(doc.get()), "unnamed(padded:  text  ,n2:v)");
    expectFailure(doc.get(), doc->NewChild2(bstr("t").get(), nullptr), "(NewChild2)\nNull Parameter");

    // AppendToContent adds bytes, keeps the CDATA flag, and ignores empty strings.
    ASSERT_EQ(c->put_Cdata(1), S_OK);
    for (const char* piece : {"a", "", "\xc3\xa9"}) ASSERT_EQ(c->AppendToContent(bstr(piece).get()), S_OK);
    EXPECT_EQ(contentOf(c.get()), "  text  a\xc3\xa9");
    EXPECT_EQ(getLong(c.get(), &IQuorvelXml::get_Cdata), 1);
}

TEST(TreeMembers, GraftingAndSwapping) {
    {
        // Foreign and null arguments change nothing.
        ComPtr<IQuorvelXml> doc = parsed("<root><a><b/></a></root>");
        Stranger stranger;
        for (auto [call, context] : {std::pair{&IQuorvelXml::AddChildTree, "AddChildTree"},
                                     {&IQuorvelXml::SwapNode, "SwapNode"}, {&IQuorvelXml::SwapTree, "SwapTree"}}) {
            expectFailure(doc.get(), (doc.get()->*call)(stranger.get()), "(" + std::string(context) + ")\nArgument is not a QuorvelXml node",
                          logXml(context, {{"error", "Argument is not a QuorvelXml node"}}));
        }
        EXPECT_EQ(shape(doc.get()), "root(a(b))");
    }

    // SwapNode exchanges tag, content and attributes; CDATA flags, children and handles stay.
    ComPtr<IQuorvelXml> one = parsed("<root><t>text<kid/></t><bare/></root>");
    ComPtr<IQuorvelXml> t = child(one.get(), 0), bare = child(one.get(), 1);
    ASSERT_EQ(t->AddAttribute(bstr("k").get(), bstr("v").get()), S_OK);
    ASSERT_EQ(t->put_Cdata(1), S_OK);
    ASSERT_EQ(t->SwapNode(bare.get()), S_OK);
    EXPECT_EQ(shape(one.get()), "root(bare(kid),t:text)");
    EXPECT_EQ(getLong(t.get(), &IQuorvelXml::get_Cdata), 1);
    EXPECT_EQ(getLong(bare.get(), &IQuorvelXml::get_NumAttributes), 1);

    // A node and its own ancestor or descendant: refused, nothing changes.
    ComPtr<IQuorvelXml> kid = child(t.get(), 0);
    expectFailure(one.get(), one->SwapTree(kid.get()), "(SwapTree)\nCannot swap a node with its own ancestor or descendant",
                  logXml("SwapTree", {{"error", "Cannot swap a node with its own ancestor or descendant"}}));
    EXPECT_EQ(shape(one.get()), "root(bare(kid),t:text)");
}

TEST(TreeMembers, ExtractChildByName) {
    // Without an attribute, a direct child; with one, the level order from this node itself.
    ComPtr<IQuorvelXml> doc = parsed(R"(<root id="r"><b><c id="7"/></b><c/></root>)");
    ComPtr<IQuorvelXml> inner = child(child(doc.get(), 0).get(), 0), got;
    ASSERT_EQ(doc->ExtractChildByName(bstr(" c ").get(), bstr("").get(), nullptr, got.put()), S_OK);
    EXPECT_NE(nodeOf(got.get()), nodeOf(inner.get()));
    EXPECT_EQ(shape(doc.get()), "root(b(c))");
    ASSERT_EQ(doc->ExtractChildByName(bstr("c").get(), bstr(" id ").get(), bstr("").get(), got.put()), S_OK);
    EXPECT_EQ(nodeOf(got.get()), nodeOf(inner.get()));
    EXPECT_EQ(shape(doc.get()), "root(b)");
    // This node itself matches; being a root, it stays where it is.
    ASSERT_EQ(doc->ExtractChildByName(bstr("root").get(), bstr("id").get(), bstr("r*").get(), got.put()), S_OK);
    EXPECT_EQ(nodeOf(got.get()), nodeOf(doc.get()));

    // A miss is information, not a failure.
    IQuorvelXml* out = kUntouched;
    ASSERT_EQ(doc->ExtractChildByName(bstr(" b").get(), bstr("id ").get(), nullptr, &out), S_OK);
    EXPECT_EQ(out, kUntouched);
    EXPECT_EQ(errorLogXml(doc.get()), logXml("ExtractChildByName", {{"info", "No child found with this tag"}, {"tag", "b"},
                                                                     {"attribute", "id"}, {"attribute_value_pattern", "*"}}));
    EXPECT_FALSE(takeErrorInfo().present);
}

TEST(TreeMembers, Sorting) {
    using Sort = std::function<HRESULT(IQuorvelXml*)>;
    const struct {
        const char* xml;
        Sort sort;
        const char* expected;
    } cases[] = {
        {"<root><b/><a/><Z/></root>", [](IQuorvelXml* h) { return h->SortByTag(-3); }, "root(Z,a,b)"},
        {"<root><x>\xc3\xa9</x><x>z</x><x>Z</x></root>", [](IQuorvelXml* h) { return h->SortByContent(1); },
         "root(x:Z,x:z,x:\xc3\xa9)"},
        {"<root><r><n>Smith</n><id/></r><r><id/><n>Brown</n></r></root>",
         [](IQuorvelXml* h) { return h->SortRecordsByContent(bstr(" n ").get(), 1); }, "root(r(id,n:Brown),r(n:Smith,id))"},
    };
    for (const auto& c : cases) {
        ComPtr<IQuorvelXml> doc = parsed(c.xml);
        EXPECT_EQ(c.sort(doc.get()), S_OK);
        EXPECT_EQ(shape(doc.get()), c.expected) << c.xml;
    }

    // By attribute, with a padded name; children without it sort first when ascending.
    ComPtr<IQuorvelXml> doc = parsed(R"(<root><c key="3"/><b key="2"/><none/><a key="1"/></root>)");
    ComPtr<IQuorvelXml> b = child(doc.get(), 1);
    ASSERT_EQ(doc->SortByAttribute(bstr("\tkey ").get(), 1), S_OK);
    EXPECT_EQ(shape(doc.get()), "root(none,a,b,c)");
    EXPECT_EQ(nodeOf(child(doc.get(), 2).get()), nodeOf(b.get()));  // handles stay on their nodes

    // Record attributes: a record without the field has no key and never breaks the sort; then the empty value.
    ComPtr<IQuorvelXml> recs = parsed(R"(<root><r0><f v="b"/></r0><r1><f/></r1><r2><g/></r2><r3><f v="a"/></r3></root>)");
    ASSERT_EQ(recs->SortRecordsByAttribute(bstr(" f").get(), bstr("v ").get(), 1), S_OK);
    EXPECT_EQ(shape(recs.get()), "root(r2(g),r1(f),r3(f),r0(f))");
}

}  // namespace
}  // namespace quorvel
