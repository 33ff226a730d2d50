#include "io/quorvel_http.h"

namespace quorvel {

void QuorvelHTTP::SetUsername(const char* name) {
    username_.setString(name ? name : "");
    username_.trim();
}

void QuorvelHTTP::SetPassword(const char* password) {
    password_.setString(password ? password : "");
    password_.trim();
}

}  // namespace quorvel
