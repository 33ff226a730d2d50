#include "component/member_invoke.h"

#include "component/member_table.h"
#include "component/member_thunks.h"
#include "core/automation/com_ptr.h"
#include "core/automation/host_object.h"

namespace quorvel {

namespace {

constexpr const char16_t* kErrorSource = u"QuorvelXml.QuorvelXml";
constexpr UINT kMaxParams = 4;

// The converted arguments of one call. Strings made by coercion and interfaces obtained by
// QueryInterface belong to the call and go when it ends; everything else is borrowed.
class CallArguments {
public:
    CallArguments() {
        for (DispValue& v : values_) v = DispValue{};
    }
    ~CallArguments() {
        for (UINT i = 0; i < kMaxParams; ++i) {
            if (ownsString_[i]) SysFreeString(values_[i].bstr);
            if (ownsHandle_[i] && values_[i].handle) releaseObject(values_[i].handle);
        }
    }
    CallArguments(const CallArguments&) = delete;
    CallArguments& operator=(const CallArguments&) = delete;

    const DispValue* values() const { return values_; }

    HRESULT convert(UINT i, ArgType type, const VARIANT* v) {
        if (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND) return DISP_E_PARAMNOTOPTIONAL;
        switch (type) {
            case ArgType::String: return toString(i, v);
            case ArgType::Long: return toLong(i, v);
            case ArgType::Variant:
                // Members read variants and their by-reference forms themselves.
                values_[i].var = *v;
                return S_OK;
            case ArgType::Handle: return toHandle(i, v);
            case ArgType::NodeArray:
            case ArgType::StringArray:
            case ArgType::Scalar:  // results only
            case ArgType::None: break;
        }
        return DISP_E_TYPEMISMATCH;
    }

private:
    static const VARIANT* followReference(const VARIANT* v) {
        return (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) ? v->pvarVal : v;
    }

    static HRESULT coercionError(HRESULT hr) { return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH; }

    HRESULT toString(UINT i, const VARIANT* arg) {
        const VARIANT* v = followReference(arg);
        if (v->vt == VT_BSTR) {
            values_[i].bstr = v->bstrVal;
            return S_OK;
        }
        if (v->vt == (VT_BYREF | VT_BSTR)) {
            if (!v->pbstrVal) return DISP_E_TYPEMISMATCH;
            values_[i].bstr = *v->pbstrVal;
            return S_OK;
        }
        // A script's Null is the absent string, which members tell apart from the empty one.
        if (v->vt == VT_NULL) {
            values_[i].bstr = nullptr;
            return S_OK;
        }
        VARIANT converted;
        VariantInit(&converted);
        const HRESULT hr = VariantChangeType(&converted, v, 0, VT_BSTR);
        if (FAILED(hr)) return coercionError(hr);
        values_[i].bstr = converted.bstrVal;
        ownsString_[i] = true;
        return S_OK;
    }

    HRESULT toLong(UINT i, const VARIANT* arg) {
        const VARIANT* v = followReference(arg);
        if (v->vt == VT_I4) {
            values_[i].lval = v->lVal;
            return S_OK;
        }
        VARIANT converted;
        VariantInit(&converted);
        const HRESULT hr = VariantChangeType(&converted, v, 0, VT_I4);
        if (FAILED(hr)) return coercionError(hr);
        values_[i].lval = converted.lVal;
        return S_OK;
    }

    HRESULT toHandle(UINT i, const VARIANT* arg) {
        const VARIANT* v = followReference(arg);
        IUnknown* object = nullptr;
        switch (v->vt) {
            case VT_EMPTY:
            case VT_NULL: break;
            case VT_DISPATCH: object = v->pdispVal; break;
            case VT_UNKNOWN: object = v->punkVal; break;
            case VT_BYREF | VT_DISPATCH:
                if (!v->ppdispVal) return DISP_E_TYPEMISMATCH;
                object = *v->ppdispVal;
                break;
            case VT_BYREF | VT_UNKNOWN:
                if (!v->ppunkVal) return DISP_E_TYPEMISMATCH;
                object = *v->ppunkVal;
                break;
            default: return DISP_E_TYPEMISMATCH;
        }
        if (!object) return S_OK;
        void* handle = nullptr;
        if (FAILED(queryObject(object, IID_IQuorvelXml, &handle)) || !handle) return DISP_E_TYPEMISMATCH;
        values_[i].handle = static_cast<IQuorvelXml*>(handle);
        ownsHandle_[i] = true;
        return S_OK;
    }

    DispValue values_[kMaxParams + 1];  // one more: the result parameter's unused argument slot
    bool ownsString_[kMaxParams] = {};
    bool ownsHandle_[kMaxParams] = {};
};

void freeResult(ArgType type, DispValue& r) {
    switch (carrierOf(type)) {
        case ArgType::String: SysFreeString(r.bstr); break;
        case ArgType::Variant: VariantClear(&r.var); break;
        case ArgType::Handle:
            if (r.handle) releaseObject(r.handle);
            break;
        default: break;
    }
}

void storeResult(ArgType type, DispValue& r, VARIANT* out) {
    VariantInit(out);
    switch (carrierOf(type)) {
        case ArgType::String:
            out->vt = VT_BSTR;
            out->bstrVal = r.bstr;
            break;
        case ArgType::Long:
            out->vt = VT_I4;
            out->lVal = r.lval;
            break;
        case ArgType::Variant: *out = r.var; break;
        case ArgType::Handle:
            out->vt = VT_DISPATCH;
            out->pdispVal = r.handle;
            break;
        default: break;
    }
}

// The member a call reaches: a put for DISPATCH_PROPERTYPUT; otherwise a method when the flags
// allow one, else a property get.
const MemberInfo* selectMember(DISPID dispid, WORD flags, size_t reachable) {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        return (flags & DISPATCH_PROPERTYPUT) ? findMember(dispid, MemberKind::PropertyPut) : nullptr;
    }
    const MemberInfo* m = nullptr;
    if (flags & DISPATCH_METHOD) m = findMember(dispid, MemberKind::Method);
    if (!m && (flags & DISPATCH_PROPERTYGET)) m = findMember(dispid, MemberKind::PropertyGet);
    if (m && static_cast<size_t>(m - kMembers) >= reachable) return nullptr;
    return m;
}

HRESULT reportFailure(HRESULT hr, EXCEPINFO* excepInfo) {
    if (!excepInfo) return DISP_E_EXCEPTION;
    *excepInfo = EXCEPINFO{};
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        info->GetSource(&excepInfo->bstrSource);
        info->GetDescription(&excepInfo->bstrDescription);
    }
    if (!excepInfo->bstrSource) excepInfo->bstrSource = SysAllocString(kErrorSource);
    excepInfo->scode = hr;
    return DISP_E_EXCEPTION;
}

}  // namespace

HRESULT invokeMember(IQuorvelXml* self, size_t reachable, DISPID dispid, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    const MemberInfo* m = selectMember(dispid, flags, reachable);
    if (!m) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    const UINT cArgs = params->cArgs;
    const UINT cNamed = params->cNamedArgs;
    if (cNamed > cArgs || (cArgs && !params->rgvarg) || (cNamed && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    if (cArgs > m->paramCount) return DISP_E_BADPARAMCOUNT;

    // Where each parameter's argument sits: positional ones from the end of rgvarg, named ones
    // at the front in the order of their DISPIDs.
    const VARIANT* source[kMaxParams] = {};
    UINT sourceIndex[kMaxParams] = {};
    const UINT positional = cArgs - cNamed;
    for (UINT i = 0; i < positional; ++i) {
        sourceIndex[i] = cArgs - 1 - i;
        source[i] = &params->rgvarg[sourceIndex[i]];
    }
    for (UINT j = 0; j < cNamed; ++j) {
        DISPID position = params->rgdispidNamedArgs[j];
        if (position == DISPID_PROPERTYPUT && m->kind == MemberKind::PropertyPut) position = m->paramCount - 1;
        if (position < 0 || position >= m->paramCount || source[position]) {
            if (argErr) *argErr = j;
            return DISP_E_PARAMNOTFOUND;
        }
        source[position] = &params->rgvarg[j];
        sourceIndex[position] = j;
    }
    for (UINT i = 0; i < m->paramCount; ++i) {
        if (!source[i]) return cNamed ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
    }

    CallArguments args;
    for (UINT i = 0; i < m->paramCount; ++i) {
        const HRESULT hr = args.convert(i, m->params[i].type, source[i]);
        if (FAILED(hr)) {
            if (argErr) *argErr = sourceIndex[i];
            return hr;
        }
    }

    DispValue r{};
    if (carrierOf(m->result.type) == ArgType::Variant) VariantInit(&r.var);
    const HRESULT hr = kMemberThunks[memberIndexOfSlot(m->slot)](self, args.values(), &r);
    if (FAILED(hr)) {
        freeResult(m->result.type, r);
        return reportFailure(hr, excepInfo);
    }
    if (result) {
        storeResult(m->result.type, r, result);
    } else {
        freeResult(m->result.type, r);
    }
    return S_OK;
}

}  // namespace quorvel
