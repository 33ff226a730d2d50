// QuorvelHTTP over libcurl.
//
// The port of a URL decides the transport: port 80 is plain HTTP, every other port (443 for an
// https URL, but also an explicit http://host:8080/) is TLS. The scheme gives only the default
// port; user name and password inside a URL are not used. Each request makes its own handle
// and connection and closes both before it returns; nothing is cached and no redirect is
// followed by the library. See http_limits.h for the time limits and tls_verification.h for the
// certificate rules.
#pragma once
#include <string>

#include "core/string_buffer.h"
#include "io/http_limits.h"
#include "io/quorvel_http.h"

namespace quorvel {

class QuorvelHttpImpl final : public QuorvelHTTP {
public:
    enum class AccessMode { Preconfigured = 0, Direct = 1, Proxy = 3 };

    // Preconfigured mode: the standard proxy environment variables.
    QuorvelHttpImpl();
    // Preconfigured or direct (no proxy at all, whatever the environment says).
    // REQUIRES: mode is not Proxy.
    explicit QuorvelHttpImpl(AccessMode mode);
    // Named proxy, used exactly as given.
    explicit QuorvelHttpImpl(const char* proxy);
    ~QuorvelHttpImpl() override;

    // Whether the library handle opened; a client that did not open fails every request.
    bool isOpen() const { return internet_ != nullptr; }
    AccessMode accessMode() const { return mode_; }

    // Follows a 302 with a non-empty Location by a fresh request, at most kMaxRedirects times.
    // A transfer cut short keeps the bytes read so far. Throws std::bad_alloc when the body is
    // too large to hold.
    bool Download(const char* url, DataBuffer& out) override;
    // Messages: "Failed to make Internet connection" for a URL without a host, "Failed to open
    // HTTP request", "Failed to send HTTP request" for everything that prevents a reply. Throws
    // std::bad_alloc when the reply is too large to hold.
    bool PostXml(const char* url, const StringBuffer& body, StringBuffer& reply, StringBuffer& error) override;

    // The status code of the last download's last reply, as text ("200"); empty when none came.
    const StringBuffer& statusCode() const { return statusCode_; }

    static constexpr int kMaxRedirects = 20;
    static constexpr const char* kAgent = "Quorvel HTTP";
    static constexpr const char* kDownloadAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; Q312461)";

    // Where a URL leads: "http://host:80/path?query" or "https://host:port/path?query"; empty
    // when it cannot be split into a host.
    static std::string requestTarget(const char* url);

private:
    struct Exchange;
    struct Sink;
    void open();
    // One request and its reply; the body goes to sink.
    void exchange(const std::string& target, const StringBuffer* postBody, Sink& sink, Exchange& result);

    void* internet_ = nullptr;  // the curl handle every request starts from
    AccessMode mode_;
    StringBuffer proxy_;
    StringBuffer statusCode_;
    HttpLimits limits_;
};

}  // namespace quorvel
