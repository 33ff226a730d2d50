// Text members: LoadXml, GetXml and the document declaration (Encoding, Standalone).
// Not implemented yet: each member fails with E_NOTIMPL and a log that names it.
#include "component/node_handle.h"

namespace quorvel {

HRESULT CQuorvelXml::LoadXml(BSTR, LONG*) { return notImplemented("LoadXml"); }
HRESULT CQuorvelXml::GetXml(BSTR*) { return notImplemented("GetXml"); }
HRESULT CQuorvelXml::get_Standalone(BSTR*) { return notImplemented("Standalone"); }
HRESULT CQuorvelXml::put_Standalone(BSTR) { return notImplemented("Standalone"); }
HRESULT CQuorvelXml::get_Encoding(BSTR*) { return notImplemented("Encoding"); }
HRESULT CQuorvelXml::put_Encoding(BSTR) { return notImplemented("Encoding"); }

}  // namespace quorvel
