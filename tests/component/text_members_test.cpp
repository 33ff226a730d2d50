// LoadXml, GetXml, Encoding and Standalone through the interface, as a host calls them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "component_test_support.h"

namespace quorvel {
namespace {

using namespace test;

LONG load(IQuorvelXml* h, const std::string& text, HRESULT expected = S_OK) {
    LONG flag = -1;
    EXPECT_EQ(h->LoadXml(bstr(text).get(), &flag), expected) << text;
    return flag;
}

std::string xml(IQuorvelXml* h) { return getString(h, &IQuorvelXml::GetXml); }
std::string content(IQuorvelXml* h) { return getString(h, &IQuorvelXml::get_Content); }
std::string tag(IQuorvelXml* h) { return getString(h, &IQuorvelXml::get_Tag); }
std::string encoding(IQuorvelXml* h) { return getString(h, &IQuorvelXml::get_Encoding); }
std::string standalone(IQuorvelXml* h) { return getString(h, &IQuorvelXml::get_Standalone); }

ComPtr<IQuorvelXml> child(IQuorvelXml* h, LONG i) {
    ComPtr<IQuorvelXml> c;
    EXPECT_EQ(h->GetChild(i, c.put()), S_OK);
    return c;
}

std::string attribute(IQuorvelXml* h, const char* name) {
    BSTR s = nullptr;
    EXPECT_EQ(h->GetAttrValue(bstr(name).get(), &s), S_OK);
    return take(s);
}

// The reading rules as a host sees them, the odd ones included, written back by GetXml.
TEST(TextMembers, LoadXmlReadsAsTheParserDoes) {
    struct Case {
        std::string text;
        std::string written;  // GetXml of the root, without the declaration LoadXml adds
    };
    const std::vector<Case> cases = {
        {"<a> x </a>", "<a>x</a>\n"},
        {"<a>x<b/>y</a>", "<a>x y<b></b>\n</a>\n"},
        {"<a>&amp;lt;</a>", "<a>&amp;lt;</a>\n"},
        {"<a><![CDATA[<y>]]>z</a>", "<a><![CDATA[<y>]]></a>\n"},
        {"<a>x<![CDATA[<y>]]>z</a>", "<a>x ]]&gt;z</a>\n"},
        {"<a x=1 y=2>", "<a x=\"1 y=2\"></a>\n"},
        {"<a x=\"1>2\"></a>", "<a x=\"1\">2&quot;&gt;</a>\n"},
        {"<a></b>", "<a></a>\n"},
        {"<a></a><b></b>", "<b></b>\n"},
        {"<a><b>", "<a><b></b>\n</a>\n"},
        {"<!DOCTYPE a [<!ELEMENT a ANY>]><a/>", "<!DOCTYPE a [<!ELEMENT a ANY>]>\n\n<a></a>\n"},
        {"<?pi data?><a/>", "<?pi data?>\n\n<a></a>\n"},
        {"<?xml\tversion=\"1.0\"?><a/>", "<?xml\tversion=\"1.0\"?>\n\n<a></a>\n"},
        {"<r>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</r>", "<r>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</r>\n"},
    };
    ComPtr<IQuorvelXml> h = newHandle();
    for (const Case& c : cases) {
        ASSERT_EQ(load(h.get(), c.text), 1);
        std::string got = xml(h.get());
        const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";
        ASSERT_EQ(got.substr(0, declaration.size()), declaration) << c.text;
        EXPECT_EQ(got.substr(declaration.size()), c.written) << c.text;
    }
    ASSERT_EQ(load(h.get(), "<a x='it\"s' k=\"&lt;&amp;amp;\"><b>one</b><b>two</b></a>"), 1);
    EXPECT_EQ(attribute(h.get(), "x"), "it\"s");
    EXPECT_EQ(attribute(h.get(), "k"), "<&amp;");
    EXPECT_EQ(content(child(h.get(), 1).get()), "two");
    EXPECT_EQ(xml(child(h.get(), 0).get()), "<b>one</b>\n") << "a child writes no declaration";
}

TEST(TextMembers, LoadXmlReplacesTheTreeOnlyOnSuccess) {
    ComPtr<IQuorvelXml> h = newHandle();
    ASSERT_EQ(load(h.get(), "<first><kept/></first>"), 1);
    ComPtr<IQuorvelXml> other = child(h.get(), 0);
    const LONG firstId = getLong(h.get(), &IQuorvelXml::get_TreeId);

    for (const char* bad : {"", "no element here", "<!-- only a comment -->"}) {
        EXPECT_EQ(load(h.get(), bad, E_FAIL), 0);
        EXPECT_EQ(takeErrorInfo().description, "(LoadXml)\nFailed to parse XML data (5)");
        EXPECT_EQ(tag(h.get()), "first");
        EXPECT_EQ(getLong(h.get(), &IQuorvelXml::get_TreeId), firstId);
    }
    EXPECT_EQ(errorLogXml(h.get()),
              "<QuorvelLog>\n<LoadXml>\n    <error>Failed to parse XML data (5)</error>\n</LoadXml>\n</QuorvelLog>\n");

    // The parser's own entries stay in the call's log, and a tree built so far is still taken.
    EXPECT_EQ(load(h.get(), "<a><!-- never closed"), 1);
    EXPECT_NE(errorLogXml(h.get()).find("<error>Unclosed comment</error>"), std::string::npos);

    ASSERT_EQ(load(h.get(), "<second/>"), 1);
    EXPECT_NE(getLong(h.get(), &IQuorvelXml::get_TreeId), firstId);
    EXPECT_EQ(tag(other.get()), "kept") << "another handle keeps the old tree alive";
    EXPECT_EQ(getLong(other.get(), &IQuorvelXml::get_TreeId), firstId);

    LONG flag = -1;
    EXPECT_EQ(h->LoadXml(nullptr, &flag), E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(LoadXml)\nParameter is NULL");
    EXPECT_EQ(h->LoadXml(bstr("<a/>").get(), nullptr), E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(LoadXml)\nParameter is NULL");
    EXPECT_EQ(h->GetXml(nullptr), E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(GetXml)\nParameter is NULL");
    EXPECT_EQ(tag(h.get()), "second");
}

TEST(TextMembers, EncodingAndStandaloneLiveInTheTree) {
    ComPtr<IQuorvelXml> h = newHandle();
    EXPECT_EQ(encoding(h.get()), "") << "a new handle's tree has no declaration";
    EXPECT_EQ(standalone(h.get()), "");
    EXPECT_EQ(xml(h.get()), "<unnamed></unnamed>\n");

    // A loaded string is Unicode whatever it declared.
    ASSERT_EQ(load(h.get(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?><doc><c/></doc>"), 1);
    EXPECT_EQ(encoding(h.get()), "utf-8");
    EXPECT_EQ(standalone(h.get()), "yes");
    EXPECT_EQ(xml(h.get()), "<?xml version=\"1.0\" standalone=\"yes\" encoding=\"utf-8\" ?>\n<doc><c></c>\n</doc>\n");

    ComPtr<IQuorvelXml> c = child(h.get(), 0);
    EXPECT_EQ(c->put_Encoding(bstr(" iso-8859-1 ").get()), S_OK);
    EXPECT_EQ(encoding(h.get()), "iso-8859-1") << "any handle on the tree sees the change";
    EXPECT_EQ(h->put_Encoding(bstr("\t<utf/16>\r\n x").get()), S_OK);
    EXPECT_EQ(encoding(c.get()), "utf16x");
    EXPECT_EQ(h->put_Standalone(bstr(" no ").get()), S_OK);
    EXPECT_EQ(xml(h.get()), "<?xml version=\"1.0\" encoding=\"utf16x\" standalone=\"no\" ?>\n<doc><c></c>\n</doc>\n");
    EXPECT_EQ(h->put_Standalone(nullptr), S_OK);
    EXPECT_EQ(standalone(h.get()), "");
    EXPECT_EQ(xml(c.get()), "<c></c>\n");

    // On a tree without declaration the put makes one, with version 1.0 first.
    ComPtr<IQuorvelXml> fresh = newHandle();
    EXPECT_EQ(fresh->put_Encoding(bstr(" iso-8859-1 ").get()), S_OK);
    EXPECT_EQ(fresh->put_Encoding(bstr("iso-8859-1").get()), S_OK);
    EXPECT_EQ(xml(fresh.get()), "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>\n<unnamed></unnamed>\n");
    // Through the ANSI code page both ways: a character it lacks becomes '?'.
    EXPECT_EQ(fresh->put_Standalone(bstr("\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD").get()), S_OK);
    EXPECT_EQ(standalone(fresh.get()), "\xC3\xA9\xE2\x82\xAC?");

    EXPECT_EQ(h->get_Encoding(nullptr), E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(Encoding)\nParameter is NULL");
    EXPECT_EQ(h->get_Standalone(nullptr), E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(Standalone)\nParameter is NULL");
}

// Records the percentages of the ParsePercentDone events it receives.
class PercentSink final : public IDispatch {
public:
    std::vector<LONG> percents;
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        *ppv = (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_IQuorvelXmlEvents) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == 1 && params && params->cArgs == 1 && params->rgvarg[0].vt == VT_I4) percents.push_back(params->rgvarg[0].lVal);
        return S_OK;
    }
};

TEST(TextMembers, LoadXmlRaisesParsePercentDone) {
    ComPtr<IQuorvelXml> h = newHandle();
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(h->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> events;
    ASSERT_EQ(container->FindConnectionPoint(DIID_IQuorvelXmlEvents, events.put()), S_OK);
    PercentSink sink;
    DWORD cookie = 0;
    ASSERT_EQ(events->Advise(&sink, &cookie), S_OK);

    std::string doc = "<list>";
    for (int i = 0; i < 500; ++i) doc += "<item n=\"" + std::to_string(i) + "\">text</item>";
    doc += "</list>";
    ASSERT_EQ(load(h.get(), doc), 1);
    ASSERT_GT(sink.percents.size(), 50u);
    for (size_t i = 1; i < sink.percents.size(); ++i) ASSERT_LT(sink.percents[i - 1], sink.percents[i]);
    EXPECT_EQ(sink.percents.back(), 100);
    EXPECT_EQ(std::count(sink.percents.begin(), sink.percents.end(), 100), 1);

    // Without end tags only the closing 100 comes; a failed load still finishes its run.
    sink.percents.clear();
    ASSERT_EQ(load(h.get(), "<a/>"), 1);
    EXPECT_EQ(sink.percents, std::vector<LONG>{100});
    sink.percents.clear();
    load(h.get(), "no element", E_FAIL);
    EXPECT_EQ(sink.percents, std::vector<LONG>{100});
    sink.percents.clear();
    load(h.get(), "", E_FAIL);
    EXPECT_TRUE(sink.percents.empty()) << "an empty text reports nothing";
    EXPECT_EQ(events->Unadvise(cookie), S_OK);
}

}  // namespace
}  // namespace quorvel
