#include "core/automation/host_object.h"

#if defined(__GNUC__) || defined(__clang__)
#define QV_NO_DYNAMIC_TYPE_CHECK __attribute__((no_sanitize("vptr")))
#else
#define QV_NO_DYNAMIC_TYPE_CHECK
#endif

namespace quorvel {

QV_NO_DYNAMIC_TYPE_CHECK ULONG addRefObject(IUnknown* object) { return object->AddRef(); }

QV_NO_DYNAMIC_TYPE_CHECK ULONG releaseObject(IUnknown* object) { return object->Release(); }

QV_NO_DYNAMIC_TYPE_CHECK HRESULT queryObject(IUnknown* object, REFIID riid, void** ppv) {
  return object->QueryInterface(riid, ppv);
}

}  // namespace quorvel
