#pragma once
#include <cstdint>
#include <memory>

#include "core/log_base.h"
#include "core/string_buffer.h"
#include "log/activity_log.h"

namespace quorvel {

// The error log of one handle or zip container: the record of the most recent logged call, its
// error summary and its renderings. Every operation returns false, doing nothing, when the
// storage could not be created; none of them ever throws or logs into the log itself.
class Logger : public LogBase {
public:
    Logger();
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

    void setName(const char* name);
    const char* name() const { return name_.data(); }

    // The storage, or none when it could not be created.
    const ActivityLog* activityLog() const { return log_.get(); }

    static constexpr const char* kXmlDeclaration = "<?xml version=\"1.0\"  encoding=\"utf-8\" standalone=\"yes\" ?>";
    static constexpr const char* kSaveFailureText = "Unexpected exception while saving XML log";

private:
    std::unique_ptr<ActivityLog> log_;
    StringBuffer name_;
};

}  // namespace quorvel
