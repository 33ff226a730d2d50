#include "dispatch_object.h"

#include <cstdio>
#include <vector>

#include "com_error.h"
#include "early_binding.h"
#include "error_hints.h"
#include "host_strings.h"

namespace quorvel::python {

namespace {

long liveInterfaces = 0;  // changed with the interpreter lock held

bool isSpecialName(const std::string& name) {
    return name.size() > 4 && name.compare(0, 2, "__") == 0 && name.compare(name.size() - 2, 2, "__") == 0;
}

[[noreturn]] void raiseAttributeError(const std::string& message) {
    PyErr_SetString(PyExc_AttributeError, message.c_str());
    throw py::error_already_set();
}

// Asks the object for the DISPIDs of a member name followed by parameter names.
HRESULT askIds(IDispatch* object, std::vector<std::u16string>& names, DISPID* ids) {
    std::vector<LPOLESTR> pointers;
    pointers.reserve(names.size());
    for (std::u16string& n : names) pointers.push_back(n.data());
    return object->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()), LOCALE_USER_DEFAULT,
                                 ids);
}

bool resolve(IDispatch* object, NameEntry& e) {
    if (e.resolved) return true;
    std::vector<std::u16string> names{e.spelled};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = askIds(object, names, &id);
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) return false;
    if (FAILED(hr)) raiseComError(hr);
    e.dispid = id;
    e.resolved = true;
    return true;
}

// Positions of keyword arguments, each asked for once per member and kept.
std::vector<DISPID> keywordPositions(IDispatch* object, NameEntry& e, const std::vector<py::str>& keywords) {
    std::vector<std::string> keys;
    std::vector<size_t> missing;
    for (size_t i = 0; i < keywords.size(); ++i) {
        keys.push_back(lowerKey(keywords[i].cast<std::string>()));
        if (!e.keywords.count(keys.back())) missing.push_back(i);
    }
    if (!missing.empty()) {
        std::vector<std::u16string> names{e.spelled};
        for (size_t i : missing) names.push_back(toUtf16(keywords[i]));
        std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
        const HRESULT hr = askIds(object, names, ids.data());
        if (FAILED(hr) && hr != DISP_E_UNKNOWNNAME) raiseComError(hr);
        for (size_t k = 0; k < missing.size(); ++k) {
            const size_t i = missing[k];
            if (ids[k + 1] == DISPID_UNKNOWN) {
                raiseComError(DISP_E_UNKNOWNNAME, py::str(""),
                              py::str(utf8Of(e.spelled.data(), e.spelled.size()) + " has no parameter named '" +
                                      keywords[i].cast<std::string>() + "'"));
            }
            e.keywords[keys[i]] = ids[k + 1];
        }
    }
    std::vector<DISPID> positions;
    for (const std::string& key : keys) positions.push_back(e.keywords[key]);
    return positions;
}

}  // namespace

namespace {

// The call itself, the interpreter lock let go meanwhile; the object is held for the call, as
// another thread may drop the last Python reference while it runs.
HRESULT callObject(IDispatch* object, DISPID id, WORD flags, VariantList& args, const DISPID* named,
                   UINT namedCount, VARIANT* result, EXCEPINFO& exception) {
    DISPPARAMS params{args.size() ? args.data() : nullptr, const_cast<DISPID*>(named),
                      static_cast<UINT>(args.size()), namedCount};
    UINT argErr = 0;
    ComRef<IDispatch> held = ComRef<IDispatch>::share(object);
    py::gil_scoped_release unlocked;
    return held->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argErr);
}

}  // namespace

py::object invoke(IDispatch* object, DISPID id, WORD flags, VariantList& args, const DISPID* named,
                  UINT namedCount, bool wantResult) {
    VariantList result(1);
    EXCEPINFO exception{};
    const HRESULT hr =
        callObject(object, id, flags, args, named, namedCount, wantResult ? &result[0] : nullptr, exception);
    if (FAILED(hr)) raiseInvokeError(hr, exception);
    clearExceptionInfo(exception);
    return wantResult ? fromVariant(result[0]) : py::none();
}

// ---- DispatchObject ---------------------------------------------------------------------------

DispatchObject::DispatchObject(ComRef<IDispatch> object) : object_(std::move(object)) {
    void* raw = nullptr;
    if (object_ && SUCCEEDED(object_->QueryInterface(IID_IQuorvelXml, &raw)) && raw) {
        early_ = static_cast<IQuorvelXml*>(raw);
        earlyRef_ = ComRef<IQuorvelXml>::adopt(early_);
    }
    ++liveInterfaces;
}

DispatchObject::DispatchObject(ComRef<IDispatch> object, IQuorvelXml* same) : object_(std::move(object)), early_(same) {
    ++liveInterfaces;
}

void* DispatchObject::operator new(std::size_t n) {
    void* p = PyObject_Malloc(n);
    if (!p) throw std::bad_alloc();
    return p;
}

void DispatchObject::operator delete(void* p) noexcept { PyObject_Free(p); }

DispatchObject::~DispatchObject() {
    earlyRef_.reset();
    object_.reset();
    --liveInterfaces;
}

bool DispatchObject::earlySecond() {
    if (earlySecond_ < 0) {
        void* raw = nullptr;
        earlySecond_ = 0;
        if (early_ && SUCCEEDED(early_->QueryInterface(IID_IQuorvelXml2, &raw)) && raw) {
            auto* second = static_cast<IQuorvelXml2*>(raw);
            earlySecond_ = static_cast<IQuorvelXml*>(second) == early_ ? 1 : 0;
            second->Release();
        }
    }
    return earlySecond_ == 1;
}

const std::shared_ptr<InterfaceInfo>& DispatchObject::info() {
    if (!info_) info_ = InterfaceInfo::of(object_.get());
    return info_;
}

NameEntry* DispatchObject::lookup(const py::str& name, const std::string& text) {
    const std::string key = lowerKey(text);
    InterfaceInfo& interface = *info();
    if (NameEntry* e = interface.find(key)) return e;
    // The caller's own spelling goes to the object, which matches it without case.
    std::u16string spelled = toUtf16(name);
    if (interface.shape(key)) return &interface.add(key, std::move(spelled));
    // Not in the type information: only names the object itself knows get an entry.
    NameEntry probe;
    probe.spelled = std::move(spelled);
    if (!resolve(object_.get(), probe)) return nullptr;
    NameEntry& e = interface.add(key, std::move(probe.spelled));
    e.dispid = probe.dispid;
    e.resolved = true;
    return &e;
}

py::object DispatchObject::getAttribute(py::handle self, const py::str& name) {
    if (early_ && !isSpecialName(name.cast<std::string>())) {
        if (const EarlyName* e = earlyNameOf(name.ptr())) {
            PyObject* found = earlyGet(self.ptr(), *this, *e, name.ptr());
            if (found) return py::reinterpret_steal<py::object>(found);
            if (PyErr_Occurred()) throw py::error_already_set();
        }
    }
    return lateAttribute(self, name);
}

py::object DispatchObject::lateAttribute(py::handle self, const py::str& name) {
    const std::string text = name.cast<std::string>();
    if (isSpecialName(text)) raiseAttributeError(text);
    NameEntry* e = lookup(name, text);
    if (!e || !resolve(object_.get(), *e))
        raiseAttributeError("'" + info()->typeName() + "' object has no attribute '" + text + "'");
    const MemberShape* shape = e->shape;
    if (shape && shape->get) {
        VariantList none(0);
        return invoke(object_.get(), e->dispid, DISPATCH_PROPERTYGET, none, nullptr, 0, true);
    }
    if (shape && shape->method)
        return py::cast(DispatchMethod(py::reinterpret_borrow<py::object>(self), *e, info()));
    if (shape) raiseAttributeError("property '" + shape->name + "' can only be written");
    // Without type information: a call with no arguments that the member refuses for want of
    // arguments shows a method; anything else is the property's value.
    VariantList none(0);
    VariantList result(1);
    EXCEPINFO exception{};
    const HRESULT hr = callObject(object_.get(), e->dispid, DISPATCH_METHOD | DISPATCH_PROPERTYGET, none, nullptr,
                                  0, &result[0], exception);
    if (hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTOPTIONAL) {
        clearExceptionInfo(exception);
        return py::cast(DispatchMethod(py::reinterpret_borrow<py::object>(self), *e, info()));
    }
    if (FAILED(hr)) raiseInvokeError(hr, exception);
    clearExceptionInfo(exception);
    return fromVariant(result[0]);
}

void DispatchObject::setAttribute(const py::str& name, py::handle value) {
    const std::string text = name.cast<std::string>();
    if (isSpecialName(text)) raiseAttributeError("'" + info()->typeName() + "' object attribute '" + text + "' is read-only");
    NameEntry* e = lookup(name, text);
    if (!e || !resolve(object_.get(), *e))
        raiseAttributeError("'" + info()->typeName() + "' object has no attribute '" + text + "'");
    if (e->shape && !e->shape->put)
        raiseAttributeError("'" + e->shape->name + "' of '" + info()->typeName() + "' cannot be set");
    VariantList args(1);
    toVariant(value, e->shape ? e->shape->putKind : ParamKind::Any, args[0], args.loans());
    const DISPID named = DISPID_PROPERTYPUT;
    try {
        invoke(object_.get(), e->dispid, DISPATCH_PROPERTYPUT, args, &named, 1, false);
    } catch (py::error_already_set& error) {
        explainArguments(error, text, e->shape, py::make_tuple(value), py::kwargs());
    }
}

bool DispatchObject::canSet(const py::str& name) {
    const MemberShape* shape = info()->shape(lowerKey(name.cast<std::string>()));
    return shape && shape->put;
}

py::list DispatchObject::memberNames() {
    py::list names;
    for (const MemberShape& m : info()->members()) names.append(py::str(m.name));
    return names;
}

std::string DispatchObject::repr() {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<void*>(object_.get()));
    return "<quorvelxml.DispatchObject " + info()->typeName() + " at " + address + ">";
}

// ---- DispatchMethod ---------------------------------------------------------------------------

DispatchMethod::DispatchMethod(py::object owner, NameEntry& entry, std::shared_ptr<InterfaceInfo> info)
    : owner_(std::move(owner)), entry_(&entry), info_(std::move(info)) {}

py::object DispatchMethod::call(const py::args& args, const py::kwargs& kwargs) {
    IDispatch* object = owner_.cast<DispatchObject&>().get();
    std::vector<py::str> keywords;
    std::vector<py::handle> keywordValues;
    for (auto item : kwargs) {
        keywords.push_back(py::reinterpret_borrow<py::str>(item.first));
        keywordValues.push_back(item.second);
    }
    const std::vector<DISPID> named = keywordPositions(object, *entry_, keywords);
    const MemberShape* shape = entry_->shape;
    auto kindAt = [shape](DISPID position) {
        if (!shape || position < 0 || static_cast<size_t>(position) >= shape->params.size()) return ParamKind::Any;
        return shape->params[static_cast<size_t>(position)];
    };
    // Invoke's order: named arguments first, then the positional ones from last to first.
    const size_t positional = args.size();
    const size_t count = keywords.size();
    VariantList list(positional + count);
    for (size_t j = 0; j < count; ++j) toVariant(keywordValues[j], kindAt(named[j]), list[j], list.loans());
    for (size_t i = 0; i < positional; ++i)
        toVariant(args[i], kindAt(static_cast<DISPID>(i)), list[count + positional - 1 - i], list.loans());
    const WORD flags = shape ? DISPATCH_METHOD : DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    try {
        return invoke(object, entry_->dispid, flags, list, named.data(), static_cast<UINT>(count), true);
    } catch (py::error_already_set& e) {
        explainArguments(e, utf8Of(entry_->spelled.data(), entry_->spelled.size()), shape, args, kwargs);
    }
}

std::string DispatchMethod::repr() const {
    return "<bound method " + info_->typeName() + "." + utf8Of(entry_->spelled.data(), entry_->spelled.size()) + ">";
}

// ---- Module functions -------------------------------------------------------------------------

namespace {

using Holder = std::unique_ptr<DispatchObject>;
static_assert(sizeof(Holder) == sizeof(void*), "the holder fits the simple layout's one slot");

// DispatchObject's Python type, and pybind11's deallocator for it, kept for what the quick one
// below leaves to it.
PyTypeObject* dispatchType = nullptr;
destructor pybindDealloc = nullptr;

// As py::cast of the holder, without its look-ups in pybind11's tables (the class by its
// type_index, the class's layout by the Python type, the object among the registered instances,
// then registering it): a node list makes one object per node. The instance gets the layout
// pybind11 gives a class of one registered type whose holder is one pointer: the value pointer,
// then the holder, in the instance itself. It is not registered, since a DispatchObject is
// always new here and nothing maps one back to its Python object. Leaves the holder owning the
// object.
py::object adopt(Holder object) {
    PyObject* made = dispatchType->tp_alloc(dispatchType, 0);
    if (!made) throw py::error_already_set();
    auto* instance = reinterpret_cast<py::detail::instance*>(made);
    instance->simple_layout = true;
    instance->simple_value_holder[0] = object.get();
    new (&instance->simple_value_holder[1]) Holder(std::move(object));
    instance->simple_holder_constructed = true;
    instance->simple_instance_registered = false;
    instance->owned = true;
    return py::reinterpret_steal<py::object>(made);
}

// The deallocator of an instance adopt made, without pybind11's look-up of the type's layout on
// every free; any other instance (registered, a subclass's, with weak references or kept-alive
// patients, or not yet holding its object) goes to pybind11's own.
void deallocDispatch(PyObject* self) {
    auto* instance = reinterpret_cast<py::detail::instance*>(self);
    PyTypeObject* type = Py_TYPE(self);
    if (type != dispatchType || !instance->simple_layout || !instance->simple_holder_constructed ||
        instance->simple_instance_registered || instance->weakrefs || instance->has_patients) {
        pybindDealloc(self);
        return;
    }
    if (PyType_HasFeature(type, Py_TPFLAGS_HAVE_GC)) PyObject_GC_UnTrack(self);
    {
        // The release may run Python (a sink's events): keep a pending error, as pybind11 does.
        py::error_scope keep;
        reinterpret_cast<Holder&>(instance->simple_value_holder[1]).~Holder();
    }
    instance->simple_value_holder[0] = nullptr;
    instance->simple_holder_constructed = false;
    type->tp_free(self);
    Py_DECREF(type);  // instances of a heap type hold a reference to it
}

}  // namespace

py::object wrapDispatch(ComRef<IDispatch> object) { return adopt(std::make_unique<DispatchObject>(std::move(object))); }

py::object wrapDispatch(ComRef<IDispatch> object, IQuorvelXml* same) {
    return adopt(std::make_unique<DispatchObject>(std::move(object), same));
}

DispatchObject* dispatchObjectOf(PyObject* value) {
    static PyTypeObject* type = reinterpret_cast<PyTypeObject*>(py::type::of<DispatchObject>().ptr());
    if (Py_TYPE(value) != type) return nullptr;
    auto* instance = reinterpret_cast<py::detail::instance*>(value);
    if (instance->simple_layout) return static_cast<DispatchObject*>(instance->simple_value_holder[0]);
    return &py::handle(value).cast<DispatchObject&>();
}

IDispatch* dispatchOf(py::handle value) {
    if (py::isinstance<DispatchObject>(value)) return value.cast<DispatchObject&>().get();
    py::object inner = py::getattr(value, "_qv_dispatch", py::none());
    if (py::isinstance<DispatchObject>(inner)) return inner.cast<DispatchObject&>().get();
    return nullptr;
}

long liveInterfaceCount() { return liveInterfaces; }

// The exception a slot function caught, handed to Python as pybind11 would hand it.
void setPythonErrorFromException() {
    try {
        throw;
    } catch (py::error_already_set& e) {
        e.restore();
    } catch (py::builtin_exception& e) {
        e.set_error();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
    } catch (...) {
        PyErr_SetString(PyExc_RuntimeError, "unexpected error in quorvelxml");
    }
}

namespace {

bool startsWithUnderscore(PyObject* name) {
    return PyUnicode_Check(name) && PyUnicode_GET_LENGTH(name) > 0 && PyUnicode_READ_CHAR(name, 0) == '_';
}

// Attribute slots of their own rather than __getattr__: a member name goes to the object
// straight away instead of first failing the ordinary lookup, which costs more than the call.
PyObject* getMember(PyObject* self, PyObject* name) {
    if (!PyUnicode_Check(name) || startsWithUnderscore(name)) {
        PyObject* found = PyObject_GenericGetAttr(self, name);
        if (found || !PyErr_ExceptionMatches(PyExc_AttributeError) || !PyUnicode_Check(name)) return found;
        PyErr_Clear();
    }
    try {
        DispatchObject* d = dispatchObjectOf(self);
        if (!d) d = &py::handle(self).cast<DispatchObject&>();
        if (d->early()) {
            if (const EarlyName* e = earlyNameOf(name)) {
                if (PyObject* found = earlyGet(self, *d, *e, name)) return found;
                if (PyErr_Occurred()) return nullptr;
            }
        }
        return d->lateAttribute(py::handle(self), py::reinterpret_borrow<py::str>(name)).release().ptr();
    } catch (...) {
        setPythonErrorFromException();
        return nullptr;
    }
}

int setMember(PyObject* self, PyObject* name, PyObject* value) {
    if (!value) {
        PyErr_SetString(PyExc_AttributeError, "members of an automation object cannot be deleted");
        return -1;
    }
    if (!PyUnicode_Check(name)) return PyObject_GenericSetAttr(self, name, value);
    try {
        DispatchObject* d = dispatchObjectOf(self);
        if (!d) d = &py::handle(self).cast<DispatchObject&>();
        if (d->early()) {
            if (const EarlyName* e = earlyNameOf(name)) {
                const int done = earlySet(*d, *e, value);
                if (done <= 0) return done;
            }
        }
        d->setAttribute(py::reinterpret_borrow<py::str>(name), value);
        return 0;
    } catch (...) {
        setPythonErrorFromException();
        return -1;
    }
}

PyObject* callMethod(PyObject* self, PyObject* args, PyObject* kwargs) {
    try {
        py::args positional = py::reinterpret_borrow<py::args>(args);
        py::kwargs keywords = kwargs ? py::reinterpret_borrow<py::kwargs>(kwargs) : py::kwargs();
        return py::handle(self).cast<DispatchMethod&>().call(positional, keywords).release().ptr();
    } catch (...) {
        setPythonErrorFromException();
        return nullptr;
    }
}

}  // namespace

void defineDispatchObject(py::module_& m) {
    auto object =
        py::class_<DispatchObject>(m, "DispatchObject",
                                   "An automation object reached by name: properties as attributes, methods as calls.")
            .def("__dir__",
                 [](py::object self) {
                     py::set names(py::module_::import("builtins").attr("object").attr("__dir__")(self));
                     for (auto n : self.cast<DispatchObject&>().memberNames()) names.add(n);
                     return py::module_::import("builtins").attr("sorted")(names);
                 })
            .def("__repr__", &DispatchObject::repr);
    auto* objectType = reinterpret_cast<PyTypeObject*>(object.ptr());
    objectType->tp_getattro = &getMember;
    objectType->tp_setattro = &setMember;
    if (objectType->tp_dictoffset != 0) throw std::logic_error("DispatchObject must have no __dict__");
    dispatchType = objectType;
    pybindDealloc = objectType->tp_dealloc;
    objectType->tp_dealloc = &deallocDispatch;
    PyType_Modified(objectType);

    auto method = py::class_<DispatchMethod>(m, "DispatchMethod", "A method of a dispatch object, bound to it.")
                      .def("__repr__", &DispatchMethod::repr);
    auto* methodType = reinterpret_cast<PyTypeObject*>(method.ptr());
    methodType->tp_call = &callMethod;
    PyType_Modified(methodType);
}

}  // namespace quorvel::python
