#include "core/system/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/system/error_text.h"
#include "core/system/file.h"

namespace quorvel::sys {
namespace {

bool fail() {
  captureLastError();
  return false;
}

const char* orEmpty(const char* path) { return path ? path : ""; }

// Copies a regular file's bytes and permissions to a new file at `to`.
bool copyFile(const char* from, const char* to, mode_t mode) {
  File in = File::openForReading(from);
  if (!in) return false;
  int fd = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
  if (fd < 0) return fail();
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(in.descriptor(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got < 0) captureLastError();
      ::close(fd);
      if (got == 0) return true;
      ::unlink(to);
      return false;
    }
    for (ssize_t put = 0; put < got;) {
      ssize_t n = ::write(fd, buffer + put, static_cast<std::size_t>(got - put));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        captureLastError();
        ::close(fd);
        ::unlink(to);
        return false;
      }
      put += n;
    }
  }
}

}  // namespace

bool deleteFile(const char* path) { return ::unlink(orEmpty(path)) == 0 || fail(); }

bool moveFile(const char* from, const char* to) {
  from = orEmpty(from);
  to = orEmpty(to);
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  if (errno == EINVAL || errno == ENOSYS) {
    // The file system cannot refuse to replace, so look first.
    struct stat st;
    if (::lstat(to, &st) == 0) {
      errno = EEXIST;
      return fail();
    }
    if (::rename(from, to) == 0) return true;
  }
  if (errno != EXDEV) return fail();
  struct stat st;
  if (::stat(from, &st) != 0) return fail();
  if (!S_ISREG(st.st_mode)) {
    errno = EXDEV;
    return fail();
  }
  if (!copyFile(from, to, st.st_mode)) return false;
  return ::unlink(from) == 0 || fail();
}

uint32_t fileAttributes(const char* path) {
  struct stat st;
  if (::stat(orEmpty(path), &st) != 0) {
    captureLastError();
    return kInvalidFileAttributes;
  }
  if (S_ISDIR(st.st_mode)) return kFileAttributeDirectory;
  return (st.st_mode & 0222) ? kFileAttributeNormal : kFileAttributeReadOnly;
}

bool setFileAttributes(const char* path, uint32_t attributes) {
  path = orEmpty(path);
  struct stat st;
  if (::stat(path, &st) != 0) return fail();
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & kFileAttributeReadOnly) ? (mode & ~0222) : (mode | S_IWUSR);
  return ::chmod(path, mode) == 0 || fail();
}

}  // namespace quorvel::sys
