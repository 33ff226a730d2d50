// Byte string costs that every layer pays: appends of every size, replaceAll over large text,
// and default buffers that come from and go back to the block pool. std::string is the yardstick.
#include <benchmark/benchmark.h>

#include <string>

#include "core/string_buffer.h"

using quorvel::StringBuffer;

static void BM_AppendChar(benchmark::State& state) {
    for (auto _ : state) {
        StringBuffer b;
        for (int i = 0; i < state.range(0); ++i) b.appendChar(static_cast<char>('a' + i % 26));
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AppendChar)->Arg(1 << 10)->Arg(1 << 20);

static void BM_StdStringPushBack(benchmark::State& state) {
    for (auto _ : state) {
        std::string b;
        for (int i = 0; i < state.range(0); ++i) b.push_back(static_cast<char>('a' + i % 26));
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StdStringPushBack)->Arg(1 << 10)->Arg(1 << 20);

static void BM_AppendWords(benchmark::State& state) {
    const char* word = "element-content ";
    for (auto _ : state) {
        StringBuffer b;
        for (int i = 0; i < state.range(0); ++i) b.append(word);
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * 16);
}
BENCHMARK(BM_AppendWords)->Arg(1 << 10)->Arg(1 << 16);

static void BM_ReplaceAll(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < state.range(0); ++i) text += "some text &amp; more text &lt;tag&gt; ";
    for (auto _ : state) {
        StringBuffer b(text.c_str());
        b.replaceAll("&lt;", "<");
        b.replaceAll("&gt;", ">");
        b.replaceAll("&amp;", "&");
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReplaceAll)->Arg(1 << 8)->Arg(1 << 16);

static void BM_PooledBufferLifecycle(benchmark::State& state) {
    for (auto _ : state) {
        StringBuffer b;
        b.append("tag");
        benchmark::DoNotOptimize(b.data());
    }
}
BENCHMARK(BM_PooledBufferLifecycle);

BENCHMARK_MAIN();
