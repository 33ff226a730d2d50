#pragma once
// A log for the tests of every layer: it keeps what it is told as lines, "E:message",
// "I:message", "D:keyword=value".

#include <string>
#include <utility>
#include <vector>

#include "core/log_base.h"

namespace quorvel {

struct RecordingLog : LogBase {
    std::vector<std::string> lines;
    std::vector<std::string> take() { return std::exchange(lines, {}); }
    std::string takeLast() { return lines.empty() ? "" : take().back(); }
    bool keep(char kind, const std::string& s) { return lines.push_back(std::string{kind, ':'} + s), true; }
    bool LogError(const char* m) override { return keep('E', m); }
    bool LogInfo(const char* m) override { return keep('I', m); }
    bool LogData(const char* k, const char* v) override { return keep('D', std::string(k) + "=" + v); }
    bool LogDataLong(const char* k, int32_t v) override { return keep('D', std::string(k) + "=" + std::to_string(v)); }
    bool ClearLog() override { return lines.clear(), true; }
    bool EnterContext(const char*) override { return true; }
    bool LeaveContext() override { return true; }
    bool GetErrorSummary(StringBuffer&) override { return true; }
    bool SaveXmlLog(const char*) override { return true; }
};

}  // namespace quorvel
