// The HTTP client that GetURL and HttpPost run on: a GET of a URL's bytes and a POST of XML
// text, each synchronous on the caller's thread.
#pragma once
#include "core/quorvel_object.h"
#include "core/string_buffer.h"

namespace quorvel {

class DataBuffer;

// Invariant: the user name and password are trimmed. Credentials are offered to a server only
// when both are non-empty.
class QuorvelHTTP : public QuorvelObject {
public:
    QuorvelHTTP() = default;
    QuorvelHTTP(const QuorvelHTTP&) = delete;
    QuorvelHTTP& operator=(const QuorvelHTTP&) = delete;
    ~QuorvelHTTP() override = default;

    // Store trimmed copies; a null text counts as empty.
    void SetUsername(const char* name);
    void SetPassword(const char* password);
    const StringBuffer& username() const { return username_; }
    const StringBuffer& password() const { return password_; }

    // GET of url; appends the body to out. True only when the final status is 200.
    virtual bool Download(const char* url, DataBuffer& out) = 0;
    // POST of body as XML; appends the reply body to reply whatever its status. On failure
    // appends a message to error and returns false.
    virtual bool PostXml(const char* url, const StringBuffer& body, StringBuffer& reply, StringBuffer& error) = 0;

protected:
    // Both credentials, or none.
    bool hasCredentials() const { return !username_.empty() && !password_.empty(); }

private:
    StringBuffer username_;
    StringBuffer password_;
};

}  // namespace quorvel
