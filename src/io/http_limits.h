// How long an HTTP request may wait and how large a body it may gather. The platform's client
// never waits forever: 60 seconds to connect (TLS handshake included), and a transfer fails after
// 30 seconds without a received byte. A body is bounded only by what its buffer can hold.
//
// Tests shorten these through QV_TEST_HTTP_LIMITS, "connect,idle[,body]": seconds to connect,
// seconds without a byte, and the largest body in bytes. Hosts never set it.
#pragma once
#include <cstdint>

namespace quorvel {

struct HttpLimits {
    long connectSeconds = 60;
    long idleSeconds = 30;
    // Caps the body below what the buffer can hold; the buffer's own bound still applies.
    uint64_t maxBody = UINT64_MAX;

    // The defaults, shortened by the test variable where it is set and well formed (fields that
    // are missing, not numbers or not positive keep their defaults).
    static HttpLimits current();
    static HttpLimits parse(const char* text);

    static constexpr const char* kTestVariable = "QV_TEST_HTTP_LIMITS";
};

}  // namespace quorvel
