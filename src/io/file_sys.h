// The file-system operations the system needs beyond reading a whole file: writing a whole
// file, testing for and deleting a file, choosing a free temporary name, and opening a file for
// writing while creating missing directories and clearing what stands in the way.
//
// Stateless: make a local instance around each use. Every operation that takes a log accepts
// none and then logs nothing; nothing throws. Paths use '/'; '\' is accepted as a separator
// too where paths are split into directories.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>

namespace quorvel {

class LogBase;
class StringBuffer;

// A file opened by the runtime library, closed when it goes.
struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

class FileSys {
public:
    virtual ~FileSys() = default;

    // Creates or empties the file and writes count bytes in one write. A null or empty path is
    // false without a log entry; no bytes (or a count of 0) gives an empty file. A partly
    // written file stays as it is.
    bool writeFile(const char16_t* path, const void* bytes, uint32_t count, LogBase* log);

    // True when the file can be opened for reading; otherwise the system's reason is appended
    // to reason. A directory, or a file that cannot be read, counts as absent.
    bool fileExists(const char* path, StringBuffer& reason);
    bool deleteFile(const char* path, LogBase* log);

    // A name in the temporary directory (or in directory) that no file has yet: name as given
    // (".tmp" added when it has no dot), else base + thread id in hex + "_" + k + extension for
    // k = 2, 3, ... The file is not created; the result is always true.
    bool tempFileName(const char* name, StringBuffer& out);
    bool uniqueFileName(const char* name, const char* directory, StringBuffer& out);

    // Opens with a runtime library mode ("wb", "ab", ...). When that fails, a write mode
    // deletes the file (or moves it to the temporary directory when it cannot be deleted) and
    // tries again; other non-read modes clear the read-only attribute and try again.
    OpenFile openForWrite(const char* path, const char* mode);
    // openForWrite, and when that fails, the directories of path are created (relative to the
    // current directory, which is never changed) and it is tried once more.
    OpenFile createFileWithPath(const char* path, const char* mode, LogBase* log);

    // The longest path that directory creation looks at; the rest is cut off.
    static constexpr size_t kMaxPath = 4096;
};

}  // namespace quorvel
