// Tree editing: content and attributes, new, extracted, swapped and grafted nodes, clearing.
// Not implemented yet: each member fails with E_NOTIMPL and a log that names it.
#include "component/node_handle.h"

namespace quorvel {

HRESULT CQuorvelXml::AppendToContent(BSTR) { return notImplemented("AppendToContent"); }
HRESULT CQuorvelXml::AddAttribute(BSTR, BSTR) { return notImplemented("AddAttribute"); }
HRESULT CQuorvelXml::RemoveAttribute(BSTR) { return notImplemented("RemoveAttribute"); }
HRESULT CQuorvelXml::RemoveAllAttributes() { return notImplemented("RemoveAllAttributes"); }
HRESULT CQuorvelXml::SwapNode(IQuorvelXml*) { return notImplemented("SwapNode"); }
HRESULT CQuorvelXml::SwapTree(IQuorvelXml*) { return notImplemented("SwapTree"); }
HRESULT CQuorvelXml::AddChildTree(IQuorvelXml*) { return notImplemented("AddChildTree"); }
HRESULT CQuorvelXml::ExtractChildByIndex(LONG, IQuorvelXml**) { return notImplemented("ExtractChildByIndex"); }
HRESULT CQuorvelXml::ExtractChildByName(BSTR, BSTR, BSTR, IQuorvelXml**) { return notImplemented("ExtractChildByName"); }
HRESULT CQuorvelXml::NewChild(BSTR, BSTR, IQuorvelXml**) { return notImplemented("NewChild"); }
HRESULT CQuorvelXml::Clear() { return notImplemented("Clear"); }
HRESULT CQuorvelXml::RemoveFromTree() { return notImplemented("RemoveFromTree"); }
HRESULT CQuorvelXml::UpdateAttribute(BSTR, BSTR) { return notImplemented("UpdateAttribute"); }
HRESULT CQuorvelXml::NewChild2(BSTR, BSTR) { return notImplemented("NewChild2"); }

}  // namespace quorvel
