// Filling and rendering a large error log; the per-entry times should stay flat as the log grows.
#include <benchmark/benchmark.h>

#include <string>

#include "core/string_buffer.h"
#include "log/logger.h"

namespace {

void fill(quorvel::Logger& log, int64_t n) {
    for (int64_t i = 0; i < n; i += 10) {
        log.EnterContext("LoadXmlFile");
        log.LogData("filename", "/tmp/some file.xml");
        for (int j = 0; j < 7; ++j) log.LogInfo("Reading block <n> & more");
        log.LogError("Failed\nsecond line");
        log.LeaveContext();
    }
}

void BM_LogFill(benchmark::State& state) {
    for (auto _ : state) {
        quorvel::Logger log;
        fill(log, state.range(0));
        benchmark::DoNotOptimize(log.activityLog());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LogFill)->Range(1 << 10, 1 << 20);

template <bool (quorvel::Logger::*Render)(quorvel::StringBuffer&)>
void BM_LogRender(benchmark::State& state) {
    quorvel::Logger log;
    fill(log, state.range(0));
    for (auto _ : state) {
        quorvel::StringBuffer out;
        (log.*Render)(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LogRender<&quorvel::Logger::ErrorLogXml>)->Range(1 << 10, 1 << 20);
BENCHMARK(BM_LogRender<&quorvel::Logger::ErrorLogText>)->Range(1 << 10, 1 << 20);
BENCHMARK(BM_LogRender<&quorvel::Logger::ErrorLogHtml>)->Range(1 << 10, 1 << 20);

}  // namespace

BENCHMARK_MAIN();
