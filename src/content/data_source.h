#pragma once
#include <cstdint>

namespace quorvel {

class ProgressMonitor;

// Where a pipeline's first stage pulls its bytes from. `total` counts the bytes delivered; a
// progress monitor, when set, advances by every read's count.
class DataSource {
public:
    virtual ~DataSource() = default;
    // Up to max bytes into buffer, their count in *count. False, with *count 0, when nothing
    // could be read (at the end, or max 0, or no buffer).
    virtual bool read(uint8_t* buffer, uint32_t max, uint32_t* count) = 0;
    // True when no byte is left.
    virtual bool atEnd() const = 0;

    uint32_t total() const { return total_; }
    void setProgress(ProgressMonitor* progress) { progress_ = progress; }

protected:
    void delivered(uint32_t n);

private:
    uint32_t total_ = 0;
    ProgressMonitor* progress_ = nullptr;
};

// Bytes the caller keeps alive for the source's life. A read into the source's own bytes for their
// whole count hands them over without copying.
class MemoryDataSource : public DataSource {
public:
    MemoryDataSource(const void* bytes, uint32_t count) : bytes_(static_cast<const uint8_t*>(bytes)), count_(bytes ? count : 0) {}
    bool read(uint8_t* buffer, uint32_t max, uint32_t* count) override;
    bool atEnd() const override { return position_ >= count_; }
    const uint8_t* bytes() const { return bytes_; }

private:
    const uint8_t* bytes_;
    uint32_t count_;
    uint32_t position_ = 0;
};

}  // namespace quorvel
