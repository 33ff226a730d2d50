#pragma once
#include <cstdint>
#include <cstdio>

namespace quorvel {

class ProgressMonitor;

// Where a pipeline's first stage pulls its bytes from. `total` counts the bytes delivered; a
// progress monitor, when set, advances by every read's count.
class DataSource {
public:
    virtual ~DataSource() = default;
    // Up to max bytes into buffer, their count in *count. False when nothing could be read.
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

// A file opened by the caller, read with fread; the source lets go of it at the first read of 0
// bytes or error (the caller still closes it).
class FileDataSource : public DataSource {
public:
    explicit FileDataSource(std::FILE* file) : file_(file) {}
    bool read(uint8_t* buffer, uint32_t max, uint32_t* count) override;
    bool atEnd() const override { return !file_ || std::feof(file_); }

private:
    std::FILE* file_;
};

}  // namespace quorvel
