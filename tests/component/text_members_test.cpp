// LoadXml, GetXml, Encoding and Standalone through the interface.
#include <gtest/gtest.h>

#include <string>

#include "component_test_support.h"

namespace quorvel::test {
namespace {

std::string load(IQuorvelXml* h, const std::string& xml) {
    LONG flag = -1;
    EXPECT_EQ(h->LoadXml(bstr(xml).get(), &flag), S_OK) << xml;
    EXPECT_EQ(flag, 1);
    return getString(h, &IQuorvelXml::GetXml);
}

// LoadXml and GetXml as a host sees them: a host string, whatever it declares, is a document in
// UTF-8. The parser's reading of odd text is tabled in tests/xml/parse_test, the writer's forms and
// the declaration only at the root in tests/xml/serialize_test, host strings in tests/charset.
TEST(TextMembers, LoadXmlAndGetXml) {
    ComPtr<IQuorvelXml> h = newHandle();
    EXPECT_EQ(load(h.get(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a x=\"1&amp;2\"><c>\xC3\xA9 \xF0\x9F\x98\x80</c></a>"),
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<a x=\"1&amp;2\"><c>\xC3\xA9 \xF0\x9F\x98\x80</c>\n</a>\n");
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_Encoding), "utf-8");
    EXPECT_EQ(getString(child(h.get(), 0).get(), &IQuorvelXml::GetXml), "<c>\xC3\xA9 \xF0\x9F\x98\x80</c>\n");
}

TEST(TextMembers, FailuresLeaveTheDocumentAndExplainThemselves) {
    ComPtr<IQuorvelXml> h = newHandle();
    load(h.get(), "<keep/>");
    const LONG id = getLong(h.get(), &IQuorvelXml::get_TreeId);
    LONG flag = -1;
    expectFailure(h.get(), h->LoadXml(bstr("just text").get(), &flag), "(LoadXml)\nFailed to parse XML data (5)");
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(getLong(h.get(), &IQuorvelXml::get_TreeId), id);
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_Tag), "keep");

    expectFailure(h.get(), h->LoadXml(nullptr, &flag), "(LoadXml)\nParameter is NULL");

    // A new tree replaces the handle's; other handles keep the old one.
    load(h.get(), "<first><kept/></first>");
    ComPtr<IQuorvelXml> other = child(h.get(), 0);
    load(h.get(), "<second/>");
    EXPECT_EQ(getString(other.get(), &IQuorvelXml::get_Tag), "kept");
    EXPECT_NE(getLong(other.get(), &IQuorvelXml::get_TreeId), getLong(h.get(), &IQuorvelXml::get_TreeId));
}

TEST(TextMembers, EncodingAndStandaloneLiveInTheDeclaration) {
    ComPtr<IQuorvelXml> h = newHandle();
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_Encoding), "");
    ASSERT_EQ(h->put_Encoding(bstr(" iso-8859-1 ").get()), S_OK);
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::GetXml), "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>\n<unnamed></unnamed>\n");
    ASSERT_EQ(h->put_Standalone(bstr("y</e>s").get()), S_OK);  // unsafe bytes removed
    ASSERT_EQ(h->put_Encoding(bstr("windows-1252").get()), S_OK);  // replaced, moved last
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::GetXml),
              "<?xml version=\"1.0\" standalone=\"yes\" encoding=\"windows-1252\" ?>\n<unnamed></unnamed>\n");
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_Standalone), "yes");

    // Every handle of the tree sees the change.
    load(h.get(), "<r><c/></r>");
    ASSERT_EQ(child(h.get(), 0)->put_Encoding(bstr("koi8-r").get()), S_OK);
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_Encoding), "koi8-r");
    ASSERT_EQ(h->put_Encoding(nullptr), S_OK);
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_Encoding), "");
}

}  // namespace
}  // namespace quorvel::test
