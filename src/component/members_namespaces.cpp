// Namespace members of IQuorvelXml2: the node's namespace URI, local name and prefix, and the
// URI a prefix is bound to in scope at the node, resolved from the xmlns attributes in scope
// (`xml` always bound). Tags stay qualified names for every other member.
#include <new>

#include "component/node_handle.h"
#include "tree/tree_node.h"
#include "xpath/xpath_namespaces.h"

namespace quorvel {

namespace {

constexpr const char* kUnexpected = "Unexpected error.";
constexpr const char* kNullParameter = "Parameter is NULL";

}  // namespace

HRESULT CQuorvelXml::get_NamespaceUri(BSTR* pVal) {
    if (!pVal) return failCall("NamespaceUri", kNullParameter);
    *pVal = nullptr;
    return guarded("NamespaceUri", kUnexpected, [&]() -> HRESULT {
        *pVal = toHost(xpath::elementNamespace(node_));
        if (!*pVal) throw std::bad_alloc();
        return S_OK;
    });
}

HRESULT CQuorvelXml::get_LocalName(BSTR* pVal) {
    if (!pVal) return failCall("LocalName", kNullParameter);
    *pVal = nullptr;
    return guarded("LocalName", kUnexpected, [&]() -> HRESULT {
        *pVal = toHost(xpath::splitQName(node_->tagView()).local);
        if (!*pVal) throw std::bad_alloc();
        return S_OK;
    });
}

HRESULT CQuorvelXml::get_Prefix(BSTR* pVal) {
    if (!pVal) return failCall("Prefix", kNullParameter);
    *pVal = nullptr;
    return guarded("Prefix", kUnexpected, [&]() -> HRESULT {
        *pVal = toHost(xpath::splitQName(node_->tagView()).prefix);
        if (!*pVal) throw std::bad_alloc();
        return S_OK;
    });
}

HRESULT CQuorvelXml::LookupNamespace(BSTR prefix, BSTR* uri) {
    if (!uri) return failCall("LookupNamespace", kNullParameter);
    *uri = nullptr;
    return guarded("LookupNamespace", kUnexpected, [&]() -> HRESULT {
        StringBuffer p;
        toUtf8(prefix, p);
        p.trim();
        std::string_view found;
        if (!xpath::lookupNamespace(node_, p.view(), found)) found = {};
        *uri = toHost(found);
        if (!*uri) throw std::bad_alloc();
        return S_OK;
    });
}

}  // namespace quorvel
