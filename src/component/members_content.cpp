// Node encryption and binary content.
// Not implemented yet: each member fails with E_NOTIMPL and a log that names it.
#include "component/node_handle.h"

namespace quorvel {

HRESULT CQuorvelXml::EncryptNode(BSTR) { return notImplemented("EncryptNode"); }
HRESULT CQuorvelXml::DecryptNode(BSTR) { return notImplemented("DecryptNode"); }
HRESULT CQuorvelXml::SetBinaryContent(LONG, LONG, BSTR, VARIANT) { return notImplemented("SetBinaryContent"); }
HRESULT CQuorvelXml::GetBinaryContent(LONG, LONG, BSTR, VARIANT*) { return notImplemented("GetBinaryContent"); }

}  // namespace quorvel
