// Sorting children and records by tag, content or attribute. Unlogged: a sort always succeeds;
// only running out of memory for the host strings or the reordering is reported, as
// E_OUTOFMEMORY with the children left in their old order.
#include "component/member_frames.h"
#include "tree/tree_node.h"

namespace quorvel {

using namespace members;

namespace {

HRESULT sortChildren(CQuorvelXml& handle, ChildSortKey key, LONG ascending, BSTR attrName = nullptr,
                     BSTR recordTag = nullptr) {
    return withoutThrowing([&] {
        const StringBuffer attr = trimmedArgument(handle, attrName);
        const StringBuffer tag = trimmedArgument(handle, recordTag);
        handle.node()->sortChildren(key, ascending != 0, attr.data(), tag.data());
        return S_OK;
    });
}

}  // namespace

HRESULT CQuorvelXml::SortByTag(LONG ascending) { return sortChildren(*this, ChildSortKey::Tag, ascending); }

HRESULT CQuorvelXml::SortByContent(LONG ascending) {
    return sortChildren(*this, ChildSortKey::Content, ascending);
}

HRESULT CQuorvelXml::SortByAttribute(BSTR attrName, LONG ascending) {
    return sortChildren(*this, ChildSortKey::Attribute, ascending, attrName);
}

HRESULT CQuorvelXml::SortRecordsByContent(BSTR sortTag, LONG ascending) {
    return sortChildren(*this, ChildSortKey::RecordContent, ascending, nullptr, sortTag);
}

HRESULT CQuorvelXml::SortRecordsByAttribute(BSTR sortTag, BSTR attrName, LONG ascending) {
    return sortChildren(*this, ChildSortKey::RecordAttribute, ascending, attrName, sortTag);
}

}  // namespace quorvel
