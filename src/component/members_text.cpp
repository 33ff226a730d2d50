// Text members: LoadXml, GetXml and the document declaration (Encoding, Standalone).
#include <new>

#include "component/node_handle.h"
#include "tree/tree_node.h"
#include "xml/document_encoding.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

namespace quorvel {
namespace {

constexpr uint32_t kParseEventId = 103;

// Owns a freshly parsed tree until the handle takes it.
struct NewTree {
    TreeNode* root = nullptr;
    ~NewTree() { TreeNode::destroyTree(root); }
    TreeNode* release() {
        TreeNode* r = root;
        root = nullptr;
        return r;
    }
};

// A declaration value from the host: through the ANSI code page, trimmed, and without the bytes
// that would break the declaration line it is written into.
StringBuffer declarationValue(BSTR value) {
    StringBuffer v(value ? static_cast<const char16_t*>(value) : u"");
    v.trim();
    for (char c : {' ', '\n', '\r', '>', '<', '/'}) v.removeChar(c);
    return v;
}

}  // namespace

HRESULT CQuorvelXml::LoadXml(BSTR xmlData, LONG* success) {
    return loggedThroughout("LoadXml", [&] {
        if (!xmlData || !success) {
            log().LogError("Parameter is NULL");
            return false;
        }
        *success = 0;
        try {
            // The text is Unicode already: no byte-order mark or declared encoding is looked at.
            DataBuffer bytes;
            toUtf8Bytes(xmlData, bytes);
            NewTree tree;
            ProgressMonitor monitor(kParseEventId, 0, this, 100);
            tree.root = parse(bytes, &log(), &monitor);
            if (!tree.root) {
                log().LogError("Failed to parse XML data (5)");
                return false;
            }
            replaceTree(tree.release());
            // The document now lives in a Unicode string, whatever it declared.
            setEncoding(node()->tree(), "utf-8");
            *success = 1;
            return true;
        } catch (...) {
            log().LogError("Unexpected error in LoadXml");
            return false;
        }
    });
}

HRESULT CQuorvelXml::GetXml(BSTR* xmlData) {
    if (!xmlData) return failCall("GetXml", "Parameter is NULL");
    return guarded("GetXml", "Unexpected error.", [&] {
        StringBuffer text;
        serialize(node(), text);
        BSTR s = toHost(text);
        if (!s) throw std::bad_alloc();
        *xmlData = s;
        return S_OK;
    });
}

HRESULT CQuorvelXml::get_Standalone(BSTR* pVal) {
    if (!pVal) return failCall("Standalone", "Parameter is NULL");
    return guarded("Standalone", "Unexpected error.", [&] {
        StringBuffer value;
        getStandalone(node()->tree(), value);
        BSTR s = value.toBstr();
        if (!s) throw std::bad_alloc();
        *pVal = s;
        return S_OK;
    });
}

HRESULT CQuorvelXml::put_Standalone(BSTR newVal) {
    return guarded("Standalone", "Unexpected error.", [&] {
        setStandalone(node()->tree(), declarationValue(newVal));
        return S_OK;
    });
}

HRESULT CQuorvelXml::get_Encoding(BSTR* pVal) {
    if (!pVal) return failCall("Encoding", "Parameter is NULL");
    return guarded("Encoding", "Unexpected error.", [&] {
        StringBuffer value;
        getEncoding(node()->tree(), value);
        BSTR s = value.toBstr();
        if (!s) throw std::bad_alloc();
        *pVal = s;
        return S_OK;
    });
}

HRESULT CQuorvelXml::put_Encoding(BSTR newVal) {
    return guarded("Encoding", "Unexpected error.", [&] {
        setEncoding(node()->tree(), declarationValue(newVal));
        return S_OK;
    });
}

}  // namespace quorvel
