// Loading and writing grow linearly with the document: the same record-shaped text at 25, 50, 100
// and 200 MB, parsed from UTF-8 bytes into a tree and written back. Google Benchmark fits the
// times to O(N) (the "BigO" and "RMS" rows); "held_per_byte" is the heap the loaded tree holds per
// byte of input, which stays flat when memory is linear too.
//
//   build/bench/xml_scale_bench
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <map>
#include <string>

#include "bench_documents.h"
#include "core/string_buffer.h"
#include "tree/tree_node.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

namespace {

using namespace quorvel;

const std::string& document(int64_t megabytes) {
    static std::map<int64_t, std::string> made;
    std::string& s = made[megabytes];
    if (s.empty()) s = bench::records(static_cast<size_t>(megabytes) << 20);
    return s;
}

size_t heapInUse() {
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

void BM_Load(benchmark::State& state) {
    const std::string& text = document(state.range(0));
    for (auto _ : state) {
        TreeNode* root = parse(text.data(), text.size(), nullptr, nullptr);
        state.PauseTiming();
        TreeNode::destroyTree(root);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
    state.SetComplexityN(static_cast<int64_t>(text.size()));
    // Measured once, outside the timed loop.
    size_t before = heapInUse();
    TreeNode* root = parse(text.data(), text.size(), nullptr, nullptr);
    state.counters["held_per_byte"] = static_cast<double>(heapInUse() - before) / static_cast<double>(text.size());
    TreeNode::destroyTree(root);
}

void BM_Write(benchmark::State& state) {
    const std::string& text = document(state.range(0));
    TreeNode* root = parse(text.data(), text.size(), nullptr, nullptr);
    int64_t written = 0;
    for (auto _ : state) {
        StringBuffer out;
        serialize(root, out);
        written = out.length();
    }
    TreeNode::destroyTree(root);
    state.SetBytesProcessed(state.iterations() * written);
    state.SetComplexityN(written);
}

BENCHMARK(BM_Load)->Arg(25)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_Write)->Arg(25)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv) {
    // Keep freed memory in the heap between runs, as a host that loads again and again does, so
    // that first-touch page faults of fresh mappings do not swamp the comparison between sizes.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 25);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
