#include "content/inflate_state2.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>

#include "content/data_sink.h"
#include "core/data_buffer.h"

namespace quorvel {

namespace {
// Room asked of a buffer sink per decoder call: what the buffer has spare while that is a good
// amount, else a new block grown with the output, so the buffer's growth stays geometric and a
// stream fed byte by byte does not move the buffer on every call.
uint32_t directRoom(const DataBuffer& out) {
    const uint32_t spare = out.capacity() - out.size();
    if (spare >= (1u << 15)) return spare;
    return std::clamp<uint32_t>(out.size() / 2, 1u << 16, 1u << 26);
}
}  // namespace

// The state is not zeroed first: isal_inflate_init sets what decoding reads, and the 85 KB of
// history and tables are then touched only as far as a stream uses them.
InflateState2::InflateState2() : state_(new inflate_state), window_(new uint8_t[kWindowSize]) {
    isal_inflate_init(state_.get());
    state_->crc_flag = ISAL_DEFLATE;
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

int InflateState2::decodeStep() {
    inflate_state& s = *state_;
    if (DataBuffer* out = sink_ ? sink_->appendTarget() : nullptr) {
        const uint64_t room = std::min<uint64_t>(directRoom(*out), UINT32_MAX - out->size());
        if (room == 0) return ISAL_INVALID_BLOCK;  // the output would pass 4 GB
        s.next_out = out->appendSpace(static_cast<uint32_t>(room));
        s.avail_out = static_cast<uint32_t>(room);
        const int rc = isal_inflate(&s);
        const auto produced = static_cast<uint32_t>(room - s.avail_out);
        out->commit(produced);
        sink_->taken(produced);
        return rc;
    }
    s.next_out = window_.get() + windowCount_;
    s.avail_out = kWindowSize - windowCount_;
    const int rc = isal_inflate(&s);
    windowCount_ = kWindowSize - s.avail_out;
    return rc;
}

int64_t InflateState2::feed(const uint8_t* bytes, uint32_t n, bool final) {
    if (invalid_) return -1;
    if (!bytes) n = 0;
    if (!handWindow() || finished_) return 0;
    inflate_state& s = *state_;
    s.next_in = const_cast<uint8_t*>(bytes);
    s.avail_in = n;
    for (;;) {
        const int rc = decodeStep();
        if (rc < 0) {
            invalid_ = true;
            return -1;
        }
        if (s.block_state == ISAL_BLOCK_FINISH) {
            finished_ = true;
            handWindow();
            // The decoder reads ahead into its bit buffer; whole bytes left there were not used.
            const uint32_t unread = std::min<uint32_t>(s.read_in_length / 8, n - s.avail_in);
            return static_cast<int64_t>(n - s.avail_in - unread);
        }
        if (s.avail_out > 0) break;  // all input taken, and all it gives out
        if (windowCount_ == kWindowSize && !handWindow()) {
            return static_cast<int64_t>(n - s.avail_in);  // the sink is full: resume on the next feed
        }
    }
    if (final) {
        invalid_ = true;  // the data ended inside the stream
        return -1;
    }
    return static_cast<int64_t>(n - s.avail_in);
}

}  // namespace quorvel
