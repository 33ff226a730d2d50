// Python values to the variants a call passes, and the variants it returns back to Python.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "quorvel/automation.hpp"

namespace quorvel::python {

namespace py = pybind11;

// What a parameter takes, as its type information declares it; Any when unknown. It decides
// only what None becomes and how strictly integers are checked: the component coerces the rest.
enum class ParamKind : uint8_t { Any, String, Long, Object, Variant };

ParamKind paramKindOf(const TYPEDESC& type);

// The bytes of a Python buffer lent to one call as a byte array, without a copy: the array
// describes the buffer's own memory, marked as not the array's to free, and the buffer stays
// exported (so it can neither move nor be resized) until the loan ends, after the call.
struct LentBytes {
    Py_buffer view{};
    SAFEARRAY array{};
    LentBytes() = default;
    LentBytes(const LentBytes&) = delete;
    LentBytes& operator=(const LentBytes&) = delete;
    ~LentBytes() {
        if (view.obj) PyBuffer_Release(&view);
    }
};
using Loans = std::vector<std::unique_ptr<LentBytes>>;

// Converts value for a parameter of the given kind into out, which must be empty:
//   None -> the null string (String), a null object (Object), else VT_NULL;
//   bool -> VT_BOOL (VT_I4 for Long); int -> VT_I4, else VT_I8 where no long is asked for;
//   float -> VT_R8; str -> VT_BSTR; bytes, bytearray, memoryview and other buffers -> a byte
//   array; a dispatch object -> VT_DISPATCH holding a reference of its own.
// Throws TypeError or OverflowError for what cannot be passed.
// With loans, a contiguous buffer is lent instead of copied; out must then be cleared before
// the loans end.
void toVariant(py::handle value, ParamKind kind, VARIANT& out, Loans* loans = nullptr);

// A result back to Python: strings to str, integers to int, byte arrays to bytes, objects to
// new dispatch objects (None when null), VT_EMPTY and VT_NULL to None; arrays of strings,
// objects (node handles), variants and longs to lists of the same.
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
    Loans* loans() { return &loans_; }

private:
    Loans loans_;  // ends after the variants are cleared
    std::vector<VARIANT> items_;
};

}  // namespace quorvel::python
