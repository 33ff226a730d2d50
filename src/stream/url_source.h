#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "stream/byte_source.h"

namespace quorvel {

// The body of an HTTP(S) GET, pulled as the reader asks for it: the transfer runs on the
// caller's thread inside read(), and is paused while more than a block waits unread, so a body
// of any length takes a bounded amount of memory. The target, certificate check, proxy settings
// and time limits are the Internet client's (io/quorvel_http_impl.h, io/http_limits.h). No
// redirects are followed; a status of 400 or more fails the read.
class UrlSource final : public ByteSource {
public:
    // Null, with the reason in `error`, for a URL without a host.
    static std::unique_ptr<UrlSource> open(const std::string& url, std::string& error);
    ~UrlSource() override;
    ptrdiff_t read(void* buffer, size_t n) override;

private:
    UrlSource() = default;
    static size_t onData(char* data, size_t size, size_t count, void* self);

    void* multi_ = nullptr;  // CURLM
    void* easy_ = nullptr;   // CURL
    std::string pending_;    // received, not yet read
    size_t taken_ = 0;
    bool paused_ = false;
    bool finished_ = false;
};

// A file name, or an http(s) URL.
std::unique_ptr<ByteSource> openSource(const std::string& nameOrUrl, std::string& error);

}  // namespace quorvel
