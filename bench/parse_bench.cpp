// Loading and writing XML: QuorvelXml against pugixml, libxml2 and tinyxml2 on the same documents,
// from UTF-8 bytes in memory to a complete tree. Each row reports throughput (bytes/s of input)
// and the memory the library holds for the loaded document ("held_MB") and its peak while
// loading ("peak_MB"), both counted the same way for every library: every malloc-family call of
// the process goes through the counters below, which add up malloc_usable_size. A summary table
// with the libraries side by side closes the run.
//
//   build/bench/parse_bench                       all documents
//   build/bench/parse_bench --benchmark_filter=records   one of them
//   build/bench/parse_bench --benchmark_repetitions=5    the tables keep each row's fastest run
//   ... --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true
//                                  the runs in shuffled order, which a noisy machine slows alike
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <tinyxml2.h>
#include <vector>

#include "bench_documents.h"
#include "core/progress_monitor.h"
#include "core/string_buffer.h"
#include "tree/tree_node.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

// ---- Allocation counting -------------------------------------------------------------------

extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
}

namespace {
bool gCounting = false;
int64_t gCurrent = 0;
int64_t gPeak = 0;

inline void counted(void* p) {
    if (!gCounting || !p) return;
    gCurrent += static_cast<int64_t>(malloc_usable_size(p));
    if (gCurrent > gPeak) gPeak = gCurrent;
}
inline void uncounted(void* p) {
    if (gCounting && p) gCurrent -= static_cast<int64_t>(malloc_usable_size(p));
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
    void* p = __libc_malloc(n);
    counted(p);
    return p;
}
void free(void* p) {
    uncounted(p);
    __libc_free(p);
}
void* calloc(size_t n, size_t m) {
    void* p = __libc_calloc(n, m);
    counted(p);
    return p;
}
void* realloc(void* p, size_t n) {
    uncounted(p);
    void* q = __libc_realloc(p, n);
    counted(q ? q : (n ? p : nullptr));
    return q;
}
void* memalign(size_t a, size_t n) {
    void* p = __libc_memalign(a, n);
    counted(p);
    return p;
}
void* aligned_alloc(size_t a, size_t n) { return memalign(a, n); }
int posix_memalign(void** out, size_t a, size_t n) {
    void* p = memalign(a, n);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}
}

namespace {

struct MemoryUse {
    double heldMB = 0;
    double peakMB = 0;
};

// ---- Documents -----------------------------------------------------------------------------

// Made on first use, so that a filtered run builds only what it measures.
struct Document {
    std::string name;
    std::function<std::string()> make;
    std::string made;
    const std::string& bytes() {
        if (made.empty()) made = make();
        return made;
    }
};

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Empty elements carrying ten attributes each.
std::string attributeHeavy(size_t target) {
    std::string s = "<catalog>\n";
    for (int i = 0; s.size() < target; ++i) {
        std::string n = std::to_string(i);
        s += "<item id=\"" + n + "\" sku=\"AB-" + n + "\" name=\"Part number " + n + "\" price=\"" + std::to_string(i % 1000) +
             ".50\" currency=\"EUR\" stock=\"" + std::to_string(i % 77) +
             "\" category=\"tools &amp; hardware\" weight=\"0.25\" active=\"true\" origin=\"DE\"/>\n";
    }
    return s + "</catalog>\n";
}

// Paragraphs of a few kilobytes of prose.
std::string textHeavy(size_t target) {
    static const char* sentence =
        "The quick brown fox jumps over the lazy dog while the committee reviews the minutes of the last "
        "meeting &amp; prepares a summary for the members who could not attend. ";
    std::string s = "<book>\n";
    for (int i = 0; s.size() < target; ++i) {
        s += "<chapter n=\"" + std::to_string(i) + "\"><title>Chapter " + std::to_string(i) + "</title>\n<para>";
        for (int k = 0; k < 20; ++k) s += sentence;
        s += "</para>\n</chapter>\n";
    }
    return s + "</book>\n";
}

// Subtrees 90 levels deep (tinyxml2 refuses more than 100), a short text at each bottom.
std::string nested(size_t target) {
    std::string s = "<forest>";
    for (int i = 0; s.size() < target; ++i) {
        for (int d = 0; d < 90; ++d) s += "<n d=\"" + std::to_string(d) + "\">";
        s += "leaf " + std::to_string(i);
        for (int d = 0; d < 90; ++d) s += "</n>";
        s += "\n";
    }
    return s + "</forest>\n";
}

// One chain a million elements deep; only parsers without a depth limit can load it.
std::string chain() {
    std::string s;
    for (int i = 0; i < 1000000; ++i) s += "<c>";
    s += "bottom";
    for (int i = 0; i < 1000000; ++i) s += "</c>";
    return s;
}

using quorvel::bench::records;

std::vector<Document>& documents() {
    static std::vector<Document> docs = [] {
        const char* mime = "/usr/share/mime/packages/freedesktop.org.xml";
        const char* iso = "/usr/share/xml/iso-codes/iso_639-3.xml";
        std::vector<Document> d;
        if (!readFile(mime).empty()) d.push_back({"freedesktop-mime", [=] { return readFile(mime); }, {}});
        if (!readFile(iso).empty()) d.push_back({"iso-639-3", [=] { return readFile(iso); }, {}});
        d.push_back({"records", [] { return records(20u << 20); }, {}});
        d.push_back({"attributes", [] { return attributeHeavy(20u << 20); }, {}});
        d.push_back({"text", [] { return textHeavy(20u << 20); }, {}});
        d.push_back({"nested", [] { return nested(20u << 20); }, {}});
        d.push_back({"chain-1M-deep", chain, {}});
        d.push_back({"records-100MB", [] { return records(100u << 20); }, {}});
        return d;
    }();
    return docs;
}

// ---- The libraries -------------------------------------------------------------------------

// Loads a document and gives back a handle whose destruction frees it; null on failure.
using Loaded = std::shared_ptr<void>;

struct Library {
    const char* name;
    std::function<Loaded(const std::string&)> load;
};

Loaded loadQuorvel(const std::string& text) {
    quorvel::ProgressMonitor monitor(103, 0, nullptr, 100);
    quorvel::TreeNode* root = quorvel::parse(text.data(), text.size(), nullptr, &monitor);
    if (!root) return nullptr;
    return Loaded(root, [](void* r) { quorvel::TreeNode::destroyTree(static_cast<quorvel::TreeNode*>(r)); });
}

Loaded loadPugi(const std::string& text) {
    auto doc = std::make_shared<pugi::xml_document>();
    if (!doc->load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) return nullptr;
    return doc;
}

Loaded loadLibxml2(const std::string& text) {
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                  XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc) return nullptr;
    return Loaded(doc, [](void* d) { xmlFreeDoc(static_cast<xmlDocPtr>(d)); });
}

Loaded loadTinyxml2(const std::string& text) {
    auto doc = std::make_shared<tinyxml2::XMLDocument>();
    if (doc->Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) return nullptr;
    return doc;
}

const std::vector<Library>& libraries() {
    static const std::vector<Library> libs = {
        {"QuorvelXml", loadQuorvel}, {"pugixml", loadPugi}, {"libxml2", loadLibxml2}, {"tinyxml2", loadTinyxml2}};
    return libs;
}

MemoryUse measure(const std::function<Loaded()>& load) {
    gCurrent = 0;
    gPeak = 0;
    gCounting = true;
    Loaded doc = load();
    MemoryUse m{static_cast<double>(gCurrent) / 1e6, static_cast<double>(gPeak) / 1e6};
    doc.reset();
    gCounting = false;
    return m;
}

void parseBenchmark(benchmark::State& state, Document* doc, const Library* lib) {
    const std::string& text = doc->bytes();
    for (auto _ : state) {
        Loaded loaded = lib->load(text);
        state.PauseTiming();
        if (!loaded) {
            state.SkipWithError("not loaded (depth or size limit)");
            break;
        }
        loaded.reset();
        state.ResumeTiming();
    }
    if (state.error_occurred()) return;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    MemoryUse m = measure([&] { return lib->load(text); });
    state.counters["held_MB"] = m.heldMB;
    state.counters["peak_MB"] = m.peakMB;
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

void writeBenchmark(benchmark::State& state, Document* doc, bool ours) {
    Loaded loaded = ours ? loadQuorvel(doc->bytes()) : loadPugi(doc->bytes());
    size_t written = 0;
    for (auto _ : state) {
        if (ours) {
            quorvel::StringBuffer out;
            quorvel::serialize(static_cast<quorvel::TreeNode*>(loaded.get()), out);
            written = static_cast<size_t>(out.length());
        } else {
            StringWriter w;
            static_cast<pugi::xml_document*>(loaded.get())->save(w, "", pugi::format_raw, pugi::encoding_utf8);
            written = w.out.size();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
}

// ---- Summary -------------------------------------------------------------------------------

struct Row {
    double mbps = 0;
    double held = 0;
    double peak = 0;
    bool failed = false;
};

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Aggregate) continue;
            Row row;
            row.failed = r.error_occurred;
            auto get = [&](const char* k) {
                auto it = r.counters.find(k);
                return it == r.counters.end() ? 0.0 : static_cast<double>(it->second.value);
            };
            row.mbps = get("bytes_per_second") / 1e6;
            row.held = get("held_MB");
            row.peak = get("peak_MB");
            // Of repeated runs the fastest is kept: a slower one measured the machine's neighbours.
            auto [it, fresh] = rows_.try_emplace(r.benchmark_name(), row);
            if (!fresh && row.mbps > it->second.mbps) it->second = row;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        auto cell = [&](const std::string& key, double Row::*field) {
            auto it = rows_.find(key);
            char b[32];
            if (it == rows_.end()) {
                std::snprintf(b, sizeof b, "%10s", "");
            } else if (it->second.failed) {
                std::snprintf(b, sizeof b, "%10s", "refused");
            } else {
                std::snprintf(b, sizeof b, "%10.1f", it->second.*field);
            }
            return std::string(b);
        };
        // The last column compares QuorvelXml with pugixml: above 1, QuorvelXml does better.
        auto table = [&](const char* title, const char* prefix, double Row::*field, bool allLibraries, bool higherIsBetter) {
            std::printf("\n%s\n%-18s %8s", title, "document", "MB");
            for (const Library& l : libraries()) {
                if (allLibraries || l.name == std::string("QuorvelXml") || l.name == std::string("pugixml")) {
                    std::printf(" %10s", l.name);
                }
            }
            std::printf(" %10s\n", "vs pugixml");
            for (const Document& d : documents()) {
                if (rows_.find(prefix + d.name + "/QuorvelXml") == rows_.end()) continue;
                std::printf("%-18s %8.1f", d.name.c_str(), static_cast<double>(d.made.size()) / 1e6);
                for (const Library& l : libraries()) {
                    if (allLibraries || l.name == std::string("QuorvelXml") || l.name == std::string("pugixml")) {
                        std::printf(" %s", cell(prefix + d.name + "/" + l.name, field).c_str());
                    }
                }
                auto ours = rows_.find(prefix + d.name + "/QuorvelXml");
                auto theirs = rows_.find(prefix + d.name + "/pugixml");
                if (theirs != rows_.end() && ours->second.*field > 0 && theirs->second.*field > 0) {
                    const double a = ours->second.*field, b = theirs->second.*field;
                    std::printf(" %10.2f", higherIsBetter ? a / b : b / a);
                }
                std::printf("\n");
            }
        };
        table("Parse: MB/s of input (CPU time; higher is better)", "parse/", &Row::mbps, true, true);
        table("Memory the loaded document holds, MB (lower is better)", "parse/", &Row::held, true, false);
        table("Memory at its peak while loading, MB", "parse/", &Row::peak, true, false);
        table("Write: MB/s of output", "write/", &Row::mbps, false, true);
    }

private:
    std::map<std::string, Row> rows_;
};

}  // namespace

int main(int argc, char** argv) {
    // A process that loads documents again and again keeps its heap: nothing is given back to
    // the system between loads, so page faults do not decide the comparison.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 25);
    for (Document& d : documents()) {
        for (const Library& l : libraries()) {
            benchmark::RegisterBenchmark(("parse/" + d.name + "/" + l.name).c_str(), parseBenchmark, &d, &l)
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (Document& d : documents()) {
        benchmark::RegisterBenchmark(("write/" + d.name + "/QuorvelXml").c_str(), writeBenchmark, &d, true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("write/" + d.name + "/pugixml").c_str(), writeBenchmark, &d, false)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    xmlCleanupParser();
    return 0;
}
