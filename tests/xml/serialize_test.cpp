#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "xml_test_support.h"

namespace quorvel::test {
namespace {

std::string rep(char c, int n) { return std::string(static_cast<size_t>(n), c); }

std::string contentWritten(const std::string& content) {
    TreePtr root(TreeNode::newTree("c"));
    root->setContentBytes(content.data(), static_cast<int32_t>(content.size()));
    std::string s = serialized(root.get());
    EXPECT_TRUE(s.starts_with("<c>") && s.ends_with("</c>\n"));
    return s.substr(3, s.size() - 8);
}

// The wrap: a SP or LF scanned while the column counter is past 80 ends the line. The counter is
// 0 at the first byte, 1 at the first byte of each later line, and counts escapes as one.
TEST(Serialize, ContentEscapingAndWrapTable) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {rep('a', 200), rep('a', 200)},
        {rep('x', 80) + " yy", rep('x', 80) + " yy"}, {rep('x', 81) + " yy", rep('x', 81) + " \nyy"},
        {rep('a', 10) + "\n" + rep('b', 70) + " cc", rep('a', 10) + "\n" + rep('b', 70) + " \ncc"},
        {rep('x', 81) + "\n  \n y", rep('x', 81) + "\ny"},
        {rep('a', 81) + " " + rep('b', 79) + " c d", rep('a', 81) + " \n" + rep('b', 79) + " c \nd"},
        {rep('x', 78) + "&&& y", rep('x', 78) + "&amp;&amp;&amp; \ny"},
        {rep('x', 78) + "&& y", rep('x', 78) + "&amp;&amp; y"}, {rep('x', 85) + "   ", rep('x', 85) + " \n"},
        {rep('x', 90) + "\r\t\r\tz", rep('x', 90) + "\r\t\r\tz"}, {"a<b>c&d\"e'f", "a&lt;b&gt;c&amp;d&quot;e'f"},
        {std::string("ab\0cd", 5), "ab"},
        // 2-byte characters count twice: 41 of them reach column 82.
        {[] { std::string s; for (int i = 0; i < 41; ++i) s += "\xC3\xA9"; return s + " z"; }(),
         [] { std::string s; for (int i = 0; i < 41; ++i) s += "\xC3\xA9"; return s + " \nz"; }()},
    };
    for (auto& [content, written] : cases) EXPECT_EQ(contentWritten(content), written) << content;
}

TEST(Serialize, ElementsAttributesAndCdata) {
    TreePtr a(TreeNode::newTree("a", "x"));
    a->addAttribute("id", "1");
    TreeNode* b = TreeNode::newChild(a.get(), "b");
    b->setContent("y");
    EXPECT_EQ(serialized(a.get()), "<a id=\"1\">x<b>y</b>\n</a>\n");

    TreeNode* q = TreeNode::newChild(a.get(), "q");
    q->addAttribute("v", "it's \"q\" <&>");
    q->addAttribute("z", std::string("v\0w", 3));
    q->addAttribute("e", "");
    EXPECT_EQ(serialized(q), "<q v=\"it's &quot;q&quot; &lt;&amp;&gt;\" z=\"v\" e=\"\"></q>\n");

    TreeNode* c = TreeNode::newChild(a.get(), "c");
    c->setContent(("<y>& " + rep('w', 100) + " " + rep('w', 10)).c_str());
    c->setCdata(true);
    EXPECT_EQ(serialized(c), "<c><![CDATA[<y>& " + rep('w', 100) + " " + rep('w', 10) + "]]></c>\n");
    c->setContentBytes("1\0002", 3);
    EXPECT_EQ(serialized(c), "<c><![CDATA[1]]></c>\n");
    c->setContent(nullptr);
    EXPECT_EQ(serialized(c), "<c></c>\n") << "a CDATA flag without content writes no section";

    TreeNode* nameless = TreeNode::newChild(a.get(), "");
    TreeNode::newChild(nameless, "t")->setTag(std::string_view());
    EXPECT_EQ(serialized(nameless), "<nothing><nothing></nothing>\n</nothing>\n");

    // Deep first, then siblings, then back up.
    TreePtr r(parse("<r><a><b><c/></b><d/></a><e/></r>", nullptr, nullptr));
    EXPECT_EQ(serialized(r.get()), "<r><a><b><c></c>\n</b>\n<d></d>\n</a>\n<e></e>\n</r>\n");
    EXPECT_EQ(serialized(nullptr), "");
}

TEST(Serialize, DeclarationAndDoctypeOnlyForTheRoot) {
    TreePtr root = parseString("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE a [<!ELEMENT a ANY>]>\n<?pi x?><a><b/></a>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(serialized(root.get()),
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<!DOCTYPE a [<!ELEMENT a ANY>]>\n<?pi x?>\n\n<a><b></b>\n</a>\n");
    EXPECT_EQ(serialized(root->firstChild()), "<b></b>\n");
    root->tree()->setDoctype("");
    EXPECT_EQ(serialized(root.get()), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<a><b></b>\n</a>\n");
}

// Indented: one element a line, content on its start tag's line, the compact form's escapes and
// prolog; an empty unit is the compact form itself.
TEST(Serialize, Indented) {
    TreePtr root = parseString("<?xml version=\"1.0\"?><a x=\"1\"><b>t&amp;</b><c>tail<d/><e><f>z</f></e></c><g/></a>");
    ASSERT_NE(root, nullptr);
    const auto indented = [](const TreeNode* n, std::string_view unit) {
        StringBuffer out;
        serialize(n, out, unit);
        return std::string(out.view());
    };
    EXPECT_EQ(indented(root.get(), "  "),
              "<?xml version=\"1.0\" ?>\n<a x=\"1\">\n  <b>t&amp;</b>\n  <c>tail\n    <d></d>\n    <e>\n"
              "      <f>z</f>\n    </e>\n  </c>\n  <g></g>\n</a>\n");
    EXPECT_EQ(indented(root->firstChild()->nextSibling(), "\t"), "<c>tail\n\t<d></d>\n\t<e>\n\t\t<f>z</f>\n\t</e>\n</c>\n");
    EXPECT_EQ(indented(root.get(), ""), serialized(root.get()));
    // A deep chain is written without recursion.
    TreePtr deep(TreeNode::newTree("n"));
    TreeNode* at = deep.get();
    for (int i = 0; i < 3000; ++i) at = TreeNode::newChild(at, "n");
    const std::string text = indented(deep.get(), " ");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 * 3000 + 1);
    EXPECT_TRUE(text.ends_with("\n </n>\n</n>\n"));
}

}  // namespace
}  // namespace quorvel::test
