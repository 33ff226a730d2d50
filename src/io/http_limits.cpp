#include "io/http_limits.h"

#include <cerrno>
#include <cstdlib>

namespace quorvel {
namespace {

// The positive number at *p up to ',' or the end; 0 for anything else. Moves p past the comma.
uint64_t field(const char*& p) {
    if (!*p) return 0;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = (*p >= '0' && *p <= '9') ? std::strtoull(p, &end, 10) : 0;
    bool ok = end && errno == 0 && (*end == ',' || *end == 0);
    while (*p && *p != ',') ++p;
    if (*p == ',') ++p;
    return ok ? v : 0;
}

}  // namespace

HttpLimits HttpLimits::parse(const char* text) {
    HttpLimits limits;
    if (!text) return limits;
    const char* p = text;
    // Seconds beyond a day are as good as the defaults and would overflow curl's milliseconds.
    constexpr uint64_t kDay = 86400;
    if (uint64_t v = field(p); v && v <= kDay) limits.connectSeconds = static_cast<long>(v);
    if (uint64_t v = field(p); v && v <= kDay) limits.idleSeconds = static_cast<long>(v);
    if (uint64_t v = field(p)) limits.maxBody = v;
    return limits;
}

HttpLimits HttpLimits::current() { return parse(std::getenv(kTestVariable)); }

}  // namespace quorvel
