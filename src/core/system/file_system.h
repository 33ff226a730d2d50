// File operations by name: delete, move, and the attributes the rest of the
// system reads and sets. Paths are UTF-8; a failure leaves its code as the
// thread's last error.
#pragma once

#include <cstdint>

namespace quorvel::sys {

inline constexpr uint32_t kFileAttributeReadOnly = 0x01;
inline constexpr uint32_t kFileAttributeDirectory = 0x10;
inline constexpr uint32_t kFileAttributeNormal = 0x80;
inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

// Removes a file (not a directory).
bool deleteFile(const char* path);
// Renames a file or directory; fails when `to` exists. A file moves across
// file systems by copy and delete.
bool moveFile(const char* from, const char* to);

// Read-only when no write permission bit is set, directory for directories,
// otherwise normal; kInvalidFileAttributes when the path cannot be examined.
uint32_t fileAttributes(const char* path);
// Read-only clears every write permission bit; any value without it gives the
// owner write permission back. Other attribute bits have no effect.
bool setFileAttributes(const char* path, uint32_t attributes);

}  // namespace quorvel::sys
