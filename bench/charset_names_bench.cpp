// Lookup speed of charset names: everyday names hit the short common list, rare ones the
// full table; the canonical form and the table conversion are measured alongside.

#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <string_view>

#include "charset/charset_names.h"
#include "charset/quick_convert.h"

namespace {

template <std::size_t N>
void lookupAll(benchmark::State& state, const std::array<std::string_view, N>& names) {
    for (auto _ : state) {
        for (std::string_view name : names) benchmark::DoNotOptimize(quorvel::CodePageForCharset(name));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * N));
}

void BM_CodePageCommonNames(benchmark::State& state) {
    static constexpr std::array<std::string_view, 6> kNames = {"utf-8",        "iso-8859-1", "windows-1252",
                                                               "shift-jis",    "us-ascii",   "x-europa"};
    lookupAll(state, kNames);
}
BENCHMARK(BM_CodePageCommonNames);

void BM_CodePageRareNames(benchmark::State& state) {
    static constexpr std::array<std::string_view, 6> kNames = {
        "x-ebcdic-japaneseanduscanada", "ibm01149", "csisolatinhebrew", "l5", "cspc8codepage437", "x-iscii-pa"};
    lookupAll(state, kNames);
}
BENCHMARK(BM_CodePageRareNames);

void BM_CodePageWindowsNumber(benchmark::State& state) {
    static constexpr std::array<std::string_view, 2> kNames = {"windows-20936", "windows-1252abc"};
    lookupAll(state, kNames);
}
BENCHMARK(BM_CodePageWindowsNumber);

void BM_CodePageUnknownNames(benchmark::State& state) {
    static constexpr std::array<std::string_view, 3> kNames = {"no-such-charset", "euc", "cskoi8-r"};
    lookupAll(state, kNames);
}
BENCHMARK(BM_CodePageUnknownNames);

void BM_CanonicalNameThenCodePage(benchmark::State& state) {
    static constexpr std::array<std::string_view, 4> kNames = {"  UTF_8 ", "ISO8859-1", "x-cp1251", "Shift_JIS"};
    for (auto _ : state) {
        for (std::string_view name : kNames) {
            benchmark::DoNotOptimize(quorvel::CodePageForCharset(quorvel::CanonicalCharsetName(name)));
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kNames.size()));
}
BENCHMARK(BM_CanonicalNameThenCodePage);

void BM_QuickConvertTo1251(benchmark::State& state) {
    std::u16string text;
    while (text.size() < 64 * 1024) text += u"Съешь же ещё этих мягких французских булок, да выпей чаю. \u2116 12 \u20AC";
    std::string out;
    for (auto _ : state) {
        out.clear();
        quorvel::quickConvertFromUtf16(1251, text.data(), text.size(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_QuickConvertTo1251);

}  // namespace

BENCHMARK_MAIN();
