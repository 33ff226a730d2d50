// Creating objects by ProgID ("QuorvelXml.QuorvelXml", "QuorvelXml.QuorvelXml.1") or by class
// identifier in braces, as automation clients name them.
#pragma once

#include <pybind11/pybind11.h>

namespace quorvel::python {

namespace py = pybind11;

// A dispatch object for what: a ProgID or "{CLSID}" creates a new object; a dispatch object,
// or an object forwarding to one, is given back as it is.
py::object dispatchFor(py::handle what);

}  // namespace quorvel::python
