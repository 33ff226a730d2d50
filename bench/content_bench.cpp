// Binary content: inflate of real streams against zlib's and libdeflate's (same bytes, same run),
// the zip container's Copy against zlib's deflate at the same settings, base64 against OpenSSL's,
// and CompressNode/DecompressNode of 10 MB through the interface. All report bytes per second of
// plain data (for base64: of the binary side).
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <string>

#include "component/node_handle.h"
#include "content/cls_zip.h"
#include "content/content_coding.h"
#include "content/content_test_support.h"  // zlibDeflate, slurp, gzipPayload
#include "content/data_sink.h"
#include "content/inflate_state2.h"
#include "core/data_buffer.h"
#include "core/string_buffer.h"
#include "tree/tree_node.h"

namespace {

using namespace quorvel;

std::string randomBytes(size_t n) {
    std::string s(n, '\0');
    std::mt19937_64 rng(42);
    for (size_t i = 0; i + 8 <= n; i += 8) {
        const uint64_t v = rng();
        std::memcpy(&s[i], &v, 8);
    }
    return s;
}

struct Stream {
    std::string plain;
    std::string deflated;
};

const Stream& stream(int which) {
    static const Stream streams[] = {
        [] {
            Stream s{test::slurp("/usr/share/mime/packages/freedesktop.org.xml"), {}};
            s.deflated = test::zlibDeflate(s.plain, 6);
            return s;
        }(),
        [] {
            // A real stream made by gzip -9 (whatever wrote the Debian changelog).
            Stream s{{}, test::gzipPayload(test::slurp("/usr/share/doc/libharfbuzz0b/changelog.gz")).value_or(test::GzipPayload{}).deflate};
            DataBuffer out;
            DataBufferSink sink(&out);
            InflateState2 inflater;
            inflater.setSink(&sink);
            inflater.feed(reinterpret_cast<const uint8_t*>(s.deflated.data()), static_cast<uint32_t>(s.deflated.size()), true);
            s.plain.assign(reinterpret_cast<const char*>(out.data()), out.size());
            return s;
        }(),
        [] {
            Stream s{randomBytes(10 << 20), {}};
            s.deflated = test::zlibDeflate(s.plain, 0);
            return s;
        }(),
        [] {
            Stream s{std::string(10 << 20, 'a'), {}};
            s.deflated = test::zlibDeflate(s.plain, 6);
            return s;
        }(),
    };
    return streams[which];
}
const char* const kStreamNames[] = {"freedesktop_level6", "gzip_payload", "random10MB_stored", "letter10MB"};

void inflateLabel(benchmark::State& state, const Stream& s) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.plain.size()));
    state.SetLabel(kStreamNames[state.range(0)]);
}

// Whole stream at once into a fresh buffer, as the zip container's Inflate does: the pages of the
// output are touched for the first time, which on a virtual machine can cost more than decoding.
void BM_Inflate_InflateState2(benchmark::State& state) {
    const Stream& s = stream(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        DataBuffer out;
        DataBufferSink sink(&out);
        InflateState2 inflater;
        inflater.setSink(&sink);
        inflater.feed(reinterpret_cast<const uint8_t*>(s.deflated.data()), static_cast<uint32_t>(s.deflated.size()), true);
        if (out.size() != s.plain.size()) state.SkipWithError("wrong size");
        benchmark::DoNotOptimize(out.data());
    }
    inflateLabel(state, s);
}

// The decoder alone: into a buffer kept from one run to the next, as zlib and libdeflate below
// write into a buffer made before they start.
void BM_Inflate_InflateState2WarmBuffer(benchmark::State& state) {
    const Stream& s = stream(static_cast<int>(state.range(0)));
    DataBuffer out;
    out.reserve(static_cast<uint32_t>(s.plain.size()) + (1u << 16));
    for (auto _ : state) {
        out.shrinkTo(0);
        DataBufferSink sink(&out);
        InflateState2 inflater;
        inflater.setSink(&sink);
        inflater.feed(reinterpret_cast<const uint8_t*>(s.deflated.data()), static_cast<uint32_t>(s.deflated.size()), true);
        if (out.size() != s.plain.size()) state.SkipWithError("wrong size");
        benchmark::DoNotOptimize(out.data());
    }
    inflateLabel(state, s);
}

// The streaming path: 64 KB pieces.
void BM_Inflate_InflateState2Pieces(benchmark::State& state) {
    const Stream& s = stream(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        DataBuffer out;
        DataBufferSink sink(&out);
        InflateState2 inflater;
        inflater.setSink(&sink);
        for (size_t pos = 0; pos < s.deflated.size(); pos += 65536) {
            const size_t n = std::min<size_t>(65536, s.deflated.size() - pos);
            inflater.feed(reinterpret_cast<const uint8_t*>(s.deflated.data() + pos), static_cast<uint32_t>(n),
                          pos + n == s.deflated.size());
        }
        if (out.size() != s.plain.size()) state.SkipWithError("wrong size");
        benchmark::DoNotOptimize(out.data());
    }
    inflateLabel(state, s);
}

// zlib at its best: one call into a buffer of the right size.
void BM_Inflate_Zlib(benchmark::State& state) {
    const Stream& s = stream(static_cast<int>(state.range(0)));
    std::string out(s.plain.size(), '\0');
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -15);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(s.deflated.data()));
        z.avail_in = static_cast<uInt>(s.deflated.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("zlib");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    inflateLabel(state, s);
}

// libdeflate at its best: the output size known in advance.
void BM_Inflate_Libdeflate(benchmark::State& state) {
    const Stream& s = stream(static_cast<int>(state.range(0)));
    std::string out(s.plain.size(), '\0');
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    for (auto _ : state) {
        size_t n = 0;
        if (libdeflate_deflate_decompress(d, s.deflated.data(), s.deflated.size(), out.data(), out.size(), &n) !=
            LIBDEFLATE_SUCCESS)
            state.SkipWithError("libdeflate");
        benchmark::DoNotOptimize(out.data());
    }
    libdeflate_free_decompressor(d);
    inflateLabel(state, s);
}

BENCHMARK(BM_Inflate_InflateState2)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate_InflateState2WarmBuffer)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate_InflateState2Pieces)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate_Zlib)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate_Libdeflate)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// ---- Copy of a plain entry against zlib's deflate -----------------------------------------

void BM_Deflate_ZipCopy(benchmark::State& state) {
    const std::string& plain = stream(0).plain;
    ClsZip zip;
    auto entry = zip.AppendData("x", plain.data(), static_cast<uint32_t>(plain.size()));
    for (auto _ : state) {
        DataBuffer out;
        entry->Copy(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
}

void BM_Deflate_Zlib(benchmark::State& state) {
    const std::string& plain = stream(0).plain;
    for (auto _ : state) benchmark::DoNotOptimize(test::zlibDeflate(plain, 6));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
}

BENCHMARK(BM_Deflate_ZipCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Deflate_Zlib)->Unit(benchmark::kMillisecond);

// ---- Base64 on 20 MB --------------------------------------------------------------------

const std::string& base64Input() {
    static const std::string bytes = randomBytes(20 << 20);
    return bytes;
}

void BM_Base64_EncodeLines(benchmark::State& state) {
    const std::string& in = base64Input();
    for (auto _ : state) {
        StringBuffer out;
        ContentCoding().encodeBase64Lines(in.data(), static_cast<uint32_t>(in.size()), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_Base64_EncodeOpenSSL(benchmark::State& state) {
    const std::string& in = base64Input();
    for (auto _ : state) {
        std::string out(in.size() / 3 * 4 + 8, '\0');  // made afresh, as ours is
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), reinterpret_cast<const unsigned char*>(in.data()),
                        static_cast<int>(in.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_Base64_Decode(benchmark::State& state) {
    const std::string& in = base64Input();
    StringBuffer text;
    if (state.range(0)) {
        ContentCoding().encodeBase64Lines(in.data(), static_cast<uint32_t>(in.size()), text);
    } else {
        ContentCoding().encodeBase64(in.data(), static_cast<uint32_t>(in.size()), text);
    }
    for (auto _ : state) {
        uint32_t n = 0;
        uint8_t* block = ContentCoding().decodeBase64(text.data(), static_cast<uint32_t>(text.length()), &n);
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
    state.SetLabel(state.range(0) ? "72-character lines" : "unbroken");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_Base64_DecodeOpenSSL(benchmark::State& state) {
    const std::string& in = base64Input();
    StringBuffer text;
    ContentCoding().encodeBase64(in.data(), static_cast<uint32_t>(in.size()), text);
    for (auto _ : state) {
        std::string out(static_cast<size_t>(text.length()) / 4 * 3 + 4, '\0');
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()), reinterpret_cast<const unsigned char*>(text.data()),
                        text.length());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel("unbroken");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

BENCHMARK(BM_Base64_EncodeLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64_EncodeOpenSSL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64_Decode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64_DecodeOpenSSL)->Unit(benchmark::kMillisecond);

// ---- The members on 10 MB of text through the interface ----------------------------------

const std::string& memberContent() {
    static const std::string text = [] {
        std::string s = stream(0).plain;
        while (s.size() < (10u << 20)) s += stream(0).plain;
        s.resize(10u << 20);
        return s;
    }();
    return text;
}

void BM_Member_CompressNode(benchmark::State& state) {
    const std::string& text = memberContent();
    CQuorvelXml* h = CQuorvelXml::createHandle();
    for (auto _ : state) {
        state.PauseTiming();
        h->node()->setContentBytes(text.data(), static_cast<int32_t>(text.size()));
        state.ResumeTiming();
        h->CompressNode();
    }
    h->Release();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_Member_DecompressNode(benchmark::State& state) {
    const std::string& text = memberContent();
    CQuorvelXml* h = CQuorvelXml::createHandle();
    h->node()->setContentBytes(text.data(), static_cast<int32_t>(text.size()));
    h->CompressNode();
    const std::string stored(h->node()->contentView());
    for (auto _ : state) {
        state.PauseTiming();
        h->node()->setContentBytes(stored.data(), static_cast<int32_t>(stored.size()));
        state.ResumeTiming();
        h->DecompressNode();
    }
    if (h->node()->contentLength() != static_cast<int32_t>(text.size())) state.SkipWithError("round trip");
    h->Release();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The parts of DecompressNode: base64 decoding of the stored text and inflating.
void BM_Member_DecompressNodeParts(benchmark::State& state) {
    const std::string& text = memberContent();
    const std::string deflated = test::zlibDeflate(text, 6);
    StringBuffer stored;
    ContentCoding().encodeBase64Lines(deflated.data(), static_cast<uint32_t>(deflated.size()), stored);
    for (auto _ : state) {
        DataBuffer bytes;
        ContentCoding().decodeBase64(stored.data(), static_cast<uint32_t>(stored.length()), bytes);
        DataBuffer out;
        DataBufferSink sink(&out);
        InflateState2 inflater;
        inflater.setSink(&sink);
        inflater.feed(bytes.data(), bytes.size(), true);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_Member_CompressNode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Member_DecompressNode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Member_DecompressNodeParts)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
