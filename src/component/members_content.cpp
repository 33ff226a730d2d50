// Node content coding and compression.
// Not implemented yet: each member fails with E_NOTIMPL and a log that names it.
#include "component/node_handle.h"

namespace quorvel {

HRESULT CQuorvelXml::QEncodeContent(BSTR, VARIANT) { return notImplemented("QEncodeContent"); }
HRESULT CQuorvelXml::BEncodeContent(BSTR, VARIANT) { return notImplemented("BEncodeContent"); }
HRESULT CQuorvelXml::DecodeContent(VARIANT*) { return notImplemented("DecodeContent"); }
HRESULT CQuorvelXml::CompressNode() { return notImplemented("CompressNode"); }
HRESULT CQuorvelXml::CompressSubtree() { return notImplemented("CompressSubtree"); }
HRESULT CQuorvelXml::DecompressNode() { return notImplemented("DecompressNode"); }
HRESULT CQuorvelXml::DecompressSubtree() { return notImplemented("DecompressSubtree"); }

}  // namespace quorvel
