// Fetching a URL's bytes and posting a node's XML: GetURL and HttpPost.
#include <memory>
#include <string>
#include <string_view>

#include "component/member_frames.h"
#include "core/system/utf8.h"
#include "io/quorvel_http_impl.h"
#include "tree/tree_node.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

namespace quorvel {

using namespace members;
namespace {

// URLs, like file names, are narrowed to UTF-8.
std::string narrow(BSTR s) { return s ? sys::toUtf8(std::u16string_view(s, SysStringLen(s))) : std::string(); }

using Client = std::unique_ptr<QuorvelHttpImpl>;

// A GET of url, tried once more in the other access mode when it fails without a proxy. The
// client that succeeded, or none after logging why.
Client download(const char* url, const char* proxyText, const std::string& username, const std::string& password,
                DataBuffer& out, Logger& log) {
    StringBuffer proxy(proxyText);
    proxy.trim();
    Client client = proxy.empty() ? std::make_unique<QuorvelHttpImpl>() : std::make_unique<QuorvelHttpImpl>(proxy.data());
    if (!client->isOpen()) {
        log.LogError("Failed to create HTTP object.");
        return nullptr;
    }
    const bool credentials = !username.empty() && !password.empty();
    auto setCredentials = [&] {
        if (!credentials) return;
        client->SetUsername(username.c_str());
        client->SetPassword(password.c_str());
    };
    setCredentials();
    if (client->Download(url, out)) return client;
    if (!proxy.empty()) {
        client.reset();
        log.LogError("Failed to download HTML with proxy");
        log.LogData("url", url);
        log.LogData("proxy", proxy.data());
    } else {
        const auto other = client->accessMode() == QuorvelHttpImpl::AccessMode::Preconfigured
                               ? QuorvelHttpImpl::AccessMode::Direct
                               : QuorvelHttpImpl::AccessMode::Preconfigured;
        client.reset();
        client = std::make_unique<QuorvelHttpImpl>(other);
        if (!client->isOpen()) {
            log.LogError("Failed to create HTTP object (2).");
            return nullptr;
        }
        setCredentials();
        out.clear();
        if (client->Download(url, out)) return client;
        client.reset();
        log.LogError("Failed to download HTML.");
        log.LogData("url", url);
    }
    if (credentials) log.LogData("username", username.c_str());  // never the password
    return nullptr;
}

}  // namespace

HRESULT CQuorvelXml::GetURL(BSTR url, BSTR proxy, BSTR username, BSTR password, VARIANT* anyData) {
    return loggedThroughout("GetURL", [&] {
        if (!anyData) {
            log().LogError(kNullParameter);
            return false;
        }
        VariantInit(anyData);
        const std::string target = narrow(url);
        DataBuffer bytes;
        if (target.size() >= 2 && target[1] == ':') {
            // A drive path names a local file and never the network.
            if (!bytes.loadFile(target.c_str(), nullptr)) {
                log().LogError("Failed to load HTML file.");
                log().LogData("filename", target.c_str());
                return false;
            }
            bytes.toVariant(anyData);
            return true;
        }
        if (download(target.c_str(), narrow(proxy).c_str(), narrow(username), narrow(password), bytes, log())) {
            bytes.moveToVariant(anyData);
            return true;
        }
        if (bytes.loadFile(target.c_str(), nullptr)) {
            bytes.toVariant(anyData);
            return true;
        }
        log().LogError("Failed to create Quorvel HTTP object");
        return false;
    });
}

HRESULT CQuorvelXml::HttpPost(BSTR url, IQuorvelXml** response) {
    return loggedThroughout("HttpPost", [&] {
        if (!url || !response) {
            log().LogError("URL or response parameter is null");
            return false;
        }
        *response = nullptr;
        StringBuffer target(narrow(url).c_str());
        target.trim();
        if (target.empty()) {
            log().LogError("URL parameter is empty");
            return false;
        }
        StringBuffer body;
        serialize(node(), body);
        QuorvelHttpImpl client;
        if (!client.isOpen()) {
            log().LogError("Failed to create HTTP object");
            return false;
        }
        StringBuffer reply;
        StringBuffer error;
        if (!client.PostXml(target.data(), body, reply, error)) {
            StringBuffer message("HTTP Post failed: ");
            message.appendBuffer(error);
            log().LogError(message.data());
            return true;
        }
        TreeNode* root = parse(reply.data(), static_cast<size_t>(reply.length()), &log(), nullptr);
        if (!root) {
            reply.trim();
            log().LogData("response", reply.data());
            log().LogError("Failed to parse response");
            return true;
        }
        *response = wrapNode(root);
        if (!*response) {
            TreeNode::destroyTree(root);
            throw std::bad_alloc();
        }
        return true;
    });
}

}  // namespace quorvel
