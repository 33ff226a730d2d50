#include "variant_values.h"

#include <cstdint>
#include <new>
#include <string>

#include "com_ref.h"
#include "dispatch_object.h"
#include "host_strings.h"

namespace quorvel::python {

namespace {

[[noreturn]] void raisePython(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

std::string typeNameOf(py::handle value) { return Py_TYPE(value.ptr())->tp_name; }

void toByteArray(py::handle value, VARIANT& out, Loans* loans) {
    if (loans) {
        auto loan = std::make_unique<LentBytes>();
        if (PyObject_GetBuffer(value.ptr(), &loan->view, PyBUF_SIMPLE) == 0) {
            if (static_cast<uint64_t>(loan->view.len) > UINT32_MAX)
                raisePython(PyExc_OverflowError, "a byte array over 4 GiB");
            SAFEARRAY& a = loan->array;
            a.cDims = 1;
            a.fFeatures = FADF_STATIC | FADF_FIXEDSIZE;
            a.cbElements = 1;
            a.pvData = loan->view.buf;
            a.rgsabound[0] = {static_cast<ULONG>(loan->view.len), 0};
            out.vt = VT_ARRAY | VT_UI1;
            out.parray = &a;
            loans->push_back(std::move(loan));
            return;
        }
        // Not contiguous (a strided view): copied below.
        PyErr_Clear();
    }
    Py_buffer view;
    if (PyObject_GetBuffer(value.ptr(), &view, PyBUF_FULL_RO) != 0) throw py::error_already_set();
    struct Release {
        Py_buffer* v;
        ~Release() { PyBuffer_Release(v); }
    } release{&view};
    if (static_cast<uint64_t>(view.len) > UINT32_MAX) raisePython(PyExc_OverflowError, "a byte array over 4 GiB");
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(view.len));
    if (!array) throw std::bad_alloc();
    // Copies strided views (a sliced memoryview) as well as flat ones.
    if (view.len && PyBuffer_ToContiguous(array->pvData, &view, view.len, 'C') != 0) {
        SafeArrayDestroy(array);
        throw py::error_already_set();
    }
    out.vt = VT_ARRAY | VT_UI1;
    out.parray = array;
}

py::object fromObject(IUnknown* object);

py::object fromArray(SAFEARRAY* array, VARTYPE element) {
    if (!array) return py::none();
    size_t count = array->cDims ? 1 : 0;
    for (USHORT d = 0; d < array->cDims; ++d) count *= array->rgsabound[d].cElements;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) throw py::type_error("a result array could not be read");
    struct Unaccess {
        SAFEARRAY* a;
        ~Unaccess() { SafeArrayUnaccessData(a); }
    } unaccess{array};
    switch (element) {
        case VT_UI1:
        case VT_I1:
            return py::bytes(static_cast<const char*>(data), count);
        case VT_VARIANT: {
            py::list items(count);
            for (size_t i = 0; i < count; ++i) items[i] = fromVariant(static_cast<const VARIANT*>(data)[i]);
            return items;
        }
        case VT_BSTR: {
            py::list items(count);
            for (size_t i = 0; i < count; ++i) items[i] = fromHostString(static_cast<BSTR*>(data)[i]);
            return items;
        }
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            // Node handles, as SelectNodes returns them: each element gets a reference of its own.
            py::list items(count);
            for (size_t i = 0; i < count; ++i) items[i] = fromObject(static_cast<IUnknown* const*>(data)[i]);
            return items;
        }
        case VT_I4: {
            py::list items(count);
            for (size_t i = 0; i < count; ++i) items[i] = py::int_(static_cast<const LONG*>(data)[i]);
            return items;
        }
        default:
            throw py::type_error("a result array of variant type " + std::to_string(element) + " is not supported");
    }
}

py::object fromObject(IUnknown* object) {
    if (!object) return py::none();
    void* raw = nullptr;
    if (FAILED(object->QueryInterface(IID_IDispatch, &raw)) || !raw)
        throw py::type_error("a result object that cannot be called by name");
    return wrapDispatch(ComRef<IDispatch>::adopt(static_cast<IDispatch*>(raw)));
}

}  // namespace

ParamKind paramKindOf(const TYPEDESC& type) {
    switch (type.vt) {
        case VT_BSTR: return ParamKind::String;
        case VT_I4:
        case VT_INT: return ParamKind::Long;
        case VT_VARIANT: return ParamKind::Variant;
        case VT_DISPATCH:
        case VT_UNKNOWN: return ParamKind::Object;
        case VT_PTR:
            // An interface pointer is a pointer to the interface's own type.
            if (type.lptdesc && (type.lptdesc->vt == VT_USERDEFINED || type.lptdesc->vt == VT_DISPATCH ||
                                 type.lptdesc->vt == VT_UNKNOWN))
                return ParamKind::Object;
            return ParamKind::Any;
        default: return ParamKind::Any;
    }
}

void toVariant(py::handle value, ParamKind kind, VARIANT& out, Loans* loans) {
    PyObject* o = value.ptr();
    if (o == Py_None) {
        if (kind == ParamKind::String) {
            out.vt = VT_BSTR;
            out.bstrVal = nullptr;
        } else if (kind == ParamKind::Object) {
            out.vt = VT_DISPATCH;
            out.pdispVal = nullptr;
        } else {
            out.vt = VT_NULL;
        }
        return;
    }
    if (PyBool_Check(o)) {  // before int: bool is a kind of int
        if (kind == ParamKind::Long) {
            out.vt = VT_I4;
            out.lVal = o == Py_True ? 1 : 0;
        } else {
            out.vt = VT_BOOL;
            out.boolVal = o == Py_True ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return;
    }
    if (PyLong_Check(o)) {
        int overflow = 0;
        const long long v = PyLong_AsLongLongAndOverflow(o, &overflow);
        if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
        if (!overflow && v >= INT32_MIN && v <= INT32_MAX) {
            out.vt = VT_I4;
            out.lVal = static_cast<LONG>(v);
        } else if (!overflow && kind != ParamKind::Long) {
            out.vt = VT_I8;
            out.llVal = v;
        } else {
            raisePython(PyExc_OverflowError, py::str(value).cast<std::string>() +
                                                 (kind == ParamKind::Long ? " does not fit in a 32-bit long"
                                                                          : " does not fit in 64 bits"));
        }
        return;
    }
    if (PyFloat_Check(o)) {
        out.vt = VT_R8;
        out.dblVal = PyFloat_AS_DOUBLE(o);
        return;
    }
    if (PyUnicode_Check(o)) {
        out.bstrVal = newHostString(value);
        out.vt = VT_BSTR;
        return;
    }
    if (PyObject_CheckBuffer(o)) {
        toByteArray(value, out, loans);
        return;
    }
    if (IDispatch* object = dispatchOf(value)) {
        object->AddRef();
        out.vt = VT_DISPATCH;
        out.pdispVal = object;
        return;
    }
    raisePython(PyExc_TypeError, "a " + typeNameOf(value) + " cannot be passed to the component");
}

py::object fromVariant(const VARIANT& v) {
    if (v.vt & VT_BYREF) {
        if (v.vt == (VT_BYREF | VT_VARIANT)) return v.pvarVal ? fromVariant(*v.pvarVal) : py::none();
        VariantList direct(1);
        if (FAILED(VariantCopyInd(&direct[0], &v))) throw py::type_error("a result reference that cannot be read");
        return fromVariant(direct[0]);
    }
    if (v.vt & VT_ARRAY) return fromArray(v.parray, v.vt & VT_TYPEMASK);
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL: return py::none();
        case VT_BSTR: return fromHostString(v.bstrVal);
        case VT_I1: return py::int_(static_cast<signed char>(v.cVal));
        case VT_I2: return py::int_(v.iVal);
        case VT_I4: return py::int_(v.lVal);
        case VT_INT: return py::int_(v.intVal);
        case VT_I8: return py::int_(v.llVal);
        case VT_UI1: return py::int_(v.bVal);
        case VT_UI2: return py::int_(v.uiVal);
        case VT_UI4: return py::int_(v.ulVal);
        case VT_UINT: return py::int_(v.uintVal);
        case VT_UI8: return py::int_(v.ullVal);
        case VT_BOOL: return py::bool_(v.boolVal != 0);
        case VT_R4: return py::float_(v.fltVal);
        case VT_R8: return py::float_(v.dblVal);
        case VT_DISPATCH: return fromObject(v.pdispVal);
        case VT_UNKNOWN: return fromObject(v.punkVal);
        case VT_ERROR:
            // A missing optional value.
            if (v.scode == DISP_E_PARAMNOTFOUND) return py::none();
            return py::int_(static_cast<uint32_t>(v.scode));
        default: {
            // Currency, dates and decimals come back as numbers.
            VariantList number(1);
            if (SUCCEEDED(VariantChangeType(&number[0], &v, 0, VT_R8))) return py::float_(number[0].dblVal);
            throw py::type_error("a result of variant type " + std::to_string(v.vt) + " is not supported");
        }
    }
}

VariantList::VariantList(size_t count) : items_(count) {
    for (VARIANT& v : items_) VariantInit(&v);
}

VariantList::~VariantList() {
    for (VARIANT& v : items_) VariantClear(&v);
}

}  // namespace quorvel::python
