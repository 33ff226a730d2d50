#include "object_creation.h"

#include <string>

#include "com_error.h"
#include "com_ref.h"
#include "dispatch_object.h"
#include "host_strings.h"
#include "quorvel/quorvel_xml.hpp"

namespace quorvel::python {

py::object dispatchFor(py::handle what) {
    if (py::isinstance<DispatchObject>(what)) return py::reinterpret_borrow<py::object>(what);
    if (!py::isinstance<py::str>(what)) {
        py::object inner = py::getattr(what, "_qv_dispatch", py::none());
        if (py::isinstance<DispatchObject>(inner)) return inner;
        throw py::type_error("Dispatch() takes a ProgID, a class identifier in braces or a dispatch object");
    }
    const std::u16string name = toUtf16(what);
    CLSID clsid{};
    const HRESULT found = (!name.empty() && name[0] == u'{') ? CLSIDFromString(name.c_str(), &clsid)
                                                              : CLSIDFromProgID(name.c_str(), &clsid);
    if (FAILED(found)) raiseComError(found, py::str(""), py::str("Invalid class string: " + what.cast<std::string>()));
    ComRef<IDispatch> object;
    const HRESULT created = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.putVoid());
    if (FAILED(created) || !object) raiseComError(FAILED(created) ? created : E_NOINTERFACE);
    return wrapDispatch(std::move(object));
}

}  // namespace quorvel::python
