#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quorvel {

// Where a record reader's bytes come from: a file, a file descriptor or a read callback. Reads
// are pulled one block at a time; nothing is read ahead of what the reader asks for.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to n bytes into buffer: the count read, 0 at the end, -1 on an error (error() says which).
    virtual ptrdiff_t read(void* buffer, size_t n) = 0;
    // The total length in bytes when known (a regular file), else -1.
    virtual int64_t length() const { return -1; }
    // Moves to a byte offset; false when the source cannot (a pipe or a callback).
    virtual bool seek(uint64_t) { return false; }
    const std::string& error() const { return error_; }

protected:
    std::string error_;
};

// A file opened by name, or a descriptor the caller keeps owning.
class FileSource final : public ByteSource {
public:
    // Null, with the reason in `error`, when the file cannot be opened.
    static std::unique_ptr<FileSource> open(const std::string& path, std::string& error);
    // REQUIRES: fd open for reading; the caller closes it after the source is gone.
    explicit FileSource(int fd, bool owned = false);
    ~FileSource() override;
    ptrdiff_t read(void* buffer, size_t n) override;
    int64_t length() const override { return length_; }
    bool seek(uint64_t offset) override;

private:
    int fd_;
    bool owned_;
    int64_t length_ = -1;
};

// A callback: >0 bytes read, 0 the end, <0 an error.
class CallbackSource final : public ByteSource {
public:
    using Read = std::function<ptrdiff_t(void* buffer, size_t n)>;
    explicit CallbackSource(Read read) : read_(std::move(read)) {}
    ptrdiff_t read(void* buffer, size_t n) override;

private:
    Read read_;
    bool ended_ = false;
};

}  // namespace quorvel
