// Records read from an HTTP server on loopback, inside a network namespace of the test's own:
// the body is pulled as the reader goes, and a failed or cut transfer fails the reader.
#include <gtest/gtest.h>

#include <algorithm>

#include "io/http_limits.h"
#include "loopback_http.h"
#include "scratch_dir.h"
#include "stream/url_source.h"
#include "stream_test_support.h"

namespace quorvel {
namespace {

using namespace test;

class UrlRecords : public ::testing::Test {
protected:
    void SetUp() override {
        if (!enterPrivateNetwork()) GTEST_SKIP() << "no network namespace can be made here";
    }
    ScopedEnv limits{HttpLimits::kTestVariable, "10,10"};
    ScopedEnv proxies[4] = {{"http_proxy", nullptr}, {"HTTP_PROXY", nullptr}, {"all_proxy", nullptr}, {"ALL_PROXY", nullptr}};
};

TEST_F(UrlRecords, ReadsTheBodyAsItComesAndFailsOnBadTransfers) {
    const std::string doc = slurp("/usr/share/mime/packages/freedesktop.org.xml");
    LoopbackServer server(80, [&](Connection& c, LoopbackServer& s) {
        const std::string request = s.request(c);
        if (request.rfind("GET /doc ", 0) == 0) {
            // Sent in pieces, as a slow server would.
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(doc.size()) + "\r\n\r\n");
            for (size_t at = 0; at < doc.size(); at += 100000) c.send(doc.substr(at, 100000));
        } else if (request.rfind("GET /cut ", 0) == 0) {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(doc.size()) + "\r\n\r\n" +
                   doc.substr(0, doc.size() / 2));
        } else if (!request.empty()) {
            c.send(reply(404, "<missing/>"));
        }
    });
    const RecordPath path = pathOf("//mime-type");
    std::string error;
    const ReadResult whole = readAll(FileSource::open("/usr/share/mime/packages/freedesktop.org.xml", error), path);
    ASSERT_GT(whole.records.size(), 500u);

    const ReadResult fromServer = readAll(openSource("http://127.0.0.1/doc", error), path);
    EXPECT_FALSE(fromServer.failed);
    EXPECT_EQ(fromServer.records, whole.records);

    const ReadResult cut = readAll(openSource("http://127.0.0.1/cut", error), path);
    EXPECT_TRUE(cut.failed);
    // How much of the half arrives before the close is the network's affair: the records that
    // did come are the whole document's first ones, and the rest are missing.
    ASSERT_LT(cut.records.size(), whole.records.size());
    EXPECT_TRUE(std::equal(cut.records.begin(), cut.records.end(), whole.records.begin()));
    EXPECT_EQ(cut.log.at(0), "E:Failed to read the input");

    const ReadResult missing = readAll(openSource("http://127.0.0.1/none", error), path);
    EXPECT_TRUE(missing.failed);
    EXPECT_TRUE(missing.records.empty());
    EXPECT_EQ(openSource("http://", error), nullptr);
    EXPECT_EQ(error, "Invalid URL");
}

}  // namespace
}  // namespace quorvel
