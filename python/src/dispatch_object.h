// The Python face of an automation object: a late-bound client that reaches every member by
// name through GetIDsOfNames and Invoke. Properties read and write as attributes, methods are
// called with positional or keyword arguments, and names match without case. Each Python
// object holds one reference on its interface and releases it when Python frees the object.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <string>

#include "com_ref.h"
#include "interface_info.h"
#include "quorvel/quorvel_xml.hpp"
#include "variant_values.h"

namespace quorvel::python {

namespace py = pybind11;

class DispatchObject {
public:
    explicit DispatchObject(ComRef<IDispatch> object);
    // An object known to be an IQuorvelXml: same is object's pointer as that interface.
    DispatchObject(ComRef<IDispatch> object, IQuorvelXml* same);
    ~DispatchObject();
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;
    // From the interpreter's small-object allocator: an object is made and freed only with the
    // interpreter lock held, as part of its Python object, and a node list makes thousands at
    // once, which the C allocator gathered up again on the next large request.
    static void* operator new(std::size_t n);
    static void operator delete(void* p) noexcept;

    IDispatch* get() const { return object_.get(); }
    // The object as IQuorvelXml, whose members are called through the virtual table; none for
    // other objects, which are called by name only.
    IQuorvelXml* early() const { return early_; }
    // Whether early() is also the object's IQuorvelXml2 (the same pointer, as the component's
    // handles answer), so that IQuorvelXml2's members may be called through it too; asked once.
    bool earlySecond();
    // Read from the type information at first use.
    const std::shared_ptr<InterfaceInfo>& info();

    py::object getAttribute(py::handle self, const py::str& name);
    // As getAttribute, always by name.
    py::object lateAttribute(py::handle self, const py::str& name);
    void setAttribute(const py::str& name, py::handle value);
    // Whether name is a property this object can write (for objects that forward to it).
    bool canSet(const py::str& name);
    py::list memberNames();
    std::string repr();

private:
    // The entry of a member name, its DISPID asked for; none when the object knows no such name.
    NameEntry* lookup(const py::str& name, const std::string& text);

    ComRef<IDispatch> object_;
    ComRef<IQuorvelXml> earlyRef_;  // held when the interface came from QueryInterface
    IQuorvelXml* early_ = nullptr;
    signed char earlySecond_ = -1;  // unknown until asked
    std::shared_ptr<InterfaceInfo> info_;
};

// A method of a dispatch object, bound to it; calling it calls the member.
class DispatchMethod {
public:
    DispatchMethod(py::object owner, NameEntry& entry, std::shared_ptr<InterfaceInfo> info);
    py::object call(const py::args& args, const py::kwargs& kwargs);
    std::string repr() const;

private:
    py::object owner_;
    NameEntry* entry_;                     // lives in info_
    std::shared_ptr<InterfaceInfo> info_;  // keeps entry_ alive
};

// One call through Invoke, with the interpreter lock let go meanwhile so that events may call
// back into Python and other threads may run. args are in Invoke's (reversed) order. Raises
// ComError when the call fails; the result is None when no result is wanted.
py::object invoke(IDispatch* object, DISPID id, WORD flags, VariantList& args, const DISPID* named,
                  UINT namedCount, bool wantResult);

// A new Python object on the interface; it takes over the reference.
py::object wrapDispatch(ComRef<IDispatch> object);
py::object wrapDispatch(ComRef<IDispatch> object, IQuorvelXml* same);
// The DispatchObject a Python object is, or none.
DispatchObject* dispatchObjectOf(PyObject* value);
// The exception being handled, as the Python error of a slot function that fails.
void setPythonErrorFromException();
// The interface behind a dispatch object, or behind an object that forwards to one (made by
// DispatchWithEvents); none for anything else. Borrowed: value keeps it alive.
IDispatch* dispatchOf(py::handle value);
// Interface references Python objects hold right now.
long liveInterfaceCount();

void defineDispatchObject(py::module_& m);

}  // namespace quorvel::python
