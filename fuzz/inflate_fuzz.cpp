// Any bytes as a raw DEFLATE stream, fed to InflateState2 in pieces whose sizes the first bytes
// choose, whole, and through a small ring that keeps filling up: the three must agree, and every
// stream zlib reads must be read to the same bytes. The decoder is more lenient than zlib in one
// way: it takes a dynamic block whose literal/length code lengths leave the code incomplete
// (zlib: "invalid literal/lengths set"), and decodes it as long as no unassigned code occurs.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "content/content_test_support.h"  // zlibInflate, the reference verdict
#include "content/data_sink.h"
#include "content/inflate_state2.h"
#include "core/data_buffer.h"

namespace {

// Fed whole when sel is null; else in pieces whose sizes come from the selector bytes in turn (1 to
// 64 bytes), or byte by byte when there are none.
std::optional<std::string> ours(const uint8_t* data, size_t size, const uint8_t* sel, size_t selCount) {
    quorvel::DataBuffer out;
    quorvel::DataBufferSink sink(&out);
    quorvel::InflateState2 inflater;
    inflater.setSink(&sink);
    size_t pos = 0;
    size_t step = 0;
    do {
        size_t n = size - pos;
        if (sel) n = std::min<size_t>(n, selCount ? (sel[step++ % selCount] & 63) + 1 : 1);
        const int64_t used = inflater.feed(data + pos, static_cast<uint32_t>(n), pos + n == size);
        if (used < 0) return std::nullopt;
        if (inflater.finished()) break;
        if (static_cast<size_t>(used) != n) __builtin_trap();  // a buffer sink never stops the decoder
        pos += n;
    } while (pos < size);
    if (!inflater.finished()) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(out.data()), out.size());
}

// Whole, into a ring of 5000 bytes drained 3000 at a time: the decoder stops and resumes.
std::optional<std::string> throughRing(const uint8_t* data, size_t size) {
    quorvel::MemoryDataSink ring(5000);
    quorvel::InflateState2 inflater;
    inflater.setSink(&ring);
    std::string out;
    size_t pos = 0;
    for (;;) {
        const int64_t used = inflater.feed(data + pos, static_cast<uint32_t>(size - pos), true);
        if (used < 0) return std::nullopt;
        pos += static_cast<size_t>(used);
        quorvel::StreamingBuffer::Span a, b;
        ring.ring().readable(a, b);
        const uint32_t take = std::min<uint32_t>(3000, a.size);
        out.append(reinterpret_cast<const char*>(a.data), take);
        ring.ring().consume(take);
        if (inflater.finished() && ring.pending() == 0) return out;
        if (take == 0 && !inflater.finished() && used == 0) return std::nullopt;  // nothing moves: not a stream
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t selCount = data[0] % 8;
    if (size < 1 + selCount) return 0;
    const uint8_t* sel = data + 1;
    const uint8_t* stream = data + 1 + selCount;
    const size_t n = size - 1 - selCount;
    const auto expected = quorvel::test::zlibInflate(std::string(reinterpret_cast<const char*>(stream), n));
    const auto whole = ours(stream, n, nullptr, 0);
    if (ours(stream, n, sel, selCount) != whole) __builtin_trap();
    if (throughRing(stream, n) != whole) __builtin_trap();
    if (expected && whole != expected) __builtin_trap();
    return 0;
}
