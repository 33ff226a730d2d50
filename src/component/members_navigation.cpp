// Navigation and search: reading attributes, finding children, siblings, parents and roots,
// searching subtrees, and moving the handle itself (the members ending in 2).
// Not implemented yet: each member fails with E_NOTIMPL and a log that names it.
#include "component/node_handle.h"

namespace quorvel {

HRESULT CQuorvelXml::GetChildContent(BSTR, BSTR*) { return notImplemented("GetChildContent"); }
HRESULT CQuorvelXml::GetAttributeName(LONG, BSTR*) { return notImplemented("GetAttributeName"); }
HRESULT CQuorvelXml::GetAttributeValue(LONG, BSTR*) { return notImplemented("GetAttributeValue"); }
HRESULT CQuorvelXml::GetAttrValue(BSTR, BSTR*) { return notImplemented("GetAttrValue"); }
HRESULT CQuorvelXml::HasAttrWithValue(BSTR, BSTR, LONG*) { return notImplemented("HasAttrWithValue"); }
HRESULT CQuorvelXml::GetChild(LONG, IQuorvelXml**) { return notImplemented("GetChild"); }
HRESULT CQuorvelXml::NumChildrenHavingTag(BSTR, LONG*) { return notImplemented("NumChildrenHavingTag"); }
HRESULT CQuorvelXml::GetNthChildWithTag(BSTR, LONG, IQuorvelXml**) { return notImplemented("GetNthChildWithTag"); }
HRESULT CQuorvelXml::FindOrAddNewChild(BSTR, IQuorvelXml**) { return notImplemented("FindOrAddNewChild"); }
HRESULT CQuorvelXml::SearchForTag(IQuorvelXml*, BSTR, IQuorvelXml**) { return notImplemented("SearchForTag"); }
HRESULT CQuorvelXml::SearchForContent(IQuorvelXml*, BSTR, BSTR, IQuorvelXml**) { return notImplemented("SearchForContent"); }
HRESULT CQuorvelXml::SearchAllForContent(IQuorvelXml*, BSTR, IQuorvelXml**) { return notImplemented("SearchAllForContent"); }
HRESULT CQuorvelXml::SearchForAttribute(IQuorvelXml*, BSTR, BSTR, BSTR, IQuorvelXml**) { return notImplemented("SearchForAttribute"); }
HRESULT CQuorvelXml::GetParent(IQuorvelXml**) { return notImplemented("GetParent"); }
HRESULT CQuorvelXml::FirstChild(IQuorvelXml**) { return notImplemented("FirstChild"); }
HRESULT CQuorvelXml::LastChild(IQuorvelXml**) { return notImplemented("LastChild"); }
HRESULT CQuorvelXml::NextSibling(IQuorvelXml**) { return notImplemented("NextSibling"); }
HRESULT CQuorvelXml::PreviousSibling(IQuorvelXml**) { return notImplemented("PreviousSibling"); }
HRESULT CQuorvelXml::GetChildWithTag(BSTR, IQuorvelXml**) { return notImplemented("GetChildWithTag"); }
HRESULT CQuorvelXml::GetRoot(IQuorvelXml**) { return notImplemented("GetRoot"); }
HRESULT CQuorvelXml::FindNextRecord(BSTR, BSTR, IQuorvelXml**) { return notImplemented("FindNextRecord"); }
HRESULT CQuorvelXml::GetChild2(LONG, LONG*) { return notImplemented("GetChild2"); }
HRESULT CQuorvelXml::FindChild2(BSTR, LONG*) { return notImplemented("FindChild2"); }
HRESULT CQuorvelXml::GetParent2(LONG*) { return notImplemented("GetParent2"); }
HRESULT CQuorvelXml::FirstChild2(LONG*) { return notImplemented("FirstChild2"); }
HRESULT CQuorvelXml::LastChild2(LONG*) { return notImplemented("LastChild2"); }
HRESULT CQuorvelXml::NextSibling2(LONG*) { return notImplemented("NextSibling2"); }
HRESULT CQuorvelXml::PreviousSibling2(LONG*) { return notImplemented("PreviousSibling2"); }
HRESULT CQuorvelXml::GetRoot2() { return notImplemented("GetRoot2"); }
HRESULT CQuorvelXml::FindChild(BSTR, IQuorvelXml**) { return notImplemented("FindChild"); }

}  // namespace quorvel
