// Walking a document of 1,000,001 elements: through the C++ layer of quorvel/xml.hpp (handles
// moved in place, and nested children() ranges), through the raw virtual table, and with pugixml
// over the same text. Three readings are set against pugixml's in the same run: every tag, every
// tag and content, every attribute's name and value; the layer should cost at most what pugixml
// does. Take the fastest of 9 interleaved runs (the machine is shared):
//   xml_layer_bench --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true
//       --benchmark_report_aggregates_only=true --benchmark_filter='Layer|Pugixml'
// and read the `_min` rows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "quorvel/xml.hpp"

namespace {

using namespace quorvel;

// A root, 1000 records, 999 fields in each: 1,000,001 elements. Each field has two attributes
// and a short content; records have one attribute and no content.
const std::string& documentText() {
    static const std::string text = [] {
        std::string s = "<catalog>";
        for (int r = 0; r < 1000; ++r) {
            s += "<record id=\"" + std::to_string(r) + "\">";
            for (int f = 0; f < 999; ++f) {
                s += "<field name=\"f" + std::to_string(f) + "\" kind=\"text\">value " + std::to_string(f) + "</field>";
            }
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

// The layer's ranges: a stack of children() walks, one cursor handle per level; visit(node)
// gives the bytes it read.
template <class Visit>
void layerRanges(benchmark::State& state, Visit visit) {
    const xml::node& doc = document();
    int64_t visited = 0, bytes = 0;
    std::vector<xml::child_iterator> stack;
    for (auto _ : state) {
        bytes += visit(doc);
        visited = 1;
        stack.push_back(doc.children().begin());
        while (!stack.empty()) {
            xml::child_iterator& it = stack.back();
            if (it == std::default_sentinel) {
                stack.pop_back();
                continue;
            }
            bytes += visit(*it);
            ++visited;
            xml::child_iterator below = it->children().begin();
            ++it;
            stack.push_back(std::move(below));
        }
    }
    benchmark::DoNotOptimize(bytes);
    finish(state, visited);
}

// Every tag.
void BM_LayerChildrenRanges(benchmark::State& state) {
    layerRanges(state, [](const xml::node& n) { return static_cast<int64_t>(n.tag().size()); });
}
void BM_LayerTagsAndContents(benchmark::State& state) {
    layerRanges(state, [](const xml::node& n) { return static_cast<int64_t>(n.tag().size() + n.content().size()); });
}
// Every attribute's name and value.
void BM_LayerAttributes(benchmark::State& state) {
    layerRanges(state, [](const xml::node& n) {
        int64_t bytes = 0;
        for (auto a : n.attributes()) bytes += static_cast<int64_t>(a.name().size() + a.value().size());
        return bytes;
    });
}

// pugixml over the same text, element by element (its texts are nodes of their own): each name
// and value read where it lies.
const pugi::xml_document& pugiDocument(benchmark::State& state) {
    static pugi::xml_document doc;
    static const bool loaded = doc.load_string(documentText().c_str());
    if (!loaded) state.SkipWithError("pugixml did not load the document");
    return doc;
}

pugi::xml_node elementFrom(pugi::xml_node n) {
    while (n && n.type() != pugi::node_element) n = n.next_sibling();
    return n;
}

template <class Visit>
void pugiWalk(benchmark::State& state, Visit visit) {
    const pugi::xml_document& doc = pugiDocument(state);
    int64_t visited = 0, bytes = 0;
    for (auto _ : state) {
        visited = 0;
        pugi::xml_node n = doc.document_element();
        pugi::xml_node step;
        walk([&] { return (step = elementFrom(n.first_child())) ? (n = step, true) : false; },
             [&] { return (step = elementFrom(n.next_sibling())) ? (n = step, true) : false; },
             [&] { return n.parent() != doc ? (n = n.parent(), true) : false; },
             [&] {
                 bytes += visit(n);
                 ++visited;
             });
    }
    benchmark::DoNotOptimize(bytes);
    finish(state, visited);
}

void BM_Pugixml(benchmark::State& state) {
    pugiWalk(state, [](pugi::xml_node n) { return static_cast<int64_t>(std::strlen(n.name())); });
}
void BM_PugixmlTagsAndContents(benchmark::State& state) {
    pugiWalk(state, [](pugi::xml_node n) {
        return static_cast<int64_t>(std::strlen(n.name()) + std::strlen(n.child_value()));
    });
}
void BM_PugixmlAttributes(benchmark::State& state) {
    pugiWalk(state, [](pugi::xml_node n) {
        int64_t bytes = 0;
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
            bytes += static_cast<int64_t>(std::strlen(a.name()) + std::strlen(a.value()));
        }
        return bytes;
    });
}

// Each benchmark's fastest repetition is reported too (`_min`): on a shared machine the slower
// ones measure the neighbours.
#define QV_WALK(b)                                                                                   \
    BENCHMARK(b)->Unit(benchmark::kMillisecond)->MinTime(1.0)->ComputeStatistics(                    \
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
QV_WALK(BM_RawInterface);
QV_WALK(BM_RawInterfaceReadingUnits);
QV_WALK(BM_RawInterfaceToUtf8);
QV_WALK(BM_LayerMovingOneNode);
QV_WALK(BM_LayerChildrenRanges);
QV_WALK(BM_Pugixml);
QV_WALK(BM_LayerTagsAndContents);
QV_WALK(BM_PugixmlTagsAndContents);
QV_WALK(BM_LayerAttributes);
QV_WALK(BM_PugixmlAttributes);

}  // namespace

BENCHMARK_MAIN();
