#include "content/inflate_state2.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <new>

#include "content/data_sink.h"
#include "core/data_buffer.h"

namespace quorvel {

struct InflateState2::Stream {
    z_stream z{};
    bool live = false;
    ~Stream() {
        if (live) inflateEnd(&z);
    }
};

namespace {

struct Decompressor {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Decompressor() { libdeflate_free_decompressor(d); }
};

}  // namespace

InflateState2::InflateState2() : stream_(std::make_unique<Stream>()), window_(new uint8_t[kWindowSize]) {
    if (inflateInit2(&stream_->z, -15) != Z_OK) throw std::bad_alloc();
    stream_->live = true;
}

InflateState2::~InflateState2() = default;

// Offers the unhanded part of the window to the sink; true when all of it was taken.
bool InflateState2::handWindow() {
    while (windowHanded_ < windowCount_) {
        uint32_t room = 0;
        if (!sink_ || !sink_->freeSpace(&room) || room == 0) return false;
        const uint32_t n = std::min(room, windowCount_ - windowHanded_);
        sink_->write(window_.get() + windowHanded_, n);
        windowHanded_ += n;
    }
    windowCount_ = windowHanded_ = 0;
    return true;
}

// The whole stream at once into the sink's buffer. The output size is unknown, so the room
// starts at four times the input and grows fourfold until the stream fits.
int64_t InflateState2::feedWhole(const uint8_t* bytes, uint32_t n) {
    DataBuffer* out = sink_->appendTarget();
    static thread_local Decompressor decompressor;
    if (!decompressor.d) throw std::bad_alloc();
    uint64_t room = std::max<uint64_t>(uint64_t{n} * 4, 1 << 16);
    for (;;) {
        room = std::min<uint64_t>(room, UINT32_MAX - out->size());
        uint8_t* dst = out->appendSpace(static_cast<uint32_t>(room));
        size_t inUsed = 0;
        size_t produced = 0;
        const libdeflate_result r =
            libdeflate_deflate_decompress_ex(decompressor.d, bytes, n, dst, static_cast<size_t>(room), &inUsed, &produced);
        if (r == LIBDEFLATE_SUCCESS) {
            out->commit(static_cast<uint32_t>(produced));
            sink_->taken(static_cast<uint32_t>(produced));
            finished_ = true;
            return static_cast<int64_t>(inUsed);
        }
        if (r != LIBDEFLATE_INSUFFICIENT_SPACE) {
            invalid_ = true;
            return -1;
        }
        if (room >= UINT32_MAX - out->size()) throw std::bad_alloc();
        room *= 4;
    }
}

int64_t InflateState2::feed(const uint8_t* bytes, uint32_t n, bool final) {
    if (invalid_) return -1;
    if (!bytes) n = 0;
    if (!started_ && final && n > 0 && sink_ && sink_->appendTarget()) {
        started_ = true;
        return feedWhole(bytes, n);
    }
    started_ = true;
    if (!handWindow()) return 0;
    if (finished_) return 0;
    z_stream& z = stream_->z;
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = n;
    for (;;) {
        z.next_out = window_.get() + windowCount_;
        z.avail_out = kWindowSize - windowCount_;
        const int rc = inflate(&z, Z_NO_FLUSH);
        windowCount_ = kWindowSize - z.avail_out;
        if (rc == Z_STREAM_END) {
            finished_ = true;
            handWindow();
            break;
        }
        if (rc == Z_MEM_ERROR) throw std::bad_alloc();
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            invalid_ = true;
            return -1;
        }
        if (windowCount_ < kWindowSize) break;  // all input taken, or nothing more can come of it
        if (!handWindow()) break;                // the sink is full: resume on the next feed
    }
    const int64_t consumed = static_cast<int64_t>(n - z.avail_in);
    if (final && !finished_ && z.avail_in == 0 && windowCount_ < kWindowSize) {
        invalid_ = true;  // the data ended inside the stream
        return -1;
    }
    return consumed;
}

}  // namespace quorvel
