// Directories: creating one, the process's current directory (shared by all
// threads), and where temporary files go. Paths are UTF-8; a failure leaves
// its code as the thread's last error.
#pragma once

#include <string>

namespace quorvel::sys {

// Creates one directory; fails when it exists already.
bool createDirectory(const char* path);
bool setCurrentDirectory(const char* path);
// The current directory, without a trailing '/' except for the root; empty
// when it cannot be read.
std::string currentDirectory();
// $TMPDIR, else "/tmp/", always ending in '/'.
std::string tempPath();

}  // namespace quorvel::sys
