#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tree/node_arena.h"
#include "tree/tag_pool.h"
#include "tree/tree_info.h"
#include "xml_test_support.h"

namespace quorvel::test {
namespace {

struct Case {
    std::string input;
    std::string tree;                   // dump of the result
    std::vector<std::string> log = {};  // entries, in order
};

// Every rule of the grammar, the odd ones included: they are what documents already rely on.
TEST(Parse, GrammarTable) {
    const std::vector<Case> cases = {
        // Text runs: trimmed, joined with one space, whole content decoded again on each run.
        {"<a>x<!-- c -->y<?p?>z</a>", "a \"x y z\""}, {"<a>&amp;lt;</a>", "a \"&lt;\""},
        {"<a>&amp;lt;<b/>x</a>", "a \"< x\"{b}"},
        {"<a>&lt;&gt;&quot;&amp;&apos;&#65;&LT;</a>", "a \"<>\"&&apos;&#65;&LT;\""},
        {"<a>&amp;lt;<b>&amp;gt;</b>x<c>&amp;</c>y</a>", "a \"< x y\"{b \"&gt;\",c \"&\"}"},
        {"<a>&amp;lt;<b/><![CDATA[&gt;]]><c/>z</a>", "a [<> z]{b,c}"},
        {"<a> \r\n\t <b> \n </b>\t</a>", "a{b}"}, {"<a>1<b>2</b>3<c/>4</a>", "a \"1 3 4\"{b \"2\",c}"},
        // CDATA: only at the start of an iteration inside an element; raw, appended without space.
        // After text it is read as other markup and its end left as text.
        {"<a><![CDATA[<y>]]>z</a>", "a [<y>]"}, {"<a>x<![CDATA[<y>]]>z</a>", "a \"x ]]>z\""},
        {"<a><b/><![CDATA[p]]]]><![CDATA[q]]></a>", "a [p]]]{b}"},
        {"<a>x<b/><![CDATA[&]]><c/><![CDATA[lt;]]><d/>y<e/></a>", "a [x< y]{b,c,d,e}"},
        {"<a><![CDATA[unterminated", "a [unterminated]"}, {"<a><![cdata[x]]>y</a>", "a \"y\""},
        // Attributes: quotes, a '>' inside a value, unquoted values running to the next quote.
        {"<a x=1 y=2>", "a x='1 y=2'"}, {"<a x=\"1>2\"></a>", "a x='1' \"2\">\""},
        {"<a x='it\"s' y=\"it's\" z>", "a x='it\"s' y='it's' z=''"},
        {"<a x=\"&lt;&amp;amp;\" y=&quot;q&quot;/>", "a x='<&amp;' y='\"q\"/'"},
        {"<a \"x\"='1' <y=2 =3 'z'>", "a x='1' y='2 =3 ' z=''"}, {"<a x=\"1\" x=\"2\"/>", "a x='1' x='2'"},
        {"<r><a x=\"1\"y='2'/></r>", "r{a x='1' y='2'}"},
        {"<a b=\"1\" c=\"x&amp;y\" d=\"&lt;\" e=\"&\" f=\"&amp;\"/>", "a b='1' c='x&y' d='<' e='&' f='&'"},
        {"<a b=\"1\" c=\"x&amp;y", "a b='1' c='x&y'"}, {"<a b=\"1\" =\"&amp;\" c=\"2\">", "a b='1' c='2'"},
        // Names of every length around the twelve looked at in one go, the last one cut off.
        {"<a x=\"1\" abcdefghijkl=\"2\" abcdefghijklmnopq=\"3\" abcdefghij\"klmnop='4' abcdefghijklm",
         "a x='1' abcdefghijkl='2' abcdefghijklmnopq='3' abcdefghijklmnop='4' abcdefghijklm=''"},
        // Tags: '<' removed, names never compared, missing names allowed.
        {"<a<b>t</a<b>", "ab \"t\"", {"E:Error in closing tag", "D:error_tag=ab"}}, {"<r><>x</></r>", "r{ \"x\"}"},
        {"<a></b>", "a"}, {"</x><a/>", "a"}, {"<a><b>", "a{b}"}, {"<a", "(none)"}, {"<a/ x=\"1\">t</a>", "a x='1'"},
        // Repeated tags and attributes, which the parser expects again: near misses read as usual.
        {"<r><a/><b/><a/><bc/><a/><b<c/><a/><b", "r{a,b,a,bc,a,bc,a}"},
        {"<r><i x=\"1\" y=\"2\"/><i x=\"1&amp;\" y='2' z=3/><i x=\"1\" y=\"2></r>",
         "r{i x='1' y='2',i x='1&' y='2' z='3/'{i x='1' y='2'}}"},
        {"<r><i x=\"1\"/><i \"x\"=\"2\"/><i x = \"3\"/><i x=\"4\"", "r{i x='1',i x='2',i x='3',i x='4'}"},
        // Several top-level elements: the last one closed wins.
        {"<a></a><b></b>", "b"}, {"<x/><a></a", "x"}, {"<x/>text<y/>", "y"},
        {"<r><x/></r><r></r><r><x k=\"2\"/></r>", "r{x k='2'}"},  // x's only user freed in between
        // Markup.
        {"<a><!-- unclosed <b/></a>", "a", {"E:Unclosed comment"}}, {"<!--x--><!-->a<b/>", "b"},
        {"<a></a <b/>", "b", {"E:Error in closing tag", "D:error_tag=a"}},
        {"<r><!DOCTYPE d [<x>", "r", {"E:Failed to parse DTD"}},
        // Nothing usable.
        {"just text", "(none)"}, {"<?xml version=\"1.0\"?>", "(none)"}, {std::string("\0<a/>", 5), "(none)"},
        {std::string("<a>x<b/>y\0</a><c/>", 18), "a \"x\"{b}"},
    };
    for (const Case& c : cases) {
        RecordingLog log;
        TreePtr root = parseString(c.input, &log);
        EXPECT_EQ(dump(root.get()), c.tree) << c.input;
        EXPECT_EQ(log.lines, c.log) << c.input;
    }
    // Many attributes of every shape, more and longer than one element usually has.
    std::string many = "<a", kept = "a";
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i), v(static_cast<size_t>(i % 50), 'v');
        if (i % 3 == 0) {
            many += " n" + n + "=\"" + v + "\"";
            kept += " n" + n + "='" + v + "'";
        } else if (i % 3 == 1) {
            many += " \"j" + n + "\"='" + v + "&amp;'";
            kept += " j" + n + "='" + v + "&'";
        } else {
            many += " =\"" + v + "\"";  // no name: left out
        }
    }
    EXPECT_EQ(dump(parseString(many + "/>", nullptr).get()), kept);
    EXPECT_EQ(parse(static_cast<const char*>(nullptr), nullptr, nullptr), nullptr);
}

// The attribute names of a start tag are compared with those at the same places in the one
// before. Whatever that one had there, each start tag must read as it does alone.
TEST(Parse, StartTagsReadAloneOrAfterOthers) {
    std::vector<std::string> tags;
    for (size_t length : {1, 2, 5, 6, 7, 8, 13, 14, 15}) {
        std::string name;
        for (size_t i = 0; i < length; ++i) name += static_cast<char>('a' + (i * 7 + length) % 26);
        std::string changed = name;
        changed.back() = changed.back() == 'z' ? 'y' : static_cast<char>(changed.back() + 1);
        for (const std::string& near : {name, name + "x", name.substr(0, length - 1), changed, "\"" + name + "\"", name + "<"}) {
            for (const char* rest : {"=\"v\"", "='v'", "=v", " =\"v\"", "=\"v&amp;w\"", "=\"v\"/"}) {
                tags.push_back("<e a=\"1\" " + name + "=\"v\" z=\"2\"/>");  // what the next one is compared with
                tags.push_back("<e a=\"1\" " + near + rest + " z=\"2\"/>");
            }
        }
    }
    // Too near the text's end to compare sixteen bytes.
    tags.push_back("<e a=\"1\" abc=\"v\"/>");
    tags.push_back("<e a=\"1\" abc=\"v\">");
    std::string all = "<r>", alone = "r{";
    for (const std::string& tag : tags) {
        all += tag;
        const std::string one = dump(parseString("<r>" + tag).get());  // r{...}
        alone += (alone.size() > 2 ? "," : "") + one.substr(2, one.size() - 3);
    }
    EXPECT_EQ(dump(parseString(all).get()), alone + "}");
}

// An end tag closes the open element whatever its name, and parsing goes on after its first '>'
// or at its first '<'. Names of every length, equal to the open element's tag or near it, near
// the end of the text or not, must come out as a nameless end tag followed by what follows that
// first '>' or '<'.
TEST(Parse, EndTagsCloseWhateverTheirName) {
    for (size_t length = 1; length <= 12; ++length) {
        std::string tag;
        for (size_t i = 0; i < length; ++i) tag += static_cast<char>('a' + (i * 5 + length) % 26);
        std::vector<std::string> names = {tag, tag + "x", tag.substr(0, length - 1), tag + " ", "", "q"};
        for (size_t at = 0; at < length; ++at) {
            for (char c : {'<', '>', static_cast<char>(tag[at] == 'z' ? 'y' : tag[at] + 1)}) {
                std::string near = tag;
                near[at] = c;
                names.push_back(near);
            }
        }
        for (const std::string& name : names) {
            for (const std::string& rest : {std::string(">"), std::string(">y</r>"), std::string("<z>y</r>"), std::string("")}) {
                const std::string open = "<r><" + tag + " k=\"v\">x</";
                // Only what follows the name's first '<' or '>' counts.
                const size_t stop = name.find_first_of("<>");
                const std::string same = open + (stop == std::string::npos ? "" : name.substr(stop)) + rest;
                RecordingLog log, expectedLog;
                const std::string dumped = dump(parseString(open + name + rest, &log).get());
                EXPECT_EQ(dumped, dump(parseString(same, &expectedLog).get())) << name << rest;
                EXPECT_EQ(log.lines, expectedLog.lines) << name << rest;
            }
        }
    }
}

// The declaration, the prolog text and the tree, each "(none)" when absent.
std::string document(const TreeNode* root) {
    if (!root) return "(none)";
    const TreeInfo* info = root->tree();
    const std::string doctype = info->doctype() ? std::string(info->doctype()->view()) : "(none)";
    return dump(info->declaration()) + " | " + doctype + " | " + dump(root);
}

TEST(Parse, DeclarationAndPrologTable) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<?XML version='1.0' encoding='utf-8' standalone=\"yes\"?>\n<a/>",
         "XML version='1.0' encoding='utf-8' standalone='yes' | (none) | a"},
        {"<?xml a=\"x&amp;y\" b c=d?><a/>", "xml a='x&y' b='' c='d?' | (none) | a"},
        {"<?xml version=\"1.0\"?><?xml version=\"2.0\"?><a/>", "xml version='2.0' | (none) | a"},
        {"<?xml\tversion=\"1.0\"?><a/>", "(none) | <?xml\tversion=\"1.0\"?>\n | a"},
        {"<!doctype a [<!ENTITY e \"<b>\"> <!ELEMENT a ANY>]><a/>", "(none) | <!doctype a [<!ENTITY e \"<b>\"> <!ELEMENT a ANY>]>\n | a"},
        {"<?pi one?><!DOCTYPE a><?pi two?><a/>", "(none) | <?pi one?>\n<!DOCTYPE a>\n<?pi two?>\n | a"},
        {"<a><?pi x?>t</a>", "(none) | <?pi x?>\n | a \"t\""}, {"<?pi unterminated <a/>", "(none) | <?\n | a"},
        {"<r><!DOCTYPE d [<x>", "(none) | <!DOCTYPE d [<x>\n | r"},
        // The declaration goes to the first top-level element closed; the prolog to each.
        {"<?xml version=\"1.0\"?><!DOCTYPE a><a/><b/>", "(none) | <!DOCTYPE a>\n | b"},
        {"<?xml version=\"1.0\"?><a/><?xml version=\"3\"?>", "xml version='1.0' | (none) | a"},
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(document(parseString(input).get()), expected) << input;
}

// The text ends at its first 0 byte, which the parser finds only when it gets there: whatever
// it meets, a 0 byte must give the tree and log entries of the text cut off before it, each entry
// once, and free what it had built past it.
TEST(Parse, AZeroByteEndsTheTextWhereverItFalls) {
    const std::string texts[] = {
        "<?xml version=\"1.0\" standalone='yes'?><?pi x?><!DOCTYPE r [<!ENTITY e \"<x>\">]><!-- c -->"
        "<r a=\"1\" b='2' c=3 d=\"x&amp;y\"><x/>t &lt; u<![CDATA[c&]]>v</r>",
        "<r><a>1</b><bb>2</bb ><ccc x=\"1\">3</ccc><eeeeeeeee>5</eeeeeeeee></q r><s/>",
        "<a\t x = \"1\" / ><\"b\" <c=2>< d ><e f=\"g\"h=\"i\"/></ d></a><!-- open <b/>",
        "<a><![CDATA[ open </a><?pi open <b>x</b>",
        "  \n<a>\n <b>\n  <c>t</c>\n </b>\n</a>\n<!DOCTYPE d [<x>",
    };
    const int64_t trees = TreeInfo::liveCount();
    const size_t tags = CommonStrings::entryCount();
    for (const std::string& text : texts) {
        for (size_t at = 0; at <= text.size(); ++at) {
            RecordingLog log, cutLog;
            const std::string cut = text.substr(0, at);
            // What follows the 0 byte would change both, were it read.
            const std::string zeroed = cut + '\0' + text.substr(at) + "</z></z><a/><!--";
            EXPECT_EQ(document(parseString(zeroed, &log).get()), document(parseString(cut, &cutLog).get())) << at << ": " << text;
            EXPECT_EQ(log.lines, cutLog.lines) << at << ": " << text;
            RecordingLog terminatedLog;
            EXPECT_EQ(document(parseString(cut + '\0', &terminatedLog).get()), document(parseString(cut).get()));
            EXPECT_EQ(terminatedLog.lines, cutLog.lines);
        }
    }
    EXPECT_EQ(TreeInfo::liveCount(), trees);
    EXPECT_EQ(CommonStrings::entryCount(), tags);
}

// A tree as parsed ends in bulk, without its elements being visited; once anything in it has
// changed, it ends element by element. Either way every tag reference, arena chunk, block of
// its own and record goes back (and under ASan, nothing is freed twice or left behind).
TEST(Parse, TreesEndInBulkOnlyAsBuilt) {
    // Pieces of every kind: a child list and an attribute set too large for the arena, a large
    // content, CDATA, decoded entities, tags of one use and of many.
    std::string doc = "<?xml version=\"1.0\"?><!DOCTYPE bk><bkRoot>";
    for (int i = 0; i < 300; ++i) doc += "<bkItem n=\"" + std::to_string(i) + "\">v&amp;" + std::to_string(300 - i) + "</bkItem>";
    doc += "<bkWide";
    for (int i = 0; i < 60; ++i) doc += " a" + std::to_string(i) + "=\"" + std::string(40, 'w') + "\"";
    doc += "/><bkLong>" + std::string(5000, 'l') + "</bkLong><bkData><![CDATA[<&>]]></bkData></bkRoot>";
    const std::string other = "<bkOther><bkItem/></bkOther>";

    using Edit = std::function<void(TreeNode* root)>;
    auto item = [](TreeNode* root, int i) { return root->childAt(i); };
    const std::vector<std::pair<const char*, Edit>> edits = {
        {"none", nullptr},
        {"setTag", [&](TreeNode* r) { item(r, 7)->setTag("bkRenamed"); }},
        {"setTag null", [&](TreeNode* r) { item(r, 7)->setTag(static_cast<const char*>(nullptr)); }},
        {"setTagEntry", [&](TreeNode* r) { item(r, 7)->setTagEntry(r->tagEntry()); }},
        {"setContent", [&](TreeNode* r) { item(r, 3)->setContent("fresh"); }},
        {"appendContent", [&](TreeNode* r) { item(r, 3)->appendContentBytes("more", 4); }},
        {"clearContent", [&](TreeNode* r) { r->lastChild()->previousSibling()->clearContent(); }},
        {"contentForWriting", [&](TreeNode* r) { item(r, 3)->contentForWriting().append("x"); }},
        {"addAttribute", [&](TreeNode* r) { item(r, 3)->addAttribute("m", "1"); }},
        {"updateAttribute", [&](TreeNode* r) { item(r, 300)->updateAttribute("a5", "short"); }},
        {"removeAttribute", [&](TreeNode* r) { item(r, 3)->removeAttribute("n"); }},
        {"removeAllAttributes", [&](TreeNode* r) { item(r, 300)->removeAllAttributes(); }},
        {"swapNodeData", [&](TreeNode* r) { item(r, 3)->swapNodeData(item(r, 301)); }},
        {"swapSubtrees", [&](TreeNode* r) { item(r, 3)->swapSubtrees(item(r, 302)); }},
        {"newChild", [&](TreeNode* r) { TreeNode::newChild(item(r, 3), TextRef("bkNew")); }},
        {"sortChildren", [&](TreeNode* r) { r->sortChildren(ChildSortKey::Attribute, false, TextRef("n")); }},
        {"removeAllChildren", [&](TreeNode* r) { item(r, 3)->removeAllChildren(); }},
        {"appendChild of a parsed tree", [&](TreeNode* r) {
             TreeNode* o = parse(other.data(), other.size(), nullptr, nullptr);
             EXPECT_TRUE(o->tree()->keepsBuiltPieces());
             r->appendChild(o);
         }},
        {"detach, kept beyond the rest", [&](TreeNode* r) {
             TreeNode* kept = item(r, 5);
             kept->addHandleRef();
             kept->detachFromParent();  // the rest, without handles, ends here and first
             EXPECT_EQ(dump(kept), "bkItem n='5' \"v&295\"");
             kept->releaseHandleRef();
             TreeNode::destroyTree(kept);
         }},
    };
    const int64_t trees = TreeInfo::liveCount(), chunks = NodeArena::liveChunks();
    const size_t tags = CommonStrings::entryCount();
    for (const auto& [name, edit] : edits) {
        TreeNode* root = parse(doc.data(), doc.size(), nullptr, nullptr);
        ASSERT_NE(root, nullptr);
        EXPECT_TRUE(root->tree()->keepsBuiltPieces()) << name;
        EXPECT_EQ(CommonStrings::refCount("bkItem"), 300) << name;
        const bool destroys = std::string(name).rfind("detach", 0) == 0;
        if (edit) edit(root);
        if (!destroys) {
            EXPECT_EQ(root->tree()->keepsBuiltPieces(), edit == nullptr) << name;
            TreeNode::destroyTree(root);
        }
        EXPECT_EQ(TreeInfo::liveCount(), trees) << name;
        EXPECT_EQ(NodeArena::liveChunks(), chunks) << name;
        EXPECT_EQ(CommonStrings::entryCount(), tags) << name;
    }
    // Shapes the builder does not hand its pieces to: text after a child (content built in two
    // steps), several top-level elements, a 0 byte that starts the parse again.
    const std::vector<std::pair<std::string, bool>> shapes = {
        {"<bkA>x<bkB/>y</bkA>", false}, {"<bkA/><bkB><bkC/></bkB>", false},
        {std::string("<bkA><bkB/>\0<bkC/>", 18), true}, {"<bkA><bkB>t</bkB></bkA>", true},
    };
    for (const auto& [text, bulk] : shapes) {
        TreeNode* root = parse(text.data(), text.size(), nullptr, nullptr);
        ASSERT_NE(root, nullptr) << text;
        EXPECT_EQ(root->tree()->keepsBuiltPieces(), bulk) << text;
        TreeNode::destroyTree(root);
        EXPECT_EQ(TreeInfo::liveCount(), trees) << text;
        EXPECT_EQ(NodeArena::liveChunks(), chunks) << text;
        EXPECT_EQ(CommonStrings::entryCount(), tags) << text;
    }
}

// Progress: whatever the parser does to spare itself calls, the events must be those of asking
// the monitor at every end tag with the byte index of the '/'. A 0 byte two thirds in ends the
// text, but the total stays the length given: the end tags before it are asked about as before,
// none after it, and none twice.
TEST(Parse, ProgressMatchesAMonitorAskedAtEveryEndTag) {
    auto askedAtEndTags = [](const std::string& text, size_t stop) {
        PercentRecorder expected;
        ProgressMonitor reference(103, 0, &expected, 100);
        reference.Reset(static_cast<uint32_t>(text.size()));
        for (size_t at = text.find("</"); at != std::string::npos && at + 1 < stop; at = text.find("</", at + 1)) {
            reference.SetPosition(static_cast<uint32_t>(at + 1));
        }
        reference.Finish();
        return expected.percents;
    };
    for (int elements : {0, 3, 40000}) {
        std::string text = "<root>";
        // Short end tags and long ones, which are found in different ways.
        for (int i = 0; i < elements; ++i) {
            const std::string tag = i % 2 ? "e" : "entry";
            text += "<" + tag + " i=\"" + std::to_string(i) + "\">" + std::string(i % 7, 'x') + "</" + tag + ">";
        }
        text += "</root>";
        for (size_t zero : {text.size(), text.size() * 2 / 3}) {
            if (zero < text.size()) text[zero] = 0;
            PercentRecorder got;
            ProgressMonitor monitor(103, 0, &got, 100);
            parseString(text, nullptr, &monitor);
            EXPECT_EQ(got.percents, askedAtEndTags(text, zero)) << elements << " " << zero;
            EXPECT_EQ(monitor.total(), text.size());
        }
    }
}

}  // namespace
}  // namespace quorvel::test
