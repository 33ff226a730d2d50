#include "content/deflate_processor.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include "content/data_source.h"

namespace quorvel {

struct DeflateProcessor::Stream {
    z_stream z{};
    bool live = false;
    ~Stream() {
        if (live) deflateEnd(&z);
    }
};

DeflateProcessor::DeflateProcessor() = default;
DeflateProcessor::~DeflateProcessor() = default;

void DeflateProcessor::begin() {
    stream_ = std::make_unique<Stream>();
    failed_ = deflateInit2(&stream_->z, kLevel, Z_DEFLATED, kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK;
    stream_->live = !failed_;
    outCount_ = outPassed_ = inLeft_ = ringTaken_ = totalIn_ = 0;
    in_ = nullptr;
    finishing_ = finished_ = toldSink_ = false;
    if (source() && !inputChunk()) allocateInputChunk(kZipInputChunk);
}

uint32_t DeflateProcessor::pending() const {
    if (failed_) return 0;
    return (outCount_ - outPassed_) + (finished_ ? 0 : 1);
}

// Pull mode reads the next chunk from the source; push mode takes the first span of the ring.
void DeflateProcessor::takeInput() {
    if (DataSource* src = source()) {
        uint32_t n = 0;
        if (inputChunk()) src->read(inputChunk(), inputChunkSize(), &n);
        in_ = inputChunk();
        inLeft_ = n;
        if (src->atEnd()) finishing_ = true;
    } else {
        ring().consume(ringTaken_);
        StreamingBuffer::Span first, second;
        ring().readable(first, second);
        in_ = first.data;
        inLeft_ = ringTaken_ = first.size;
        if (inLeft_ == 0 && endOfData()) finishing_ = true;
    }
    totalIn_ += inLeft_;
}

void DeflateProcessor::step() {
    if (failed_ || !stream_) return;
    if (inLeft_ == 0 && !finishing_) takeInput();
    if ((inLeft_ > 0 || (finishing_ && !finished_)) && outCount_ == 0) {
        z_stream& z = stream_->z;
        z.next_in = const_cast<Bytef*>(in_);
        z.avail_in = inLeft_;
        z.next_out = out_;
        z.avail_out = kOutputBlock;
        const int rc = deflate(&z, finishing_ ? Z_FINISH : Z_NO_FLUSH);
        if (rc == Z_STREAM_ERROR) throw std::runtime_error("deflate");
        in_ = z.next_in;
        inLeft_ = z.avail_in;
        outCount_ = kOutputBlock - z.avail_out;
        outPassed_ = 0;
        if (rc == Z_STREAM_END) finished_ = true;
    }
    DataSink* out = sink();
    if (outCount_ > outPassed_ && out) {
        uint32_t room = 0;
        out->freeSpace(&room);
        const uint32_t n = std::min(room, outCount_ - outPassed_);
        if (n) {
            out->write(out_ + outPassed_, n);
            outPassed_ += n;
        }
    }
    if (outPassed_ == outCount_) outCount_ = outPassed_ = 0;
    if (finished_ && inLeft_ == 0 && outCount_ == 0 && !toldSink_) {
        toldSink_ = true;
        if (out) out->setEndOfData();
    }
}

}  // namespace quorvel
