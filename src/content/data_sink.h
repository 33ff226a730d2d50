#pragma once
#include <cstdint>

#include "content/streaming_buffer.h"

namespace quorvel {

class DataBuffer;
class ProgressMonitor;

// Where a stage writes. `total` counts the bytes taken; the upstream stage sets the end flag when
// no more data will come; a progress monitor, when set, advances by every write's count.
class DataSink {
public:
    virtual ~DataSink() = default;
    // Takes bytes[0..n); true when all were taken.
    virtual bool write(const uint8_t* bytes, uint32_t n) = 0;
    virtual uint32_t total() const { return total_; }
    // Bytes held and not yet passed on.
    virtual uint32_t pending() const { return 0; }
    // The room for the next write in *count; whether there is any.
    virtual bool freeSpace(uint32_t* count) = 0;
    // A buffer the sink appends to, for producers that can write there directly (then they
    // call taken()); none for other sinks.
    virtual DataBuffer* appendTarget() { return nullptr; }

    void taken(uint32_t n);
    bool endOfData() const { return end_; }
    void setEndOfData() { end_ = true; }
    void setProgress(ProgressMonitor* progress) { progress_ = progress; }

private:
    uint32_t total_ = 0;
    bool end_ = false;
    ProgressMonitor* progress_ = nullptr;
};

// Counts and forgets.
class NullDataSink : public DataSink {
public:
    // The room it reports: unbounded in truth, the figure stages have always been given.
    static constexpr uint32_t kReportedRoom = 999999999;

    bool write(const uint8_t* bytes, uint32_t n) override;
    bool freeSpace(uint32_t* count) override;
};

// Appends to a DataBuffer the caller keeps alive, growing it geometrically so that a long run of
// writes costs linear time. Fails without a buffer.
class DataBufferSink : public DataSink {
public:
    // The room it reports: bounded in truth only by the buffer's 32-bit size; the largest signed
    // 32-bit count, as it has always been.
    static constexpr uint32_t kReportedRoom = 0x7FFFFFFF;

    explicit DataBufferSink(DataBuffer* buffer) : buffer_(buffer) {}
    bool write(const uint8_t* bytes, uint32_t n) override;
    bool freeSpace(uint32_t* count) override;
    DataBuffer* appendTarget() override { return buffer_; }

private:
    DataBuffer* buffer_;
};

// Holds what it is given in a ring buffer until a downstream reader consumes it; a write stores
// what fits and is true only when all of it did.
class MemoryDataSink : public DataSink {
public:
    explicit MemoryDataSink(uint32_t capacity) : ring_(capacity) {}
    bool write(const uint8_t* bytes, uint32_t n) override;
    uint32_t pending() const override { return ring_.count(); }
    bool freeSpace(uint32_t* count) override;
    StreamingBuffer& ring() { return ring_; }

private:
    StreamingBuffer ring_;
};

}  // namespace quorvel
