// The sink a Python handler is connected through: an object of ours that answers the outgoing
// interface's Invoke by calling the handler's On<EventName>(arguments...) with the interpreter
// lock taken (events arrive while a call into the component has let it go).
//
// Lifetime: the connection holds one reference and the connection point another. When the
// point lets go of its reference (on Unadvise, or when the object it belongs to is destroyed)
// the connection has ended and the sink drops its hold on the handler.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <string>
#include <unordered_map>

#include "quorvel/automation.hpp"

namespace quorvel::python {

namespace py = pybind11;

class EventSink final : public IDispatch {
public:
    // handlerNames maps each event's DISPID to its handler method's name. target is the handler,
    // or a weak reference to it when weak is set.
    EventSink(const IID& iid, std::unordered_map<DISPID, std::string> handlerNames, py::object target, bool weak);
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // Advise succeeded: the point now holds a reference.
    void markConnected() { connected_.store(true); }
    bool connected() const { return connected_.load(); }

private:
    ~EventSink();
    // Lets go of the handler, with the interpreter lock taken.
    void dropTarget();
    HRESULT dispatchEvent(const std::string& handlerName, DISPPARAMS* params, EXCEPINFO* exception);

    std::atomic<ULONG> refs_{1};
    const IID iid_;
    const std::unordered_map<DISPID, std::string> handlerNames_;
    PyObject* target_;
    const bool weak_;
    std::atomic<bool> connected_{false};
};

}  // namespace quorvel::python
