// XPath: the same compiled queries over the same documents in this engine, pugixml's
// xpath_query and libxml2's compiled XPath, on freedesktop.org's MIME database (a default
// namespace) and a generated 20 MB record document.
//
// Namespaces: freedesktop.org.xml puts every element in xmlns="...shared-mime-info". Ours binds
// that URI to the empty prefix, so the queries are written unprefixed; pugixml ignores
// namespaces and runs the same text; libxml2 needs a registered prefix, so its text carries
// `m:` on every element name test. Each variant yields the same nodes (checked once per run).
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <fstream>
#include <memory>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "bench_documents.h"
#include "quorvel/xml.hpp"
#include "tree/tree_node.h"
#include "xml/parse_engine.h"
#include "xpath/xpath_cache.h"

namespace {

using namespace quorvel;

constexpr const char* kMimePath = "/usr/share/mime/packages/freedesktop.org.xml";
constexpr const char* kMimeNs = "http://www.freedesktop.org/standards/shared-mime-info";

struct Query {
    const char* name;
    const char* ours;   // also pugixml's
    const char* libxml; // with the m: prefix where the document needs it
    const char* variable;  // $p, or null
};

const Query kMimeQueries[] = {
    {"glob_var", "//mime-type[glob/@pattern=$p]/@type", "//m:mime-type[m:glob/@pattern=$p]/@type", "*.pdf"},
    {"child_pred", "/mime-info/mime-type[sub-class-of]", "/m:mime-info/m:mime-type[m:sub-class-of]", nullptr},
    {"count_all", "count(//*)", "count(//*)", nullptr},
    {"any_pos", "//*[@type][position() < 10]", "//*[@type][position() < 10]", nullptr},
    {"desc_string", "/descendant::glob[contains(@pattern, 'x')]", "/descendant::m:glob[contains(@pattern, 'x')]", nullptr},
};

const Query kRecordQueries[] = {
    {"glob_var", "//record[name=$p]/@id", "//record[name=$p]/@id", "Customer 4242"},
    {"child_pred", "/records/record[address]", "/records/record[address]", nullptr},
    {"count_all", "count(//*)", "count(//*)", nullptr},
    {"any_pos", "//*[@type][position() < 10]", "//*[@type][position() < 10]", nullptr},
    {"desc_string", "/descendant::email[starts-with(., 'customer99')]", "/descendant::email[starts-with(., 'customer99')]", nullptr},
};

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Documents {
    std::string text;
    TreeNode* ours = nullptr;
    pugi::xml_document pugi;
    xmlDocPtr libxml = nullptr;
};

Documents& documents(bool mime) {
    static Documents* docs[2] = {nullptr, nullptr};
    Documents*& d = docs[mime ? 0 : 1];
    if (!d) {
        d = new Documents;
        d->text = mime ? readFile(kMimePath) : bench::records(20u << 20);
        d->ours = parse(d->text.data(), d->text.size(), nullptr, nullptr);
        if (mime) xpath::DocumentXPath::of(d->ours).setNamespace("", kMimeNs);
        d->pugi.load_buffer(d->text.data(), d->text.size());
        d->libxml = xmlReadMemory(d->text.data(), static_cast<int>(d->text.size()), "doc.xml", nullptr, XML_PARSE_NONET);
    }
    return *d;
}

// How many items a result holds: nodes of a node-set, 1 for anything else.
size_t ourCount(const xpath::Value& v) { return v.type == xpath::ValueType::NodeSet ? v.set.size() : 1; }

void Ours(benchmark::State& state, bool mime, int index, bool cached) {
    Documents& d = documents(mime);
    const Query& q = (mime ? kMimeQueries : kRecordQueries)[index];
    xpath::DocumentXPath& doc = xpath::DocumentXPath::of(d.ours);
    if (q.variable) doc.setVariable("p", xpath::Value::ofString(q.variable));
    size_t n = 0;
    for (auto _ : state) {
        xpath::CompileError ce;
        std::shared_ptr<const xpath::Query> query = cached ? doc.query(q.ours, ce) : xpath::Query::compile(q.ours, ce);
        xpath::Value v;
        xpath::EvalError ee;
        if (!query || !doc.evaluate(*query, d.ours, v, ee)) {
            state.SkipWithError("evaluation failed");
            return;
        }
        n = ourCount(v);
        benchmark::DoNotOptimize(v);
    }
    state.counters["items"] = static_cast<double>(n);
}

void Pugi(benchmark::State& state, bool mime, int index) {
    Documents& d = documents(mime);
    const Query& q = (mime ? kMimeQueries : kRecordQueries)[index];
    pugi::xpath_variable_set vars;
    if (q.variable) vars.set("p", q.variable);
    pugi::xpath_query query(q.ours, &vars);
    size_t n = 0;
    for (auto _ : state) {
        if (query.return_type() == pugi::xpath_type_node_set) {
            pugi::xpath_node_set s = query.evaluate_node_set(d.pugi);
            n = s.size();
            benchmark::DoNotOptimize(s);
        } else {
            benchmark::DoNotOptimize(query.evaluate_number(d.pugi));
            n = 1;
        }
    }
    state.counters["items"] = static_cast<double>(n);
}

void Libxml(benchmark::State& state, bool mime, int index) {
    Documents& d = documents(mime);
    const Query& q = (mime ? kMimeQueries : kRecordQueries)[index];
    xmlXPathContextPtr ctx = xmlXPathNewContext(d.libxml);
    xmlXPathRegisterNs(ctx, BAD_CAST "m", BAD_CAST kMimeNs);
    if (q.variable) xmlXPathRegisterVariable(ctx, BAD_CAST "p", xmlXPathNewCString(q.variable));
    xmlXPathCompExprPtr comp = xmlXPathCompile(BAD_CAST q.libxml);
    size_t n = 0;
    for (auto _ : state) {
        ctx->node = reinterpret_cast<xmlNodePtr>(d.libxml);
        xmlXPathObjectPtr r = xmlXPathCompiledEval(comp, ctx);
        n = (r && r->type == XPATH_NODESET && r->nodesetval) ? static_cast<size_t>(r->nodesetval->nodeNr) : 1;
        xmlXPathFreeObject(r);
    }
    state.counters["items"] = static_cast<double>(n);
    xmlXPathFreeCompExpr(comp);
    xmlXPathFreeContext(ctx);
}

// What the per-document cache saves: a short query from one element, where parsing would be
// most of the work.
constexpr const char* kSmallQuery = "concat(@type, ' ', string(glob[1]/@pattern), ' ', count(comment))";

void SmallQuery(benchmark::State& state, bool cached) {
    Documents& d = documents(true);
    xpath::DocumentXPath& doc = xpath::DocumentXPath::of(d.ours);
    const TreeNode* context = d.ours->childAt(10);
    const char* text = kSmallQuery;
    for (auto _ : state) {
        xpath::CompileError ce;
        std::shared_ptr<const xpath::Query> q = cached ? doc.query(text, ce) : xpath::Query::compile(text, ce);
        xpath::Value v;
        xpath::EvalError ee;
        doc.evaluate(*q, context, v, ee);
        benchmark::DoNotOptimize(v);
    }
}

// What finding the compiled query costs by itself: the text made a key, hashed and looked up.
void SmallQueryLookup(benchmark::State& state) {
    Documents& d = documents(true);
    xpath::DocumentXPath& doc = xpath::DocumentXPath::of(d.ours);
    for (auto _ : state) {
        xpath::CompileError ce;
        benchmark::DoNotOptimize(doc.query(kSmallQuery, ce));
    }
}

// The same query through the C++ layer: the member's call, its log frame, the host string of the
// text and the result's variant, around the cached query's evaluation. xml::xpath holds the text
// and goes the same way.
void SmallQueryLayer(benchmark::State& state, bool held) {
    static const xml::node doc = [] {
        xml::node n = xml::parse(documents(true).text);
        n.set_xpath_namespace("", kMimeNs);
        return n;
    }();
    const xml::node context = doc.child(10);
    const xml::xpath query(kSmallQuery);
    for (auto _ : state) benchmark::DoNotOptimize(held ? query.evaluate(context) : context.evaluate(kSmallQuery));
}

void registerAll() {
    benchmark::RegisterBenchmark("cache/small_query/cached", SmallQuery, true);
    benchmark::RegisterBenchmark("cache/small_query/compiled_each_time", SmallQuery, false);
    benchmark::RegisterBenchmark("cache/small_query/lookup_only", SmallQueryLookup);
    benchmark::RegisterBenchmark("cache/small_query/layer_evaluate", SmallQueryLayer, false);
    benchmark::RegisterBenchmark("cache/small_query/layer_xpath_object", SmallQueryLayer, true);
    for (int doc = 0; doc < 2; ++doc) {
        bool mime = doc == 0;
        const char* docName = mime ? "mime" : "records20MB";
        for (int i = 0; i < 5; ++i) {
            const Query& q = (mime ? kMimeQueries : kRecordQueries)[i];
            std::string base = std::string(docName) + "/" + q.name + "/";
            benchmark::RegisterBenchmark((base + "ours").c_str(), Ours, mime, i, true)->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark((base + "ours_compile_each_time").c_str(), Ours, mime, i, false)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark((base + "pugixml").c_str(), Pugi, mime, i)->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark((base + "libxml2").c_str(), Libxml, mime, i)->Unit(benchmark::kMicrosecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
