#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/quorvel_object.h"
#include "core/string_buffer.h"
#include "log/log_entry.h"

namespace quorvel {

// The storage behind a Logger: the entries, oldest first, the error-pending flag and the error
// summary built when a context that saw an error is left.
class ActivityLog : public QuorvelObject {
public:
    ActivityLog();
    ~ActivityLog() override;
    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    // Splits message at CR and LF, drops empty pieces and stores one entry per piece; the second
    // and later carry the continuation prefix. False, and nothing stored, for a null or empty message.
    bool addMessage(const char* message, char level);
    void clear();
    void enterContext(const char* name);
    void leaveContext();
    // Keyword trimmed of white space at both ends, inner blanks turned into "_"; false when that
    // leaves nothing.
    bool addData(const char* keyword, const char* value);

    void appendErrorSummary(StringBuffer& out) const { out.appendBuffer(errorSummary_); }
    void renderText(StringBuffer& out);
    void renderHtml(StringBuffer& out);
    void renderXml(StringBuffer& out) const;

    const std::vector<LogEntry>& entries() const { return entries_; }
    bool errorPending() const { return errorPending_; }
    const StringBuffer& errorSummary() const { return errorSummary_; }
    const StringBuffer& continuationPrefix() const { return continuationPrefix_; }
    const StringBuffer& lineTemplate() const { return lineTemplate_; }
    bool htmlEscape() const { return htmlEscape_; }

private:
    void append(LogEntry&& e);
    void renderLines(StringBuffer& out);

    std::vector<LogEntry> entries_;
    // Indices of the context-opened entries not yet matched by a context-closed one. Matching
    // each close against the top gives the same pairing as walking back with a depth count,
    // without the walk.
    std::vector<size_t> openContexts_;
    StringBuffer continuationPrefix_;
    bool errorPending_ = false;
    StringBuffer errorSummary_;
    StringBuffer lineTemplate_;
    bool htmlEscape_ = false;
};

}  // namespace quorvel
