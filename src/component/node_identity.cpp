// qv_NodeIdentity: the node behind a handle, as a value to compare. Exported because hosts that
// want handles on one node to compare equal have no member to ask: the node is not an object
// they can reach, and each navigation member makes a new handle.
#include "quorvel/node_identity.h"

#include "component/node_handle.h"

using namespace quorvel;

extern "C" QV_API HRESULT qv_NodeIdentity(IUnknown* handle, const void** identity) {
    if (!identity) return E_POINTER;
    *identity = nullptr;
    CQuorvelXml* object = CQuorvelXml::fromInterface(handle);
    if (!object) return E_INVALIDARG;
    *identity = object->node();
    return S_OK;
}
