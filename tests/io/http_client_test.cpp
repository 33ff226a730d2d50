#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <new>
#include <string>

#include "core/data_buffer.h"
#include "io/http_limits.h"
#include "io/quorvel_http_impl.h"
#include "loopback_http.h"
#include "scratch_dir.h"

namespace quorvel {
namespace {

using namespace test;
using Mode = QuorvelHttpImpl::AccessMode;

std::string text(const DataBuffer& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

// Every test runs in a network namespace of its own, with no proxy from the machine's environment
// and trust in a CA of its own. The time limits are shortened, but not so far that a loaded
// machine running the sanitizer build misses them on the way to a good reply.
class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!enterPrivateNetwork()) GTEST_SKIP() << "no network namespace can be made here";
        spill(scratch.dir / "ca.pem", pem(ca.cert.get()));
    }

    ScopedEnv limits{HttpLimits::kTestVariable, "10,10,4194304"};
    ScopedEnv proxies[8] = {{"http_proxy", nullptr},  {"HTTP_PROXY", nullptr}, {"https_proxy", nullptr},
                            {"HTTPS_PROXY", nullptr}, {"all_proxy", nullptr},  {"ALL_PROXY", nullptr},
                            {"no_proxy", nullptr},    {"NO_PROXY", nullptr}};
    ScratchDir scratch;
    ScopedEnv trust{"SSL_CERT_FILE", (scratch.dir / "ca.pem").c_str()};
    ScopedEnv trustDir{"SSL_CERT_DIR", nullptr};
    Identity ca = makeIdentity("Test Root", nullptr, -1, 3650, true);
};

TEST_F(HttpClientTest, SplitsUrlsAndLetsThePortChooseTheTransport) {
    struct Case {
        const char* url;
        const char* target;
    } cases[] = {
        {"http://h/x?q=1#frag", "http://h:80/x?q=1"},
        {"https://h/a/../b", "https://h:443/a/../b"},
        {"http://h:8080/", "https://h:8080/"},  // only port 80 is plain
        {"https://h:80/p", "http://h:80/p"},
        {"http://user:secret@h/", "http://h:80/"},  // credentials in the URL are not used
        {"HTTP://H", "http://H:80/"},
        {"http://[::1]:81/", "https://[::1]:81/"},
        {"ftp://h/f", "https://h:21/f"},
        {"", ""},
        {"h/no-scheme", ""},
        {"/relative/path", ""},
        {"http://", ""},
        {"http://:80/x", ""},
        {"http://h:99999/", ""},
        {"not a url", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(QuorvelHttpImpl::requestTarget(c.url), c.target) << c.url;
    EXPECT_EQ(QuorvelHttpImpl::requestTarget(nullptr), "");

    EXPECT_EQ(HttpLimits::parse("3,4,5").connectSeconds, 3);
    EXPECT_EQ(HttpLimits::parse("3,4,5").idleSeconds, 4);
    EXPECT_EQ(HttpLimits::parse("3,4,5").maxBody, 5u);
    for (const char* bad : {"", "x", "-1,-1,-1", "0,0,0", ",,", "1x,2y", "999999999,99999999999999999999999"}) {
        HttpLimits l = HttpLimits::parse(bad);
        EXPECT_EQ(l.connectSeconds, 60) << bad;
        EXPECT_EQ(l.idleSeconds, 30) << bad;
        EXPECT_EQ(l.maxBody, UINT64_MAX) << bad;
    }
}

TEST_F(HttpClientTest, SendsExactlyTheRequestBytes) {
    LoopbackServer plain(80, answering(reply(200, "<ok/>")));
    Identity leaf = makeIdentity("127.0.0.1", &ca, -1, 30, false);
    LoopbackServer secure(0, answering(reply(200, "<ok/>")), &leaf);
    const std::string agent = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; Q312461)\r\n";
    const std::string big(5000, 'x');  // past the size where a POST would ask to continue
    StringBuffer bigBody(("<a>" + big + "</a>").c_str());
    StringBuffer small("<a>é</a>");

    QuorvelHttpImpl client;
    DataBuffer out;
    ASSERT_TRUE(client.Download("http://127.0.0.1/p/../q?x=1&y=2", out));
    EXPECT_EQ(text(out), "<ok/>");
    EXPECT_EQ(client.statusCode().view(), "200");
    ASSERT_TRUE(client.Download(secure.url("/s").c_str(), out));
    EXPECT_EQ(text(out), "<ok/><ok/>");  // appended
    StringBuffer reply, error;
    ASSERT_TRUE(client.PostXml("http://127.0.0.1/post", small, reply, error));
    ASSERT_TRUE(client.PostXml("http://127.0.0.1/post", bigBody, reply, error));
    EXPECT_EQ(reply.view(), "<ok/><ok/>");
    EXPECT_TRUE(error.empty());

    const std::string host = "Host: 127.0.0.1:" + std::to_string(secure.port()) + "\r\n";
    ASSERT_EQ(plain.requests().size(), 3u);
    EXPECT_EQ(plain.requests()[0], "GET /p/../q?x=1&y=2 HTTP/1.1\r\nHost: 127.0.0.1\r\n" + agent + "Accept: */*\r\n\r\n");
    EXPECT_EQ(secure.requests().at(0), "GET /s HTTP/1.1\r\n" + host + agent + "Accept: */*\r\n\r\n");
    const std::string postHead = "POST /post HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: Quorvel HTTP\r\nAccept: */*\r\n"
                                 "Content-Type: text/xml\r\nContent-Length: ";
    EXPECT_EQ(plain.requests()[1], postHead + "9\r\n\r\n<a>é</a>");
    EXPECT_EQ(plain.requests()[2], postHead + std::to_string(big.size() + 7) + "\r\n\r\n<a>" + big + "</a>");
    EXPECT_EQ(plain.connections(), 3);  // a connection of its own for each request
}

TEST_F(HttpClientTest, StatusDecidesAndOnly302IsFollowed) {
    // The path names the reply: /<status>[/<location>]; "/loop" redirects to itself.
    LoopbackServer server(80, [](Connection& c, LoopbackServer& s) {
        std::string r = s.request(c);
        std::string path = r.substr(r.find(' ') + 1, r.find(' ', r.find(' ') + 1) - r.find(' ') - 1);
        if (path == "/loop") return void(c.send(reply(302, "again", "Location: http://127.0.0.1/loop\r\n")));
        int status = std::atoi(path.c_str() + 1);
        std::string location = path.size() > 4 ? path.substr(5) : "";
        std::string headers = location.empty() ? "" : "Location: " + (location == "-" ? "" : location) + "\r\n";
        c.send(reply(status, status == 204 ? "" : "body " + path, headers));
    });
    struct Case {
        const char* path;
        bool ok;
        const char* body;
        int requests;
        const char* status;
    } cases[] = {
        {"/200", true, "body /200", 1, "200"},
        {"/204", false, "", 1, "204"},
        {"/404", false, "body /404", 1, "404"},  // the body is read even so
        {"/500", false, "body /500", 1, "500"},
        {"/302/http://127.0.0.1/200", true, "body /200", 2, "200"},
        {"/302/http://127.0.0.1/302/http://127.0.0.1/404", false, "body /404", 3, "404"},
        {"/301/http://127.0.0.1/200", false, "body /301/http://127.0.0.1/200", 1, "301"},
        {"/303/http://127.0.0.1/200", false, "body /303/http://127.0.0.1/200", 1, "303"},
        {"/307/http://127.0.0.1/200", false, "body /307/http://127.0.0.1/200", 1, "307"},
        {"/302/-", false, "body /302/-", 1, "302"},       // empty Location
        {"/302", false, "body /302", 1, "302"},           // none at all
        {"/302//200", false, "", 1, "302"},               // relative: no host to go to
        {"/loop", false, "again", 1 + QuorvelHttpImpl::kMaxRedirects, "302"},  // the last body stays
    };
    size_t seen = 0;
    for (const Case& c : cases) {
        QuorvelHttpImpl client;
        DataBuffer out;
        out.append("old", 3);
        EXPECT_EQ(client.Download(("http://127.0.0.1" + std::string(c.path)).c_str(), out), c.ok) << c.path;
        const bool redirected = c.requests > 1 || std::string(c.path) == "/302//200";
        EXPECT_EQ(text(out), redirected ? c.body : "old" + std::string(c.body)) << c.path;
        EXPECT_EQ(client.statusCode().view(), c.status) << c.path;
        EXPECT_EQ(server.requests().size() - seen, static_cast<size_t>(c.requests)) << c.path;
        seen = server.requests().size();
    }
}

TEST_F(HttpClientTest, CertificatesMayBeMisnamedOrOutOfDateButMustChainToTrust) {
    Identity stranger = makeIdentity("Other Root", nullptr, -1, 3650, true);
    Identity good = makeIdentity("127.0.0.1", &ca, -1, 30, false);
    struct Case {
        const char* what;
        Identity id;
        bool ok;
    } cases[] = {
        {"wrong name", makeIdentity("elsewhere.example", &ca, -1, 30, false), true},
        {"expired", makeIdentity("127.0.0.1", &ca, -30, -1, false), true},
        {"not yet valid", makeIdentity("127.0.0.1", &ca, 10, 30, false), true},
        {"unknown CA", makeIdentity("127.0.0.1", &stranger, -1, 30, false), false},
        {"self-signed", makeIdentity("127.0.0.1", nullptr, -1, 30, false), false},
    };
    for (const Case& c : cases) {
        LoopbackServer server(0, answering(reply(200, "secret")), &c.id);
        QuorvelHttpImpl client;
        DataBuffer out;
        EXPECT_EQ(client.Download(server.url().c_str(), out), c.ok) << c.what;
        EXPECT_EQ(text(out), c.ok ? "secret" : "") << c.what;
        StringBuffer reply, error;
        EXPECT_EQ(client.PostXml(server.url().c_str(), StringBuffer("<a/>"), reply, error), c.ok) << c.what;
        EXPECT_EQ(error.view(), c.ok ? "" : "Failed to send HTTP request") << c.what;
    }

    LoopbackServer server(0, answering(reply(200, "secret")), &good);
    DataBuffer out;
    {
        ScopedEnv none("SSL_CERT_FILE", nullptr);  // the system's store does not know our CA
        EXPECT_FALSE(QuorvelHttpImpl().Download(server.url().c_str(), out));
        // A hashed directory, as OpenSSL's tools read one.
        char hash[16];
        std::snprintf(hash, sizeof hash, "%08lx.0", X509_subject_name_hash(ca.cert.get()));
        std::filesystem::create_directory(scratch.dir / "certs");
        spill(scratch.dir / "certs" / hash, pem(ca.cert.get()));
        ScopedEnv dir("SSL_CERT_DIR", (scratch.dir / "certs").c_str());
        EXPECT_TRUE(QuorvelHttpImpl().Download(server.url().c_str(), out));
    }
    // A plain server on any port but 80 cannot be reached: the client speaks TLS there.
    LoopbackServer plain(0, [](Connection& c, LoopbackServer&) { c.send(reply(200, "plain")); });
    out.clear();
    EXPECT_FALSE(QuorvelHttpImpl().Download(plain.url().c_str(), out));
    EXPECT_EQ(text(out), "");
}

TEST_F(HttpClientTest, CredentialsAnswerTheServersChallengeOnly) {
    // Asks for Basic, or Digest on /digest, until a request carries Authorization.
    LoopbackServer server(80, [](Connection& c, LoopbackServer& s) {
        std::string r = s.request(c);
        const bool digest = r.find("/digest") != std::string::npos;
        if (r.find("Authorization:") != std::string::npos) return void(c.send(reply(200, "in")));
        c.send(reply(401, "no", digest ? "WWW-Authenticate: Digest realm=\"r\", nonce=\"abc\", qop=\"auth\"\r\n"
                                       : "WWW-Authenticate: Basic realm=\"r\"\r\n"));
    });
    struct Case {
        const char* user;
        const char* password;
        const char* path;
        bool ok;
        const char* authorization;  // in the last request
    } cases[] = {
        {" ann ", "\tpw \n", "/basic", true, "Authorization: Basic YW5uOnB3\r\n"},  // trimmed: ann:pw
        {"ann", "", "/basic", false, nullptr},                                     // both or none
        {nullptr, "pw", "/basic", false, nullptr},
        {"ann", "pw", "/digest", true, "Authorization: Digest username=\"ann\", realm=\"r\", nonce=\"abc\""},
    };
    for (const Case& c : cases) {
        QuorvelHttpImpl client;
        client.SetUsername(c.user);
        client.SetPassword(c.password);
        DataBuffer out;
        size_t before = server.requests().size();
        EXPECT_EQ(client.Download(("http://127.0.0.1" + std::string(c.path)).c_str(), out), c.ok) << c.user;
        auto requests = server.requests();
        // The first request never carries the credentials.
        EXPECT_EQ(requests.at(before).find("Authorization"), std::string::npos);
        if (c.authorization) {
            EXPECT_NE(requests.back().find(c.authorization), std::string::npos) << requests.back();
        } else {
            EXPECT_EQ(requests.size() - before, 1u);
        }
    }
}

TEST_F(HttpClientTest, ProxiesFollowTheAccessMode) {
    LoopbackServer origin(80, answering(reply(200, "origin")));
    LoopbackServer proxy(0, answering(reply(200, "proxy")));
    const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());
    auto fetch = [](QuorvelHttpImpl&& client) {
        DataBuffer out;
        client.Download("http://127.0.0.1/doc", out);
        return text(out);
    };
    EXPECT_EQ(fetch(QuorvelHttpImpl(proxyAddress.c_str())), "proxy");
    EXPECT_EQ(proxy.requests().at(0).substr(0, 36), "GET http://127.0.0.1/doc HTTP/1.1\r\nH");
    EXPECT_EQ(fetch(QuorvelHttpImpl()), "origin");
    EXPECT_EQ(fetch(QuorvelHttpImpl(Mode::Direct)), "origin");
    {
        ScopedEnv env("http_proxy", ("http://" + proxyAddress).c_str());
        EXPECT_EQ(fetch(QuorvelHttpImpl()), "proxy");                // the environment's proxy
        EXPECT_EQ(fetch(QuorvelHttpImpl(Mode::Direct)), "origin");  // no proxy at all
        ScopedEnv bypass("no_proxy", "127.0.0.1");
        EXPECT_EQ(fetch(QuorvelHttpImpl()), "origin");
        EXPECT_EQ(fetch(QuorvelHttpImpl(proxyAddress.c_str())), "proxy");  // a named proxy is used as given
    }
    EXPECT_EQ(proxy.requests().size(), 3u);
    EXPECT_EQ(fetch(QuorvelHttpImpl("127.0.0.1:1")), "");  // a proxy that is not there
}

// Servers that misbehave: each request ends within the shortened limits, with the failure its
// kind of misbehaviour calls for, and leaves no thread or connection behind.
TEST_F(HttpClientTest, HostileServersEndWithinTheLimits) {
    auto trickle = [](std::string head) {
        return [head](Connection& c, LoopbackServer& s) {
            if (s.request(c).empty()) return;
            if (!head.empty()) c.send(head);
            c.waitForClose();
        };
    };
    LoopbackServer::Handler closesMidBody = [](Connection& c, LoopbackServer& s) {
        if (!s.request(c).empty()) c.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nfirst part");
    };
    LoopbackServer::Handler endless = [](Connection& c, LoopbackServer& s) {
        if (s.request(c).empty()) return;
        c.send("HTTP/1.1 200 OK\r\n\r\n");
        const std::string chunk(65536, 'z');
        while (!c.stopping() && c.send(chunk)) {
        }
    };
    struct Case {
        const char* what;
        LoopbackServer::Handler handler;
        bool tls;
        int downloadOk;  // 1 true, 0 false, -1 throws std::bad_alloc
        const char* body;
        const char* postError;  // "" for a successful post
    } cases[] = {
        {"never answers", trickle(""), false, 0, "", "Failed to send HTTP request"},
        {"never shakes hands", nullptr, true, 0, "", "Failed to send HTTP request"},
        {"status line then silence", trickle("HTTP/1.1 200 OK\r\n"), false, 0, "", "Failed to send HTTP request"},
        {"huge Content-Length then silence", trickle("HTTP/1.1 200 OK\r\nContent-Length: 9999999999\r\n\r\npart"), false,
         0, "part", "Failed to send HTTP request"},
        {"closes mid-body", closesMidBody, false, 1, "first part", ""},
        {"closes mid-body over TLS", closesMidBody, true, 1, "first part", ""},
        {"endless body", endless, false, -1, "", nullptr},
        {"garbage", answering("\x16\x03\x01 this is not HTTP\r\n\r\n"), false, 0, "", "Failed to send HTTP request"},
        {"broken status line", answering("HTTP/1.1 OK\r\n\r\n"), false, 0, "", "Failed to send HTTP request"},
        {"closes at once", [](Connection&, LoopbackServer&) {}, false, 0, "", "Failed to send HTTP request"},
    };
    Identity leaf = makeIdentity("127.0.0.1", &ca, -1, 30, false);
    ScopedEnv shortLimits(HttpLimits::kTestVariable, "3,2,4194304");
    const size_t threads = threadCount();
    const size_t descriptors = descriptorCount();
    for (Case& c : cases) {
        LoopbackServer server(c.tls ? 0 : 80, c.handler ? c.handler : trickle(""), c.tls ? &leaf : nullptr, !!c.handler);
        const auto start = std::chrono::steady_clock::now();
        QuorvelHttpImpl client;
        DataBuffer out;
        if (c.downloadOk < 0) {
            EXPECT_THROW(client.Download(server.url().c_str(), out), std::bad_alloc) << c.what;
        } else {
            EXPECT_EQ(client.Download(server.url().c_str(), out), c.downloadOk == 1) << c.what;
            EXPECT_EQ(text(out), c.body) << c.what;
        }
        StringBuffer reply, error;
        if (c.postError) {
            EXPECT_EQ(client.PostXml(server.url().c_str(), StringBuffer("<a/>"), reply, error), !*c.postError) << c.what;
            EXPECT_EQ(error.view(), c.postError) << c.what;
            EXPECT_EQ(reply.view(), c.body) << c.what;
        } else {
            EXPECT_THROW(client.PostXml(server.url().c_str(), StringBuffer("<a/>"), reply, error), std::bad_alloc);
        }
        // Two requests, each bounded by a limit of a few seconds; anything near the server's own
        // patience (30 s) would mean a limit did not hold.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(25)) << c.what;
    }
    EXPECT_EQ(threadCount(), threads);
    EXPECT_EQ(descriptorCount(), descriptors);

    // Nothing listens on port 80: refused at once.
    StringBuffer reply, error;
    // A name nobody resolves fails at the send as well; the lookup cannot leave this namespace.
    for (const char* url : {"http://127.0.0.1/", "http://no-such-host.invalid/"}) {
        EXPECT_FALSE(QuorvelHttpImpl().PostXml(url, StringBuffer("<a/>"), reply, error));
        EXPECT_EQ(error.view(), "Failed to send HTTP request") << url;
        error.clear();
    }
    EXPECT_FALSE(QuorvelHttpImpl().PostXml("no host here", StringBuffer("<a/>"), reply, error));
    EXPECT_EQ(error.view(), "Failed to make Internet connection");
}

}  // namespace
}  // namespace quorvel
