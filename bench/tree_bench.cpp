#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "tree/tag_pool.h"
#include "tree/tree_node.h"

namespace {

using quorvel::CommonStrings;
using quorvel::TagEntry;
using quorvel::TreeNode;

std::vector<std::string> tagNames(int n) {
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) names.push_back("element-" + std::to_string(i));
    return names;
}

// Intern and release of an existing tag (the steady state while building a document).
void BM_TagPoolInternRelease(benchmark::State& state) {
    std::vector<std::string> names = tagNames(static_cast<int>(state.range(0)));
    std::vector<TagEntry*> held;
    for (auto& n : names) held.push_back(CommonStrings::intern(n));
    size_t i = 0;
    for (auto _ : state) {
        const std::string& n = names[i];
        TagEntry* e = CommonStrings::intern(n.data(), n.size());
        benchmark::DoNotOptimize(e);
        CommonStrings::release(e);
        if (++i == names.size()) i = 0;
    }
    for (TagEntry* e : held) CommonStrings::release(e);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TagPoolInternRelease)->Arg(20)->Arg(100000);

// Creating and freeing entries: every tag's last user goes away each time.
void BM_TagPoolCreateFree(benchmark::State& state) {
    std::vector<std::string> names = tagNames(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<TagEntry*> held;
        held.reserve(names.size());
        for (auto& n : names) held.push_back(CommonStrings::intern(n));
        for (TagEntry* e : held) CommonStrings::release(e);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TagPoolCreateFree)->Arg(20)->Arg(100000);

void BM_WideTreeBuildDestroy(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::string> names = tagNames(20);
    for (auto _ : state) {
        TreeNode* root = TreeNode::newTree("root");
        for (int i = 0; i < n; ++i) TreeNode::newChild(root, names[i % 20]);
        TreeNode::destroyTree(root);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_WideTreeBuildDestroy)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The same with tags taken from a builder's own cache, as a parser would do: references are
// taken from the pool in batches and handed to the new elements.
void BM_WideTreeBuildDestroyCachedTags(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    constexpr int32_t kBatch = 1024;
    std::vector<TagEntry*> tags;
    std::vector<int32_t> reserve;
    for (auto& name : tagNames(20)) {
        tags.push_back(CommonStrings::intern(name));
        reserve.push_back(1);
    }
    for (auto _ : state) {
        TreeNode* root = TreeNode::newTree("root");
        for (int i = 0; i < n; ++i) {
            int t = i % 20;
            if (reserve[t] == 0) {
                CommonStrings::retain(tags[t], kBatch);
                reserve[t] = kBatch;
            }
            --reserve[t];
            TreeNode::newChildAdoptingTag(root, tags[t]);
        }
        TreeNode::destroyTree(root);
    }
    for (size_t t = 0; t < tags.size(); ++t) CommonStrings::release(tags[t], reserve[t]);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_WideTreeBuildDestroyCachedTags)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_DeepChainBuildDestroy(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TreeNode* root = TreeNode::newTree("root");
        TreeNode* p = root;
        for (int i = 1; i < n; ++i) p = TreeNode::newChild(p, "d");
        TreeNode::destroyTree(root);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DeepChainBuildDestroy)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A document-like tree: nested records with attributes and content.
void BM_RecordTreeBuildDestroy(benchmark::State& state) {
    const int records = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TreeNode* root = TreeNode::newTree("records");
        for (int i = 0; i < records; ++i) {
            TreeNode* r = TreeNode::newChild(root, "record");
            r->addAttribute("id", "12345");
            for (const char* f : {"name", "city", "zip"}) TreeNode::newChildFromBytes(r, f, "some content", 12);
        }
        TreeNode::destroyTree(root);
    }
    state.SetItemsProcessed(state.iterations() * records * 4);
}
BENCHMARK(BM_RecordTreeBuildDestroy)->Arg(250000)->Unit(benchmark::kMillisecond);

// A breadth-first search that has to visit every node of a wide tree.
void BM_SearchWholeWideTree(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TreeNode* root = TreeNode::newTree("root");
    for (int i = 0; i < n; ++i) TreeNode::newChildFromBytes(TreeNode::newChild(root, "record"), "field", "value", 5);
    for (auto _ : state) benchmark::DoNotOptimize(root->searchForContent(nullptr, "field", "nothing*"));
    TreeNode::destroyTree(root);
    state.SetItemsProcessed(state.iterations() * n * 2);
}
BENCHMARK(BM_SearchWholeWideTree)->Arg(500000)->Unit(benchmark::kMillisecond);

void BM_SortRecordsByContent(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TreeNode* root = TreeNode::newTree("root");
    for (int i = 0; i < n; ++i) {
        std::string key = std::to_string((i * 7919L) % n);
        TreeNode::newChildFromBytes(TreeNode::newChild(root, "record"), "key", key.data(), static_cast<int32_t>(key.size()));
    }
    bool ascending = true;
    for (auto _ : state) {
        root->sortChildren(quorvel::ChildSortKey::RecordContent, ascending, {}, "key");
        ascending = !ascending;
    }
    TreeNode::destroyTree(root);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SortRecordsByContent)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
