#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "xml_test_support.h"

namespace quorvel::test {
namespace {

std::string parsedAndWritten(const std::string& text) {
    TreePtr root = parseString(text);
    return root ? serialized(root.get()) : std::string();
}

// Writing what was read, then reading and writing that again, changes nothing more.
void expectStable(const std::string& text, const std::string& what) {
    std::string once = parsedAndWritten(text);
    ASSERT_FALSE(once.empty()) << what;
    std::string twice = parsedAndWritten(once);
    size_t at = std::mismatch(once.begin(), once.end(), twice.begin(), twice.end()).first - once.begin();
    EXPECT_TRUE(twice == once) << what << ": the second writing differs at byte " << at << " of " << once.size();
}

TEST(RoundTrip, RealDebianDocuments) {
    std::vector<std::filesystem::path> files = {"/usr/share/mime/packages/freedesktop.org.xml"};
    std::error_code missing;
    for (const auto& e : std::filesystem::directory_iterator("/usr/share/xml/iso-codes", missing))
        if (e.path().extension() == ".xml") files.push_back(e.path());
    int read = 0;
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        if (!in) continue;
        ++read;
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        if (text.empty()) {
            EXPECT_EQ(parseString(text), nullptr) << f;  // an empty file holds no element
            continue;
        }
        expectStable(text, f.string());
    }
    if (read < 2) {
        GTEST_SKIP() << "the shared-mime-info and iso-codes documents are not installed (scripts/setup.sh installs them)";
    }
}

// Documents using every construct the writer produces or the reader keeps, long lines that wrap,
// and deep and wide nesting.
std::string generatedDocument(std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    static const char* tags[] = {"a", "b-c", "x.y", "ns:t", "_q", "\xC3\xA9l"};
    static const char* words[] = {"alpha", "&amp;", "&lt;b&gt;", "&quot;q&quot;", "it's", "&amp;lt;", "\xE2\x82\xAC",
                                  "x", "&", "a&b", ">", "\"", "tab\there", "line\nbreak"};
    auto text = [&](int maxWords) {
        std::string s = words[pick(14)];
        for (int i = pick(maxWords); i > 0; --i) s += std::string(" ") + words[pick(14)];
        return s;
    };
    std::string doc = pick(2) ? "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ELEMENT r ANY>]>\n<?style x?>\n<r>" : "<r>";
    std::vector<std::string> open = {"r"};
    bool afterText = false;
    for (int budget = 20 + pick(300); !open.empty(); --budget) {
        const int action = budget > 0 ? pick(10) : 9;
        if (action < 4) {
            std::string t = tags[pick(6)];
            doc += "<" + t;
            for (int i = pick(4); i > 0; --i) {
                doc += " k" + std::to_string(i) + (pick(2) ? "=\"&lt;x&gt; &quot;v'\"" : "='say \"hi\" 1'");
            }
            const bool empty = pick(4) == 0;
            doc += empty ? "/>" : ">";
            if (!empty) open.push_back(t);
        } else if (action < 6) {
            doc += text(pick(5) ? 4 : 60);
        } else if (action == 6) {
            doc += pick(2) ? "<!-- note -- " + text(3) + " -->" : "<?pi " + std::to_string(pick(5)) + "?>";
        } else if (action == 7) {
            // Right after text or another section a section is not one (it is read as other
            // markup, and its "]]>" may end up inside CDATA content, which no writer can keep).
            if (afterText) doc += "<!---->";
            doc += "<![CDATA[" + std::string(pick(2) ? "<raw> & \"" : " ") + text(5) + "]]>";
        } else {
            doc += "</" + open.back() + ">";
            open.pop_back();
        }
        afterText = action == 4 || action == 5 || action == 7;
        if (pick(5) == 0) doc += pick(2) ? "\n  " : " ";
    }
    return doc;
}

TEST(RoundTrip, GeneratedDocuments) {
    std::mt19937 rng(2024);
    for (int i = 0; i < 200; ++i) {
        expectStable(generatedDocument(rng), "document " + std::to_string(i));
    }
}

TEST(RoundTrip, MillionDeepDocument) {
    constexpr size_t kDepth = 1000000;
    auto nested = [&](const char* close) {
        std::string s;
        for (size_t i = 0; i < kDepth; ++i) s += "<d>";
        s += "bottom";
        for (size_t i = 0; i < kDepth; ++i) s += close;
        return s;
    };
    TreePtr root = parseString(nested("</d>"));
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(serialized(root.get()) == nested("</d>\n"));
    root.reset();
    EXPECT_EQ(CommonStrings::refCount("d"), 0);
}

// Malformed text: what the tolerant parser makes of it, "" for no tree. Random damage is the parse
// fuzzer's, text cut short at every byte Parse.AZeroByteEndsTheTextWhereverItFalls's; here are
// short fragments, and shapes that would be quadratic if searched or copied naively.
TEST(RoundTrip, MalformedTextGivesItsDefinedTree) {
    std::string manyInstructions, manyRoots, manyRuns = "<a>", manyComments, instructionsWritten;
    for (int i = 0; i < 100000; ++i) {
        manyInstructions += "<?";
        manyRoots += "<?p?><a/>";
        manyComments += "<!---->";
        manyRuns += "x&am<b/>";
        instructionsWritten += "<?p?>\n";
    }
    const std::pair<std::string, std::string> cases[] = {
        {"<", ""}, {"</", ""}, {"<!", ""}, {"<?", ""}, {"<!--", ""}, {"<!DOCTYPE [<<<", ""}, {"<?xml v=\"", ""},
        {"<a><![CDATA[x]]", "<a><![CDATA[x]]]]></a>\n"},  // the section runs to the end
        {"<a x='", "<a x=\"\"></a>\n"}, {"<a b=&amp", "<a b=\"&amp;amp\"></a>\n"},
        {std::string("<a b=\"\0\"/>", 10), "<a b=\"\"></a>\n"},  // a zero byte ends the text
        {std::string(100000, '<'), ""}, {std::string(100000, '>'), ""}, {manyInstructions, ""}, {manyComments, ""},
        {manyRoots, instructionsWritten + "\n<a></a>\n"},  // the first root only, after every instruction
    };
    for (const auto& [text, written] : cases) {
        RecordingLog log;
        TreePtr root = parseString(text, &log);
        EXPECT_EQ(root ? serialized(root.get()) : std::string(), written) << text.substr(0, 20);
    }
    // Every run of text and every child is kept.
    TreePtr runs = parseString(manyRuns);
    ASSERT_NE(runs, nullptr);
    const std::string written = serialized(runs.get());
    size_t texts = 0, children = 0;
    for (size_t at = 0; (at = written.find("x&amp;am", at)) != std::string::npos; ++at) ++texts;
    for (size_t at = 0; (at = written.find("<b></b>", at)) != std::string::npos; ++at) ++children;
    EXPECT_EQ(std::pair(texts, children), std::pair(size_t{100000}, size_t{100000}));
}

}  // namespace
}  // namespace quorvel::test
