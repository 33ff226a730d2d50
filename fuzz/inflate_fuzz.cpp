// Any bytes as a raw DEFLATE stream, fed to InflateState2 in pieces whose sizes the first bytes
// choose, and whole. In pieces the verdict and the bytes must be zlib's on the same stream; whole,
// the bytes must be zlib's wherever zlib accepts the stream (the whole-stream decoder also takes
// the length symbols 286 and 287, which zlib rejects).
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "content/data_sink.h"
#include "content/inflate_state2.h"
#include "core/data_buffer.h"

namespace {

std::optional<std::string> zlibVerdict(const uint8_t* data, size_t size) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return std::nullopt;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    std::string out;
    char buf[16384];
    int rc;
    do {
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buf, sizeof buf - z.avail_out);
    } while (rc == Z_OK && (z.avail_in > 0 || z.avail_out == 0));
    inflateEnd(&z);
    if (rc != Z_STREAM_END) return std::nullopt;
    return out;
}

// pieces: each step's size comes from the next selector byte (1..64 bytes, or the rest).
std::optional<std::string> ours(const uint8_t* data, size_t size, const uint8_t* sel, size_t selCount) {
    quorvel::DataBuffer out;
    quorvel::DataBufferSink sink(&out);
    quorvel::InflateState2 inflater;
    inflater.setSink(&sink);
    size_t pos = 0;
    size_t step = 0;
    do {
        size_t n = size - pos;
        if (selCount) n = std::min<size_t>(n, (sel[step++ % selCount] & 63) + 1);
        const int64_t used = inflater.feed(data + pos, static_cast<uint32_t>(n), pos + n == size);
        if (used < 0) return std::nullopt;
        if (inflater.finished()) break;
        if (static_cast<size_t>(used) != n) __builtin_trap();  // a buffer sink never stops the decoder
        pos += n;
    } while (pos < size);
    if (!inflater.finished()) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(out.data()), out.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t selCount = data[0] % 8;
    if (size < 1 + selCount) return 0;
    const uint8_t* sel = data + 1;
    const uint8_t* stream = data + 1 + selCount;
    const size_t n = size - 1 - selCount;
    const auto expected = zlibVerdict(stream, n);
    if (ours(stream, n, sel, selCount ? selCount : 1) != expected) __builtin_trap();
    const auto whole = ours(stream, n, nullptr, 0);
    if (expected && whole != expected) __builtin_trap();
    return 0;
}
