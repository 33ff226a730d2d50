#pragma once
#include <cstdint>

namespace quorvel {

class StringBuffer;

// The error log as the lower layers see it. Every operation that takes a log accepts none.
class LogBase {
public:
    virtual ~LogBase() = default;
    virtual bool LogError(const char* message) = 0;
    virtual bool LogInfo(const char* message) = 0;
    virtual bool ClearLog() = 0;
    virtual bool EnterContext(const char* name) = 0;
    virtual bool LeaveContext() = 0;
    virtual bool LogData(const char* keyword, const char* value) = 0;
    virtual bool LogDataLong(const char* keyword, int32_t value) = 0;
    virtual bool GetErrorSummary(StringBuffer& out) = 0;
    virtual bool SaveXmlLog(const char* path) = 0;
};

}  // namespace quorvel
