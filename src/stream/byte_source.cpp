#include "stream/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel {

std::unique_ptr<FileSource> FileSource::open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = std::strerror(EISDIR);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, true);
}

FileSource::FileSource(int fd, bool owned) : fd_(fd), owned_(owned) {
    struct stat st;
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) length_ = static_cast<int64_t>(st.st_size);
}

FileSource::~FileSource() {
    if (owned_) ::close(fd_);
}

ptrdiff_t FileSource::read(void* buffer, size_t n) {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, n);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        error_ = std::strerror(errno);
        return -1;
    }
}

bool FileSource::seek(uint64_t offset) {
    if (length_ < 0) return false;
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

ptrdiff_t CallbackSource::read(void* buffer, size_t n) {
    // A callback is not asked again once it has said the input ended.
    if (ended_) return 0;
    const ptrdiff_t got = read_(buffer, n);
    if (got < 0) {
        error_ = "The read callback failed";
        return -1;
    }
    // More than was asked for would have written past the buffer: the host broke the contract.
    if (static_cast<size_t>(got) > n) {
        error_ = "The read callback returned more bytes than asked for";
        return -1;
    }
    if (got == 0) ended_ = true;
    return got;
}

}  // namespace quorvel
