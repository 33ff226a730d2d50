#include "event_sink.h"

#include <exception>
#include <utility>

#include "host_strings.h"
#include "variant_values.h"

namespace quorvel::python {

namespace {

// After the interpreter has shut down nothing may touch Python objects; what is still held
// then is left alone.
bool interpreterAlive() {
#if PY_VERSION_HEX >= 0x030D0000
    return Py_IsInitialized() && !Py_IsFinalizing();
#else
    return Py_IsInitialized() && !_Py_IsFinalizing();
#endif
}

}  // namespace

EventSink::EventSink(const IID& iid, std::unordered_map<DISPID, std::string> handlerNames, py::object target,
                     bool weak)
    : iid_(iid), handlerNames_(std::move(handlerNames)), target_(target.release().ptr()), weak_(weak) {}

EventSink::~EventSink() { dropTarget(); }

void EventSink::dropTarget() {
    PyObject* target = std::exchange(target_, nullptr);
    if (!target || !interpreterAlive()) return;
    const PyGILState_STATE state = PyGILState_Ensure();
    Py_DECREF(target);
    PyGILState_Release(state);
}

HRESULT EventSink::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, iid_)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG EventSink::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG EventSink::Release() {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
        delete this;
        return 0;
    }
    // Only the connection's own reference is left: the point let go, the connection is over.
    // Dropping the handler may free the connection and with it this sink, so nothing of this
    // object is touched afterwards.
    if (left == 1 && connected_.exchange(false)) dropTarget();
    return left;
}

HRESULT EventSink::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo) *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT EventSink::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
    if (!rgszNames || !rgDispId) return E_POINTER;
    for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT EventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams, VARIANT*,
                          EXCEPINFO* pExcepInfo, UINT*) {
    if (!(wFlags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    const auto name = handlerNames_.find(dispIdMember);
    if (name == handlerNames_.end()) return DISP_E_MEMBERNOTFOUND;
    if (!interpreterAlive()) return E_UNEXPECTED;
    const PyGILState_STATE state = PyGILState_Ensure();
    const HRESULT hr = dispatchEvent(name->second, pDispParams, pExcepInfo);
    PyGILState_Release(state);
    return hr;
}

// Runs with the interpreter lock held; every Python object it makes is gone when it returns.
HRESULT EventSink::dispatchEvent(const std::string& handlerName, DISPPARAMS* params, EXCEPINFO* exception) {
    try {
        if (!target_) return S_OK;
        py::object handler = py::reinterpret_borrow<py::object>(target_);
        if (weak_) handler = py::reinterpret_borrow<py::object>(PyWeakref_GetObject(target_));
        if (handler.is_none()) return S_OK;
        py::object method = py::getattr(handler, handlerName.c_str(), py::none());
        if (method.is_none()) return S_OK;  // the handler does not want this event
        const UINT count = params ? params->cArgs : 0;
        py::tuple arguments(count);
        for (UINT i = 0; i < count; ++i) arguments[i] = fromVariant(params->rgvarg[count - 1 - i]);
        method(*arguments);
        return S_OK;
    } catch (py::error_already_set& error) {
        if (exception) {
            *exception = EXCEPINFO{};
            exception->scode = E_FAIL;
            try {
                exception->bstrSource = newHostString(py::str("Python"));
                exception->bstrDescription = newHostString(py::str(error.value()));
            } catch (...) {
            }
        }
        // The component ignores what a sink answers, so the traceback is shown here.
        error.discard_as_unraisable(py::str(handlerName));
        return DISP_E_EXCEPTION;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

}  // namespace quorvel::python
