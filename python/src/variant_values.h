// Python values to the variants a call passes, and the variants it returns back to Python.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <vector>

#include "quorvel/automation.hpp"

namespace quorvel::python {

namespace py = pybind11;

// What a parameter takes, as its type information declares it; Any when unknown. It decides
// only what None becomes and how strictly integers are checked: the component coerces the rest.
enum class ParamKind : uint8_t { Any, String, Long, Object, Variant };

ParamKind paramKindOf(const TYPEDESC& type);

// Converts value for a parameter of the given kind into out, which must be empty:
//   None -> the null string (String), a null object (Object), else VT_NULL;
//   bool -> VT_BOOL (VT_I4 for Long); int -> VT_I4, else VT_I8 where no long is asked for;
//   float -> VT_R8; str -> VT_BSTR; bytes, bytearray, memoryview and other buffers -> a byte
//   array; a dispatch object -> VT_DISPATCH holding a reference of its own.
// Throws TypeError or OverflowError for what cannot be passed.
void toVariant(py::handle value, ParamKind kind, VARIANT& out);

// A result back to Python: strings to str, integers to int, byte arrays to bytes, objects to
// new dispatch objects (None when null), VT_EMPTY and VT_NULL to None.
py::object fromVariant(const VARIANT& value);

// Arguments of one call, cleared together when the call is over.
class VariantList {
public:
    explicit VariantList(size_t count);
    ~VariantList();
    VariantList(const VariantList&) = delete;
    VariantList& operator=(const VariantList&) = delete;

    VARIANT* data() { return items_.data(); }
    VARIANT& operator[](size_t i) { return items_[i]; }
    size_t size() const { return items_.size(); }

private:
    std::vector<VARIANT> items_;
};

}  // namespace quorvel::python
