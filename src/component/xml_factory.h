// CXmlFactory, the second creatable class: a dual IXmlFactory whose NewXml makes a new node
// handle through the module's creation path, as a host creating QuorvelXml would.
#pragma once
#include <atomic>

#include "component/inner_unknown.h"
#include "component/module_lock.h"
#include "quorvel/quorvel_xml.hpp"

namespace quorvel {

class CXmlFactory final : public IXmlFactory {
public:
    // A new factory object answering riid, with the caller's one reference; with an outer
    // object, its inner unknown (riid is IID_IUnknown).
    static HRESULT create(IUnknown* outer, REFIID riid, void** ppv);

    CXmlFactory(const CXmlFactory&) = delete;
    CXmlFactory& operator=(const CXmlFactory&) = delete;

    // Passed on to the outer object when aggregated.
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    // The object's own, never passed on.
    HRESULT innerQueryInterface(REFIID riid, void** ppv);
    ULONG innerAddRef();
    ULONG innerRelease();
    IUnknown* innerUnknown() { return &inner_; }

    HRESULT GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // Always S_OK; root holds the new handle, or null when it could not be made.
    HRESULT NewXml(IQuorvelXml** root) override;

private:
    explicit CXmlFactory(IUnknown* outer) : outer_(outer) {}
    ~CXmlFactory() = default;

    ModuleLockHolder moduleLock_;
    std::atomic<ULONG> refs_{1};
    IUnknown* const outer_;  // the aggregating object, not counted; none when not aggregated
    InnerUnknown<CXmlFactory> inner_{*this};
};

}  // namespace quorvel
