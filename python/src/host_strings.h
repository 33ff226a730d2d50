// Host strings and Python str: UTF-16 code units both ways. Unpaired surrogates pass through
// unchanged in either direction, so no text the component holds is altered on the way.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "quorvel/automation.hpp"

namespace quorvel::python {

namespace py = pybind11;

// The code units of a Python str (which must be one).
std::u16string toUtf16(py::handle text);
// A new host string holding text; throws std::bad_alloc when none can be made.
BSTR newHostString(py::handle text);
// A null host string is the absent string; Python sees it as "".
py::str fromHostString(BSTR s);
py::str fromUtf16(const char16_t* units, size_t count);

}  // namespace quorvel::python
