#pragma once
#include <cstdint>
#include <memory>

#include "content/data_processor.h"

namespace quorvel {

// The compressing stage: zlib's deflate with the parameters of every stored form (level 6, raw
// stream with a 32 KB window, memory level 8, default strategy), so the bytes are the ones the
// system has always written. Each step compresses into a 25000-byte output block and passes what
// the sink will take; a step never produces more than one block. Pulls input from its source
// into its input chunk, or, without a source, takes what the stage before pushed into its ring
// and ends when that stage sets the end flag.
//
// If the compressor state cannot be made, the stage produces nothing and finished() stays false.
class DeflateProcessor : public DataProcessor {
public:
    DeflateProcessor();
    ~DeflateProcessor() override;

    const char* name() const override { return "DeflateProcessor"; }
    void begin() override;
    void step() override;
    // Bytes in the output block not yet passed on, plus 1 until the stream is finished.
    uint32_t pending() const override;

    bool finished() const { return finished_; }
    uint32_t totalIn() const { return totalIn_; }

    static constexpr int kLevel = 6;
    static constexpr int kWindowBits = -15;
    static constexpr int kMemLevel = 8;
    static constexpr uint32_t kOutputBlock = 25000;
    static constexpr uint32_t kZipInputChunk = 60000;

private:
    void takeInput();

    struct Stream;
    std::unique_ptr<Stream> stream_;
    uint8_t out_[kOutputBlock];
    uint32_t outCount_ = 0;
    uint32_t outPassed_ = 0;
    const uint8_t* in_ = nullptr;
    uint32_t inLeft_ = 0;
    uint32_t ringTaken_ = 0;  // bytes of the ring being compressed, consumed once done
    bool finishing_ = false;
    bool finished_ = false;
    bool failed_ = false;
    bool toldSink_ = false;
    uint32_t totalIn_ = 0;
};

}  // namespace quorvel
