// The C++ layer of quorvel/xml.hpp: every member of the table reachable through it, references
// that balance, failures with the component's messages, ranges that visit what the raw members
// visit, UTF-8 at the edge, and progress as a callable.
#include "quorvel/xml.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <ranges>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "component/member_table.h"
#include "component_test_support.h"

namespace quorvel {
namespace {

using xml::node;

// A stand-in handle whose virtual table answers member slot s with the failure 0x80040200 + s,
// whatever the arguments: a member reached through the layer tells which slot it called. It
// answers IQuorvelXml2 with itself unless told not to, and counts the questions.
constexpr HRESULT kSpyBase = static_cast<HRESULT>(0x80040200);
constexpr size_t kVtableOnlyMembers = 5;  // slots 112-116, after the dispatchable ones
struct Spy {
    const void* const* vtable;
    ULONG refs = 1;
    bool second = true;
    int queries = 0;
};
template <size_t Slot>
HRESULT spySlot() {
    return kSpyBase + static_cast<HRESULT>(Slot);
}
HRESULT spyQueryInterface(Spy* s, const IID& iid, void** ppv) {
    ++s->queries;
    if (s->second && iid == IID_IQuorvelXml2) {
        ++s->refs;
        *ppv = s;
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}
ULONG spyAddRef(Spy* s) { return ++s->refs; }
ULONG spyRelease(Spy* s) { return --s->refs; }
template <size_t... Slot>
std::array<const void*, sizeof...(Slot)> spyTable(std::index_sequence<Slot...>) {
    std::array<const void*, sizeof...(Slot)> t{reinterpret_cast<const void*>(&spySlot<Slot>)...};
    t[0] = reinterpret_cast<const void*>(&spyQueryInterface);
    t[1] = reinterpret_cast<const void*>(&spyAddRef);
    t[2] = reinterpret_cast<const void*>(&spyRelease);
    return t;
}

std::string memberKey(const MemberInfo& m) {
    return (m.kind == MemberKind::PropertyGet ? "get " : m.kind == MemberKind::PropertyPut ? "put " : "") +
           std::string(m.name);
}

TEST(XmlLayer, EveryMemberOfTheTableIsReachable) {
    static const auto table = spyTable(std::make_index_sequence<kFirstMemberSlot + kMemberCount + kVtableOnlyMembers>());
    Spy spy{table.data()};
    const std::byte raw[] = {std::byte{'x'}};
    const std::span<const std::byte> b(raw);
    using Call = std::function<void(node&)>;
#define CALL(key, ...) {key, [&](node& n) { n.__VA_ARGS__; }}
    // Each member's C++ name; ranges are listed beside the member each step calls.
    const std::vector<std::pair<std::string, Call>> calls = {
        CALL("get Version", version()), CALL("get NumAttributes", attribute_count()),
        CALL("get NumAttributes", attributes()), CALL("get Tag", tag_string()), CALL("put Tag", set_tag("t")),
        CALL("get Content", content_string()), CALL("put Content", set_content("c")),
        CALL("get NumChildren", child_count()), CALL("GetChildContent", child_content("t")),
        CALL("get Cdata", cdata()), CALL("put Cdata", set_cdata(true)), CALL("LoadXml", load("<a/>")),
        CALL("LoadXmlFile", load_file("f.xml")), CALL("SaveXml", save_file("f.xml")), CALL("GetXml", xml()),
        CALL("AppendToContent", append_to_content("x")), CALL("AddAttribute", add_attribute("k", "v")),
        CALL("RemoveAttribute", remove_attribute("k")), CALL("RemoveAllAttributes", remove_all_attributes()),
        CALL("GetAttributeName", attribute_name(0)), CALL("GetAttributeValue", attribute_value(0)),
        CALL("GetAttrValue", attribute_string("k")), CALL("HasAttrWithValue", has_attribute_with_value("k", "v")),
        CALL("SwapNode", swap_node(n)), CALL("SwapTree", swap_tree(n)), CALL("AddChildTree", add_child_tree(n)),
        CALL("GetChild", child(0)), CALL("ExtractChildByIndex", extract_child(0)),
        CALL("ExtractChildByName", extract_child("t", "k", "v")), CALL("NumChildrenHavingTag", child_count("t")),
        CALL("GetNthChildWithTag", child("t", 1)), CALL("NewChild", new_child("t", "c")),
        CALL("FindOrAddNewChild", find_or_add_child("t")), CALL("SearchForTag", search_for_tag("t")),
        CALL("SearchForTag", search("t").begin()), CALL("SearchForContent", search_for_content("t", "*")),
        CALL("SearchForContent", search_content("t", "*").begin()),
        CALL("SearchAllForContent", search_all_for_content("*")),
        CALL("SearchAllForContent", search_all_content("*").begin()),
        CALL("SearchForAttribute", search_for_attribute("t", "k", "*")),
        CALL("SearchForAttribute", search_attribute("t", "k", "*").begin()), CALL("GetParent", parent()),
        CALL("GetURL", get_url("http://127.0.0.1/")), CALL("Clear", clear()), CALL("FirstChild", first_child()),
        CALL("FirstChild", children().begin()), CALL("LastChild", last_child()), CALL("NextSibling", next_sibling()),
        CALL("PreviousSibling", previous_sibling()), CALL("get TreeId", tree_id()),
        CALL("GetChildWithTag", child_with_tag("t")), CALL("get Standalone", standalone()),
        CALL("put Standalone", set_standalone("yes")), CALL("get Encoding", encoding()),
        CALL("put Encoding", set_encoding("utf-8")), CALL("GetRoot", root()),
        CALL("SaveXmlLog", save_error_log("log.xml")), CALL("FindNextRecord", find_next_record("t", "*")),
        CALL("HttpPost", http_post("http://127.0.0.1/")), CALL("CompressSubtree", compress_subtree()),
        CALL("CompressNode", compress_node()), CALL("DecompressSubtree", decompress_subtree()),
        CALL("DecompressNode", decompress_node()), CALL("EncryptNode", encrypt_node("pw")),
        CALL("DecryptNode", decrypt_node("pw")), CALL("get ErrorLogHtml", error_log_html()),
        CALL("get ErrorLogXml", error_log_xml()), CALL("get ErrorLogText", error_log_text()),
        CALL("ErrorLogClear", clear_error_log()), CALL("GetChild2", move_to_child(0)),
        CALL("FindChild2", move_to_child("t")), CALL("RemoveFromTree", remove_from_tree()),
        CALL("GetParent2", move_to_parent()), CALL("FirstChild2", move_to_first_child()),
        CALL("LastChild2", move_to_last_child()), CALL("NextSibling2", move_to_next_sibling()),
        CALL("PreviousSibling2", move_to_previous_sibling()), CALL("GetRoot2", move_to_root()),
        CALL("QEncodeContent", q_encode_content("utf-8", b)), CALL("BEncodeContent", b_encode_content("utf-8", b)),
        CALL("UpdateAttribute", update_attribute("k", "v")), CALL("DecodeContent", decode_content()),
        CALL("SetBinaryContent", set_binary_content(b, true, true, "pw")),
        CALL("GetBinaryContent", binary_content(true, true, "pw")), CALL("FindChild", find_child("t")),
        CALL("NewChild2", add_child("t", "c")), CALL("SortByTag", sort_by_tag()),
        CALL("SortByContent", sort_by_content(false)), CALL("SortByAttribute", sort_by_attribute("k")),
        CALL("SortRecordsByContent", sort_records_by_content("t")),
        CALL("SortRecordsByAttribute", sort_records_by_attribute("t", "k")), CALL("LoadXmlV", load(b)),
        // IQuorvelXml2's
        CALL("SelectNodes", select("x")), CALL("SelectSingleNode", select_single("x")),
        CALL("SelectValues", select_values("x")), CALL("EvaluateXPath", evaluate("x")),
        CALL("SetXPathNamespace", set_xpath_namespace("p", "u")),
        CALL("SetXPathVariable", set_xpath_variable("v", 1.0)), CALL("get NamespaceUri", namespace_uri()),
        CALL("get LocalName", local_name()), CALL("get Prefix", prefix()),
        CALL("LookupNamespace", lookup_namespace("p")), CALL("GetXmlIndented", xml_indented("  ")),
        CALL("SaveXmlIndented", save_file_indented("f.xml", "\t")),
    };
    // Reached through xml::records rather than a member function of node.
    const std::set<std::string> notPerNode = {"OpenRecords",         "OpenRecordRange", "NextRecord",
                                              "get RecordSizeLimit", "put RecordSizeLimit", "get RecordPath",
                                              "GetRecordAncestor"};
#undef CALL
    std::map<std::string, int32_t> slotOf;
    for (const MemberInfo& m : kMembers) slotOf[memberKey(m)] = m.slot;
    std::map<std::string, int> reached;
    {
        node n = node::share(reinterpret_cast<IQuorvelXml*>(&spy));
        for (const auto& [key, call] : calls) {
            ASSERT_TRUE(slotOf.count(key)) << key << " is not a member of the table";
            try {
                call(n);
                ADD_FAILURE() << key << ": the spy's failure did not surface";
            } catch (const xml::error& e) {
                EXPECT_EQ(e.code(), kSpyBase + slotOf[key]) << key << " reached another slot";
            }
            ++reached[key];
        }
    }
    for (const auto& [key, slot] : slotOf) {
        EXPECT_TRUE(reached.count(key) || notPerNode.count(key)) << key << " (slot " << slot << ")";
    }
    EXPECT_EQ(reached.size() + notPerNode.size(), kMemberCount);
    // The views, reached through the virtual table only; the attribute range's element calls
    // GetAttributeUtf8 itself.
    const std::pair<int32_t, Call> views[] = {
        {112, [](node& n) { n.tag(); }},
        {113, [](node& n) { n.content(); }},
        {114, [](node& n) { xml::attribute_ref(reinterpret_cast<IQuorvelXml2*>(n.get()), 0).value(); }},
        {115, [](node& n) { n.attribute(" k "); }},
    };
    {
        node n = node::share(reinterpret_cast<IQuorvelXml*>(&spy));
        for (const auto& [slot, call] : views) {
            try {
                call(n);
                ADD_FAILURE() << slot << ": the spy's failure did not surface";
            } catch (const xml::error& e) {
                EXPECT_EQ(e.code(), kSpyBase + slot) << slot << " reached another slot";
            }
        }
    }
    EXPECT_EQ(spy.refs, 1u);  // every copy the layer took was given back
    // IQuorvelXml2 asked for once per node, the answer being the same pointer: n (whose attribute
    // range borrows it and what it knows), and the views' node.
    EXPECT_EQ(spy.queries, 2);
}

ULONG refsOf(const node& n) {
    n.get()->AddRef();
    return n.get()->Release();
}

// A walk reads the attributes of every element: their range borrows the node's handle and counts
// nothing up or down, unless the node is a temporary, whose reference it then keeps.
TEST(XmlLayer, TheAttributeRangeBorrowsItsNodeOrKeepsATemporary) {
    const node doc = xml::parse(R"(<r><a k="1" l="2"/></r>)");
    const auto pairsOf = [](const xml::attributes_view& view) {
        std::string pairs;
        for (const auto& at : view) pairs += std::string(at.name()) + "=" + std::string(at.value()) + ";";
        return pairs;
    };
    const node a = doc.child(0);
    const ULONG refs = refsOf(a);
    const int64_t live = CQuorvelXml::liveCount();
    {
        const xml::attributes_view view = a.attributes();
        const xml::attributes_view copy = view;
        EXPECT_EQ(refsOf(a), refs);
        EXPECT_EQ(pairsOf(copy), "k=1;l=2;");
        EXPECT_EQ(view.size(), 2u);
    }
    {
        const xml::attributes_view view = doc.child(0).attributes();
        EXPECT_EQ(CQuorvelXml::liveCount(), live + 1);
        const xml::attributes_view copy = view;
        EXPECT_EQ(pairsOf(copy), "k=1;l=2;");
    }
    EXPECT_EQ(CQuorvelXml::liveCount(), live);
    std::string pairs;
    for (const auto& at : doc.child(0).attributes()) pairs += std::string(at.name()) + ";";
    EXPECT_EQ(pairs, "k;l;");
    EXPECT_EQ(CQuorvelXml::liveCount(), live);
    EXPECT_EQ(refsOf(a), refs);
}

// IQuorvelXml2's results as a stand-in returns them, made of real handles and strings.
std::vector<IQuorvelXml*> fakeNodes;
HRESULT fakeSelectNodes(Spy*, BSTR, VARIANT* out) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_DISPATCH, 0, static_cast<ULONG>(fakeNodes.size()));
    for (size_t i = 0; i < fakeNodes.size(); ++i) {
        fakeNodes[i]->AddRef();
        static_cast<IDispatch**>(a->pvData)[i] = fakeNodes[i];
    }
    out->vt = VT_ARRAY | VT_DISPATCH;
    out->parray = a;
    return S_OK;
}
const char* const kFakeValues[] = {"", "ascii", "gr\xc3\xbc\xc3\x9f \xf0\x9f\x98\x80"};
HRESULT fakeSelectValues(Spy*, BSTR, VARIANT* out) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_BSTR, 0, 3);
    for (int i = 0; i < 3; ++i) static_cast<BSTR*>(a->pvData)[i] = test::bstr(kFakeValues[i]).release();
    out->vt = VT_ARRAY | VT_BSTR;
    out->parray = a;
    return S_OK;
}
// The expression names the type of the result.
HRESULT fakeEvaluate(Spy*, BSTR xpath, VARIANT* out) {
    const std::string kind = test::peek(xpath);
    if (kind == "number") {
        out->vt = VT_R8;
        out->dblVal = 2.5;
    } else if (kind == "boolean") {
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_TRUE;
    } else if (kind == "string") {
        out->vt = VT_BSTR;
        out->bstrVal = test::bstr("s\xc3\xa9").release();
    } else {
        out->vt = VT_I4;
        out->lVal = 7;
    }
    return S_OK;
}

TEST(XmlLayer, SecondInterfaceResultsConvert) {
    static const auto table = [] {
        auto t = spyTable(std::make_index_sequence<kFirstMemberSlot + kMemberCount>());
        t[93] = reinterpret_cast<const void*>(&fakeSelectNodes);
        t[95] = reinterpret_cast<const void*>(&fakeSelectValues);
        t[96] = reinterpret_cast<const void*>(&fakeEvaluate);
        return t;
    }();
    const int64_t live = CQuorvelXml::liveCount();
    Spy spy{table.data()};
    {
        node n = node::share(reinterpret_cast<IQuorvelXml*>(&spy));
        const node a = xml::parse("<a/>"), b = xml::parse("<b/>");
        fakeNodes = {a.get(), b.get(), a.get()};
        {
            const std::vector<node> selected = n.select("x");
            ASSERT_EQ(selected.size(), 3u);
            EXPECT_EQ(std::string(selected[0].tag()), "a");
            EXPECT_EQ(std::string(selected[1].tag()), "b");
            EXPECT_EQ(selected[2].get(), a.get());
            EXPECT_EQ(refsOf(a), 3u);  // a's own and its two places in the result
        }
        EXPECT_EQ(refsOf(a), 1u);
        EXPECT_EQ(refsOf(b), 1u);
        fakeNodes.clear();
        EXPECT_TRUE(n.select("x").empty());
        fakeNodes.clear();

        EXPECT_EQ(n.select_values("x"), (std::vector<std::string>{kFakeValues, kFakeValues + 3}));
        EXPECT_EQ(n.evaluate("number"), xml::xpath_value(2.5));
        EXPECT_EQ(n.evaluate("boolean"), xml::xpath_value(true));
        EXPECT_EQ(n.evaluate("string"), xml::xpath_value(std::string("s\xc3\xa9")));
        EXPECT_EQ(n.evaluate("other"), xml::xpath_value(std::string("7")));  // as its string
        EXPECT_EQ(spy.queries, 1);
    }
    EXPECT_EQ(spy.refs, 1u);
    EXPECT_EQ(CQuorvelXml::liveCount(), live);

    // An IQuorvelXml without IQuorvelXml2: a clean E_NOINTERFACE, without error information left
    // over from an earlier failure, and the old members still work.
    Spy foreign{table.data()};
    foreign.second = false;
    {
        node n = node::share(reinterpret_cast<IQuorvelXml*>(&foreign));
        xml::status s;
        EXPECT_FALSE(xml::parse("<r/>").child(3, s));
        ASSERT_FALSE(s.description.empty());
        EXPECT_TRUE(n.select("x", s).empty());
        EXPECT_EQ(s.code, E_NOINTERFACE);
        EXPECT_EQ(s.description, "");
        EXPECT_EQ(n.evaluate("number", s), xml::xpath_value(std::string()));
        EXPECT_EQ(s.code, E_NOINTERFACE);
        try {
            n.local_name();
            ADD_FAILURE() << "no exception";
        } catch (const xml::error& e) {
            EXPECT_EQ(e.code(), E_NOINTERFACE);
        }
        EXPECT_EQ(foreign.queries, 3);  // asked each time, never remembered
        xml::status old;
        n.tag_string(old);
        EXPECT_EQ(old.code, kSpyBase + 9);
        // A view needs IQuorvelXml2: the owning result is the way for such an object.
        EXPECT_EQ(n.tag(old), "");
        EXPECT_EQ(old.code, E_NOINTERFACE);
    }
    EXPECT_EQ(foreign.refs, 1u);
}

// An expression held in an xml::xpath gives what the node's members give for its text, from any
// context node of any document, each with its own bindings; it fails as they fail, at each call.
TEST(XmlLayer, AnXPathObjectEvaluatesAsTheNodesMembersDo) {
    const node doc = xml::parse(R"(<catalog><book price="5"><title>A</title></book>)"
                                R"(<book price="15"><title>B</title></book><book price="7"/></catalog>)");
    doc.set_xpath_variable("max", 10.0);
    const xml::xpath titles("book[@price < $max]/title");
    EXPECT_EQ(titles.text(), "book[@price < $max]/title");
    const std::vector<node> found = titles.select(doc);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].content(), "A");
    EXPECT_EQ(titles.select_single(doc)->content(), "A");
    EXPECT_EQ(titles.select_values(doc), doc.select_values(titles.text()));
    EXPECT_EQ(titles.evaluate(doc), xml::xpath_value(std::string("A")));
    EXPECT_EQ(xml::xpath("count(book)").evaluate(doc), xml::xpath_value(3.0));
    EXPECT_EQ(xml::xpath("@price > 6").evaluate(doc.child(2)), xml::xpath_value(true));
    EXPECT_FALSE(xml::xpath("title").select_single(doc.child(2)));

    // Another document, its own variable; text beyond ASCII crosses as UTF-8.
    const node other = xml::parse("<catalog><book price='1'><title>C</title></book><caf\xC3\xA9>x</caf\xC3\xA9></catalog>");
    other.set_xpath_variable("max", 2.0);
    EXPECT_EQ(titles.select_values(other), std::vector<std::string>{"C"});
    EXPECT_EQ(xml::xpath("string(caf\xC3\xA9)").evaluate(other), xml::xpath_value(std::string("x")));

    // A syntax error surfaces at each call, with the members' description.
    const xml::xpath broken("book[");
    xml::status held, direct;
    EXPECT_TRUE(broken.select(doc, held).empty());
    doc.select(broken.text(), direct);
    EXPECT_EQ(held.code, E_FAIL);
    EXPECT_EQ(held.description, direct.description);
    EXPECT_FALSE(broken.select_single(doc, held));
    EXPECT_EQ(held.code, E_FAIL);
    EXPECT_THROW(broken.evaluate(doc), xml::error);
    EXPECT_THROW(broken.select_values(doc), xml::error);
    // A result that is no node-set cannot be selected.
    EXPECT_THROW(xml::xpath("count(book)").select(doc), xml::error);
}

TEST(XmlLayer, ANodeOwnsExactlyOneReference) {
    const int64_t live = CQuorvelXml::liveCount();
    {
        node a = xml::parse("<r><x/><y/></r>");
        ASSERT_TRUE(a);
        const ULONG base = refsOf(a);
        node b = a;  // the same handle object, one more reference
        EXPECT_EQ(b.get(), a.get());
        EXPECT_EQ(refsOf(a), base + 1);
        node c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(refsOf(a), base + 1);
        const node& same = c;
        c = same;  // self-assignment keeps the reference
        c = a;
        EXPECT_EQ(refsOf(a), base + 1);
        c = xml::create();
        EXPECT_EQ(refsOf(a), base);
        EXPECT_EQ(c.tag(), "unnamed");
        // Moving one copy moves the shared handle: a copy is not a second handle.
        node d = a;
        EXPECT_TRUE(d.move_to_first_child());
        EXPECT_EQ(a.tag(), "x");
        // release() hands the reference over; adopt() takes it back.
        node e = node::adopt(d.release());
        EXPECT_FALSE(d);
        EXPECT_EQ(refsOf(a), base + 1);
        EXPECT_EQ(CQuorvelXml::liveCount(), live + 2);
    }
    EXPECT_EQ(CQuorvelXml::liveCount(), live);
}

struct Failure {
    std::function<void(const node&, xml::status&)> withStatus;
    std::function<void(const node&)> throwing;
    std::string description;
};

// One row per kind of result (handle, string, flag); each member's own messages are the member tests'.
TEST(XmlLayer, FailuresCarryTheComponentsErrorInformation) {
    node doc = xml::parse(R"(<r k="1"><a/><b/><a/></r>)");
    const std::vector<Failure> failures = {
        {[](const node& n, xml::status& s) { EXPECT_FALSE(n.child(5, s)); }, [](const node& n) { n.child(5); },
         "(GetChild)\nNo child at this index\nindex: 5"},
        {[](const node& n, xml::status& s) { EXPECT_EQ(n.attribute_name(3, s), ""); },
         [](const node& n) { n.attribute_name(3); }, "(GetAttributeName)\nNo attribute at this index\nindex: 3"},
        {[](const node&, xml::status& s) { EXPECT_FALSE(xml::create().load("just text", s)); },
         [](const node&) { xml::parse("just text"); }, "(LoadXml)\nFailed to parse XML data (5)"},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.description);
        try {
            f.throwing(doc);
            ADD_FAILURE() << "no exception";
        } catch (const xml::error& e) {
            EXPECT_EQ(e.code(), E_FAIL);
            EXPECT_EQ(e.source(), "QuorvelXml.QuorvelXml");
            EXPECT_EQ(std::string(e.what()).substr(0, f.description.size()), f.description);
        }
        xml::status s;
        f.withStatus(doc, s);
        EXPECT_EQ(s.code, E_FAIL);
        EXPECT_EQ(s.description.substr(0, f.description.size()), f.description);
        EXPECT_EQ(doc.tag(s), "r");  // a successful call resets the status
        EXPECT_TRUE(s.ok() && s.description.empty() && s.source.empty());
    }
    // A null handle where a handle is found is not a failure: the optional is empty.
    xml::status s;
    EXPECT_FALSE(doc.child_with_tag("zz", s));
    EXPECT_FALSE(doc.parent(s));
    EXPECT_FALSE(doc.find_child("zz"));
    EXPECT_TRUE(s.ok());
}

// The tags of the nodes, in the order given.
template <std::ranges::input_range R>
std::vector<std::string> tagsOf(R&& nodes) {
    std::vector<std::string> tags;
    for (const node& n : nodes) tags.push_back(std::string(n.tag()));
    return tags;
}

// What each raw member finds here (GetChild by index; the searches with each result passed as
// `after` of the next call) is pinned by the member and tree search tests.
TEST(XmlLayer, RangesVisitWhatTheRawMembersVisit) {
    const node doc = xml::parse(
        R"(<r><a k="x1"><c>hit</c></a><b k="y" k="xz">hit</b><a k="z"><d>miss</d><a>hit</a></a></r>)");
    const int64_t live = CQuorvelXml::liveCount();

    // Children, walked with one cursor handle.
    const std::vector<std::string> expected = {"a", "b", "a"};
    int64_t peak = 0;
    std::vector<std::string> walked;
    for (const node& child : doc.children()) {
        walked.push_back(std::string(child.tag()));
        peak = std::max(peak, CQuorvelXml::liveCount() - live);
    }
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(peak, 1);

    // A kept element stays on its node while the walk goes on.
    std::vector<node> kept;
    for (const node& child : doc.children()) kept.push_back(child);
    EXPECT_EQ(tagsOf(kept), expected);

    const std::pair<xml::search_view, std::vector<std::string>> searches[] = {
        {doc.search("a"), {"a:", "a:", "a:hit"}},
        {doc.search_content("a", "hit"), {"a:hit"}},
        {doc.search_all_content("hit"), {"b:hit", "c:hit", "a:hit"}},
        {doc.search_attribute("b", "k", "x*"), {"b:hit"}},
    };
    for (const auto& [view, order] : searches) {
        std::vector<std::string> layerOrder;
        for (const node& n : view) layerOrder.push_back(std::string(n.tag()) + ":" + std::string(n.content()));
        EXPECT_EQ(layerOrder, order);
    }

    // They compose with <ranges>: the searches as views, attributes as a sized forward range.
    const node b = *doc.child_with_tag("b");
#if !defined(__clang__) || __clang_major__ >= 16  // older clang cannot compile libstdc++'s adaptors
    auto withContent = doc.search("a") | std::views::filter([](const node& n) { return !n.content().empty(); });
    EXPECT_EQ(std::ranges::distance(withContent), 1);
#endif
    std::string pairs;
    for (const auto& at : b.attributes()) pairs += std::string(at.name()) + "=" + std::string(at.value()) + ";";
    EXPECT_EQ(pairs, "k=y;k=xz;");
    EXPECT_EQ(b.attributes().size(), 2u);
    EXPECT_EQ(std::ranges::count_if(doc.children(), [](const node& n) { return n.tag() == "a"; }), 2);
    static_assert(std::ranges::input_range<xml::children_view> && std::ranges::view<xml::search_view> &&
                  std::ranges::forward_range<xml::attributes_view>);
    kept.clear();
    EXPECT_EQ(CQuorvelXml::liveCount(), live + 1);  // b
}

TEST(XmlLayer, TextCrossesAsUtf8AndBytesAsSpans) {
    node doc = xml::create();
    // Valid UTF-8 comes back unchanged, at every length; ill-formed parts become U+FFFD each, by the
    // rules tabled in tests/core.
    const std::string longText(300, 'a'), longWide = std::string(120, 'a') + "\xE2\x82\xAC\xF0\x9D\x84\x9E";
    const std::pair<std::string, std::string> texts[] = {
        {"", ""},
        {"\xC0\xAF!", "\xEF\xBF\xBD\xEF\xBF\xBD!"},
        {longText, longText},
        {longWide, longWide},
    };
    const auto crosses = [&](const std::string& in, const std::string& out) {
        doc.set_content(in);
        EXPECT_EQ(doc.content(), out);
        doc.add_child("t", in);
        EXPECT_EQ(doc.last_child()->content(), out);
    };
    for (const auto& [in, out] : texts) crosses(in, out);
    // Short text is gathered into two words: every length to 17 (past one word, past the short
    // path), all ASCII or with U+0080 or U+0100 (whose low byte looks like ASCII) at any one place.
    for (std::size_t n = 1; n <= 17; ++n)
        for (const std::string wide : {"\xC2\x80", "\xC4\x80"})
            for (std::size_t at = 0; at <= n; ++at) {
                std::string text;
                for (std::size_t i = 0; i < n; ++i) text += i == at ? wide : std::string(1, char('a' + i));
                SCOPED_TRACE(text);
                crosses(text, text);
            }
    // Bytes load with their declared encoding; the array is the caller's memory, not a copy.
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><p>caf\xE9</p>";
    EXPECT_TRUE(doc.load(std::as_bytes(std::span(latin1))));
    EXPECT_EQ(doc.content(), "caf\xC3\xA9");
    xml::status s;
    EXPECT_FALSE(doc.load(std::span<const std::byte>(), s));
    EXPECT_EQ(s.code, E_FAIL);
}

TEST(XmlLayer, ProgressReachesTheCallableForTheCallOnly) {
    std::string text = "<list>";
    for (int i = 0; i < 2000; ++i) text += "<item>" + std::to_string(i) + "</item>";
    text += "</list>";
    node doc = xml::create();
    std::vector<int> percents;
    EXPECT_TRUE(doc.load(text, [&](int p) { percents.push_back(p); }));
    ASSERT_GT(percents.size(), 10u);  // their order is Events.LoadXmlReportsProgressToEveryConnectedSink's
    const size_t seen = percents.size();
    EXPECT_TRUE(doc.load(text));  // disconnected: nothing more arrives
    EXPECT_EQ(percents.size(), seen);

    // A callable that throws stops hearing events; the load finishes and the exception follows it.
    int calls = 0;
    EXPECT_THROW(doc.load(text, [&](int) { ++calls; throw std::runtime_error("stop"); }), std::runtime_error);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(doc.child_count(), 2000);
    // A failed load with a status still reports through the callable, then through the status.
    xml::status s;
    percents.clear();
    EXPECT_FALSE(doc.load("just text", [&](int p) { percents.push_back(p); }, s));
    EXPECT_EQ(percents, std::vector<int>{100});
    EXPECT_EQ(s.code, E_FAIL);
}

// A host that lets a failure run through its own code without catching it: on the way out every
// handle, range and search it held is released.
void hostThatNeverCatches() {
    node doc = xml::parse("<r><a/><b/></r>");
    node extra = doc.new_child("c", "text");
    auto children = doc.children();
    auto it = children.begin();
    auto search = doc.search("a");
    auto found = search.begin();
    std::vector<node> copies(3, *it);
    doc.child(42);  // throws
}

TEST(XmlLayer, AHostThatNeverCatchesHasItsHandlesReleased) {
    const int64_t live = CQuorvelXml::liveCount();
    EXPECT_THROW(hostThatNeverCatches(), xml::error);
    EXPECT_EQ(CQuorvelXml::liveCount(), live);
    if (live == 0) {
        EXPECT_EQ(DllCanUnloadNow(), S_OK);
    }
}

}  // namespace
}  // namespace quorvel
