#include "core/system/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "core/system/error_text.h"
#include "core/system/utf8.h"

namespace quorvel::sys {
namespace {

File failed() {
  captureLastError();
  return File();
}

// Largest chunk handed to one system call; the kernel moves at most this
// much at once anyway.
constexpr std::size_t kChunk = 0x40000000;

}  // namespace

File::~File() { close(); }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

File File::openForReading(const char* path) {
  if (!path) path = "";
  // Non-blocking so that opening a FIFO without a writer cannot hang.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return failed();
  File file(fd);
  struct stat st;
  if (::fstat(fd, &st) != 0) return failed();
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return failed();
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return file;
}

File File::openForReading(std::u16string_view path) { return openForReading(toUtf8(path).c_str()); }

File File::createForWriting(const char* path) {
  if (!path) path = "";
  struct stat st;
  if (::stat(path, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
    errno = EACCES;
    return failed();
  }
  int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return failed();
  return File(fd);
}

File File::createForWriting(std::u16string_view path) { return createForWriting(toUtf8(path).c_str()); }

uint32_t File::size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) {
    captureLastError();
    return kInvalidFileSize;
  }
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) >= kInvalidFileSize) {
    setLastError(EFBIG);
    return kInvalidFileSize;
  }
  return static_cast<uint32_t>(st.st_size);
}

bool File::read(void* buffer, uint32_t count, uint32_t* bytesRead) {
  std::size_t done = 0;
  bool ok = true;
  while (done < count) {
    std::size_t ask = count - done < kChunk ? count - done : kChunk;
    ssize_t got = ::read(fd_, static_cast<char*>(buffer) + done, ask);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      captureLastError();
      ok = false;
      break;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  if (bytesRead) *bytesRead = static_cast<uint32_t>(done);
  return ok;
}

bool File::write(const void* data, uint32_t count, uint32_t* bytesWritten) {
  std::size_t done = 0;
  bool ok = true;
  while (done < count) {
    std::size_t ask = count - done < kChunk ? count - done : kChunk;
    ssize_t put = ::write(fd_, static_cast<const char*>(data) + done, ask);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = ENOSPC;
      captureLastError();
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  if (bytesWritten) *bytesWritten = static_cast<uint32_t>(done);
  return ok;
}

bool File::close() {
  if (fd_ < 0) return true;
  int result = ::close(fd_);
  fd_ = -1;
  // A close interrupted by a signal has still released the descriptor.
  if (result != 0 && errno != EINTR) {
    captureLastError();
    return false;
  }
  return true;
}

}  // namespace quorvel::sys
