// Walking a document of 1,000,001 elements and reading every tag: through the C++ layer of
// quorvel/xml.hpp (handles moved in place, and nested children() ranges), through the raw
// virtual table, and with pugixml over the same text. The layer should cost at most 1.05x the
// raw interface.
#include <benchmark/benchmark.h>

#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "quorvel/xml.hpp"

namespace {

using namespace quorvel;

// A root, 1000 records, 999 fields in each: 1,000,001 elements.
const std::string& documentText() {
    static const std::string text = [] {
        std::string s = "<catalog>";
        for (int r = 0; r < 1000; ++r) {
            s += "<record>";
            for (int f = 0; f < 999; ++f) s += "<field/>";
            s += "</record>";
        }
        return s + "</catalog>";
    }();
    return text;
}
constexpr int64_t kElements = 1000001;

const xml::node& document() {
    static const xml::node doc = xml::parse(documentText());
    return doc;
}

// Depth-first with one handle: first child, else next sibling, else up until there is one.
template <class Down, class Next, class Up, class Visit>
void walk(Down down, Next next, Up up, Visit visit) {
    visit();
    for (;;) {
        if (down()) {
            visit();
            continue;
        }
        for (;;) {
            if (next()) {
                visit();
                break;
            }
            if (!up()) return;
        }
    }
}

void finish(benchmark::State& state, int64_t visited) {
    if (visited != kElements) state.SkipWithError("not every element was visited");
    state.SetItemsProcessed(state.iterations() * kElements);
}

// The raw interface: each tag as the host string the member returns, given to onTag, then freed.
template <class OnTag>
void rawWalk(benchmark::State& state, OnTag onTag) {
    IQuorvelXml* h = nullptr;
    document().get()->GetRoot(&h);
    int64_t visited = 0;
    for (auto _ : state) {
        visited = 0;
        LONG found = 0;
        walk([&] { return h->FirstChild2(&found), found != 0; }, [&] { return h->NextSibling2(&found), found != 0; },
             [&] { return h->GetParent2(&found), found != 0; },
             [&] {
                 BSTR tag = nullptr;
                 h->get_Tag(&tag);
                 onTag(tag);
                 SysFreeString(tag);
                 ++visited;
             });
    }
    h->Release();
    finish(state, visited);
}

// Each tag's length read.
void BM_RawInterface(benchmark::State& state) {
    int64_t bytes = 0;
    rawWalk(state, [&](BSTR tag) { bytes += SysStringLen(tag); });
    benchmark::DoNotOptimize(bytes);
}

// Every unit of each tag read, as a host that compares or hashes tags does.
void BM_RawInterfaceReadingUnits(benchmark::State& state) {
    int64_t sum = 0;
    rawWalk(state, [&](BSTR tag) {
        for (UINT i = 0, n = SysStringLen(tag); i < n; ++i) sum += tag[i];
    });
    benchmark::DoNotOptimize(sum);
}

// Each tag also made a UTF-8 std::string, as a C++ host needs it.
void BM_RawInterfaceToUtf8(benchmark::State& state) {
    int64_t bytes = 0;
    rawWalk(state, [&](BSTR tag) {
        char text[64];
        const UINT n = qv_SysStringToUtf8(tag, text, sizeof text);
        std::string s(text, n <= sizeof text ? n : 0);
        bytes += static_cast<int64_t>(s.size());
    });
    benchmark::DoNotOptimize(bytes);
}

// The layer, walking the same way: one node moved in place, tag() as std::string.
void BM_LayerMovingOneNode(benchmark::State& state) {
    xml::node h = document().root();
    int64_t visited = 0, bytes = 0;
    for (auto _ : state) {
        visited = 0;
        walk([&] { return h.move_to_first_child(); }, [&] { return h.move_to_next_sibling(); },
             [&] { return h.move_to_parent(); },
             [&] {
                 bytes += static_cast<int64_t>(h.tag().size());
                 ++visited;
             });
    }
    benchmark::DoNotOptimize(bytes);
    finish(state, visited);
}

// The layer's ranges: a stack of children() walks, one cursor handle per level.
void BM_LayerChildrenRanges(benchmark::State& state) {
    const xml::node& doc = document();
    int64_t visited = 0, bytes = 0;
    std::vector<xml::child_iterator> stack;
    for (auto _ : state) {
        bytes += static_cast<int64_t>(doc.tag().size());
        visited = 1;
        stack.push_back(doc.children().begin());
        while (!stack.empty()) {
            xml::child_iterator& it = stack.back();
            if (it == std::default_sentinel) {
                stack.pop_back();
                continue;
            }
            bytes += static_cast<int64_t>(it->tag().size());
            ++visited;
            xml::child_iterator below = it->children().begin();
            ++it;
            stack.push_back(std::move(below));
        }
    }
    benchmark::DoNotOptimize(bytes);
    finish(state, visited);
}

// pugixml over the same text: each name read where it lies.
void BM_Pugixml(benchmark::State& state) {
    static pugi::xml_document doc;
    static const bool loaded = doc.load_string(documentText().c_str());
    if (!loaded) state.SkipWithError("pugixml did not load the document");
    int64_t visited = 0, bytes = 0;
    for (auto _ : state) {
        visited = 0;
        pugi::xml_node n = doc.document_element();
        walk([&] { return n.first_child() ? (n = n.first_child(), true) : false; },
             [&] { return n.next_sibling() ? (n = n.next_sibling(), true) : false; },
             [&] { return n.parent() != doc ? (n = n.parent(), true) : false; },
             [&] {
                 bytes += static_cast<int64_t>(std::strlen(n.name()));
                 ++visited;
             });
    }
    benchmark::DoNotOptimize(bytes);
    finish(state, visited);
}

#define QV_WALK(b) BENCHMARK(b)->Unit(benchmark::kMillisecond)->MinTime(1.0)
QV_WALK(BM_RawInterface);
QV_WALK(BM_RawInterfaceReadingUnits);
QV_WALK(BM_RawInterfaceToUtf8);
QV_WALK(BM_LayerMovingOneNode);
QV_WALK(BM_LayerChildrenRanges);
QV_WALK(BM_Pugixml);

}  // namespace

BENCHMARK_MAIN();
