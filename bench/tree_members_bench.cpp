// The tree members through the IQuorvelXml table on one node with many children: extraction
// from the front, removal one by one and all at once, the sorts and the searches. Run with 100k
// and 1M children: times should grow linearly (the sorts as n log n).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "component/node_handle.h"
#include "core/automation/bstr_holder.h"
#include "core/system/utf8.h"
#include "tree/tree_node.h"

namespace {

using namespace quorvel;

BstrHolder bstr(const std::string& s) { return BstrHolder::copyOf(sys::fromUtf8(s)); }

std::string key(int i, int n) {
    char s[16];
    std::snprintf(s, sizeof s, "%07d", static_cast<int>((int64_t{i} * 7919) % (n + 3)));
    return s;
}

class Document {
public:
    // n records "r" under the root, each with content, attribute v and a field f carrying the same
    // scrambled key; the last record also carries the tag "last".
    explicit Document(int n, bool records = true) : handle_(CQuorvelXml::createHandle()) {
        TreeNode* root = handle_->node();
        for (int i = 0; i < n; ++i) {
            TreeNode* r = TreeNode::newChild(root, i + 1 == n ? "last" : "r");
            if (!records) continue;
            const std::string k = key(i, n);
            r->setContent(k.c_str());
            r->addAttribute("v", k);
            TreeNode* f = TreeNode::newChild(r, "f");
            f->setContent(k.c_str());
            f->addAttribute("v", k);
        }
    }
    ~Document() { handle_->Release(); }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    IQuorvelXml* operator->() const { return handle_; }
    IQuorvelXml* get() const { return handle_; }

private:
    CQuorvelXml* handle_;
};

void setUp(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * state.range(0)); }

void BM_ExtractChildByIndexFromTheFront(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<Document>(n, false);
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) {
            IQuorvelXml* child = nullptr;
            (*doc)->ExtractChildByIndex(0, &child);
            child->Release();
        }
        state.PauseTiming();
        doc.reset();  // freeing what is left is not part of the operation
        state.ResumeTiming();
    }
    setUp(state);
}

// Every child gets a handle, from its previous sibling's, and leaves the tree through it.
void BM_RemoveFromTreeEach(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<Document>(n, false);
        state.ResumeTiming();
        IQuorvelXml* at = nullptr;
        (*doc)->FirstChild(&at);
        while (at) {
            IQuorvelXml* next = nullptr;
            at->NextSibling(&next);
            at->RemoveFromTree();
            at->Release();
            at = next;
        }
        state.PauseTiming();
        doc.reset();  // freeing what is left is not part of the operation
        state.ResumeTiming();
    }
    setUp(state);
}

void BM_RemoveAllChildren(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<Document>(n);
        state.ResumeTiming();
        CQuorvelXml::fromInterface(doc->get())->node()->removeAllChildren();
        state.PauseTiming();
        doc.reset();  // freeing what is left is not part of the operation
        state.ResumeTiming();
    }
    setUp(state);
}

template <class Sort>
void sortBenchmark(benchmark::State& state, Sort sort) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<Document>(n);
        state.ResumeTiming();
        sort(doc->get());
        state.PauseTiming();
        doc.reset();  // freeing what is left is not part of the operation
        state.ResumeTiming();
    }
    setUp(state);
}

void BM_SortByTag(benchmark::State& state) {
    sortBenchmark(state, [](IQuorvelXml* h) { h->SortByTag(0); });
}
void BM_SortByContent(benchmark::State& state) {
    sortBenchmark(state, [](IQuorvelXml* h) { h->SortByContent(1); });
}
void BM_SortByAttribute(benchmark::State& state) {
    sortBenchmark(state, [](IQuorvelXml* h) { h->SortByAttribute(bstr("v").get(), 1); });
}
void BM_SortRecordsByContent(benchmark::State& state) {
    sortBenchmark(state, [](IQuorvelXml* h) { h->SortRecordsByContent(bstr("f").get(), 1); });
}
void BM_SortRecordsByAttribute(benchmark::State& state) {
    sortBenchmark(state, [](IQuorvelXml* h) { h->SortRecordsByAttribute(bstr("f").get(), bstr("v").get(), 1); });
}

// A search that passes every node of the document (2n + 1) and finds nothing.
template <class Search>
void searchBenchmark(benchmark::State& state, Search search) {
    const int n = static_cast<int>(state.range(0));
    Document doc(n);
    for (auto _ : state) {
        IQuorvelXml* found = nullptr;
        search(doc.get(), &found);
        benchmark::DoNotOptimize(found);
        if (found) found->Release();
    }
    setUp(state);
}

void BM_SearchForTag(benchmark::State& state) {
    const BstrHolder tag = bstr("absent");
    searchBenchmark(state, [&](IQuorvelXml* h, IQuorvelXml** out) { h->SearchForTag(nullptr, tag.get(), out); });
}
void BM_SearchForContent(benchmark::State& state) {
    const BstrHolder tag = bstr("f");
    const BstrHolder pattern = bstr("x*");
    searchBenchmark(state, [&](IQuorvelXml* h, IQuorvelXml** out) {
        h->SearchForContent(nullptr, tag.get(), pattern.get(), out);
    });
}
void BM_SearchAllForContent(benchmark::State& state) {
    const BstrHolder pattern = bstr("*x");
    searchBenchmark(state, [&](IQuorvelXml* h, IQuorvelXml** out) { h->SearchAllForContent(nullptr, pattern.get(), out); });
}
void BM_SearchForAttribute(benchmark::State& state) {
    const BstrHolder tag = bstr("f");
    const BstrHolder attr = bstr("v");
    const BstrHolder pattern = bstr("x");
    searchBenchmark(state, [&](IQuorvelXml* h, IQuorvelXml** out) {
        h->SearchForAttribute(nullptr, tag.get(), attr.get(), pattern.get(), out);
    });
}
void BM_FindNextRecord(benchmark::State& state) {
    const BstrHolder tag = bstr("f");
    const BstrHolder pattern = bstr("x");
    searchBenchmark(state, [&](IQuorvelXml* h, IQuorvelXml** out) {
        IQuorvelXml* first = nullptr;
        h->FirstChild(&first);
        first->FindNextRecord(tag.get(), pattern.get(), out);
        first->Release();
    });
}

// One handle walking every element with the members ending in 2.
void BM_WalkWithMembersEndingIn2(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Document doc(n);
    IQuorvelXml* w = nullptr;
    doc->GetRoot(&w);
    for (auto _ : state) {
        LONG found = 0;
        int64_t visited = 1;
        for (;;) {
            w->FirstChild2(&found);
            if (found) {
                ++visited;
                continue;
            }
            for (;;) {
                w->NextSibling2(&found);
                if (found) {
                    ++visited;
                    break;
                }
                w->GetParent2(&found);
                if (!found) goto done;
            }
        }
    done:
        benchmark::DoNotOptimize(visited);
    }
    w->Release();
    state.SetItemsProcessed(state.iterations() * (2 * state.range(0) + 1));
}

#define QV_SCALE(b) BENCHMARK(b)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3)
QV_SCALE(BM_ExtractChildByIndexFromTheFront);
QV_SCALE(BM_RemoveFromTreeEach);
QV_SCALE(BM_RemoveAllChildren);
QV_SCALE(BM_SortByTag);
QV_SCALE(BM_SortByContent);
QV_SCALE(BM_SortByAttribute);
QV_SCALE(BM_SortRecordsByContent);
QV_SCALE(BM_SortRecordsByAttribute);
QV_SCALE(BM_SearchForTag);
QV_SCALE(BM_SearchForContent);
QV_SCALE(BM_SearchAllForContent);
QV_SCALE(BM_SearchForAttribute);
QV_SCALE(BM_FindNextRecord);
QV_SCALE(BM_WalkWithMembersEndingIn2);

}  // namespace

BENCHMARK_MAIN();
