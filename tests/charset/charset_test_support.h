#pragma once
// Helpers shared by the conversion tests: a log that records its entries, iconv as the
// reference, and byte-string views of buffers.

#include <iconv.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/data_buffer.h"
#include "core/log_base.h"
#include "core/string_buffer.h"

namespace quorvel::test {

// Records errors as "E:message", data as "D:keyword=value" (numbers in decimal).
class RecordingLog : public LogBase {
public:
    bool LogError(const char* message) override { return add("E:" + std::string(message)); }
    bool LogInfo(const char* message) override { return add("I:" + std::string(message)); }
    bool ClearLog() override {
        entries.clear();
        return true;
    }
    bool EnterContext(const char*) override { return true; }
    bool LeaveContext() override { return true; }
    bool LogData(const char* keyword, const char* value) override {
        return add("D:" + std::string(keyword) + "=" + value);
    }
    bool LogDataLong(const char* keyword, int32_t value) override {
        return add("D:" + std::string(keyword) + "=" + std::to_string(value));
    }
    bool GetErrorSummary(StringBuffer&) override { return true; }
    bool SaveXmlLog(const char*) override { return true; }

    std::vector<std::string> entries;

private:
    bool add(std::string entry) {
        entries.push_back(std::move(entry));
        return true;
    }
};

inline std::string bytesOf(const DataBuffer& b) {
    return b.size() ? std::string(reinterpret_cast<const char*>(b.data()), b.size()) : std::string();
}

// iconv from one name to another, nothing approximated; false on any failure.
inline bool iconvConvert(const char* to, const char* from, const std::string& in, std::string& out) {
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string buffer(in.size() * 8 + 64, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == 0 &&
                    iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == 0;
    iconv_close(cd);
    if (ok) out.assign(buffer.data(), buffer.size() - outLeft);
    return ok;
}

inline std::string utf16le(const std::u16string& s) {
    std::string bytes;
    for (char16_t u : s) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

}  // namespace quorvel::test
