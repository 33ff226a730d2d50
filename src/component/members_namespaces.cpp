// Namespace members of IQuorvelXml2: the node's namespace URI, local name and prefix, and the
// URI a prefix is bound to in scope at the node.
#include "component/node_handle.h"

namespace quorvel {

namespace {

constexpr const char* kNotImplemented = "Not implemented";

}  // namespace

HRESULT CQuorvelXml::get_NamespaceUri(BSTR* pVal) {
    if (pVal) *pVal = nullptr;
    return failCall("NamespaceUri", kNotImplemented);
}

HRESULT CQuorvelXml::get_LocalName(BSTR* pVal) {
    if (pVal) *pVal = nullptr;
    return failCall("LocalName", kNotImplemented);
}

HRESULT CQuorvelXml::get_Prefix(BSTR* pVal) {
    if (pVal) *pVal = nullptr;
    return failCall("Prefix", kNotImplemented);
}

HRESULT CQuorvelXml::LookupNamespace(BSTR /*prefix*/, BSTR* uri) {
    if (uri) *uri = nullptr;
    return failCall("LookupNamespace", kNotImplemented);
}

}  // namespace quorvel
