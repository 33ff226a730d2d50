#include "log/logger.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace quorvel {

namespace {

// Runs op on the storage; a missing storage or any exception (allocation failure) gives false.
template <class Op>
bool guarded(ActivityLog* log, Op op) {
    if (!log) return false;
    try {
        return op(*log);
    } catch (...) {
        return false;
    }
}

// Runs op on the storage where there is one; a log without storage is a fresh one, which reads
// as nothing and which clearing or leaving a context leaves as it is, so op has nothing to do.
template <class Op>
bool onExisting(ActivityLog* log, Op op) {
    return !log || guarded(log, op);
}

}  // namespace

Logger::~Logger() = default;

ActivityLog* Logger::storage() {
    if (!log_) {
        try {
            log_.reset(new (std::nothrow) ActivityLog());
        } catch (...) {
            // The storage's own members could not be made: the write fails, the log stays fresh.
        }
    }
    return log_.get();
}

bool Logger::LogError(const char* message) {
    // A refused message makes no storage.
    if (!message || !*message) return false;
    return guarded(storage(), [&](ActivityLog& log) { return log.addMessage(message, LogEntry::kLevelError); });
}

bool Logger::LogInfo(const char* message) {
    if (!message || !*message) return false;
    return guarded(storage(), [&](ActivityLog& log) { return log.addMessage(message, LogEntry::kLevelInfo); });
}

bool Logger::ClearLog() {
    return onExisting(log_.get(), [](ActivityLog& log) {
        log.clear();
        return true;
    });
}

bool Logger::EnterContext(const char* name) {
    return guarded(storage(), [&](ActivityLog& log) {
        log.enterContext(name);
        return true;
    });
}

bool Logger::LeaveContext() {
    return onExisting(log_.get(), [](ActivityLog& log) {
        log.leaveContext();
        return true;
    });
}

bool Logger::LogData(const char* keyword, const char* value) {
    if (!keyword) return false;
    return guarded(storage(), [&](ActivityLog& log) { return log.addData(keyword, value); });
}

bool Logger::LogDataLong(const char* keyword, int32_t value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", value);
    return LogData(keyword, digits);
}

bool Logger::GetErrorSummary(StringBuffer& out) {
    return onExisting(log_.get(), [&](ActivityLog& log) {
        log.appendErrorSummary(out);
        return true;
    });
}

bool Logger::ErrorLogText(StringBuffer& out) {
    return onExisting(log_.get(), [&](ActivityLog& log) {
        log.renderText(out);
        return true;
    });
}

bool Logger::ErrorLogHtml(StringBuffer& out) {
    return onExisting(log_.get(), [&](ActivityLog& log) {
        log.renderHtml(out);
        return true;
    });
}

bool Logger::ErrorLogXml(StringBuffer& out) {
    return onExisting(log_.get(), [&](ActivityLog& log) {
        log.renderXml(out);
        return true;
    });
}

bool Logger::SaveXmlLog(const char* path) {
    if (!path) return false;
    std::FILE* f = nullptr;
    try {
        f = std::fopen(path, "w");
        if (!f) return false;
        StringBuffer content(kXmlDeclaration);
        content.appendChar('\n');
        if (log_) log_->renderXml(content);
        size_t n = static_cast<size_t>(content.length());
        bool ok = std::fwrite(content.data(), 1, n, f) == n;
        // A write that only reached the stream's buffer fails for real at the final flush.
        std::FILE* closing = f;
        f = nullptr;
        if (std::fclose(closing) != 0) ok = false;
        return ok;
    } catch (...) {
        if (f) std::fclose(f);
        f = std::fopen(path, "w");
        if (f) {
            std::fwrite(kSaveFailureText, 1, std::strlen(kSaveFailureText), f);
            std::fclose(f);
        }
        return false;
    }
}

}  // namespace quorvel
