// Early-bound calls of IQuorvelXml's and IQuorvelXml2's members: a name found in the member table is called through
// the virtual table with typed arguments, without GetIDsOfNames, variants or Invoke. Only
// arguments that pass as they are take this path (str or None for strings, int for longs, a
// handle object or None for handles, anything for variants); every other call, and every
// other object, goes by name as before, so results and errors are the same either way.
// The interpreter lock is kept around members that cannot block or call back, and let go
// around the others (loading, saving, HTTP).
#pragma once

#include <pybind11/pybind11.h>

#include "quorvel/quorvel_xml.hpp"

namespace quorvel::python {

namespace py = pybind11;

class DispatchObject;

// The members of IQuorvelXml that one name (matched without case) reaches.
struct EarlyName;

// The entry of a name, cached by the str; none when IQuorvelXml has no member of that name.
const EarlyName* earlyNameOf(PyObject* name);

// A property's value, or a new bound method for a method, of the object self (whose
// DispatchObject d has an early() interface). Null with a Python error set on failure; null
// without one when the call must go by name instead (as IQuorvelXml2's members do on objects
// that do not answer it).
PyObject* earlyGet(PyObject* self, DispatchObject& d, const EarlyName& e, PyObject* name);
// Sets a property: 0 done, -1 with a Python error set, 1 when it must go by name instead.
int earlySet(DispatchObject& d, const EarlyName& e, PyObject* value);

// A new Python object on a handle, taking over the reference.
py::object wrapHandle(IQuorvelXml* handle);

void defineEarlyBinding(py::module_& m);

}  // namespace quorvel::python
