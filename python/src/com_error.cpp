#include "com_error.h"

#include <cstdio>

#include "error_hints.h"
#include "host_strings.h"

namespace quorvel::python {

namespace {

// The class lives as long as the process; it is never released, so nothing touches it after
// the interpreter has gone.
PyObject* comErrorType = nullptr;

const char* knownText(HRESULT hr) {
    switch (hr) {
        case E_NOTIMPL: return "Not implemented";
        case E_NOINTERFACE: return "No such interface supported";
        case E_POINTER: return "Invalid pointer";
        case E_FAIL: return "Unspecified error";
        case E_UNEXPECTED: return "Catastrophic failure";
        case E_OUTOFMEMORY: return "Not enough memory";
        case E_INVALIDARG: return "The parameter is incorrect";
        case CLASS_E_NOAGGREGATION: return "Class does not support aggregation";
        case CLASS_E_CLASSNOTAVAILABLE: return "Class factory cannot supply the requested class";
        case REGDB_E_CLASSNOTREG: return "Class not registered";
        case CO_E_CLASSSTRING: return "Invalid class string";
        case CONNECT_E_NOCONNECTION: return "No connection";
        case CONNECT_E_CANNOTCONNECT: return "Cannot connect";
        case DISP_E_UNKNOWNINTERFACE: return "Unknown interface";
        case DISP_E_MEMBERNOTFOUND: return "Member not found";
        case DISP_E_PARAMNOTFOUND: return "Parameter not found";
        case DISP_E_TYPEMISMATCH: return "Type mismatch";
        case DISP_E_UNKNOWNNAME: return "Unknown name";
        case DISP_E_NONAMEDARGS: return "No named arguments";
        case DISP_E_BADVARTYPE: return "Bad variable type";
        case DISP_E_EXCEPTION: return "Exception occurred";
        case DISP_E_OVERFLOW: return "Out of present range";
        case DISP_E_BADPARAMCOUNT: return "Invalid number of parameters";
        case DISP_E_PARAMNOTOPTIONAL: return "Parameter not optional";
        default: return nullptr;
    }
}

py::str textOf(HRESULT hr) {
    if (const char* text = knownText(hr)) return py::str(text);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "Error 0x%08X", static_cast<unsigned>(hr));
    return py::str(buffer);
}

}  // namespace

void defineComError(py::module_& m) {
    comErrorType = PyErr_NewExceptionWithDoc(
        "quorvelxml.ComError",
        "A failed call: hresult is its result as an unsigned 32-bit number, source and description\n"
        "come from the error information (description is the component's error summary).",
        PyExc_Exception, nullptr);
    if (!comErrorType) throw py::error_already_set();
    py::handle type(comErrorType);
    type.attr("hresult") = 0;
    type.attr("source") = py::str("");
    type.attr("description") = py::str("");
    m.attr("ComError") = type;
}

void raiseComError(HRESULT hr, py::str source, py::str description) {
    py::str message = py::len(description) ? description : textOf(hr);
    // The exception's text may explain a terse summary; description stays the summary itself.
    if (py::len(description)) {
        const std::string text = description.cast<std::string>(), hint = hintFor(text);
        if (!hint.empty()) message = py::str(text + "\n" + hint);
    }
    py::object error = py::reinterpret_borrow<py::object>(comErrorType)(message);
    error.attr("hresult") = static_cast<uint32_t>(hr);
    error.attr("source") = source;
    error.attr("description") = description;
    PyErr_SetObject(comErrorType, error.ptr());
    throw py::error_already_set();
}

void raiseComError(HRESULT hr) { raiseComError(hr, py::str(""), py::str("")); }

void clearExceptionInfo(EXCEPINFO& info) {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    info.bstrSource = info.bstrDescription = info.bstrHelpFile = nullptr;
}

void raiseInvokeError(HRESULT hr, EXCEPINFO& info) {
    if (hr != DISP_E_EXCEPTION) {
        clearExceptionInfo(info);
        raiseComError(hr);
    }
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    const HRESULT result = info.scode ? info.scode : DISP_E_EXCEPTION;
    py::str source, description;
    try {
        source = fromHostString(info.bstrSource);
        description = fromHostString(info.bstrDescription);
    } catch (...) {
        clearExceptionInfo(info);
        throw;
    }
    clearExceptionInfo(info);
    raiseComError(result, source, description);
}

}  // namespace quorvel::python
