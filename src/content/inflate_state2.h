#pragma once
#include <cstdint>
#include <memory>

namespace quorvel {

class DataSink;

// Decoder of raw DEFLATE streams (RFC 1951: no wrapper, no checksum) that may be fed in pieces.
//
// Streaming runs on zlib's inflate: its state, its 32 KB history and a 32 KB output window here,
// whatever the stream's length. Output reaches the sink whenever the window fills and at the end
// of the stream; a sink that cannot take a full window stops the decoder, which resumes on the
// next feed. When the whole stream arrives in the first feed, marked final, and the sink appends
// to a DataBuffer, it is decoded by libdeflate straight into that buffer instead, which is
// several times faster; both decoders accept and reject the same streams (see the fuzz target).
//
// Bytes after the final block are not consumed. Invariant: once feed has returned -1 or the final
// block has ended, every later feed returns the same (-1, or 0 consumed).
class InflateState2 {
public:
    InflateState2();
    ~InflateState2();
    InflateState2(const InflateState2&) = delete;
    InflateState2& operator=(const InflateState2&) = delete;

    // REQUIRES: set before the first feed; the sink outlives the decoder.
    void setSink(DataSink* sink) { sink_ = sink; }
    // Decodes bytes[0..n). Returns the count consumed, or -1 when the data is not a valid stream;
    // with final set, a stream that ends before its final block is invalid too.
    int64_t feed(const uint8_t* bytes, uint32_t n, bool final);
    // Whether the final block has been decoded and all its output handed to the sink.
    bool finished() const { return finished_ && windowHanded_ == windowCount_; }

    static constexpr uint32_t kWindowSize = 32768;

private:
    bool handWindow();
    int64_t feedWhole(const uint8_t* bytes, uint32_t n);

    struct Stream;
    std::unique_ptr<Stream> stream_;
    DataSink* sink_ = nullptr;
    std::unique_ptr<uint8_t[]> window_;
    uint32_t windowCount_ = 0;   // bytes written into the window
    uint32_t windowHanded_ = 0;  // of those, bytes already taken by the sink
    bool started_ = false;
    bool finished_ = false;
    bool invalid_ = false;
};

}  // namespace quorvel
