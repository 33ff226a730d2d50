// The class factory of one creatable class: IClassFactory over a creation function. The module
// keeps one factory per class for its whole life; while a caller holds a reference to it, or a
// server lock, the module counts as in use.
#pragma once
#include <atomic>

#include "quorvel/automation.hpp"

namespace quorvel {

// Makes a new object and answers riid on it, leaving the caller the only reference. With an outer
// object, riid is IID_IUnknown and the answer is the new object's inner unknown.
using CreateInstanceFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateInstanceFunction create) : create_(create) {}
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    // With an outer object only IID_IUnknown may be asked for (else CLASS_E_NOAGGREGATION).
    HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
    HRESULT LockServer(BOOL fLock) override;

private:
    ~ClassFactory() = default;

    CreateInstanceFunction create_;
    // The module's own reference is the first; only references beyond it lock the module.
    std::atomic<ULONG> refs_{1};
};

}  // namespace quorvel
