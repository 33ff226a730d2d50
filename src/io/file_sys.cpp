#include "io/file_sys.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "core/log_base.h"
#include "core/string_buffer.h"
#include "core/system/directories.h"
#include "core/system/error_text.h"
#include "core/system/file.h"
#include "core/system/file_system.h"
#include "core/system/thread_id.h"

namespace quorvel {
namespace {

std::string lastErrorText() {
    StringBuffer text;
    text.appendLastError();
    return std::string(text.view());
}

void logLastError(LogBase* log, const char* prefix = "") {
    if (!log) return;
    std::string text = prefix + lastErrorText();
    log->LogError(text.c_str());
}

bool hasAnyOf(const char* s, const char* set) { return s && std::strpbrk(s, set) != nullptr; }

// A directory opened for the *at calls, closed when it goes.
class DirectoryFd {
public:
    explicit DirectoryFd(int fd) : fd_(fd) {}
    DirectoryFd(int parent, const char* name) : fd_(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~DirectoryFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    DirectoryFd(const DirectoryFd&) = delete;
    DirectoryFd& operator=(const DirectoryFd&) = delete;
    void swap(DirectoryFd& other) noexcept { std::swap(fd_, other.fd_); }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

// Creates every missing directory of directory ('/' separated), each component opened
// below the one before it, so the process's current directory is never involved.
bool createDirectories(const std::string& directory, LogBase* log) {
    DirectoryFd at(AT_FDCWD, directory.empty() || directory[0] != '/' ? "." : "/");
    if (!at) {
        sys::captureLastError();
        logLastError(log, "open directory: ");
        return false;
    }
    size_t from = 0;
    while (from < directory.size()) {
        size_t end = directory.find('/', from);
        if (end == std::string::npos) end = directory.size();
        const std::string component = directory.substr(from, end - from);
        from = end + 1;
        if (component.empty()) continue;
        DirectoryFd next(at.get(), component.c_str());
        if (!next) {
            if (::mkdirat(at.get(), component.c_str(), 0777) != 0) {
                sys::captureLastError();
                std::string text = "CreateDirectory: " + lastErrorText();
                if (log) {
                    log->LogError("Failed to create directory");
                    log->LogData("path", component.c_str());
                    log->LogError(text.c_str());
                }
                return false;
            }
            DirectoryFd made(at.get(), component.c_str());
            if (!made) {
                sys::captureLastError();
                logLastError(log, "open directory: ");
                return false;
            }
            next.swap(made);
        }
        at.swap(next);
    }
    return true;
}

// The runtime library's open. A read-only file refuses writing even to the superuser, so that
// the clearing steps of openForWrite behave as they do for everyone else.
std::FILE* openShared(const char* path, const char* mode) {
    if (!path || !mode) {
        sys::setLastError(EINVAL);
        return nullptr;
    }
    if (hasAnyOf(mode, "wWaA+")) {
        uint32_t attributes = sys::fileAttributes(path);
        if (attributes != sys::kInvalidFileAttributes && !(attributes & sys::kFileAttributeDirectory) &&
            (attributes & sys::kFileAttributeReadOnly)) {
            sys::setLastError(EACCES);
            return nullptr;
        }
    }
    std::FILE* f = std::fopen(path, mode);
    if (!f) sys::captureLastError();
    return f;
}

// The path with '\' read as '/', cut to the length that directory creation looks at.
std::string slashForm(const char* path) {
    std::string s(path, strnlen(path, FileSys::kMaxPath));
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

}  // namespace

bool FileSys::writeFile(const char16_t* path, const void* bytes, uint32_t count, LogBase* log) {
    if (!path || !*path) return false;
    size_t n = 0;
    while (path[n]) ++n;
    sys::File file = sys::File::createForWriting(std::u16string_view(path, n));
    if (!file) {
        logLastError(log);
        if (log) log->LogError("Failed to open/create file for writing");
        return false;
    }
    if (bytes && count != 0) {
        uint32_t written = 0;
        file.write(bytes, count, &written);
        if (written < count) {
            logLastError(log);
            if (log) log->LogError("Failed to write complete file");
            file.close();
            return false;
        }
    }
    file.close();
    return true;
}

bool FileSys::fileExists(const char* path, StringBuffer& reason) {
    sys::File file = sys::File::openForReading(path ? path : "");
    if (file) return true;
    reason.appendLastError();
    return false;
}

bool FileSys::deleteFile(const char* path, LogBase* log) {
    if (!path || !*path) {
        if (log) log->LogError("Cannot delete file, filename is null or empty");
        return false;
    }
    StringBuffer reason;
    if (!fileExists(path, reason)) {
        if (log) {
            log->LogData("delete_filename", path);
            log->LogData("fail_reason", reason.data());
            log->LogInfo("Cannot delete file, file does not exist");
        }
        return false;
    }
    if (sys::deleteFile(path)) return true;
    if (log) {
        std::string text = "DeleteFile: " + lastErrorText();
        log->LogInfo("Cannot delete file");
        log->LogData("delete_filename", path);
        log->LogInfo(text.c_str());
    }
    return false;
}

bool FileSys::tempFileName(const char* name, StringBuffer& out) {
    return uniqueFileName(name, sys::tempPath().c_str(), out);
}

bool FileSys::uniqueFileName(const char* name, const char* directory, StringBuffer& out) {
    std::string dir = directory ? directory : "";
    if (dir.empty() || (dir.back() != '/' && dir.back() != '\\')) dir += '/';
    std::string file = name ? name : "";
    if (file.find('.') == std::string::npos) file += ".tmp";
    size_t dot = file.rfind('.');
    std::string base = file.substr(0, dot);
    std::string extension = file.substr(dot);

    std::string candidate = dir + base + extension;
    char threadHex[16];
    std::snprintf(threadHex, sizeof threadHex, "%x", sys::currentThreadId());
    StringBuffer reason;
    for (uint32_t k = 2; fileExists(candidate.c_str(), reason); ++k) {
        reason.clear();
        candidate = dir + base + threadHex + "_" + std::to_string(k) + extension;
    }
    out.setString(candidate.c_str());
    return true;
}

OpenFile FileSys::openForWrite(const char* path, const char* mode) {
    OpenFile f(openShared(path, mode));
    if (f || !path || !mode) return f;
    if (hasAnyOf(mode, "wW")) {
        if (!sys::deleteFile(path)) {
            std::string p(path);
            size_t cut = p.rfind('/');
            if (cut == std::string::npos) cut = p.rfind('\\');
            std::string namePart = cut == std::string::npos ? p : p.substr(cut + 1);
            StringBuffer aside;
            tempFileName(namePart.c_str(), aside);
            sys::moveFile(path, aside.data());
        }
        f.reset(openShared(path, mode));
        if (f) return f;
    }
    if (hasAnyOf(mode, "rR")) return nullptr;
    uint32_t attributes = sys::fileAttributes(path);
    if (attributes == sys::kInvalidFileAttributes) return nullptr;
    if (!sys::setFileAttributes(path, sys::kFileAttributeNormal)) return nullptr;
    f.reset(openShared(path, mode));
    if (!f) sys::setFileAttributes(path, attributes);
    return f;
}

OpenFile FileSys::createFileWithPath(const char* path, const char* mode, LogBase* log) {
    OpenFile f = openForWrite(path, mode);
    if (f || !path) return f;
    std::string slashed = slashForm(path);
    size_t cut = slashed.rfind('/');
    if (cut == std::string::npos) {
        if (log) log->LogError("Failed to create file (A)");
        return nullptr;
    }
    if (cut + 1 == slashed.size()) {
        if (log) log->LogError("Failed to create file (B)");
        return nullptr;
    }
    // "/name": the directory part is the root itself.
    if (!createDirectories(cut == 0 ? "/" : slashed.substr(0, cut), log)) {
        if (log) log->LogError("Failed to create file (C)");
        return nullptr;
    }
    return openForWrite(slashed.c_str(), mode);
}

}  // namespace quorvel
