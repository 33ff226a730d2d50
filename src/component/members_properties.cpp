// The simple properties: Version, NumAttributes, Tag, Content, NumChildren, Cdata, TreeId.
// None of them logs or fails; a missing result place is answered with E_POINTER and a string
// that cannot be allocated with E_OUTOFMEMORY.
#include "component/member_frames.h"
#include "tree/tree_node.h"

namespace quorvel {

using namespace members;

namespace {

HRESULT storeString(BSTR value, BSTR* out) {
    *out = value;
    return value ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT CQuorvelXml::get_Version(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return withoutThrowing([&] { return storeString(StringBuffer(kVersion).toBstr(), pVal); });
}

HRESULT CQuorvelXml::get_NumAttributes(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = node_->attributeCount();
    return S_OK;
}

HRESULT CQuorvelXml::get_Tag(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return storeString(toHost(node_->tagView()), pVal);
}

HRESULT CQuorvelXml::put_Tag(BSTR newVal) {
    return withoutThrowing([&] {
        // The text is 0-terminated, so the tag ends at the first zero unit as a C string would.
        StringBuffer tag;
        toUtf8(newVal, tag);
        node_->setTag(tag.data());
        return S_OK;
    });
}

HRESULT CQuorvelXml::get_Content(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return storeString(toHost(node_->contentView()), pVal);
}

HRESULT CQuorvelXml::put_Content(BSTR newVal) {
    return withoutThrowing([&] {
        StringBuffer content;
        toUtf8(newVal, content);
        node_->setContentBytes(content.data(), content.length());
        return S_OK;
    });
}

HRESULT CQuorvelXml::get_NumChildren(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = node_->childCount();
    return S_OK;
}

HRESULT CQuorvelXml::get_Cdata(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = node_->cdata() ? 1 : 0;
    return S_OK;
}

HRESULT CQuorvelXml::put_Cdata(LONG newVal) {
    node_->setCdata(newVal != 0);
    return S_OK;
}

HRESULT CQuorvelXml::get_TreeId(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = node_->treeId();
    return S_OK;
}

}  // namespace quorvel
