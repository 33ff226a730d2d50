#include "log/log_entry.h"

#include <cstring>
#include <new>

namespace quorvel {

namespace {

uint32_t checkedLength(size_t n) {
    if (n >= UINT32_MAX) throw std::bad_alloc();
    return static_cast<uint32_t>(n);
}

}  // namespace

void LogEntry::store(const char* keyword, std::string_view kw, const char* text, std::string_view prefix,
                     std::string_view tx) {
    hasKeyword_ = keyword != nullptr;
    hasText_ = text != nullptr;
    if (!hasKeyword_ && !hasText_) return;
    keywordLength_ = hasKeyword_ ? checkedLength(kw.size()) : 0;
    textLength_ = hasText_ ? checkedLength(prefix.size() + tx.size()) : 0;
    size_t total = (hasKeyword_ ? kw.size() + 1 : 0) + (hasText_ ? prefix.size() + tx.size() + 1 : 0);
    bytes_.reset(new char[total]);
    char* p = bytes_.get();
    if (hasKeyword_) {
        if (!kw.empty()) std::memcpy(p, kw.data(), kw.size());
        p += kw.size();
        *p++ = 0;
    }
    if (hasText_) {
        if (!prefix.empty()) std::memcpy(p, prefix.data(), prefix.size());
        p += prefix.size();
        if (!tx.empty()) std::memcpy(p, tx.data(), tx.size());
        p += tx.size();
        *p = 0;
    }
}

LogEntry LogEntry::message(char level, std::string_view prefix, std::string_view line, bool continuation) {
    LogEntry e(kMessage, level, continuation);
    e.store(nullptr, {}, "", prefix, line);
    return e;
}

LogEntry LogEntry::contextOpened(const char* name) {
    LogEntry e(kContextOpened, kLevelNone, false);
    e.store(nullptr, {}, name, {}, name ? std::string_view(name) : std::string_view());
    return e;
}

LogEntry LogEntry::contextClosed() { return LogEntry(kContextClosed, kLevelNone, false); }

LogEntry LogEntry::data(std::string_view keyword, const char* value) {
    LogEntry e(kData, kLevelNone, false);
    e.store("", keyword, value, {}, value ? std::string_view(value) : std::string_view());
    return e;
}

}  // namespace quorvel
