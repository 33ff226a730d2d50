#include "core/system/directories.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/system/error_text.h"

namespace quorvel::sys {

bool createDirectory(const char* path) {
  if (::mkdir(path ? path : "", 0777) == 0) return true;
  captureLastError();
  return false;
}

bool setCurrentDirectory(const char* path) {
  if (::chdir(path ? path : "") == 0) return true;
  captureLastError();
  return false;
}

std::string currentDirectory() {
  std::string buffer(256, '\0');
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size())) {
      buffer.resize(buffer.find('\0'));
      return buffer;
    }
    if (errno != ERANGE) {
      captureLastError();
      return {};
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string tempPath() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir && *dir) ? dir : "/tmp/";
  if (path.back() != '/') path.push_back('/');
  return path;
}

}  // namespace quorvel::sys
