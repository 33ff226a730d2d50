// An open file, closed when the object goes. Opening, sizing, reading and
// writing give the results the rest of the system expects of its files: a
// size query that fails says 0xFFFFFFFF, a read or write reports how many
// bytes it moved, and every failure leaves its code as the thread's last
// error (see error_text.h). Narrow paths are UTF-8; UTF-16 paths are turned
// into UTF-8 first.
#pragma once

#include <cstdint>
#include <string_view>

namespace quorvel::sys {

inline constexpr uint32_t kInvalidFileSize = 0xFFFFFFFF;

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // An existing file, for reading; others may read it at the same time. A
  // directory cannot be opened.
  static File openForReading(const char* path);
  static File openForReading(std::u16string_view path);
  // A new file for writing, or an existing one emptied. A file whose
  // read-only attribute is set is refused (EACCES), also for root.
  static File createForWriting(const char* path);
  static File createForWriting(std::u16string_view path);

  bool isOpen() const { return fd_ >= 0; }
  explicit operator bool() const { return isOpen(); }
  int descriptor() const { return fd_; }

  // Size in bytes; kInvalidFileSize when it cannot be read or does not fit
  // in 32 bits less one.
  uint32_t size() const;
  // Reads up to count bytes, fewer only at the end of the file or on error.
  bool read(void* buffer, uint32_t count, uint32_t* bytesRead);
  // Writes count bytes; fewer only on error (for example a full disk).
  bool write(const void* data, uint32_t count, uint32_t* bytesWritten);
  bool close();

 private:
  explicit File(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace quorvel::sys
