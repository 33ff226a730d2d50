#include "component/type_info.h"

#include <vector>

#include "component/dispatch_names.h"
#include "component/member_invoke.h"

namespace quorvel {

const MemberInfo kFactoryMembers[1] = {
    {QV_DISPID_NEWXML, 7, MemberKind::Method, "NewXml", 0, {}, {"root", ArgType::Handle}},
};

namespace {

const MemberInfo kEventMembers[1] = {
    {QV_DISPID_PARSEPERCENTDONE, 7, MemberKind::Method, "ParsePercentDone", 1, {{"percentDone", ArgType::Long}},
     {nullptr, ArgType::None}},
};

struct ImplType {
    ModuleType type;
    INT flags;
};

struct TypeSpec {
    const GUID& guid;
    const char* name;
    const char* doc;
    TYPEKIND kind;
    WORD flags;
    const MemberInfo* members;  // the interface's own members, which its FUNCDESCs describe
    UINT memberCount;
    bool dispinterface;  // members are reached only by Invoke and return nothing
    const ImplType* implTypes;
    UINT implCount;
    // Members found by name and DISPID, own and inherited: none for the coclasses.
    const MemberInfo* named;
    UINT namedCount;
    UINT vtableSlots;    // IUnknown's and IDispatch's included; 0 for the coclasses
    bool nodeHandle;     // Invoke calls the node handle's members directly, namedCount of them
};

// IQuorvelXml2 is described by its own dispatchable members; IQuorvelXml's come to it as its base
// interface (implemented type 0), whose description does not change. Its virtual-table-only
// members (slots 112-116) are not described: they have no DISPID and types no variant carries,
// so they are counted in the table size alone.
constexpr ImplType kQuorvelXml2Impl[] = {{ModuleType::QuorvelXml, 0}};
// The class's default interface is IQuorvelXml2, so that hosts that bind by the class see every
// member; IQuorvelXml is listed after the event source for those that ask for it by name.
constexpr ImplType kQuorvelXmlImpl[] = {
    {ModuleType::QuorvelXml2, IMPLTYPEFLAG_FDEFAULT},
    {ModuleType::Events, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
    {ModuleType::QuorvelXml, 0},
};
constexpr ImplType kXmlFactoryImpl[] = {{ModuleType::XmlFactory, IMPLTYPEFLAG_FDEFAULT}};

constexpr WORD kDualFlags = TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FNONEXTENSIBLE |
                            TYPEFLAG_FOLEAUTOMATION;
constexpr UINT kQuorvelXmlSlots = kFirstMemberSlot + kQuorvelXmlMemberCount;
constexpr UINT kQuorvelXml2Slots = kFirstVtableOnlySlot + 5;  // the five virtual-table-only members

// In ModuleType order.
const TypeSpec kSpecs[] = {
    {IID_IQuorvelXml, "IQuorvelXml", "IQuorvelXml Interface", TKIND_DISPATCH, kDualFlags, kMembers,
     static_cast<UINT>(kQuorvelXmlMemberCount), false, nullptr, 0, kMembers, static_cast<UINT>(kQuorvelXmlMemberCount),
     kQuorvelXmlSlots, true},
    {IID_IXmlFactory, "IXmlFactory", "IXmlFactory Interface", TKIND_DISPATCH, kDualFlags, kFactoryMembers, 1,
     false, nullptr, 0, kFactoryMembers, 1, 8, false},
    {DIID_IQuorvelXmlEvents, "_IQuorvelXmlEvents", "_IQuorvelXmlEvents Interface", TKIND_DISPATCH, 0,
     kEventMembers, 1, true, nullptr, 0, kEventMembers, 1, 8, false},
    {CLSID_QuorvelXml, "QuorvelXml", "QuorvelXml Class", TKIND_COCLASS, TYPEFLAG_FCANCREATE, nullptr, 0, false,
     kQuorvelXmlImpl, 3, nullptr, 0, 0, false},
    {CLSID_XmlFactory, "XmlFactory", "XmlFactory Class", TKIND_COCLASS, TYPEFLAG_FCANCREATE, nullptr, 0, false,
     kXmlFactoryImpl, 1, nullptr, 0, 0, false},
    {IID_IQuorvelXml2, "IQuorvelXml2", "IQuorvelXml2 Interface", TKIND_DISPATCH, kDualFlags,
     kMembers + kQuorvelXmlMemberCount, static_cast<UINT>(kMemberCount - kQuorvelXmlMemberCount), false,
     kQuorvelXml2Impl, 1, kMembers, static_cast<UINT>(kMemberCount), kQuorvelXml2Slots, true},
};
constexpr UINT kTypeCount = sizeof(kSpecs) / sizeof(kSpecs[0]);

BSTR asciiToBstr(const char* s) {
    size_t n = 0;
    while (s[n]) ++n;
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (out) {
        for (size_t i = 0; i < n; ++i) out[i] = static_cast<OLECHAR>(static_cast<unsigned char>(s[i]));
    }
    return out;
}

TYPEDESC plain(VARTYPE vt) {
    TYPEDESC t{};
    t.vt = vt;
    return t;
}

TYPEDESC pointerTo(TYPEDESC* target) {
    TYPEDESC t{};
    t.lptdesc = target;
    t.vt = VT_PTR;
    return t;
}

// The type descriptions members point into; built once, never changed.
struct CommonTypes {
    CommonTypes() {
        bstr = plain(VT_BSTR);
        i4 = plain(VT_I4);
        variant = plain(VT_VARIANT);
        handle.hreftype = static_cast<HREFTYPE>(ModuleType::QuorvelXml);
        handle.vt = VT_USERDEFINED;
        handlePointer = pointerTo(&handle);
    }
    TYPEDESC bstr{};
    TYPEDESC i4{};
    TYPEDESC variant{};
    TYPEDESC handle{};
    TYPEDESC handlePointer{};

    TYPEDESC* target(ArgType type) {
        switch (carrierOf(type)) {
            case ArgType::String: return &bstr;
            case ArgType::Long: return &i4;
            case ArgType::Variant: return &variant;
            case ArgType::Handle: return &handlePointer;
            default: break;
        }
        return nullptr;
    }
    TYPEDESC in(ArgType type) { return *target(type); }
    TYPEDESC out(ArgType type) { return pointerTo(target(type)); }
};

CommonTypes& commonTypes() {
    static CommonTypes types;
    return types;
}

INVOKEKIND invokeKind(MemberKind kind) {
    switch (kind) {
        case MemberKind::PropertyGet: return INVOKE_PROPERTYGET;
        case MemberKind::PropertyPut: return INVOKE_PROPERTYPUT;
        case MemberKind::Method: break;
    }
    return INVOKE_FUNC;
}

class ModuleTypeInfo final : public ITypeInfo {
public:
    explicit ModuleTypeInfo(const TypeSpec& layout) : spec_(layout), functions_(layout.memberCount) {
        attr_.guid = layout.guid;
        attr_.lcid = 0;
        attr_.memidConstructor = MEMBERID_NIL;
        attr_.memidDestructor = MEMBERID_NIL;
        attr_.cbSizeInstance = sizeof(void*);
        attr_.typekind = layout.kind;
        attr_.cFuncs = static_cast<WORD>(layout.memberCount);
        attr_.cImplTypes = static_cast<WORD>(layout.implCount);
        attr_.cbSizeVft = static_cast<WORD>(layout.vtableSlots * sizeof(void*));
        attr_.cbAlignment = alignof(void*);
        attr_.wTypeFlags = layout.flags;
        attr_.wMajorVerNum = 1;
        attr_.wMinorVerNum = 0;
        CommonTypes& types = commonTypes();
        for (UINT i = 0; i < layout.memberCount; ++i) {
            const MemberInfo& m = layout.members[i];
            Function& f = functions_[i];
            SHORT n = 0;
            for (uint8_t p = 0; p < m.paramCount; ++p) {
                f.params[n].tdesc = types.in(m.params[p].type);
                f.params[n].paramdesc.wParamFlags = PARAMFLAG_FIN;
                ++n;
            }
            if (m.result.type != ArgType::None) {
                f.params[n].tdesc = types.out(m.result.type);
                f.params[n].paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
                ++n;
            }
            f.desc.memid = m.dispid;
            f.desc.lprgelemdescParam = n ? f.params : nullptr;
            f.desc.funckind = FUNC_DISPATCH;
            f.desc.invkind = invokeKind(m.kind);
            f.desc.callconv = CC_STDCALL;
            f.desc.cParams = n;
            f.desc.oVft = static_cast<SHORT>(m.slot * sizeof(void*));
            f.desc.elemdescFunc.tdesc = plain(layout.dispinterface ? VT_VOID : VT_HRESULT);
        }
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
            *ppv = static_cast<ITypeInfo*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }

    HRESULT GetTypeAttr(TYPEATTR** ppTypeAttr) override {
        if (!ppTypeAttr) return E_INVALIDARG;
        *ppTypeAttr = &attr_;
        return S_OK;
    }
    HRESULT GetTypeComp(ITypeComp** ppTComp) override {
        if (ppTComp) *ppTComp = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override {
        if (!ppFuncDesc) return E_INVALIDARG;
        *ppFuncDesc = nullptr;
        if (index >= spec_.memberCount) return TYPE_E_ELEMENTNOTFOUND;
        *ppFuncDesc = &functions_[index].desc;
        return S_OK;
    }
    HRESULT GetVarDesc(UINT, VARDESC** ppVarDesc) override {
        if (!ppVarDesc) return E_INVALIDARG;
        *ppVarDesc = nullptr;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    // The first member with that DISPID (a property's get form), then its parameters in order.
    HRESULT GetNames(MEMBERID memid, BSTR* names, UINT cMaxNames, UINT* pcNames) override {
        if (!names || !pcNames) return E_INVALIDARG;
        *pcNames = 0;
        const MemberInfo* m = findByDispid(memid);
        if (!m) return TYPE_E_ELEMENTNOTFOUND;
        const char* all[6] = {m->name};
        UINT count = 1;
        for (uint8_t p = 0; p < m->paramCount; ++p) all[count++] = m->params[p].name;
        if (m->result.type != ArgType::None) all[count++] = m->result.name;
        UINT written = 0;
        for (; written < count && written < cMaxNames; ++written) {
            names[written] = asciiToBstr(all[written]);
            if (!names[written]) {
                for (UINT k = 0; k < written; ++k) SysFreeString(names[k]);
                return E_OUTOFMEMORY;
            }
        }
        *pcNames = written;
        return S_OK;
    }
    HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override {
        if (!pRefType) return E_INVALIDARG;
        if (index >= spec_.implCount) return TYPE_E_ELEMENTNOTFOUND;
        *pRefType = static_cast<HREFTYPE>(spec_.implTypes[index].type);
        return S_OK;
    }
    HRESULT GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override {
        if (!pImplTypeFlags) return E_INVALIDARG;
        if (index >= spec_.implCount) return TYPE_E_ELEMENTNOTFOUND;
        *pImplTypeFlags = spec_.implTypes[index].flags;
        return S_OK;
    }
    HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override {
        return idsOfNames(spec_.named, spec_.namedCount, rgszNames, cNames, pMemId);
    }
    HRESULT Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                   EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
        if (!pvInstance) return E_INVALIDARG;
        if (spec_.kind == TKIND_COCLASS) return E_NOTIMPL;
        // pvInstance is the interface this type describes; IQuorvelXml2 starts with IQuorvelXml.
        if (spec_.nodeHandle)
            return invokeMember(static_cast<IQuorvelXml*>(pvInstance), spec_.namedCount, memid, wFlags, pDispParams,
                                pVarResult, pExcepInfo, puArgErr);
        return static_cast<IDispatch*>(pvInstance)
            ->Invoke(memid, IID_NULL, LOCALE_USER_DEFAULT, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    }
    HRESULT GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                             BSTR* pBstrHelpFile) override {
        const char* name = spec_.name;
        const char* doc = spec_.doc;
        if (memid != MEMBERID_NIL) {
            const MemberInfo* m = findByDispid(memid);
            if (!m) return TYPE_E_ELEMENTNOTFOUND;
            name = m->name;
            doc = nullptr;
        }
        if (pBstrName) *pBstrName = asciiToBstr(name);
        if (pBstrDocString) *pBstrDocString = doc ? asciiToBstr(doc) : nullptr;
        if (pdwHelpContext) *pdwHelpContext = 0;
        if (pBstrHelpFile) *pBstrHelpFile = nullptr;
        return S_OK;
    }
    HRESULT GetDllEntry(MEMBERID, INVOKEKIND, BSTR* pBstrDllName, BSTR* pBstrName, WORD* pwOrdinal) override {
        if (pBstrDllName) *pBstrDllName = nullptr;
        if (pBstrName) *pBstrName = nullptr;
        if (pwOrdinal) *pwOrdinal = 0;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override {
        if (!ppTInfo) return E_INVALIDARG;
        *ppTInfo = nullptr;
        if (hRefType < 1 || hRefType > kTypeCount) return TYPE_E_ELEMENTNOTFOUND;
        return getModuleTypeInfo(static_cast<ModuleType>(hRefType), ppTInfo);
    }
    HRESULT AddressOfMember(MEMBERID, INVOKEKIND, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOTIMPL;
    }
    HRESULT CreateInstance(IUnknown*, REFIID, void** ppvObj) override {
        if (ppvObj) *ppvObj = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetMops(MEMBERID, BSTR* pBstrMops) override {
        if (pBstrMops) *pBstrMops = nullptr;
        return S_OK;
    }
    HRESULT GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override {
        if (ppTLib) *ppTLib = nullptr;
        if (pIndex) *pIndex = 0;
        return E_NOTIMPL;
    }
    void ReleaseTypeAttr(TYPEATTR*) override {}
    void ReleaseFuncDesc(FUNCDESC*) override {}
    void ReleaseVarDesc(VARDESC*) override {}

private:
    struct Function {
        FUNCDESC desc{};
        ELEMDESC params[5]{};
    };

    const MemberInfo* findByDispid(MEMBERID memid) const {
        for (UINT i = 0; i < spec_.namedCount; ++i) {
            if (spec_.named[i].dispid == memid) return &spec_.named[i];
        }
        return nullptr;
    }

    const TypeSpec& spec_;
    TYPEATTR attr_{};
    std::vector<Function> functions_;
};

}  // namespace

HRESULT getModuleTypeInfo(ModuleType type, ITypeInfo** out) {
    if (!out) return E_POINTER;
    // Built on first use, once, and kept for the life of the process.
    static ModuleTypeInfo* const infos[kTypeCount] = {
        new ModuleTypeInfo(kSpecs[0]), new ModuleTypeInfo(kSpecs[1]), new ModuleTypeInfo(kSpecs[2]),
        new ModuleTypeInfo(kSpecs[3]), new ModuleTypeInfo(kSpecs[4]), new ModuleTypeInfo(kSpecs[5]),
    };
    const auto index = static_cast<HREFTYPE>(type) - 1;
    if (index >= kTypeCount) {
        *out = nullptr;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    *out = infos[index];
    return S_OK;
}

}  // namespace quorvel
