// The engine over real trees: axes, functions, conversions and comparisons against the W3C
// Recommendation's rules, namespaces, errors, bounds and the per-document cache.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <thread>

#include "tree/tree_node.h"
#include "xml/parse_engine.h"
#include "xpath/xpath_cache.h"
#include "xpath/xpath_namespaces.h"
#include "xpath/xpath_query.h"

namespace quorvel::xpath {
namespace {

struct Tree {
    explicit Tree(const char* xml) : root(parse(xml, nullptr, nullptr)) {}
    ~Tree() { TreeNode::destroyTree(root); }
    TreeNode* root;
};

std::string show(const XNode& n) {
    switch (n.kind) {
        case NodeKind::Document: return "/";
        case NodeKind::Element: return std::string(n.element->tagView());
        case NodeKind::Attribute: return "@" + std::string(n.element->attributes().name(static_cast<int32_t>(n.index)));
        case NodeKind::Text: return "text(" + std::string(n.element->contentView()) + ")";
        case NodeKind::Namespace: return "ns:" + std::string(namespaceNodePrefix(n));
    }
    return "?";
}

std::string show(const Value& v) {
    switch (v.type) {
        case ValueType::NodeSet: {
            std::string out;
            for (const XNode& n : v.set.nodes) out += (out.empty() ? "" : " ") + show(n);
            return out;
        }
        case ValueType::Number: return "n:" + numberToString(v.number);
        case ValueType::String: return "s:" + v.string;
        case ValueType::Boolean: return v.boolean ? "b:true" : "b:false";
    }
    return "?";
}

// The result of text on context, or "error:<message>:<name>" / "syntax:<position>:<expected>".
std::string run(const TreeNode* context, const std::string& text, const Bindings& b = {}) {
    CompileError ce;
    auto q = Query::compile(text, ce);
    if (!q) {
        if (ce.message == "XPath syntax error") return "syntax:" + std::to_string(ce.position) + ":" + ce.expected;
        return "error:" + ce.message + ":" + ce.name;
    }
    Value v;
    EvalError ee;
    if (!q->evaluate(context, b, v, ee)) return "error:" + ee.message + ":" + ee.name;
    return show(v);
}

const char* kCatalog =
    "<catalog xmlns:x='urn:x'>"
    "<book id='bk101' lang='en'><author>Gambardella</author><title>XML Guide</title><price>44.95</price></book>"
    "<book id='bk102'><author>Ralls</author><title>Midnight Rain</title><price>5.95</price></book>"
    "<book id='bk103'><author>Corets</author><title>Maeve</title><price>5.95</price><x:note x:k='v'>n</x:note></book>"
    "<mag xml:lang='en-US'>Weekly<title>W</title></mag>"
    "</catalog>";

TEST(XPath, AxesTestsAndPredicatesOverACatalog) {
    Tree t(kCatalog);
    const TreeNode* book2 = t.root->childAt(1);
    const TreeNode* mag = t.root->childAt(3);
    struct Row {
        const TreeNode* context;
        const char* xpath;
        const char* expected;
    };
    const Row rows[] = {
        {t.root, "/", "/"},
        {t.root, "/catalog/book/@id", "@id @id @id"},
        {t.root, "//book[@id='bk102']/title", "title"},
        {t.root, "string(//book[@id='bk102']/title)", "s:Midnight Rain"},
        {t.root, "//book[price < 10]/@id", "@id @id"},
        {t.root, "//book[last()]/@id = 'bk103'", "b:true"},
        {t.root, "//title[1]", "title title title title"},
        {t.root, "(//title)[1]", "title"},
        {t.root, "(//title)[last()]/..", "mag"},
        {t.root, "count(//*)", "n:16"},
        {t.root, "count(//node())", "n:28"},
        {t.root, "//mag/node()", "text(Weekly) title"},
        {t.root, "//mag/title/preceding-sibling::node()", "text(Weekly)"},
        {t.root, "//mag/text()/following-sibling::*", "title"},
        {book2, "preceding-sibling::*/@id", "@id"},
        {book2, "following-sibling::*[1]", "book"},
        {book2, "following-sibling::*[2]", "mag"},
        {book2, "preceding::*[1]", "price"},
        {book2, "preceding::*[position() < 3]", "title price"},
        {book2, "preceding::title | following::title", "title title title"},
        {book2, "ancestor::*", "catalog"},
        {book2, "ancestor-or-self::node()[1]", "book"},
        {book2, "ancestor-or-self::node()[last()]", "/"},
        {book2, "count(ancestor-or-self::node())", "n:3"},
        {book2, "title/ancestor::*[1]", "book"},
        {book2, "following::*[1]/following::text()[1]", "text(Weekly)"},
        {book2, "following::*[1]/preceding::text()[1]", "text(5.95)"},
        {book2, ".//.", "book author text(Ralls) title text(Midnight Rain) price text(5.95)"},
        {book2, "//book[1]/@id", "@id"},
        {book2, "self::book/parent::catalog/self::node()", "catalog"},
        {book2, "descendant::text()[2]", "text(Midnight Rain)"},
        {book2, "attribute::*", "@id"},
        {t.root, "book[@lang]/@*", "@id @lang"},
        {t.root, "//book[price = 5.95][2]/author/text()", "text(Corets)"},
        {t.root, "//book[position() = last() - 1]/@id = 'bk102'", "b:true"},
        {t.root, "//book[position() <= 2][last()]/author = 'Ralls'", "b:true"},
        {t.root, "//*[@id][position() < 3]", "book book"},
        {t.root, "//price[. = ../../book[1]/price]", "price"},
        {t.root, "//book/price[. != 5.95]", "price"},
        {t.root, "//x:note/@x:k", "@x:k"},
        {t.root, "//x:*", "x:note"},
        {t.root, "//@x:*", "@x:k"},
        {t.root, "count(//book/namespace::*)", "n:6"},
        {t.root, "//book[1]/namespace::x", "ns:x"},
        {t.root, "name(//book[1]/namespace::*[1])", "s:x"},
        {t.root, "string(//book[1]/namespace::xml)", "s:http://www.w3.org/XML/1998/namespace"},
        {t.root, "//mag/title[lang('en')]", "title"},
        {t.root, "//book[lang('en')]", ""},
        {t.root, "//comment() | //processing-instruction()", ""},
        {t.root, "id('bk101')", ""},
        {t.root, "sum(//price) = 44.95 + 5.95 + 5.95", "b:true"},
        {t.root, "//book[not(@lang)][author='Corets']/title/text()", "text(Maeve)"},
        {t.root, "local-name(//x:note)", "s:note"},
        {t.root, "name(//x:note)", "s:x:note"},
        {t.root, "namespace-uri(//x:note)", "s:urn:x"},
        {t.root, "namespace-uri(//x:note/@x:k)", "s:urn:x"},
        {t.root, "namespace-uri(//book)", "s:"},
        {t.root, "name(/)", "s:"},
        {t.root, "string(/)", "s:GambardellaXML Guide44.95RallsMidnight Rain5.95CoretsMaeve5.95nWeeklyW"},
        {t.root, "descendant::book[descendant::price > 40]/@id", "@id"},
        {t.root, "//book[starts-with(title, 'Mid') or contains(author, 'ore')]/@id", "@id @id"},
    };
    Bindings b;
    b.setNamespace("x", "urn:x");
    for (const Row& r : rows) EXPECT_EQ(run(r.context, r.xpath, b), r.expected) << r.xpath;
    EXPECT_EQ(run(mag, "//title[1] | .", b), "title title title mag title");
}

TEST(XPath, NumbersStringsAndComparisonsFollowTheRecommendation) {
    Tree t("<r><a>1</a><a>2</a><b>2</b><b>3</b><e/><s> x  y </s></r>");
    const char* rows[][2] = {
        {"1 div 0", "n:Infinity"},
        {"-1 div 0", "n:-Infinity"},
        {"string(0 div 0)", "s:NaN"},
        {"string(1 div 0)", "s:Infinity"},
        {"string(-1 div 0)", "s:-Infinity"},
        {"string(-0)", "s:0"},
        {"1 div -0 < 0", "b:true"},
        {"string(1e3)", "syntax:9:operator"},
        {"string(1000000 * 1000000 * 1000000 * 1000000)", "s:1000000000000000000000000"},
        {"string(0.000001)", "s:0.000001"},
        {"string(1 div 3)", "s:0.3333333333333333"},
        {"string(-2.50)", "s:-2.5"},
        {"string(12)", "s:12"},
        {"0 div 0 = 0 div 0", "b:false"},
        {"0 div 0 != 0 div 0", "b:true"},
        {"0 div 0 < 1 or 0 div 0 >= 1", "b:false"},
        {"1 div 0 > 1e0", "syntax:12:operator"},
        {"1 div 0 > 100000", "b:true"},
        {"round(-0.5)", "n:0"},
        {"1 div round(-0.5)", "n:-Infinity"},
        {"1 div round(-0.2)", "n:-Infinity"},
        {"round(2.5)", "n:3"},
        {"round(-2.5)", "n:-2"},
        {"round(0 div 0)", "n:NaN"},
        {"floor(-1.5)", "n:-2"},
        {"ceiling(-1.5)", "n:-1"},
        {"5 mod 2", "n:1"},
        {"5 mod -2", "n:1"},
        {"-5 mod 2", "n:-1"},
        {"--3", "n:3"},
        {"number(' 12.5 ')", "n:12.5"},
        {"number('1e3')", "n:NaN"},
        {"number('+1')", "n:NaN"},
        {"number('.5')", "n:0.5"},
        {"number('5.')", "n:5"},
        {"number('')", "n:NaN"},
        {"number(true())", "n:1"},
        {"substring('12345', 1.5, 2.6)", "s:234"},
        {"substring('12345', 0, 3)", "s:12"},
        {"substring('12345', 0 div 0, 3)", "s:"},
        {"substring('12345', 1, 0 div 0)", "s:"},
        {"substring('12345', -42, 1 div 0)", "s:12345"},
        {"substring('12345', -1 div 0, 1 div 0)", "s:"},
        {"substring('12345', 2)", "s:2345"},
        {"substring('ab\xC3\xA9" "cd', 3, 2)", "s:\xC3\xA9" "c"},
        {"string-length('\xC3\xA9t\xC3\xA9')", "n:3"},
        {"translate('bar', 'abc', 'ABC')", "s:BAr"},
        {"translate('--aaa--', 'abc-', 'ABC')", "s:AAA"},
        {"normalize-space('  a \t b\n ')", "s:a b"},
        {"normalize-space(//s)", "s:x y"},
        {"substring-before('1999/04/01', '/')", "s:1999"},
        {"substring-after('1999/04/01', '/')", "s:04/01"},
        {"substring-after('abc', '')", "s:abc"},
        {"starts-with('abc', '')", "b:true"},
        {"concat('a', 1, true())", "s:a1true"},
        {"boolean('0')", "b:true"},
        {"boolean(0)", "b:false"},
        {"boolean(//nothing)", "b:false"},
        // Node-sets against each other and against every other type, both ways round.
        {"//a = //b", "b:true"},
        {"//a != //b", "b:true"},
        {"//a < //b", "b:true"},
        {"//b > //a", "b:true"},
        {"//a > //b", "b:false"},
        {"//a = 2", "b:true"},
        {"2 = //a", "b:true"},
        {"//a != 1", "b:true"},
        {"//a < 1", "b:false"},
        {"1 < //a", "b:true"},
        {"1 > //a", "b:false"},
        {"//a = '2'", "b:true"},
        {"'3' = //a", "b:false"},
        {"//a = true()", "b:true"},
        {"//zz = false()", "b:true"},
        {"//zz = //zz", "b:false"},
        {"//zz != //a", "b:false"},
        {"//e = ''", "b:true"},
        {"true() = 'x'", "b:true"},
        {"1 = '1.0'", "b:true"},
        {"'1' = '1.0'", "b:false"},
        {"1 < 2 < 3", "b:true"},
        {"3 > 2 > 1", "b:false"},
        {"position() = last()", "b:true"},
    };
    for (const auto& r : rows) EXPECT_EQ(run(t.root, r[0]), r[1]) << r[0];
}

TEST(XPath, DefaultNamespacesBindByTheEmptyPrefix) {
    Tree t("<lib xmlns='urn:x' xmlns:p='urn:p'><book id='1'><p:title>T</p:title></book><q xmlns=''><book/></q></lib>");
    Bindings none;
    EXPECT_EQ(run(t.root, "//book", none), "book");  // only the one in no namespace
    EXPECT_EQ(run(t.root, "namespace-uri(/*)", none), "s:urn:x");
    EXPECT_EQ(run(t.root, "namespace-uri(//q/book)", none), "s:");
    EXPECT_EQ(run(t.root, "name(/*/namespace::*[. = 'urn:x'])", none), "s:");
    EXPECT_EQ(run(t.root, "count(//q/namespace::*)", none), "n:2");  // p and xml: xmlns='' undeclares
    EXPECT_EQ(run(t.root, "//b:title", none), "error:Unbound XPath namespace prefix:b");
    Bindings d;
    d.setNamespace("", "urn:x");
    d.setNamespace("b", "urn:p");
    EXPECT_EQ(run(t.root, "//book/@id", d), "@id");
    EXPECT_EQ(run(t.root, "/lib/book/b:title", d), "p:title");
    EXPECT_EQ(run(t.root, "count(//*)", d), "n:5");
    EXPECT_EQ(run(t.root, "/b:lib | //b:book", d), "");
    d.setNamespace("x", "urn:x");
    EXPECT_EQ(run(t.root, "/x:lib/x:book/@id", d), "@id");
    // The hint names the binding when unprefixed names find nothing for that reason.
    CompileError ce;
    auto q = Query::compile("//lib", ce);
    ASSERT_TRUE(q);
    EXPECT_NE(q->defaultNamespaceHint(t.root, none).find("SetXPathNamespace(\"\", \"urn:x\")"), std::string::npos);
    EXPECT_EQ(q->defaultNamespaceHint(t.root, d), "");
    Tree plain("<a><b/></a>");
    EXPECT_EQ(q->defaultNamespaceHint(plain.root, none), "");
}

TEST(XPath, BadExpressionsFailWithPositionAndName) {
    Tree t("<r><a/></r>");
    const char* rows[][2] = {
        {"", "syntax:1:location step or expression"},
        {"//a[", "syntax:5:location step or expression"},
        {"//a[1", "syntax:6:']'"},
        {"a b", "syntax:3:operator"},
        {"(1", "syntax:3:')'"},
        {"1 +", "syntax:4:location step or expression"},
        {"'abc", "syntax:5:\"'\""},
        {"a/", "syntax:3:node test"},
        {"@", "syntax:2:node test"},
        {"a!b", "syntax:2:'!='"},
        {"foo(1)", "error:Unknown XPath function:foo"},
        {"count()", "error:Wrong number of arguments to XPath function:count"},
        {"substring('a')", "error:Wrong number of arguments to XPath function:substring"},
        {"sideways::a", "error:Unknown XPath axis:sideways"},
        {"$v", "error:Unknown XPath variable:v"},
        {"count(1)", "error:XPath type error: the argument must be a node-set:count"},
        {"1 | //a", "error:XPath type error: the operands of '|' must be node-sets:|"},
        {"'a'/b", "error:XPath type error: a path or predicate applies to a node-set, not to this value:string"},
    };
    for (const auto& r : rows) EXPECT_EQ(run(t.root, r[0]), r[1]) << r[0];
    // Nesting past the bound is refused cleanly; long flat chains are not nesting.
    std::string deep(100000, '(');
    EXPECT_EQ(run(t.root, deep + "1" + std::string(100000, ')')).rfind("error:XPath expression nested too deeply", 0), 0u);
    std::string preds = "/r";
    for (int i = 0; i < 100; ++i) preds += "[a";
    EXPECT_EQ(run(t.root, preds).rfind("error:XPath expression nested too deeply", 0), 0u);
    std::string sum = "1";
    for (int i = 0; i < 100000; ++i) sum += "+1";
    EXPECT_EQ(run(t.root, sum), "n:100001");
    std::string negations(100000, '-');
    EXPECT_EQ(run(t.root, negations + "2"), "n:2");
    // Work exponential in the nesting stops at a caller's limit, with a clean error.
    Bindings limited;
    limited.workLimit = 100000;
    std::string nested = "count(//*)";
    for (int i = 0; i < 20; ++i) nested = "count(//node()[" + nested + " > 0])";
    EXPECT_EQ(run(t.root, nested, limited), "error:XPath evaluation exceeded its work limit:100000");
    std::string unions = "a";
    for (int i = 0; i < 10000; ++i) unions += "|a";
    EXPECT_EQ(run(t.root, unions), "a");
}

TEST(XPath, DeepAndWideTreesNeedNoRecursion) {
    TreeNode* root = TreeNode::newTree("d");
    TreeNode* n = root;
    for (int i = 0; i < 1000000; ++i) n = TreeNode::newChild(n, "d");
    n->setContent("end");
    EXPECT_EQ(run(root, "count(//d)"), "n:1000001");
    EXPECT_EQ(run(n, "count(ancestor::*)"), "n:1000000");
    EXPECT_EQ(run(root, "string(/)"), "s:end");
    EXPECT_EQ(run(n, "count(preceding::node() | following::node())"), "n:0");
    EXPECT_EQ(run(root, "//d[not(d)]/text()"), "text(end)");
    TreeNode::destroyTree(root);

    TreeNode* wide = TreeNode::newTree("w");
    for (int i = 0; i < 200000; ++i) TreeNode::newChild(wide, i % 2 ? "a" : "b");
    EXPECT_EQ(run(wide, "count(a | b)"), "n:200000");
    EXPECT_EQ(run(wide, "count(b/following-sibling::a[1])"), "n:100000");
    EXPECT_EQ(run(wide, "count(//*[position() < 10])"), "n:10");
    TreeNode::destroyTree(wide);
}

TEST(XPath, DocumentsCacheCompiledQueriesAndShareBindings) {
    Tree t("<m xmlns='urn:m'><t n='1'/><t n='2'/></m>");
    DocumentXPath& doc = DocumentXPath::of(t.root->childAt(1));
    EXPECT_EQ(&doc, &DocumentXPath::of(t.root));
    doc.setNamespace("", "urn:m");
    doc.setVariable("n", Value::ofString("2"));
    CompileError ce;
    for (int i = 0; i < 3; ++i) {
        auto q = doc.query("count(//t[@n = $n])", ce);
        ASSERT_TRUE(q);
        Value v;
        EvalError ee;
        ASSERT_TRUE(doc.evaluate(*q, t.root->childAt(0), v, ee));
        EXPECT_EQ(show(v), "n:1");
    }
    EXPECT_EQ(doc.compileCount(), 1u);
    // Facts follow the tree: a namespace declaration added later is seen.
    Tree plain("<a><b/></a>");
    DocumentXPath& pd = DocumentXPath::of(plain.root);
    auto q = pd.query("count(//b)", ce);
    Value v;
    EvalError ee;
    ASSERT_TRUE(pd.evaluate(*q, plain.root, v, ee));
    EXPECT_EQ(show(v), "n:1");
    plain.root->addAttribute("xmlns", "urn:z");
    ASSERT_TRUE(pd.evaluate(*q, plain.root, v, ee));
    EXPECT_EQ(show(v), "n:0");
    // Threads evaluating on one document share its cache.
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; ++k) {
        threads.emplace_back([&doc, &t] {
            CompileError e;
            for (int i = 0; i < 200; ++i) {
                auto qq = doc.query("//t[" + std::to_string(i % 7 + 1) + "]", e);
                Value r;
                EvalError er;
                doc.evaluate(*qq, t.root, r, er);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(doc.compileCount(), 8u);
}

}  // namespace
}  // namespace quorvel::xpath
