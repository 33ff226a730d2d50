// GetURL and HttpPost against real servers on loopback, in a network namespace of the test's own.
#include <filesystem>
#include <string>

#include "component_test_support.h"
#include "core/automation/variant_holder.h"
#include "io/http_limits.h"
#include "loopback_http.h"
#include "scratch_dir.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using namespace test;

// A GetURL result: "null", "empty" or the bytes of a VT_UI1 array with lower bound 0.
std::string describe(const VARIANT& v) {
    if (v.vt == VT_NULL) return "null";
    if (v.vt == VT_EMPTY) return "empty";
    if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray || v.parray->cDims != 1 || v.parray->rgsabound[0].lLbound != 0)
        return "unexpected variant";
    return std::string(static_cast<const char*>(v.parray->pvData), v.parray->rgsabound[0].cElements);
}

class HttpMembers : public ::testing::Test, protected ScratchDir {
protected:
    void SetUp() override {
        if (!enterPrivateNetwork()) GTEST_SKIP() << "no network namespace can be made here";
        cwd = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override {
        if (!cwd.empty()) fs::current_path(cwd);
    }
    HRESULT getUrl(const std::string& url, VariantHolder& out, const char* proxy = "", const char* user = "",
                   const char* password = "") {
        return h->GetURL(bstr(url).get(), bstr(proxy).get(), bstr(user).get(), bstr(password).get(), out.get());
    }

    fs::path cwd;
    ScopedEnv limits{HttpLimits::kTestVariable, "10,10,1048576"};  // the body limit is what matters here
    ScopedEnv proxies[4] = {{"http_proxy", nullptr}, {"all_proxy", nullptr}, {"ALL_PROXY", nullptr}, {"no_proxy", nullptr}};
    ComPtr<IQuorvelXml> h = newHandle();
};

// Answers "/<status>" with that status and "b\0dy <status>", "/empty" with an empty 200, "/xml"
// with an XML reply, "/text" with text that is not XML, and "/endless" with a body that never ends.
void answerByPath(Connection& c, LoopbackServer& s) {
    std::string r = s.request(c);
    if (r.empty()) return;
    const std::string path = r.substr(r.find('/'), r.find(" HTTP/") - r.find('/'));
    if (path == "/endless") {
        c.send("HTTP/1.1 200 OK\r\n\r\n");
        const std::string chunk(65536, 'z');
        while (!c.stopping() && c.send(chunk)) {
        }
    } else if (path == "/empty") {
        c.send(reply(200, ""));
    } else if (path == "/xml") {
        c.send(reply(200, "<?xml version=\"1.0\"?>\r\n<answer n=\"1\">ok</answer>"));
    } else if (path == "/text") {
        c.send(reply(200, " \r\n not xml \r\n"));
    } else {
        c.send(reply(std::atoi(path.c_str() + 1), std::string("b\0dy ", 5) + path.substr(1)));
    }
}

TEST_F(HttpMembers, GetUrlTriesTheOtherModeThenAFile) {
    LoopbackServer server(80, answerByPath);
    LoopbackServer proxy(0, answering(reply(404, "from proxy")));
    const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());
    fs::create_directories("http:/127.0.0.1");
    spill("http:/127.0.0.1/404", "local copy");
    fs::create_directories("c:/dir");
    spill("c:/dir/doc.bin", std::string("c\0drive", 7));
    spill("empty", "");
    const std::string failed = "Failed to create Quorvel HTTP object";

    struct Case {
        std::string url;
        std::string proxy;
        const char* user;
        HRESULT hr;
        std::string result;
        size_t serverRequests;  // a failed download is tried twice, once in each mode
        size_t proxyRequests;
        LogEntries log;  // checked for failures only; every row gives a password, so a user is logged only with one
    } cases[] = {
        {"http://127.0.0.1/200", "", "", S_OK, std::string("b\0dy 200", 8), 1, 0, {}},
        {"http://127.0.0.1/empty", "", "", S_OK, "null", 1, 0, {}},
        {"http://127.0.0.1/404", "", "", S_OK, "local copy", 2, 0, {}},
        {"c:/dir/doc.bin", "", "", S_OK, std::string("c\0drive", 7), 0, 0, {}},
        {"empty", "", "", S_OK, "null", 0, 0, {}},
        {"http://127.0.0.1/500", "", "", E_FAIL, "empty", 2, 0,
         {{"error", "Failed to download HTML."}, {"url", "http://127.0.0.1/500"}, {"error", failed}}},
        {"http://127.0.0.1/500", "", "ann", E_FAIL, "empty", 2, 0,
         {{"error", "Failed to download HTML."}, {"url", "http://127.0.0.1/500"}, {"username", "ann"}, {"error", failed}}},
        {"http://127.0.0.1/500", " " + proxyAddress + " ", "ann", E_FAIL, "empty", 0, 1,
         {{"error", "Failed to download HTML with proxy"},
          {"url", "http://127.0.0.1/500"},
          {"proxy", proxyAddress},
          {"username", "ann"},
          {"error", failed}}},
        {"c:/dir/none", "", "", E_FAIL, "empty", 0, 0,
         {{"error", "Failed to load HTML file."}, {"filename", "c:/dir/none"}}},
        {"http://127.0.0.1/endless", "", "", E_FAIL, "empty", 1, 0, {{"error", "Unexpected error."}}},
    };
    for (Case& c : cases) {
        const size_t served = server.requests().size();
        const size_t proxied = proxy.requests().size();
        VariantHolder out;
        out->vt = VT_I4;  // a result left over from before is not kept
        EXPECT_EQ(getUrl(c.url, out, c.proxy.c_str(), c.user, "s3cret"), c.hr) << c.url;
        EXPECT_EQ(describe(*out.get()), c.result) << c.url;
        EXPECT_EQ(server.requests().size() - served, c.serverRequests) << c.url;
        EXPECT_EQ(proxy.requests().size() - proxied, c.proxyRequests) << c.url;
        if (c.hr == S_OK) continue;
        EXPECT_EQ(errorLogXml(h.get()), logXml("GetURL", c.log)) << c.url;
        EXPECT_TRUE(takeErrorInfo().present);
    }
    EXPECT_EQ(h->GetURL(bstr("c:/dir/doc.bin").get(), nullptr, nullptr, nullptr, nullptr), E_FAIL);
    EXPECT_EQ(errorLogXml(h.get()), logXml("GetURL", {{"error", "Parameter is NULL"}}));
}

TEST_F(HttpMembers, HttpPostSendsTheNodesXmlAndParsesTheReply) {
    LoopbackServer server(80, answerByPath);
    LONG flag = 0;
    ASSERT_EQ(h->LoadXml(bstr("<order><line qty=\"2\">tea &amp; cake</line><note/></order>").get(), &flag), S_OK);
    ComPtr<IQuorvelXml> line = child(h.get(), 0);
    // A document declared in a legacy encoding goes out as the UTF-8 of its XML.
    ComPtr<IQuorvelXml> legacy = newHandle();
    ASSERT_EQ(legacy->LoadXmlV(*bytesVariant("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><menu>cr\xe8me br\xfbl\xe9"
                                              "e</menu>").get(), &flag), S_OK);

    struct Case {
        IQuorvelXml* node;
        const char* url;
        const char* answerTag;  // null: no result object
        LogEntries log;
    } cases[] = {
        {line.get(), "  http://127.0.0.1/xml\t", "answer", {}},
        {legacy.get(), "http://127.0.0.1/xml", "answer", {}},
        {h.get(), "http://127.0.0.1/text", nullptr,
         {{"response", "not xml"}, {"error", "Failed to parse response"}}},
        {h.get(), "http://127.0.0.1:1/", nullptr, {{"error", "HTTP Post failed: Failed to send HTTP request"}}},
        {h.get(), "no host", nullptr, {{"error", "HTTP Post failed: Failed to make Internet connection"}}},
    };
    for (const Case& c : cases) {
        const size_t served = server.requests().size();
        IQuorvelXml* response = h.get();  // overwritten with no object first
        EXPECT_EQ(c.node->HttpPost(bstr(c.url).get(), &response), S_OK) << c.url;
        ComPtr<IQuorvelXml> answer = adoptResult(response);
        EXPECT_EQ(tagOf(answer.get()), c.answerTag ? c.answerTag : "(null)") << c.url;
        if (answer) {
            EXPECT_NE(treeIdOf(answer.get()), treeIdOf(c.node));
            EXPECT_EQ(answer->get_Content(nullptr), E_POINTER);
            ASSERT_EQ(server.requests().size(), served + 1);
            const std::string sent = server.requests().back();
            EXPECT_EQ(sent.substr(sent.find("\r\n\r\n") + 4), getString(c.node, &IQuorvelXml::GetXml));
        } else {
            EXPECT_EQ(errorLogXml(c.node), logXml("HttpPost", c.log)) << c.url;
        }
    }
    EXPECT_NE(server.requests()[1].find("cr\xc3\xa8me br\xc3\xbbl\xc3\xa9" "e"), std::string::npos);

    IQuorvelXml* response = nullptr;
    expectFailure(h.get(), h->HttpPost(nullptr, &response), "(HttpPost)\nURL or response parameter is null");
    expectFailure(h.get(), h->HttpPost(bstr("http://127.0.0.1/xml").get(), nullptr),
                  "(HttpPost)\nURL or response parameter is null");
    expectFailure(h.get(), h->HttpPost(bstr(" \r\n").get(), &response), "(HttpPost)\nURL parameter is empty");
    expectFailure(h.get(), h->HttpPost(bstr("http://127.0.0.1/endless").get(), &response),
                  "(HttpPost)\nUnexpected error.");
    EXPECT_EQ(response, nullptr);
}

}  // namespace
}  // namespace quorvel
