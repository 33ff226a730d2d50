#pragma once
#include <cstdint>
#include <memory>

struct inflate_state;

namespace quorvel {

class DataSink;

// Decoder of raw DEFLATE streams (RFC 1951: no wrapper, no checksum) that may be fed in pieces
// and resumes where the last piece ended.
//
// The decoding is ISA-L's stateful inflate, which keeps its own 32 KB history, so the output may
// go anywhere: into a 32 KB window here, offered to the sink whenever it fills and at the end of
// the stream (a sink that cannot take it all stops the decoder, which resumes on the next feed),
// or, for a sink that appends to a DataBuffer, straight into that buffer. Memory is the state
// (about 85 KB with its history and tables) and the window, whatever the stream's length.
//
// Bytes after the final block are not consumed. Once feed has returned -1, or the final block has
// ended, every later feed returns the same (-1, or 0 consumed).
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
    // One call of the decoder into the window or the sink's buffer; its result code.
    int decodeStep();

    std::unique_ptr<inflate_state> state_;
    DataSink* sink_ = nullptr;
    std::unique_ptr<uint8_t[]> window_;
    uint32_t windowCount_ = 0;   // bytes written into the window
    uint32_t windowHanded_ = 0;  // of those, bytes already taken by the sink
    bool finished_ = false;
    bool invalid_ = false;
};

}  // namespace quorvel
