// Real HTTP and TLS servers on loopback for the HTTP client's tests: a private network namespace
// (so that port 80 is ours and nothing leaves the machine), a private certificate authority made
// with libcrypto, and a server thread that runs a test's handler on each connection it accepts.
//
// Every wait is bounded: the server polls its sockets, stops within a poll interval when asked,
// and a connection handler that waits for the client gives up after kPatience.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::test {

// Moves the process into a network namespace of its own, with loopback up, once. Root does it
// directly; anyone else through a user namespace of their own first, as `unshare -rn` does.
// False when the system allows neither.
inline bool enterPrivateNetwork() {
    static const bool entered = [] {
        const uid_t uid = geteuid();
        const gid_t gid = getegid();
        if (uid != 0) {
            if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return false;
            auto put = [](const char* file, const std::string& text) { std::ofstream(file) << text; };
            put("/proc/self/setgroups", "deny");
            put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
            put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
        } else if (unshare(CLONE_NEWNET) != 0) {
            return false;
        }
        int s = socket(AF_INET, SOCK_DGRAM, 0);
        ifreq request{};
        std::strcpy(request.ifr_name, "lo");
        bool up = s >= 0 && ioctl(s, SIOCGIFFLAGS, &request) == 0;
        request.ifr_flags |= IFF_UP;
        up = up && ioctl(s, SIOCSIFFLAGS, &request) == 0;
        if (s >= 0) close(s);
        return up;
    }();
    return entered;
}

// Threads and open descriptors of the process, to show that nothing is left behind.
inline size_t entriesIn(const char* dir) {
    size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}
inline size_t threadCount() { return entriesIn("/proc/self/task"); }
inline size_t descriptorCount() { return entriesIn("/proc/self/fd"); }

// ---- Certificates ----

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

struct Identity {
    Key key;
    Cert cert;
};

// A P-256 certificate for name (an IP address or DNS name, as CN and subjectAltName), valid from
// `fromDays` to `toDays` days from now, signed by issuer (self-signed when null); a CA when ca.
inline Identity makeIdentity(const std::string& name, const Identity* issuer, long fromDays, long toDays, bool ca) {
    Identity id{Key(EVP_EC_gen("P-256"), EVP_PKEY_free), Cert(X509_new(), X509_free)};
    X509* c = id.cert.get();
    static std::atomic<long> serial{1};
    X509_set_version(c, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c), serial++);
    X509_gmtime_adj(X509_getm_notBefore(c), fromDays * 86400);
    X509_gmtime_adj(X509_getm_notAfter(c), toDays * 86400);
    X509_set_pubkey(c, id.key.get());
    X509_NAME* subject = X509_get_subject_name(c);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1, 0);
    X509_set_issuer_name(c, issuer ? X509_get_subject_name(issuer->cert.get()) : subject);
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, issuer ? issuer->cert.get() : c, c, nullptr, nullptr, 0);
    auto add = [&](int nid, const std::string& value) {
        X509_EXTENSION* e = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
        X509_add_ext(c, e, -1);
        X509_EXTENSION_free(e);
    };
    add(NID_basic_constraints, ca ? "critical,CA:TRUE" : "CA:FALSE");
    if (ca) add(NID_key_usage, "critical,keyCertSign,cRLSign");
    if (!ca) add(NID_subject_alt_name, (std::isdigit(static_cast<unsigned char>(name[0])) ? "IP:" : "DNS:") + name);
    X509_sign(c, issuer ? issuer->key.get() : id.key.get(), EVP_sha256());
    return id;
}

inline std::string pem(X509* c) {
    BIO* b = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(b, c);
    char* p = nullptr;
    long n = BIO_get_mem_data(b, &p);
    std::string s(p, static_cast<size_t>(n));
    BIO_free(b);
    return s;
}

// ---- Server ----

// One accepted connection, plain or TLS, as a handler sees it.
class Connection {
public:
    Connection(int fd, SSL* ssl, const std::atomic<bool>& stopping) : fd_(fd), ssl_(ssl), stopping_(stopping) {}
    ~Connection() {
        if (ssl_) {
            SSL_shutdown(ssl_);
            SSL_free(ssl_);
        }
        close(fd_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Reads one request: its head and the body its Content-Length announces. Empty when the
    // client closes or goes quiet first.
    std::string readRequest() {
        std::string got;
        size_t headEnd;
        while ((headEnd = got.find("\r\n\r\n")) == std::string::npos) {
            if (got.size() > (1 << 20) || !receive(got)) return {};
        }
        const char* field = strcasestr(got.c_str(), "\r\ncontent-length:");
        const size_t length = field && field < got.c_str() + headEnd ? std::strtoul(field + 17, nullptr, 10) : 0;
        while (got.size() < headEnd + 4 + length)
            if (!receive(got)) return {};
        return got;
    }
    // Sends all of bytes; false once the client is gone.
    bool send(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            int n = ssl_ ? SSL_write(ssl_, bytes.data() + done, static_cast<int>(bytes.size() - done))
                         : static_cast<int>(::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL));
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    // Waits until the client closes, the server stops, or patience runs out.
    void waitForClose() {
        std::string ignored;
        while (receive(ignored)) ignored.clear();
    }
    bool stopping() const { return stopping_; }

    static constexpr int kPatience = 30000;  // milliseconds

private:
    bool receive(std::string& into) {
        char buffer[16384];
        for (int waited = 0; waited < kPatience; waited += 50) {
            if (stopping_) return false;
            if (!(ssl_ && SSL_pending(ssl_))) {
                pollfd p{fd_, POLLIN, 0};
                if (poll(&p, 1, 50) == 0) continue;
            }
            int n = ssl_ ? SSL_read(ssl_, buffer, sizeof buffer) : static_cast<int>(recv(fd_, buffer, sizeof buffer, 0));
            if (n <= 0) return false;
            into.append(buffer, static_cast<size_t>(n));
            return true;
        }
        return false;
    }

    int fd_;
    SSL* ssl_;
    const std::atomic<bool>& stopping_;
};

// A complete reply with a Content-Length.
inline std::string reply(int status, const std::string& body, const std::string& headers = "") {
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           headers + "\r\n" + body;
}

// Listens on 127.0.0.1:port (0 for any free port), plain or with TLS, and runs handler on each
// connection in turn on its own thread. Records every request a handler reads through request().
class LoopbackServer {
public:
    using Handler = std::function<void(Connection&, LoopbackServer&)>;

    LoopbackServer(uint16_t port, Handler handler, const Identity* tls = nullptr, bool handshake = true)
        : handler_(std::move(handler)), handshake_(handshake) {
        signal(SIGPIPE, SIG_IGN);
        if (tls) {
            ctx_ = SSL_CTX_new(TLS_server_method());
            SSL_CTX_use_certificate(ctx_, tls->cert.get());
            SSL_CTX_use_PrivateKey(ctx_, tls->key.get());
        }
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        socklen_t len = sizeof a;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 16) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            close(listener_);
            if (ctx_) SSL_CTX_free(ctx_);
            throw std::runtime_error("cannot listen on port " + std::to_string(port) + ": " + std::strerror(errno));
        }
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~LoopbackServer() {
        stopping_ = true;
        thread_.join();
        close(listener_);
        if (ctx_) SSL_CTX_free(ctx_);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t port() const { return port_; }
    std::string url(const std::string& path = "/") const {
        return std::string(ctx_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
    }
    // The next request on c, recorded.
    std::string request(Connection& c) {
        std::string r = c.readRequest();
        std::lock_guard lock(mutex_);
        requests_.push_back(r);
        return r;
    }
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    int connections() const { return connections_; }

private:
    void run() {
        while (!stopping_) {
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++connections_;
            SSL* ssl = nullptr;
            if (ctx_ && handshake_) {
                ssl = SSL_new(ctx_);
                SSL_set_fd(ssl, fd);
                timeval t{5, 0};
                setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
                if (SSL_accept(ssl) != 1) {
                    SSL_free(ssl);
                    ERR_clear_error();
                    close(fd);
                    continue;
                }
            }
            Connection c(fd, ssl, stopping_);
            handler_(c, *this);
        }
    }

    Handler handler_;
    bool handshake_;
    SSL_CTX* ctx_ = nullptr;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A handler that answers every request with the same reply.
inline LoopbackServer::Handler answering(std::string response) {
    return [response](Connection& c, LoopbackServer& s) {
        if (!s.request(c).empty()) c.send(response);
    };
}

// Sets an environment variable for a scope, restoring what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { had_ ? setenv(name_.c_str(), old_.c_str(), 1) : unsetenv(name_.c_str()); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};

}  // namespace quorvel::test
