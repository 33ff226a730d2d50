// Node compression: CompressNode and CompressSubtree store the node's content, or its whole
// subtree's XML text, as base64 of a raw DEFLATE stream; DecompressNode and DecompressSubtree
// bring it back. The stream is made and read through a zip container made for the call.
#include <cstdint>

#include "component/node_handle.h"
#include "content/cls_zip.h"
#include "content/content_coding.h"
#include "core/data_buffer.h"
#include "core/string_buffer.h"
#include "tree/tree_node.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

namespace quorvel {

namespace {

constexpr const char* kNoEntry = "Failed to get Zip entry";

// B(D(bytes)) into text, through a container entry named "x"; false when no entry comes back.
// A Copy that fails leaves text empty, and the caller leaves the node as it was.
bool compressToText(const char* bytes, int32_t n, StringBuffer& text, StringBuffer* tracking = nullptr) {
    ClsZip zip;
    zip.AppendData("x", bytes, static_cast<uint32_t>(n));
    if (tracking) tracking->append("b");
    std::unique_ptr<ClsZipEntry> entry = zip.GetEntryByIndex(0);
    if (!entry) return false;
    if (tracking) tracking->append("c");
    DataBuffer compressed;
    entry->Copy(compressed);
    if (tracking) tracking->append("d");
    ContentCoding().encodeBase64Lines(compressed.data(), compressed.size(), text);
    return true;
}

// The plain bytes of a content holding B(D(...)); false when it does not (nothing is logged).
bool decompressContent(const TreeNode* node, DataBuffer& plain) {
    DataBuffer deflated;
    ContentCoding().decodeBase64(node->contentData(), static_cast<uint32_t>(node->contentLength()), deflated);
    ClsZip zip;
    std::unique_ptr<ClsZipEntry> entry = zip.AppendCompressed("x", deflated);
    return entry && entry->Inflate(plain) && plain.size() > 0 && plain.size() <= INT32_MAX;
}

}  // namespace

HRESULT CQuorvelXml::CompressNode() {
    if (!node()->hasContent()) return S_OK;
    return loggedThroughout("CompressNode", [&] {
        StringBuffer text;
        if (!compressToText(node()->contentData(), node()->contentLength(), text)) {
            log().LogError(kNoEntry);
            return false;
        }
        if (!text.empty()) node()->setContentBytes(text.data(), text.length());
        return true;
    });
}

// The tracking text records how far the call came, for the log of an unexpected failure.
HRESULT CQuorvelXml::CompressSubtree() {
    StringBuffer tracking;
    const auto unexpected = [&] {
        log().LogData("tracking", tracking.data());
        log().LogError("Unexpected exception in CompressSubtree");
    };
    return loggedFrame("CompressSubtree", true, [&] {
        StringBuffer xml;
        serialize(node(), xml);
        tracking.append("a");
        StringBuffer text;
        const bool gotEntry = compressToText(xml.data(), xml.length(), text, &tracking);
        xml = StringBuffer();  // the subtree's text can be as large as the document: free it early
        if (!gotEntry) {
            log().LogError(kNoEntry);
            return false;
        }
        if (!text.empty()) {
            node()->setContentBytes(text.data(), text.length());
            node()->setCdata(true);
            tracking.append("e");
            node()->removeAllChildren();
            tracking.append("f");
        }
        tracking.append("g");
        return true;
    }, unexpected);
}

// Content that is not compressed data is left as it is, and nothing is logged.
HRESULT CQuorvelXml::DecompressNode() {
    if (!node()->hasContent()) return S_OK;
    return loggedThroughout("DecompressNode", [&] {
        DataBuffer plain;
        if (decompressContent(node(), plain)) {
            node()->setContentBytes(reinterpret_cast<const char*>(plain.data()), static_cast<int32_t>(plain.size()));
        }
        return true;
    });
}

// The node takes the parsed root's tag, attributes, content and children, as SwapTree exchanges
// them; its CDATA flag stays. The parsed root, left with the node's former data, goes unless a
// handle still designates one of the node's former children.
HRESULT CQuorvelXml::DecompressSubtree() {
    if (!node()->hasContent()) return S_OK;
    return loggedThroughout("DecompressSubtree", [&] {
        DataBuffer plain;
        if (!decompressContent(node(), plain)) return true;
        TreeNode* parsed = parse(reinterpret_cast<const char*>(plain.data()), plain.size(), nullptr, nullptr);
        plain.clear();
        if (!parsed) return true;
        node()->swapSubtrees(parsed);
        if (parsed->treeHandleCount() == 0) TreeNode::destroyTree(parsed);
        return true;
    });
}

}  // namespace quorvel
