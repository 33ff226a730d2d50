// quorvelxml.ComError: the exception every failed call raises, carrying the call's result
// (hresult, unsigned 32-bit), the error's source and its description.
#pragma once

#include <pybind11/pybind11.h>

#include "quorvel/automation.hpp"

namespace quorvel::python {

namespace py = pybind11;

void defineComError(py::module_& m);

// The message is the description, else the usual text of the result.
[[noreturn]] void raiseComError(HRESULT hr, py::str source, py::str description);
[[noreturn]] void raiseComError(HRESULT hr);
// A failed Invoke: for DISP_E_EXCEPTION the member's own result with the exception's source and
// description. Frees the strings the exception information holds.
[[noreturn]] void raiseInvokeError(HRESULT hr, EXCEPINFO& info);

// Releases the strings an EXCEPINFO holds.
void clearExceptionInfo(EXCEPINFO& info);

}  // namespace quorvel::python
