#pragma once
#include <cstdint>
#include <memory>

#include "core/log_base.h"
#include "core/string_buffer.h"
#include "log/activity_log.h"

namespace quorvel {

// The error log of one handle or zip container: the record of the most recent logged call, its
// error summary and its renderings. None of its operations ever throws or logs into the log itself.
//
// The storage is made by the first operation that writes (a message, a data item, a context
// entered); until then the log reads as a fresh one (no entries, no summary, no pending error),
// clearing and leaving a context do nothing, and the log costs no allocation. Most handles are
// made for a result list, read and released without ever logging. A write that cannot make the
// storage returns false, doing nothing.
class Logger : public LogBase {
public:
    Logger() = default;
    ~Logger() override;
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    bool LogError(const char* message) override;
    bool LogInfo(const char* message) override;
    bool ClearLog() override;
    bool EnterContext(const char* name) override;
    bool LeaveContext() override;
    bool LogData(const char* keyword, const char* value) override;
    bool LogDataLong(const char* keyword, int32_t value) override;
    bool GetErrorSummary(StringBuffer& out) override;
    bool SaveXmlLog(const char* path) override;

    // The renderings, appended to out. Text lines end in CR LF, HTML lines in "<br>"; the XML
    // rendering carries no declaration. An empty log renders as nothing.
    bool ErrorLogText(StringBuffer& out);
    bool ErrorLogHtml(StringBuffer& out);
    bool ErrorLogXml(StringBuffer& out);

    // Informational. REQUIRES: name outlives the log (a literal); the log keeps the pointer.
    void setName(const char* name) { name_ = name ? name : ""; }
    const char* name() const { return name_; }

    // The storage, or none while nothing was written (or it could not be made): the log then
    // reads as a fresh one.
    const ActivityLog* activityLog() const { return log_.get(); }

    static constexpr const char* kXmlDeclaration = "<?xml version=\"1.0\"  encoding=\"utf-8\" standalone=\"yes\" ?>";
    static constexpr const char* kSaveFailureText = "Unexpected exception while saving XML log";

private:
    // The storage, made on first use; none when it could not be made.
    ActivityLog* storage();

    std::unique_ptr<ActivityLog> log_;
    const char* name_ = "";
};

}  // namespace quorvel
