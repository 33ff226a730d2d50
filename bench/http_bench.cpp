// GetURL against a server on loopback: a 50 MB body, over plain HTTP (port 80) and over TLS, next
// to the curl tool fetching the same URL (its own time_total, so its process start is not
// counted); and small documents one call after another, each call with its own connection.
// The process moves into a network namespace of its own first, so that port 80 is free to use.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "component/node_handle.h"
#include "core/automation/com_ptr.h"
#include "core/automation/variant_holder.h"
#include "core/system/utf8.h"
#include "loopback_http.h"
#include "scratch_dir.h"

namespace {

using namespace quorvel;
using namespace quorvel::test;

constexpr size_t kBigBody = 50u << 20;

struct Fixture {
    ScratchDir scratch;
    Identity ca = makeIdentity("Bench Root", nullptr, -1, 30, true);
    Identity leaf = makeIdentity("127.0.0.1", &ca, -1, 30, false);
    std::string big = std::string(kBigBody, 'x');
    std::string small = std::string(64, 's');
    std::unique_ptr<LoopbackServer> plain;
    std::unique_ptr<LoopbackServer> secure;
    std::string caFile;

    Fixture() {
        if (!enterPrivateNetwork()) throw std::runtime_error("no network namespace can be made here");
        caFile = scratch.path("ca.pem");
        spill(caFile, pem(ca.cert.get()));
        setenv("SSL_CERT_FILE", caFile.c_str(), 1);
        for (const char* v : {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY", "ALL_PROXY"}) unsetenv(v);
        auto serve = [this](Connection& c, LoopbackServer& s) {
            std::string r = s.request(c);
            if (r.empty()) return;
            const bool large = r.compare(0, 9, "GET /big ") == 0;
            const std::string& body = large ? big : small;
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n");
            c.send(body);
        };
        plain = std::make_unique<LoopbackServer>(80, serve);
        secure = std::make_unique<LoopbackServer>(0, serve, &leaf);
    }
    std::string url(bool tls, const char* path) const { return (tls ? secure->url(path) : "http://127.0.0.1" + std::string(path)); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

BSTR hostString(const std::string& s) {
    std::u16string w = sys::fromUtf8(s);
    return SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
}

void getUrl(benchmark::State& state, bool tls, const char* path, size_t expected) {
    IQuorvelXml* h = CQuorvelXml::createHandle();
    BSTR url = hostString(fixture().url(tls, path));
    BSTR none = hostString("");
    for (auto _ : state) {
        VariantHolder out;
        const auto start = std::chrono::steady_clock::now();
        HRESULT hr = h->GetURL(url, none, none, none, out.get());
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (hr != S_OK || !out->parray || out->parray->rgsabound[0].cElements != expected) {
            state.SkipWithError("GetURL failed");
            break;
        }
    }
    SysFreeString(url);
    SysFreeString(none);
    h->Release();
}

void BM_GetUrl50MB(benchmark::State& state) {
    getUrl(state, state.range(0) != 0, "/big", kBigBody);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBigBody);
    state.SetLabel(state.range(0) ? "TLS" : "plain");
}
BENCHMARK(BM_GetUrl50MB)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The curl tool on the same URL, writing the body to /dev/null.
void BM_CurlTool50MB(benchmark::State& state) {
    const bool tls = state.range(0) != 0;
    const std::string command = "curl -s -o /dev/null -w '%{time_total}' --cacert " + fixture().caFile + " " +
                                fixture().url(tls, "/big");
    for (auto _ : state) {
        std::FILE* p = popen(command.c_str(), "r");
        double seconds = 0;
        const bool read = p && std::fscanf(p, "%lf", &seconds) == 1;
        if (p) pclose(p);
        if (!read || seconds <= 0) {
            state.SkipWithError("curl failed (is it installed?)");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBigBody);
    state.SetLabel(tls ? "TLS" : "plain");
}
BENCHMARK(BM_CurlTool50MB)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

// 1,000 small GetURL calls in a row; items per second is calls per second.
void BM_GetUrlSmall(benchmark::State& state) {
    getUrl(state, state.range(0) != 0, "/small", 64);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(state.range(0) ? "TLS" : "plain");
}
BENCHMARK(BM_GetUrlSmall)->Arg(0)->Arg(1)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
