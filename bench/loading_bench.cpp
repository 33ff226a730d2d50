// Loading a 50 MB document from a byte array (LoadXmlV) when it is UTF-8 already and when it must
// be converted first (ISO-8859-1, Shift-JIS), from a host string (LoadXml), and saving it
// (SaveXml) in each encoding. Throughput counts the bytes of the document as loaded or saved (for
// a host string, the bytes of its UTF-8 form).

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "component/node_handle.h"
#include "core/automation/variant_holder.h"
#include "core/data_buffer.h"
#include "core/system/utf8.h"

namespace {

using namespace quorvel;

constexpr size_t kDocumentBytes = 50u << 20;

struct Flavour {
    const char* name;      // declared encoding
    const char* iconvName; // for producing the bytes
    const char* record;    // content of one record, as UTF-8
};

// Western text goes to ISO-8859-1 and Japanese text to Shift-JIS; each is also loaded as UTF-8.
const Flavour kFlavours[] = {
    {"utf-8", "UTF-8", "Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e, 12 \xC2\xB0, na\xC3\xAFve"},
    {"ISO-8859-1", "ISO-8859-1", "Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e, 12 \xC2\xB0, na\xC3\xAFve"},
    {"utf-8", "UTF-8", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0 text 123"},
    {"Shift_JIS", "CP932", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0 text 123"},
};

std::string encode(const std::string& utf8, const char* to) {
    iconv_t cd = iconv_open(to, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open");
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) throw std::runtime_error("iconv");
    out.resize(out.size() - outLeft);
    return out;
}

// The document of a flavour in its own encoding, about 50 MB as UTF-8.
const std::string& document(int flavour) {
    static std::string cache[4];
    std::string& d = cache[flavour];
    if (d.empty()) {
        const Flavour& f = kFlavours[flavour];
        std::string utf8 = std::string("<?xml version=\"1.0\" encoding=\"") + f.name + "\"?>\n<catalog>\n";
        for (int i = 0; utf8.size() < kDocumentBytes; ++i) {
            utf8 += "<item id=\"" + std::to_string(i) + "\"><name>" + f.record + "</name><price>" +
                    std::to_string(i % 1000) + ".95</price></item>\n";
        }
        utf8 += "</catalog>\n";
        d = encode(utf8, f.iconvName);
    }
    return d;
}

struct Handle {
    CQuorvelXml* h = CQuorvelXml::createHandle();
    ~Handle() { h->Release(); }
};

void BM_LoadXmlV(benchmark::State& state) {
    const std::string& doc = document(static_cast<int>(state.range(0)));
    DataBuffer bytes;
    bytes.append(doc.data(), static_cast<uint32_t>(doc.size()));
    VariantHolder v;
    bytes.toVariant(v.get());
    Handle handle;
    for (auto _ : state) {
        LONG flag = 0;
        if (handle.h->LoadXmlV(*v.get(), &flag) != S_OK || flag != 1) state.SkipWithError("load failed");
    }
    state.SetLabel(kFlavours[state.range(0)].name);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_LoadXml(benchmark::State& state) {
    const std::string& doc = document(static_cast<int>(state.range(0)));
    BSTR text = SysAllocString(sys::fromUtf8(doc).c_str());
    Handle handle;
    for (auto _ : state) {
        LONG flag = 0;
        if (handle.h->LoadXml(text, &flag) != S_OK || flag != 1) state.SkipWithError("load failed");
    }
    SysFreeString(text);
    state.SetLabel(kFlavours[state.range(0)].name);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_SaveXml(benchmark::State& state) {
    const std::string& doc = document(static_cast<int>(state.range(0)));
    DataBuffer bytes;
    bytes.append(doc.data(), static_cast<uint32_t>(doc.size()));
    VariantHolder v;
    bytes.toVariant(v.get());
    Handle handle;
    LONG flag = 0;
    if (handle.h->LoadXmlV(*v.get(), &flag) != S_OK) state.SkipWithError("load failed");
    std::string path = "/tmp/qv_loading_bench_" + std::to_string(getpid()) + ".xml";
    BSTR name = SysAllocString(sys::fromUtf8(path).c_str());
    for (auto _ : state) {
        if (handle.h->SaveXml(name) != S_OK) state.SkipWithError("save failed");
    }
    SysFreeString(name);
    std::remove(path.c_str());
    state.SetLabel(kFlavours[state.range(0)].name);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void flavours(benchmark::internal::Benchmark* b) {
    for (int i = 0; i < 4; ++i) b->Arg(i);
    b->Unit(benchmark::kMillisecond)->Iterations(3);
}

BENCHMARK(BM_LoadXmlV)->Apply(flavours);
BENCHMARK(BM_LoadXml)->Arg(0)->Arg(2)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveXml)->Apply(flavours);

}  // namespace

BENCHMARK_MAIN();
