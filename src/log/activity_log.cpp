#include "log/activity_log.h"

#include <cstring>
#include <string_view>

#include "log/log_rendering.h"

namespace quorvel {

ActivityLog::ActivityLog() : continuationPrefix_("  ") {}

ActivityLog::~ActivityLog() = default;

void ActivityLog::append(LogEntry&& e) {
    bool opens = e.kind() == LogEntry::kContextOpened;
    bool closes = e.kind() == LogEntry::kContextClosed;
    if (opens) openContexts_.reserve(openContexts_.size() + 1);  // so the push below cannot throw
    entries_.push_back(std::move(e));
    if (opens) {
        openContexts_.push_back(entries_.size() - 1);
    } else if (closes && !openContexts_.empty()) {
        openContexts_.pop_back();
    }
}

bool ActivityLog::addMessage(const char* message, char level) {
    if (!message || !*message) return false;
    if (level == LogEntry::kLevelError) errorPending_ = true;
    std::string_view prefix = continuationPrefix_.view();
    bool continuation = false;
    const char* p = message;
    while (*p) {
        size_t n = std::strcspn(p, "\r\n");
        if (n > 0) {
            append(LogEntry::message(level, continuation ? prefix : std::string_view(), {p, n}, continuation));
            continuation = true;
        }
        p += n;
        if (*p) ++p;
    }
    return true;
}

void ActivityLog::clear() {
    entries_.clear();
    openContexts_.clear();
    // Most calls log a handful of entries; do not hold on to the room one huge call needed.
    constexpr size_t kKeptCapacity = 1024;
    if (entries_.capacity() > kKeptCapacity) std::vector<LogEntry>().swap(entries_);
    if (openContexts_.capacity() > kKeptCapacity) std::vector<size_t>().swap(openContexts_);
}

void ActivityLog::enterContext(const char* name) { append(LogEntry::contextOpened(name)); }

void ActivityLog::leaveContext() {
    errorSummary_.clear();
    if (entries_.empty()) return;
    if (entries_.back().kind() == LogEntry::kContextOpened) {
        // Nothing was logged inside: the context leaves no trace.
        entries_.pop_back();
        openContexts_.pop_back();
        return;
    }
    bool matched = !openContexts_.empty();
    size_t opened = matched ? openContexts_.back() : 0;
    append(LogEntry::contextClosed());
    if (errorPending_ && matched) {
        renderErrorSummary(entries_, opened, errorSummary_);
        errorPending_ = false;
    }
}

bool ActivityLog::addData(const char* keyword, const char* value) {
    if (!keyword) return false;
    StringBuffer kw(keyword);
    kw.trim();
    if (kw.empty()) return false;
    kw.replaceChar(' ', '_');
    append(LogEntry::data(kw.view(), value));
    return true;
}

void ActivityLog::renderText(StringBuffer& out) {
    lineTemplate_.setString("_MESSAGE_\r\n");
    htmlEscape_ = false;
    renderLines(out);
}

void ActivityLog::renderHtml(StringBuffer& out) {
    lineTemplate_.setString("_MESSAGE_<br>");
    htmlEscape_ = true;
    renderLines(out);
}

void ActivityLog::renderLines(StringBuffer& out) { renderLogLines(entries_, lineTemplate_.view(), htmlEscape_, out); }

void ActivityLog::renderXml(StringBuffer& out) const { renderLogXml(entries_, 0, out); }

}  // namespace quorvel
