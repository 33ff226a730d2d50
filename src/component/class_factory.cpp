#include "component/class_factory.h"

#include "component/module_lock.h"

namespace quorvel {

HRESULT ClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() {
    const ULONG now = refs_.fetch_add(1, std::memory_order_relaxed) + 1;
    if (now == 2) lockModule();
    return now;
}

ULONG ClassFactory::Release() {
    const ULONG now = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (now == 1) unlockModule();
    if (now == 0) delete this;
    return now;
}

HRESULT ClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return create_(pUnkOuter, riid, ppvObject);
}

HRESULT ClassFactory::LockServer(BOOL fLock) {
    if (fLock) {
        lockModule();
    } else {
        unlockModule();
    }
    return S_OK;
}

}  // namespace quorvel
