#include "host_strings.h"

#include <new>

namespace quorvel::python {

std::u16string toUtf16(py::handle text) {
    PyObject* s = text.ptr();
    if (!PyUnicode_Check(s)) throw py::type_error("a str is needed");
    const Py_ssize_t length = PyUnicode_GET_LENGTH(s);
    const int kind = PyUnicode_KIND(s);
    const void* data = PyUnicode_DATA(s);
    std::u16string out;
    out.reserve(static_cast<size_t>(length));
    // Read the stored code points directly: a str may hold lone surrogates, which codecs reject.
    for (Py_ssize_t i = 0; i < length; ++i) {
        const Py_UCS4 c = PyUnicode_READ(kind, data, i);
        if (c < 0x10000) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

BSTR newHostString(py::handle text) {
    const std::u16string units = toUtf16(text);
    BSTR s = SysAllocStringLen(units.data(), static_cast<UINT>(units.size()));
    if (!s) throw std::bad_alloc();
    return s;
}

py::str fromUtf16(const char16_t* units, size_t count) {
    // The machine's own order, stated so that a leading U+FEFF stays a character, not a mark.
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    int byteOrder = 1;
#else
    int byteOrder = -1;
#endif
    PyObject* s = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(units), static_cast<Py_ssize_t>(count * 2),
                                        "surrogatepass", &byteOrder);
    if (!s) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

py::str fromHostString(BSTR s) {
    if (!s) return py::str("");
    const size_t count = SysStringLen(s);
    // Tags, names and most contents are ASCII: copied straight into a compact str.
    size_t i = 0;
    while (i < count && s[i] < 0x80) ++i;
    if (i < count) return fromUtf16(s, count);
    PyObject* out = PyUnicode_New(static_cast<Py_ssize_t>(count), 127);
    if (!out) throw py::error_already_set();
    Py_UCS1* data = PyUnicode_1BYTE_DATA(out);
    for (size_t k = 0; k < count; ++k) data[k] = static_cast<Py_UCS1>(s[k]);
    return py::reinterpret_steal<py::str>(out);
}

}  // namespace quorvel::python
