#include "component/xml_factory.h"

#include <new>

#include "component/class_table.h"
#include "component/dispatch_names.h"
#include "component/type_info.h"

namespace quorvel {

HRESULT CXmlFactory::create(IUnknown* outer, REFIID riid, void** ppv) {
    CXmlFactory* factory = new (std::nothrow) CXmlFactory(outer);
    if (!factory) return E_OUTOFMEMORY;
    return handOutNewObject(factory, outer, riid, ppv);
}

HRESULT CXmlFactory::QueryInterface(REFIID riid, void** ppv) {
    return outer_ ? outer_->QueryInterface(riid, ppv) : innerQueryInterface(riid, ppv);
}

ULONG CXmlFactory::AddRef() { return outer_ ? outer_->AddRef() : innerAddRef(); }

ULONG CXmlFactory::Release() { return outer_ ? outer_->Release() : innerRelease(); }

HRESULT CXmlFactory::innerQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown && outer_) {
        *ppv = &inner_;
    } else if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IXmlFactory) {
        *ppv = static_cast<IXmlFactory*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // An interface's Release passes on to the outer object, so its reference is taken there too.
    if (*ppv == &inner_) {
        innerAddRef();
    } else {
        AddRef();
    }
    return S_OK;
}

ULONG CXmlFactory::innerAddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG CXmlFactory::innerRelease() {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT CXmlFactory::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

HRESULT CXmlFactory::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0) return DISP_E_BADINDEX;
    return getModuleTypeInfo(ModuleType::XmlFactory, ppTInfo);
}

HRESULT CXmlFactory::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return idsOfNames(kFactoryMembers, 1, rgszNames, cNames, rgDispId);
}

HRESULT CXmlFactory::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                            VARIANT* pVarResult, EXCEPINFO*, UINT*) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (dispIdMember != DISPID_NEWXML || !(wFlags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    if (!pDispParams) return E_INVALIDARG;
    if (pDispParams->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    IQuorvelXml* root = nullptr;
    NewXml(&root);
    if (pVarResult) {
        VariantInit(pVarResult);
        pVarResult->vt = VT_DISPATCH;
        pVarResult->pdispVal = root;
    } else if (root) {
        root->Release();
    }
    return S_OK;
}

HRESULT CXmlFactory::NewXml(IQuorvelXml** root) {
    if (!root) return S_OK;
    *root = nullptr;
    createClassInstance(CLSID_QuorvelXml, nullptr, CLSCTX_INPROC_SERVER, IID_IQuorvelXml,
                        reinterpret_cast<void**>(root));
    return S_OK;
}

}  // namespace quorvel
