// Errors that say what went wrong. The component's error summary (ComError.description) is
// kept as the component wrote it; the exception's text may add a line that explains a terse
// message, and calls the dispatch layer refuses for their arguments name the member and what it
// takes instead of an empty description.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "interface_info.h"
#include "quorvel/automation.hpp"

namespace quorvel::python {

namespace py = pybind11;

// A line explaining a summary ("hint: ..."), or "" when there is nothing to add.
std::string hintFor(const std::string& description);

// The description of a call refused for its arguments (DISP_E_BADPARAMCOUNT,
// DISP_E_PARAMNOTOPTIONAL, DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW), naming the member, its
// parameters and what was given; "" for other results. shape may be null (no type information).
std::string argumentError(HRESULT hr, const std::string& member, const MemberShape* shape, const py::args& args,
                          const py::kwargs& kwargs);

// For DispatchMethod::call: re-raises e, a ComError of a call refused for its arguments, with
// argumentError's description; rethrows e as it is otherwise.
[[noreturn]] void explainArguments(py::error_already_set& e, const std::string& member, const MemberShape* shape,
                                   const py::args& args, const py::kwargs& kwargs);

}  // namespace quorvel::python
