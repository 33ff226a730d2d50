// Converting a 50 MB UTF-8 text while leaving out what the target lacks, against the C library's
// iconv on the same bytes: a text that converts whole, and one with a missing character every
// 1000 bytes (for which iconv is driven by hand, stepping over each character it stops at).
// Also the host-string conversions that every host call goes through.

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cerrno>
#include <iterator>
#include <string>
#include <vector>

#include "charset/charset_convert.h"
#include "charset/mb_string.h"
#include "charset/utf8_cache.h"
#include "core/data_buffer.h"
#include "core/string_buffer.h"
#include "quorvel/automation.hpp"

namespace {

using quorvel::BSTR;
using quorvel::SysAllocStringLen;
using quorvel::SysFreeString;
using quorvel::UINT;

constexpr size_t kTextBytes = 50u << 20;

struct Target {
    const char* charset;
    const char* iconvName;
    std::string filler;   // converts
    std::string missing;  // does not
};

const Target kTargets[] = {
    {"iso-8859-1", "ISO-8859-1", "Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e, 12 \xC2\xB0, na\xC3\xAFve. ",
     "\xE6\x97\xA5"},
    {"shift_jis", "CP932", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0 text 123. ",
     "\xC3\xA9"},
    // The double-byte code pages whose user-defined areas the platform maps to the private use area.
    {"gbk", "CP936", "\xE4\xB8\xAD\xE6\x96\x87\xE7\x9A\x84\xE6\x96\x87\xE7\xAB\xA0 text 123. ", "\xED\x95\x9C"},
    {"big5", "CP950", "\xE4\xB8\xAD\xE6\x96\x87\xE7\x9A\x84\xE6\x96\x87\xE7\xAB\xA0 text 123. ", "\xC3\xA9"},
    {"ks_c_5601-1987", "CP949", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xEB\xAC\xB8\xEC\x9E\xA5 text 123. ", "\xC3\xA9"},
    {"euc-jp", "EUC-JP", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0 text 123. ",
     "\xED\x95\x9C"},
};

// The filler repeated to 50 MB; with `gaps`, a missing character after every 1000 bytes or so
// (never inside a filler character).
const std::string& text(int target, bool gaps) {
    static std::string cache[std::size(kTargets)][2];
    std::string& t = cache[target][gaps];
    if (t.empty()) {
        const Target& tg = kTargets[target];
        size_t sinceGap = 0;
        while (t.size() < kTextBytes) {
            t += tg.filler;
            sinceGap += tg.filler.size();
            if (gaps && sinceGap >= 1000 - tg.filler.size()) {
                t += tg.missing;
                sinceGap = 0;
            }
        }
    }
    return t;
}

void BM_ConvertWithFallback(benchmark::State& state) {
    const int target = static_cast<int>(state.range(0));
    const std::string& in = text(target, state.range(1) != 0);
    quorvel::CharsetConvert cc;
    cc.SetFromCharset("utf-8");
    cc.SetToCharset(kTargets[target].charset);
    size_t outBytes = 0;
    // One output buffer for all runs, as the raw loop below has: both measure conversion, not page faults.
    quorvel::DataBuffer out;
    for (auto _ : state) {
        out.shrinkTo(0);
        quorvel::Utf8Cache cache;
        cc.ConvertWithFallback(in.data(), static_cast<uint32_t>(in.size()), out, cache);
        outBytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["out_MB"] = static_cast<double>(outBytes) / (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.SetLabel(std::string(kTargets[target].charset) + (state.range(1) ? " gaps" : " clean"));
}

// iconv from UTF-8 into one output block; at each character it cannot convert, it steps over that
// character (its length read from the first byte) and goes on.
void BM_RawIconv(benchmark::State& state) {
    const int target = static_cast<int>(state.range(0));
    const std::string& in = text(target, state.range(1) != 0);
    iconv_t cd = iconv_open(kTargets[target].iconvName, "UTF-8");
    std::string out(in.size() * 2, '\0');
    size_t outBytes = 0;
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        char* outPtr = out.data();
        size_t outLeft = out.size();
        while (inLeft > 0) {
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
            if (errno != EILSEQ) break;
            size_t skip = quorvel::MbStringUtf8::leadLength(static_cast<uint8_t>(*inPtr));
            if (skip == 0 || skip > inLeft) skip = 1;
            inPtr += skip;
            inLeft -= skip;
        }
        iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        outBytes = out.size() - outLeft;
        benchmark::DoNotOptimize(out.data());
    }
    iconv_close(cd);
    state.counters["out_MB"] = static_cast<double>(outBytes) / (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.SetLabel(std::string(kTargets[target].charset) + (state.range(1) ? " gaps" : " clean"));
}

void fiftyMegabyteArgs(benchmark::internal::Benchmark* b) {
    for (int target = 0; target < static_cast<int>(std::size(kTargets)); ++target) {
        for (int gaps : {0, 1}) b->Args({target, gaps});
    }
    b->Unit(benchmark::kMillisecond)->Iterations(3);
}
BENCHMARK(BM_ConvertWithFallback)->Apply(fiftyMegabyteArgs);
BENCHMARK(BM_RawIconv)->Apply(fiftyMegabyteArgs);

// Host strings of a typical argument's length: a tag name, a line of text.
const std::u16string& hostText(bool ascii) {
    static const std::u16string plain = u"customer-record-identifier";
    static const std::u16string mixed = u"Caf\u00E9 \u65E5\u672C\u8A9E \u20AC 12";
    return ascii ? plain : mixed;
}

void BM_HostStringToUtf8(benchmark::State& state) {
    const std::u16string& units = hostText(state.range(0) != 0);
    BSTR host = SysAllocStringLen(units.data(), static_cast<UINT>(units.size()));
    quorvel::CharsetConvert cc;
    quorvel::StringBuffer out;
    for (auto _ : state) {
        cc.HostStringToUtf8(host, out);
        benchmark::DoNotOptimize(out.data());
    }
    SysFreeString(host);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * units.size() * 2));
    state.SetLabel(state.range(0) ? "ascii" : "mixed");
}
BENCHMARK(BM_HostStringToUtf8)->Arg(1)->Arg(0);

void BM_Utf8ToHostString(benchmark::State& state) {
    quorvel::CharsetConvert cc;
    quorvel::StringBuffer utf8;
    cc.HostStringToUtf8(nullptr, utf8);
    BSTR host = SysAllocStringLen(hostText(state.range(0) != 0).data(),
                                  static_cast<UINT>(hostText(state.range(0) != 0).size()));
    cc.HostStringToUtf8(host, utf8);
    SysFreeString(host);
    for (auto _ : state) {
        BSTR b = cc.Utf8ToHostString(utf8);
        benchmark::DoNotOptimize(b);
        SysFreeString(b);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8.length()));
    state.SetLabel(state.range(0) ? "ascii" : "mixed");
}
BENCHMARK(BM_Utf8ToHostString)->Arg(1)->Arg(0);

}  // namespace

BENCHMARK_MAIN();
