#include "events.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "com_error.h"
#include "com_ref.h"
#include "dispatch_object.h"
#include "event_sink.h"
#include "interface_info.h"
#include "object_creation.h"
#include "quorvel/quorvel_xml.hpp"

namespace quorvel::python {

namespace {

struct EventInterface {
    IID iid = DIID_IQuorvelXmlEvents;
    std::unordered_map<DISPID, std::string> handlerNames;  // DISPID -> "On" + event name
};

void readEventNames(ITypeInfo* events, EventInterface& out) {
    TYPEATTR* attr = nullptr;
    if (FAILED(events->GetTypeAttr(&attr)) || !attr) return;
    const WORD functions = attr->cFuncs;
    events->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(events->GetFuncDesc(i, &f)) || !f) continue;
        BSTR name = nullptr;
        UINT count = 0;
        if (SUCCEEDED(events->GetNames(f->memid, &name, 1, &count)) && count == 1)
            out.handlerNames[f->memid] = "On" + utf8Of(name, SysStringLen(name));
        SysFreeString(name);
        events->ReleaseFuncDesc(f);
    }
}

// The default source interface of the object's class and its events' names, as the class's
// type information gives them; this component's own event interface when it gives none.
EventInterface eventInterfaceOf(IDispatch* object) {
    EventInterface found;
    auto classInfo = ComRef<IDispatch>::share(object).query<IProvideClassInfo2>(IID_IProvideClassInfo2);
    if (classInfo) {
        GUID iid{};
        if (SUCCEEDED(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid))) found.iid = iid;
        ComRef<ITypeInfo> coclass;
        TYPEATTR* attr = nullptr;
        if (SUCCEEDED(classInfo->GetClassInfo(coclass.put())) && coclass &&
            SUCCEEDED(coclass->GetTypeAttr(&attr)) && attr) {
            const WORD implemented = attr->cImplTypes;
            coclass->ReleaseTypeAttr(attr);
            for (UINT i = 0; i < implemented; ++i) {
                INT flags = 0;
                HREFTYPE ref = 0;
                ComRef<ITypeInfo> events;
                const INT wanted = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
                if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || (flags & wanted) != wanted) continue;
                if (SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref)) &&
                    SUCCEEDED(coclass->GetRefTypeInfo(ref, events.put())) && events)
                    readEventNames(events.get(), found);
                break;
            }
        }
    }
    if (found.handlerNames.empty()) found.handlerNames[DISPID_PARSEPERCENTDONE] = "OnParsePercentDone";
    return found;
}

std::unique_ptr<EventConnection> connectEvents(IDispatch* object, py::object target, bool weak) {
    auto container =
        ComRef<IDispatch>::share(object).query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    if (!container) raiseComError(E_NOINTERFACE, py::str(""), py::str("The object has no event source"));
    EventInterface events = eventInterfaceOf(object);
    ComRef<IConnectionPoint> point;
    const HRESULT foundPoint = container->FindConnectionPoint(events.iid, point.put());
    if (FAILED(foundPoint) || !point) raiseComError(FAILED(foundPoint) ? foundPoint : CONNECT_E_NOCONNECTION);
    auto* sink = new EventSink(events.iid, std::move(events.handlerNames), std::move(target), weak);
    DWORD cookie = 0;
    const HRESULT advised = point->Advise(sink, &cookie);
    if (FAILED(advised)) {
        sink->Release();
        raiseComError(advised);
    }
    sink->markConnected();
    return std::make_unique<EventConnection>(sink, point.get(), cookie);
}

// Binds a function to instances when placed in a class, as a function written in Python does.
py::object asMethod(py::cpp_function f) { return py::reinterpret_steal<py::object>(PyInstanceMethod_New(f.ptr())); }

void setOwnAttribute(py::handle object, const char* name, py::handle value) {
    if (PyObject_GenericSetAttr(object.ptr(), py::str(name).ptr(), value.ptr()) != 0) throw py::error_already_set();
}

py::object ownAttribute(py::handle object, const char* name) {
    PyObject* value = PyObject_GenericGetAttr(object.ptr(), py::str(name).ptr());
    if (!value) {
        PyErr_Clear();
        return py::none();
    }
    return py::reinterpret_steal<py::object>(value);
}

void closeHandler(py::handle self) {
    py::object connection = ownAttribute(self, "_qv_events");
    if (!connection.is_none()) connection.cast<EventConnection&>().close();
}

// A subclass of the handler class with close() and, when it forwards, the dispatch object's
// members as its own.
py::object handlerClass(py::handle handlerType, bool forwarding) {
    py::dict members;
    members["__module__"] = handlerType.attr("__module__");
    members["__qualname__"] = handlerType.attr("__qualname__");
    members["close"] = asMethod(py::cpp_function([](py::handle self) { closeHandler(self); }));
    if (forwarding) {
        members["__getattr__"] = asMethod(py::cpp_function([](py::handle self, const py::str& name) -> py::object {
            const std::string text = name.cast<std::string>();
            py::object target = ownAttribute(self, "_qv_dispatch");
            if (text.rfind("__", 0) == 0 || text.rfind("_qv_", 0) == 0 || target.is_none())
                throw py::attribute_error(text);
            return target.attr(name);
        }));
        members["__setattr__"] = asMethod(py::cpp_function([](py::handle self, const py::str& name, py::object value) {
            py::object target = ownAttribute(self, "_qv_dispatch");
            if (!target.is_none() && target.cast<DispatchObject&>().canSet(name)) {
                py::setattr(target, name, value);
            } else {
                setOwnAttribute(self, name.cast<std::string>().c_str(), value);
            }
        }));
        members["__dir__"] = asMethod(py::cpp_function([](py::handle self) {
            py::set names(py::module_::import("builtins").attr("object").attr("__dir__")(self));
            py::object target = ownAttribute(self, "_qv_dispatch");
            if (!target.is_none())
                for (auto n : target.cast<DispatchObject&>().memberNames()) names.add(n);
            return py::module_::import("builtins").attr("sorted")(names);
        }));
    }
    py::tuple bases = py::make_tuple(handlerType);
    return py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type))(
        handlerType.attr("__name__"), bases, members);
}

py::object withEvents(py::handle object, py::handle handlerType) {
    py::object target = dispatchFor(object);
    py::object handler = handlerClass(handlerType, false)();
    // The point holds the handler: it lives while connected, as a script's handler does.
    auto connection = connectEvents(dispatchOf(target), handler, false);
    setOwnAttribute(handler, "_qv_events", py::cast(std::move(connection)));
    return handler;
}

py::object dispatchWithEvents(py::handle what, py::handle handlerType) {
    py::object target = dispatchFor(what);
    py::object cls = handlerClass(handlerType, true);
    py::object handler = cls.attr("__new__")(cls);
    setOwnAttribute(handler, "_qv_dispatch", target);
    // The handler holds the object here, so the sink holds the handler only weakly, or the two
    // would keep each other alive.
    py::object weak = py::reinterpret_steal<py::object>(PyWeakref_NewRef(handler.ptr(), nullptr));
    if (!weak) throw py::error_already_set();
    auto connection = connectEvents(dispatchOf(target), weak, true);
    setOwnAttribute(handler, "_qv_events", py::cast(std::move(connection)));
    handler.attr("__init__")();
    return handler;
}

// Calls every sink connected to obj's event source as the object itself raises an event: each
// through Invoke with DISPATCH_METHOD, the interpreter lock let go meanwhile. For tests of the
// handlers' side; returns the number of sinks called.
size_t raiseEvent(py::handle obj, DISPID id, const py::args& args) {
    IDispatch* object = dispatchOf(obj);
    if (!object) throw py::type_error("a dispatch object is needed");
    auto container =
        ComRef<IDispatch>::share(object).query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ComRef<IConnectionPoint> point;
    ComRef<IEnumConnections> connections;
    if (!container || FAILED(container->FindConnectionPoint(eventInterfaceOf(object).iid, point.put())) || !point ||
        FAILED(point->EnumConnections(connections.put())) || !connections)
        raiseComError(CONNECT_E_NOCONNECTION);
    std::vector<ComRef<IDispatch>> sinks;
    CONNECTDATA data{};
    while (connections->Next(1, &data, nullptr) == S_OK) {
        auto held = ComRef<IUnknown>::adopt(data.pUnk);
        if (auto sink = held.query<IDispatch>(IID_IDispatch)) sinks.push_back(std::move(sink));
    }
    VariantList arguments(args.size());
    for (size_t i = 0; i < args.size(); ++i) toVariant(args[i], ParamKind::Any, arguments[args.size() - 1 - i]);
    DISPPARAMS params{arguments.size() ? arguments.data() : nullptr, nullptr, static_cast<UINT>(arguments.size()), 0};
    py::gil_scoped_release unlocked;
    for (const ComRef<IDispatch>& sink : sinks) {
        VariantList result(1);
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result[0], nullptr, nullptr);
    }
    return sinks.size();
}

}  // namespace

EventConnection::EventConnection(EventSink* sink, IConnectionPoint* point, DWORD cookie)
    : sink_(sink), point_(point), cookie_(cookie) {}

EventConnection::~EventConnection() {
    close();
    sink_->Release();
}

bool EventConnection::connected() const { return sink_->connected(); }

void EventConnection::close() {
    if (!sink_->connected()) return;
    // The point still holds the sink, so the object it lives in is still there.
    point_->AddRef();
    point_->Unadvise(cookie_);
    point_->Release();
}

void defineEvents(py::module_& m) {
    py::class_<EventConnection>(m, "_EventConnection", "The connection of an event handler to an object.")
        .def("close", &EventConnection::close)
        .def_property_readonly("connected", &EventConnection::connected);
    m.def("WithEvents", &withEvents, py::arg("obj"), py::arg("handler_class"),
          "Connects a new handler_class() to obj's events and returns it. Its On<Event>(...) methods are\n"
          "called for each event; close() disconnects it, and so does releasing obj.");
    m.def("_raise_event", &raiseEvent, py::arg("obj"), py::arg("dispid"),
          "Calls the handlers connected to obj as if obj raised the event dispid with the arguments given.");
    m.def("DispatchWithEvents", &dispatchWithEvents, py::arg("progid"), py::arg("handler_class"),
          "Creates the object and connects its events in one step. The result is the handler, which\n"
          "also serves the object's members; close() disconnects it.");
}

}  // namespace quorvel::python
