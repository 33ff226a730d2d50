// quorvelxml.records: a document larger than memory as a Python iterator of records.
#pragma once

#include <pybind11/pybind11.h>

namespace quorvel::python {

namespace py = pybind11;

void defineRecords(py::module_& m);

}  // namespace quorvel::python
