// Node handles as Python containers, the way lxml users expect: `for child in node`, len(node),
// node[i] and node[a:b], `child in node`, and == / hash() true for two handles on the same node.
// Also quorvelxml.QuorvelXml, the class that isinstance() and annotations name for node handles.
#pragma once

#include <pybind11/pybind11.h>

namespace quorvel::python {

namespace py = pybind11;

// Adds the container and comparison methods to DispatchObject and defines QuorvelXml.
// REQUIRES: defineDispatchObject and defineMemberDocs ran on m.
void defineNodeProtocol(py::module_& m);

}  // namespace quorvel::python
