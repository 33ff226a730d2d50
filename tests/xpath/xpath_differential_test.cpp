// Differential test: expressions generated from each file's own names and values, evaluated here
// and by lxml (libxml2's XPath) on the same tree. The tree reaches lxml written out by this test
// without any white space between elements, so both engines see one text node per element, before
// its children, as this tree models it. Files lxml cannot parse are skipped.
//
// A few files run in the suite; QV_XPATH_DIFF_FILES=<n> compares up to n files (all for 0)
// and QV_XPATH_DIFF_EXPRS=<n> sets the expressions per file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "tree/tree_node.h"
#include "xml/parse_engine.h"
#include "xpath/xpath_namespaces.h"
#include "xpath/xpath_query.h"

namespace quorvel::xpath {
namespace {

namespace fs = std::filesystem;

std::string escapeText(std::string_view s, bool attribute) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += attribute ? "&quot;" : "\""; break;
            case '\t': out += attribute ? "&#9;" : "\t"; break;
            case '\n': out += attribute ? "&#10;" : "\n"; break;
            case '\r': out += "&#13;"; break;
            default: out += c;
        }
    }
    return out;
}

// The tree as XML with nothing between elements: start tag, content, children, end tag.
std::string writeTree(const TreeNode* top) {
    std::string out;
    const TreeNode* n = top;
    for (;;) {
        out += '<';
        out += n->tagView();
        for (int32_t i = 0; i < n->attributeCount(); ++i) {
            out += ' ';
            out += n->attributes().name(i);
            out += "=\"" + escapeText(n->attributes().value(i), true) + '"';
        }
        out += '>';
        out += escapeText(n->contentView(), false);
        if (const TreeNode* c = n->firstChild()) {
            n = c;
            continue;
        }
        for (;;) {
            out += "</" + std::string(n->tagView()) + '>';
            if (n == top) return out;
            if (n->nextSibling()) {
                n = n->nextSibling();
                break;
            }
            n = n->parent();
        }
    }
}

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string esc(std::string s) {
    std::string out;
    for (char c : s) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string render(const Value& v) {
    char buf[64];
    switch (v.type) {
        case ValueType::Boolean: return v.boolean ? "B:1" : "B:0";
        case ValueType::Number:
            if (std::isnan(v.number)) return "N:nan";
            if (std::isinf(v.number)) return v.number > 0 ? "N:inf" : "N:-inf";
            std::snprintf(buf, sizeof buf, "N:%.17g", v.number);
            return buf;
        case ValueType::String: return esc("s:" + v.string);
        case ValueType::NodeSet: {
            std::string out = "S:";
            bool first = true;
            for (const XNode& n : v.set.nodes) {
                // lxml leaves the document node out of the node-sets it returns.
                if (n.kind == NodeKind::Document) continue;
                if (!first) out += '\x1f';
                first = false;
                switch (n.kind) {
                    case NodeKind::Element: out += "E:" + std::string(splitQName(n.element->tagView()).local); break;
                    case NodeKind::Attribute: {
                        int32_t i = static_cast<int32_t>(n.index);
                        out += "A:" + std::string(splitQName(n.element->attributes().name(i)).local) + "=" +
                               std::string(n.element->attributes().value(i));
                        break;
                    }
                    case NodeKind::Text: out += "T:" + std::string(n.element->contentView()); break;
                    case NodeKind::Namespace:
                        out += "N:" + std::string(namespaceNodePrefix(n)) + "=" + std::string(namespaceNodeUri(n));
                        break;
                    case NodeKind::Document: break;
                }
            }
            return esc(out);
        }
    }
    return "?";
}

bool sameResult(const std::string& ours, const std::string& theirs) {
    if (ours == theirs) return true;
    if (ours.rfind("N:", 0) == 0 && theirs.rfind("N:", 0) == 0) {
        double a = std::strtod(ours.c_str() + 2, nullptr), b = std::strtod(theirs.c_str() + 2, nullptr);
        if (std::isnan(a) && std::isnan(b)) return true;
        return a == b || std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
    }
    return false;
}

bool plainAscii(std::string_view s, size_t max) {
    if (s.empty() || s.size() > max) return false;
    return std::all_of(s.begin(), s.end(), [](char c) { return c > 0x20 && c < 0x7F && c != '\'' && c != '"'; });
}

struct Job {
    std::string source;
    std::string file;
    std::vector<std::pair<std::string, std::string>> ns;
    std::vector<std::string> exprs;
    std::vector<std::string> ours;
};

// Names and values of the tree, and expressions made of them.
void generate(const TreeNode* root, Job& job, std::mt19937& rng, int count) {
    std::vector<std::string> tags, attrs, values, texts;
    std::set<std::string> seenTag, seenAttr;
    std::string defaultUri;
    for (const TreeNode* n = root;;) {
        std::string_view uri = elementNamespace(n);
        QName q = splitQName(n->tagView());
        std::string name;
        if (q.prefix.empty() && !uri.empty()) {
            if (defaultUri.empty()) defaultUri = uri;
            if (uri == defaultUri) name = "d:" + std::string(q.local);
        } else if (!q.prefix.empty() && !uri.empty()) {
            bool bound = std::any_of(job.ns.begin(), job.ns.end(), [&](auto& p) { return p.first == q.prefix; });
            if (!bound) job.ns.emplace_back(std::string(q.prefix), std::string(uri));
            bool same = std::any_of(job.ns.begin(), job.ns.end(), [&](auto& p) { return p.first == q.prefix && p.second == uri; });
            if (same) name = std::string(n->tagView());
        } else if (uri.empty()) {
            name = std::string(n->tagView());
        }
        if (!name.empty() && plainAscii(name, 60) && seenTag.insert(name).second) tags.push_back(name);
        for (int32_t i = 0; i < n->attributeCount(); ++i) {
            std::string_view a = n->attributes().name(i);
            if (isNamespaceDeclaration(a) || a.find(':') != std::string_view::npos) continue;
            if (plainAscii(a, 40) && seenAttr.insert(std::string(a)).second) attrs.emplace_back(a);
            if (plainAscii(n->attributes().value(i), 30)) values.emplace_back(n->attributes().value(i));
        }
        if (plainAscii(n->contentView(), 30)) texts.emplace_back(n->contentView());
        if (const TreeNode* c = n->firstChild()) {
            n = c;
            continue;
        }
        while (n != root && !n->nextSibling()) n = n->parent();
        if (n == root) break;
        n = n->nextSibling();
    }
    if (!defaultUri.empty()) job.ns.emplace_back("d", defaultUri);
    if (tags.empty()) return;
    if (attrs.empty()) attrs.push_back("id");
    if (values.empty()) values.push_back("1");
    if (texts.empty()) texts.push_back("a");
    auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
    const char* templates[] = {
        "//T", "count(//T)", "//T[@A]", "//T[@A='V']/@A", "//T[1]", "(//T)[last()]", "//T/..", "//T/ancestor::*",
        "//T/following-sibling::*[1]", "//T/preceding-sibling::*", "(//T)[2]/preceding::*[2]", "(//T)[last()]/following::*[3]",
        "//*[T]", "//T[. = 'C']", "string(//T)", "normalize-space(//T)", "string-length(//T)", "count(//T/@*)",
        "//@A", "//T[position() mod 2 = 0]/@*", "//T[contains(@A, 'e')]", "//T[starts-with(., 'C')]",
        "name(//T/..)", "local-name(//*[@A][1])", "//T/text()", "//T/descendant::text()",
        "count(//T/descendant-or-self::node())", "//T[not(*)]", "//T[last() - 1]", "substring(//T, 2, 3)",
        "translate(//T/@A, 'abcde', 'ABC')", "//T | //U", "//T[@A][position() < 3]", "/*/*[2]/T",
        "//T/ancestor-or-self::*[last()]", "boolean(//T[@A > 3])", "//T[@A >= 2]", "(//T)[2]/preceding::text()[1]",
        "count((//T)[1]/following::node())", "//T/parent::*/@A", "//U/T[2]", "//*[@A = 'V']", "//T[@A != 'V']",
        "//T/ancestor::*[1]/preceding-sibling::*[1]", "//T[string-length(@A) > 3]/@A", "sum(//T/@A) > 0",
        "count(//T/namespace::*)", "//T/self::node()[@A]", "//T[.//U]", "//*[local-name() = 'L']",
        "//T[position() = last()]", "count((//T)[last()]/preceding::*)", "//T/following-sibling::node()[last()]",
        "//T[substring-before(@A, '-') != '']", "//T[number(.) > 5]", "count(//*[@A] | //T)",
        "//T/descendant::*[3]", "//T/@A[. = 'V'] | //U/@A"};
    const int n = sizeof(templates) / sizeof(templates[0]);
    for (int k = 0; k < count; ++k) {
        std::string t = templates[rng() % n];
        std::string out;
        for (char c : t) {
            switch (c) {
                case 'T': out += pick(tags); break;
                case 'U': out += pick(tags); break;
                case 'A': out += pick(attrs); break;
                case 'V': out += pick(values); break;
                case 'C': out += pick(texts); break;
                case 'L': out += std::string(splitQName(pick(tags)).local); break;
                default: out += c;
            }
        }
        job.exprs.push_back(out);
    }
}

std::vector<fs::path> candidateFiles() {
    std::vector<fs::path> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator("/usr/share", fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (!it->is_regular_file(ec) || it->path().extension() != ".xml") continue;
        auto size = it->file_size(ec);
        if (ec || size < 1000 || size > 1u << 20) continue;
        files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(XPathDifferential, AgreesWithLxmlOnThisMachinesFiles) {
    const std::string python = QV_XPATH_PYTHON;
    if (std::system((python + " -c 'import lxml' >/dev/null 2>&1").c_str()) != 0) {
        GTEST_SKIP() << "python3-lxml is not installed";
    }
    const char* filesEnv = std::getenv("QV_XPATH_DIFF_FILES");
    const char* exprsEnv = std::getenv("QV_XPATH_DIFF_EXPRS");
    size_t maxFiles = filesEnv ? static_cast<size_t>(std::atol(filesEnv)) : 6;
    int perFile = exprsEnv ? std::atoi(exprsEnv) : 60;
    if (maxFiles == 0) maxFiles = SIZE_MAX;
    std::vector<fs::path> files = candidateFiles();
    std::mt19937 rng(20261207);
    if (!filesEnv) {
        // A fixed handful: the MIME database and files spread over the sorted list.
        std::vector<fs::path> some{"/usr/share/mime/packages/freedesktop.org.xml"};
        for (size_t i = 1; i < files.size() && some.size() < maxFiles; i += files.size() / maxFiles + 1) some.push_back(files[i]);
        files = some;
    }
    test::ScratchDir dir;
    std::vector<Job> jobs;
    for (const fs::path& f : files) {
        if (jobs.size() >= maxFiles) break;
        std::ifstream in(f, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::string text = ss.str();
        TreeNode* root = parse(text.data(), text.size(), nullptr, nullptr);
        if (!root) continue;
        Job job;
        job.source = f.string();
        job.file = dir.path("doc" + std::to_string(jobs.size()) + ".xml");
        std::ofstream(job.file, std::ios::binary) << writeTree(root);
        generate(root, job, rng, perFile);
        Bindings b;
        for (auto& [p, u] : job.ns) b.setNamespace(p, u);
        for (const std::string& e : job.exprs) {
            CompileError ce;
            auto q = Query::compile(e, ce);
            Value v;
            EvalError ee;
            job.ours.push_back(q && q->evaluate(root, b, v, ee) ? render(v) : "X:");
        }
        TreeNode::destroyTree(root);
        if (!job.exprs.empty()) jobs.push_back(std::move(job));
    }
    std::string json = "[";
    for (size_t i = 0; i < jobs.size(); ++i) {
        json += i ? "," : "";
        json += "{\"file\":" + jsonString(jobs[i].file) + ",\"ns\":{";
        for (size_t k = 0; k < jobs[i].ns.size(); ++k) {
            json += (k ? "," : "") + jsonString(jobs[i].ns[k].first) + ":" + jsonString(jobs[i].ns[k].second);
        }
        json += "},\"exprs\":[";
        for (size_t k = 0; k < jobs[i].exprs.size(); ++k) json += (k ? "," : "") + jsonString(jobs[i].exprs[k]);
        json += "]}";
    }
    json += "]";
    std::string input = dir.path("jobs.json"), output = dir.path("lxml.txt");
    std::ofstream(input, std::ios::binary) << json;
    std::string cmd = python + " " + std::string(QV_XPATH_LXML_SCRIPT) + " " + input + " > " + output;
    if (std::getenv("QV_XPATH_DIFF_TRACE")) cmd += std::string(" trace 2> ") + std::getenv("QV_XPATH_DIFF_TRACE");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream results(output, std::ios::binary);
    std::string line;
    size_t filesCompared = 0, exprsCompared = 0, mismatches = 0;
    for (const Job& job : jobs) {
        ASSERT_TRUE(std::getline(results, line));
        if (line == "SKIP") continue;
        ++filesCompared;
        for (size_t k = 0; k < job.exprs.size(); ++k) {
            if (k) {
                ASSERT_TRUE(std::getline(results, line));
            }
            ++exprsCompared;
            if (!sameResult(job.ours[k], line)) {
                ++mismatches;
                ADD_FAILURE() << job.source << "\n  " << job.exprs[k] << "\n  ours: " << job.ours[k].substr(0, 300)
                              << "\n  lxml: " << line.substr(0, 300);
                if (mismatches > 20) return;
            }
        }
    }
    std::printf("compared %zu files, %zu expressions, %zu mismatches\n", filesCompared, exprsCompared, mismatches);
    EXPECT_GE(filesCompared, std::min<size_t>(3, jobs.size()));
}

}  // namespace
}  // namespace quorvel::xpath
