// Fetching a URL and posting a node's XML.
// Not implemented yet: each member fails with E_NOTIMPL and a log that names it.
#include "component/node_handle.h"

namespace quorvel {

HRESULT CQuorvelXml::GetURL(BSTR, BSTR, BSTR, BSTR, VARIANT*) { return notImplemented("GetURL"); }
HRESULT CQuorvelXml::HttpPost(BSTR, IQuorvelXml**) { return notImplemented("HttpPost"); }

}  // namespace quorvel
