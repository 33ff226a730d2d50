// Text members: LoadXml, GetXml and the document declaration (Encoding, Standalone).
#include "component/member_frames.h"
#include "core/progress_monitor.h"
#include "tree/tree_node.h"
#include "xml/document_encoding.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

namespace quorvel {

using namespace members;

namespace {

// Declaration values come from the host through the ANSI code page, trimmed, and without the
// bytes that would break the declaration when it is written back.
StringBuffer declarationValue(BSTR value) {
    StringBuffer text(static_cast<const char16_t*>(value));
    text.trim();
    for (char c : {' ', '\n', '\r', '>', '<', '/'}) text.removeChar(c);
    return text;
}

HRESULT getDeclarationValue(TreeNode* node, BSTR* out, bool (*getter)(const TreeInfo*, StringBuffer&)) {
    if (!out) return E_POINTER;
    try {
        StringBuffer value;
        getter(node->tree(), value);
        *out = value.toBstr();
        return S_OK;
    } catch (...) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
}

}  // namespace

HRESULT CQuorvelXml::LoadXml(BSTR xmlData, LONG* success) {
    KeepAlive alive(this);  // a host may release its last reference from a progress handler
    return loggedThroughout("LoadXml", [&] {
        if (!xmlData || !success) {
            log().LogError(kNullParameter);
            return false;
        }
        *success = 0;
        try {
            DataBuffer bytes;
            toUtf8Bytes(xmlData, bytes);
            ProgressMonitor monitor(kParseEventId, 0, this, 100);
            TreeNode* root = parse(bytes, &log(), &monitor);
            if (!root) {
                log().LogError("Failed to parse XML data (5)");
                return false;
            }
            replaceTree(root);
            // The document now lives in a Unicode string, whatever its declaration said.
            setEncoding(root->tree(), "utf-8");
            *success = 1;
            return true;
        } catch (...) {
            log().LogError("Unexpected error in LoadXml");
            return false;
        }
    });
}

HRESULT CQuorvelXml::GetXml(BSTR* xmlData) {
    return loggedThroughout("GetXml", [&] {
        if (!xmlData) {
            log().LogError(kNullParameter);
            return false;
        }
        StringBuffer text;
        serialize(node(), text);
        *xmlData = toHost(text);
        if (*xmlData) return true;
        log().LogError(kUnexpected);
        return false;
    });
}

HRESULT CQuorvelXml::get_Standalone(BSTR* pVal) { return getDeclarationValue(node(), pVal, getStandalone); }

HRESULT CQuorvelXml::put_Standalone(BSTR newVal) {
    try {
        setStandalone(node()->tree(), declarationValue(newVal));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CQuorvelXml::get_Encoding(BSTR* pVal) { return getDeclarationValue(node(), pVal, getEncoding); }

HRESULT CQuorvelXml::put_Encoding(BSTR newVal) {
    try {
        setEncoding(node()->tree(), declarationValue(newVal));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace quorvel
