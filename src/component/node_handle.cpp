#include "component/node_handle.h"

#include <new>

#include "component/dispatch_names.h"
#include "component/member_invoke.h"
#include "component/record_state.h"
#include "component/rich_error_info.h"
#include "component/type_info.h"
#include "core/automation/host_object.h"
#include "tree/tree_node.h"

namespace quorvel {

// Within the allocator's quickest size class: see the class comment.
static_assert(sizeof(CQuorvelXml) <= 120, "a handle outgrew the allocator's quickest size class");

std::atomic<int64_t> CQuorvelXml::liveCount_{0};

CQuorvelXml::CQuorvelXml(IUnknown* outer) : CQuorvelXml(outer, nullptr) {}

CQuorvelXml::CQuorvelXml(TreeNode* node) : CQuorvelXml(nullptr, node) {}

CQuorvelXml::CQuorvelXml(IUnknown* outer, TreeNode* node)
    : aggregation_(outer ? std::make_unique<Aggregation>(*this, outer) : nullptr) {
    log_.setName(kLogName);
    node_ = node ? node : TreeNode::newTree("unnamed");
    node_->addHandleRef();
    liveCount_.fetch_add(1, std::memory_order_relaxed);
}

CQuorvelXml::~CQuorvelXml() {
    for (uintptr_t hint : releaseHints_) {
        if (hint) prefetchNode(reinterpret_cast<const TreeNode*>(hint));
    }
    releaseNode();
    liveCount_.fetch_sub(1, std::memory_order_relaxed);
}

CQuorvelXml* CQuorvelXml::createHandle(IUnknown* outer) {
    try {
        return new CQuorvelXml(outer);
    } catch (...) {
        return nullptr;
    }
}

IQuorvelXml* CQuorvelXml::wrapNode(TreeNode* node) { return wrapNode(node, nullptr, nullptr); }

// The node's first and last bytes: its handle count and tree pointer lie between them, and a
// node spans at most two cache lines. A prefetch never faults, so a node that is gone is harmless.
void CQuorvelXml::prefetchNode(const TreeNode* node) {
    static_assert(sizeof(TreeNode) <= 128, "a node spans at most two cache lines");
    const char* first = reinterpret_cast<const char*>(node);
    __builtin_prefetch(first, 1);
    __builtin_prefetch(first + sizeof(TreeNode) - 1, 1);
}

IQuorvelXml* CQuorvelXml::wrapNode(TreeNode* node, const TreeNode* before, const TreeNode* after) {
    if (!node) return nullptr;
    try {
        auto* made = new CQuorvelXml(node);
        made->releaseHints_[0] = reinterpret_cast<uintptr_t>(before);
        made->releaseHints_[1] = reinterpret_cast<uintptr_t>(after);
        return made;
    } catch (...) {
        return nullptr;
    }
}

CQuorvelXml* CQuorvelXml::fromInterface(IUnknown* p) {
    if (!p) return nullptr;
    void* object = nullptr;
    if (FAILED(queryObject(p, IID_CQuorvelXmlObject, &object)) || !object) return nullptr;
    auto* handle = static_cast<CQuorvelXml*>(object);
    // The caller's own reference keeps the object alive.
    handle->Release();
    return handle;
}

void CQuorvelXml::moveTo(TreeNode* node) {
    if (!node || node == node_) return;
    node->addHandleRef();
    node_->releaseHandleRef();
    node_ = node;
}

void CQuorvelXml::replaceTree(TreeNode* root) {
    if (!root || root == node_) return;
    releaseNode();
    node_ = root;
    node_->addHandleRef();
}

CharsetConvert& CQuorvelXml::converter() {
    Extras* made = extras();
    if (!made) throw std::bad_alloc();
    if (!made->converter) made->converter = std::make_unique<CharsetConvert>();
    return *made->converter;
}

CQuorvelXml::Extras::Extras(CQuorvelXml& owner)
    : events(owner, DIID_IQuorvelXmlEvents, true), propertyNotify(owner, IID_IPropertyNotifySink, false) {}

CQuorvelXml::Extras* CQuorvelXml::extras() {
    // The points' constructors allocate nothing, so only the allocation itself can fail.
    if (!extras_) extras_.reset(new (std::nothrow) Extras(*this));
    return extras_.get();
}

void CQuorvelXml::releaseNode() {
    if (!node_) return;
    TreeNode* node = node_;
    node_ = nullptr;
    TreeNode::releaseHandleRefAndDestroyUnused(node);
}

// ---- The frame ------------------------------------------------------------------------------

HRESULT CQuorvelXml::failCall(const char* context, const char* message, std::initializer_list<LogItem> items,
                              bool clearLog) {
    try {
        if (clearLog) log_.ClearLog();
        log_.EnterContext(context);
        log_.LogError(message);
        for (const LogItem& item : items) {
            if (item.isNumber) {
                log_.LogDataLong(item.keyword, item.number);
            } else {
                log_.LogData(item.keyword, item.text);
            }
        }
        log_.LeaveContext();
    } catch (...) {
        // Out of memory while logging: the call fails all the same.
    }
    raiseErrorSummary();
    return E_FAIL;
}

void CQuorvelXml::raiseErrorSummary() {
    try {
        StringBuffer summary;
        log_.GetErrorSummary(summary);
        RichErrorInfo(IID_IQuorvelXml, kErrorSource).raise(summary);
    } catch (...) {
        // Nothing is raised; the call still fails.
    }
}

// ---- IUnknown -------------------------------------------------------------------------------

HRESULT CQuorvelXml::innerQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown && aggregation_) {
        *ppv = &aggregation_->inner;
    } else if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IQuorvelXml ||
               riid == IID_IQuorvelXml2) {
        // One pointer for all four: IQuorvelXml2 extends IQuorvelXml in place.
        *ppv = static_cast<IQuorvelXml2*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
        *ppv = static_cast<ISupportErrorInfo*>(this);
    } else if (riid == IID_IConnectionPointContainer) {
        *ppv = static_cast<IConnectionPointContainer*>(this);
    } else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) {
        *ppv = static_cast<IProvideClassInfo2*>(this);
    } else if (riid == IID_CQuorvelXmlObject) {
        *ppv = this;
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // An interface's Release passes on to the outer object, so its reference is taken there too.
    if (aggregation_ && *ppv == &aggregation_->inner) {
        innerAddRef();
    } else {
        AddRef();
    }
    return S_OK;
}

ULONG CQuorvelXml::innerRelease() {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

// ---- IDispatch ------------------------------------------------------------------------------

HRESULT CQuorvelXml::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

HRESULT CQuorvelXml::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0) return DISP_E_BADINDEX;
    // The object's dispatch interface is IQuorvelXml2, whose type information inherits
    // IQuorvelXml's (unchanged) and adds the new members.
    return getModuleTypeInfo(ModuleType::QuorvelXml2, ppTInfo);
}

HRESULT CQuorvelXml::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return idsOfNames(kMembers, kMemberCount, rgszNames, cNames, rgDispId);
}

HRESULT CQuorvelXml::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                            VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return invokeMember(this, kMemberCount, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
}

// ---- ISupportErrorInfo, IProvideClassInfo2 --------------------------------------------------

HRESULT CQuorvelXml::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID_IQuorvelXml || riid == IID_IQuorvelXml2 ? S_OK : S_FALSE;
}

HRESULT CQuorvelXml::GetClassInfo(ITypeInfo** ppTI) {
    if (!ppTI) return E_POINTER;
    return getModuleTypeInfo(ModuleType::QuorvelXmlClass, ppTI);
}

HRESULT CQuorvelXml::GetGUID(DWORD dwGuidKind, GUID* pGUID) {
    if (!pGUID) return E_POINTER;
    if (dwGuidKind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *pGUID = GUID_NULL;
        return E_INVALIDARG;
    }
    *pGUID = DIID_IQuorvelXmlEvents;
    return S_OK;
}

// ---- Connection points and the progress event -----------------------------------------------

HRESULT CQuorvelXml::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    if (!ppEnum) return E_POINTER;
    Extras* made = extras();
    if (!made) {
        *ppEnum = nullptr;
        return E_OUTOFMEMORY;
    }
    IConnectionPoint* const points[] = {&made->events, &made->propertyNotify};
    return ConnectionPointEnumerator::create(this, points, 2, 0, ppEnum);
}

HRESULT CQuorvelXml::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    if (riid != DIID_IQuorvelXmlEvents && riid != IID_IPropertyNotifySink) return CONNECT_E_NOCONNECTION;
    Extras* made = extras();
    if (!made) return E_OUTOFMEMORY;
    ConnectionPoint* point = riid == made->events.iid() ? &made->events : &made->propertyNotify;
    point->AddRef();
    *ppCP = point;
    return S_OK;
}

void CQuorvelXml::FireEvent(uint32_t, uint32_t, uint32_t percent, uint32_t) {
    // No extras made: no sink was ever connected.
    if (!extras_) return;
    extras_->events.forEachSink([percent](IUnknown* sink) {
        VARIANT argument;
        VariantInit(&argument);
        argument.vt = VT_I4;
        argument.lVal = static_cast<LONG>(percent);
        DISPPARAMS params{&argument, nullptr, 1, 0};
        VARIANT result;
        VariantInit(&result);
        // The sink was connected as the event interface, a dispinterface: its table is IDispatch's.
        reinterpret_cast<IDispatch*>(sink)->Invoke(DISPID_PARSEPERCENTDONE, IID_NULL, LOCALE_USER_DEFAULT,
                                                   DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        VariantClear(&result);
    });
}

}  // namespace quorvel
