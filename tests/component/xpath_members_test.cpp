// The XPath and namespace members through the C++ layer: results, failures and their log,
// bindings shared by every handle on a document, and the note about default namespaces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorvel/xml.hpp"

namespace {

using namespace quorvel;

const char* kLibrary =
    "<lib xmlns='urn:lib' xmlns:p='urn:p'>"
    "<book id='bk101'><title>XML Guide</title><p:price>44.95</p:price></book>"
    "<book id='bk102'><title>Rain</title><p:price>5.95</p:price></book>"
    "</lib>";

std::vector<std::string> tags(const std::vector<xml::node>& nodes) {
    std::vector<std::string> out;
    for (const auto& n : nodes) out.push_back(std::string(n.tag()));
    return out;
}

TEST(XPathMembers, SelectEvaluateAndBindingsSharedByTheDocument) {
    xml::node doc = xml::parse(kLibrary);
    // Unprefixed names are in no namespace until the default is bound; the log says why.
    EXPECT_TRUE(doc.select("//book").empty());
    EXPECT_NE(doc.error_log_text().find("SetXPathNamespace(\"\", \"urn:lib\")"), std::string::npos);
    xml::node second = doc.select_single("/*")->children().begin().operator*();  // any handle on the document
    second.set_xpath_namespace("", "urn:lib");
    second.set_xpath_namespace("q", "urn:p");
    EXPECT_EQ(tags(doc.select("//book")), (std::vector<std::string>{"book", "book"}));
    EXPECT_EQ(tags(doc.select("//book[q:price < 10]/title")), (std::vector<std::string>{"title"}));
    EXPECT_EQ(doc.select_values("//book/@id | //title"),
              (std::vector<std::string>{"bk101", "XML Guide", "bk102", "Rain"}));
    EXPECT_FALSE(doc.select_single("//book[@id='none']").has_value());
    EXPECT_EQ(std::string(doc.select_single("//book[2]/title")->content()), "Rain");
    doc.set_xpath_variable("id", std::string("bk102"));
    EXPECT_EQ(std::get<std::string>(doc.evaluate("string(//book[@id=$id]/title)")), "Rain");
    EXPECT_EQ(std::get<double>(doc.evaluate("count(//title)")), 2.0);
    EXPECT_EQ(std::get<bool>(doc.evaluate("//book/@id = 'bk101'")), true);
    EXPECT_EQ(std::get<std::string>(doc.evaluate("//title")), "XML Guide");
    EXPECT_EQ(std::get<std::string>(doc.evaluate("string(1 div 0)")), "Infinity");
    // Context: the handle's node.
    xml::node book = *doc.select_single("//book[2]");
    EXPECT_EQ(std::get<std::string>(book.evaluate("string(@id)")), "bk102");
    EXPECT_EQ(tags(book.select("preceding-sibling::*")), (std::vector<std::string>{"book"}));

    // Namespace properties on nodes.
    xml::node price = *doc.select_single("//q:price");
    EXPECT_EQ(price.namespace_uri(), "urn:p");
    EXPECT_EQ(price.local_name(), "price");
    EXPECT_EQ(price.prefix(), "p");
    EXPECT_EQ(book.namespace_uri(), "urn:lib");
    EXPECT_EQ(book.prefix(), "");
    EXPECT_EQ(book.lookup_namespace("p"), "urn:p");
    EXPECT_EQ(book.lookup_namespace("xml"), "http://www.w3.org/XML/1998/namespace");
    EXPECT_EQ(book.lookup_namespace("zz"), "");
}

TEST(XPathMembers, FailuresNameTheirCause) {
    xml::node doc = xml::parse(kLibrary);
    doc.set_xpath_namespace("", "urn:lib");
    struct Row {
        const char* xpath;
        std::vector<const char*> inLog;
    };
    const Row rows[] = {
        {"//book[", {"XPath syntax error", "<xpath>//book[</xpath>", "<position>8</position>"}},
        {"frob(1)", {"Unknown XPath function", "<name>frob</name>"}},
        {"//z:book", {"Unbound XPath namespace prefix", "<name>z</name>"}},
        {"$nothing", {"Unknown XPath variable", "<name>nothing</name>"}},
        {"count(1)", {"XPath type error"}},
    };
    for (const Row& r : rows) {
        xml::status s;
        doc.evaluate(r.xpath, s);
        EXPECT_TRUE(FAILED(s.code)) << r.xpath;
        std::string log = doc.error_log_xml();
        for (const char* part : r.inLog) EXPECT_NE(log.find(part), std::string::npos) << r.xpath << "\n" << log;
    }
    // SelectNodes takes elements only, and says what else the set held.
    xml::status s;
    doc.select("//book/@id", s);
    EXPECT_TRUE(FAILED(s.code));
    EXPECT_NE(doc.error_log_text().find("attribute nodes"), std::string::npos);
    doc.select("count(//book)", s);
    EXPECT_TRUE(FAILED(s.code));
    EXPECT_EQ(doc.select_values("//book/title/text()"), (std::vector<std::string>{"XML Guide", "Rain"}));
}

}  // namespace
