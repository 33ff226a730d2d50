// Loading documents from bytes and files in any encoding, and saving them in their declared one:
// LoadXmlV, LoadXmlFile, SaveXml.
// Not implemented yet: each member fails with E_NOTIMPL and a log that names it.
#include "component/node_handle.h"

namespace quorvel {

HRESULT CQuorvelXml::LoadXmlFile(BSTR, LONG*) { return notImplemented("LoadXmlFile"); }
HRESULT CQuorvelXml::LoadXmlV(VARIANT, LONG*) { return notImplemented("LoadXmlV"); }
HRESULT CQuorvelXml::SaveXml(BSTR) { return notImplemented("SaveXml"); }

}  // namespace quorvel
