#pragma once
#include <cstdint>

#include "content/data_sink.h"
#include "core/quorvel_object.h"
#include "core/string_buffer.h"

namespace quorvel {

class DataSource;
class LogBase;

// A pipeline stage. It takes its input either from an upstream DataSource (pull mode) or through
// its own ring buffer of 50000 bytes, written by the stage before it (push mode), and passes its
// output to a downstream DataSink. Each stage is named "processor_N" from a process-wide count.
// begin and end run once around the run; step does a bounded amount of work each pass.
// The source, sink and log are not owned: each must remain live while this processor is in use.
class DataProcessor : public MemoryDataSink, public QuorvelObject {
public:
    DataProcessor();
    ~DataProcessor() override;
    DataProcessor(const DataProcessor&) = delete;
    DataProcessor& operator=(const DataProcessor&) = delete;

    virtual const char* name() const { return name_.data(); }
    virtual void begin() {}
    virtual void end() {}
    // One bounded slice of work. May throw; the pipeline then stops stepping this stage.
    virtual void step() = 0;

    void setSource(DataSource* source) { source_ = source; }
    void setSink(DataSink* sink) { sink_ = sink; }
    void setLog(LogBase* log) { log_ = log; }
    DataSource* source() const { return source_; }
    DataSink* sink() const { return sink_; }
    LogBase* log() const { return log_; }

    // The block that pulled input is read into: owned (allocated here) or borrowed.
    void allocateInputChunk(uint32_t size);
    void borrowInputChunk(uint8_t* block, uint32_t size);
    uint8_t* inputChunk() const { return chunk_; }
    uint32_t inputChunkSize() const { return chunkSize_; }

    static constexpr uint32_t kRingSize = 50000;

private:
    void releaseInputChunk();

    StringBuffer name_;
    uint8_t* chunk_ = nullptr;
    uint32_t chunkSize_ = 0;
    bool ownsChunk_ = false;
    DataSource* source_ = nullptr;
    DataSink* sink_ = nullptr;
    LogBase* log_ = nullptr;
};

}  // namespace quorvel
