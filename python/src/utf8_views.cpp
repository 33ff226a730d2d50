#include "utf8_views.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quorvel::python {

namespace {

// Recent tags as str, by where their text lies: a document repeats a few tags, each pooled once
// in the component, so most Tag reads find their str here instead of making one. An entry is
// used only when its str holds exactly the view's bytes, so a place reused for another text
// never gives a wrong str. Touched with the interpreter lock held.
struct TagEntry {
    const char* data;
    PyObject* str;  // ASCII, owned
};
constexpr size_t kTagWays = 256;
TagEntry tagCache[kTagWays];

PyObject* strOf(const Utf8View& v) {
    if (v.size > PY_SSIZE_T_MAX) return PyErr_NoMemory();
    return PyUnicode_DecodeUTF8(v.data ? v.data : "", static_cast<Py_ssize_t>(v.size), "strict");
}

PyObject* tagStrOf(const Utf8View& v) {
    if (!v.data || v.size == 0) return PyUnicode_FromStringAndSize("", 0);
    TagEntry& e = tagCache[(reinterpret_cast<uintptr_t>(v.data) >> 4) % kTagWays];
    if (e.data == v.data && static_cast<size_t>(PyUnicode_GET_LENGTH(e.str)) == v.size &&
        std::memcmp(PyUnicode_DATA(e.str), v.data, v.size) == 0) {
        Py_INCREF(e.str);
        return e.str;
    }
    PyObject* s = strOf(v);
    if (s && PyUnicode_IS_ASCII(s)) {
        Py_INCREF(s);
        Py_XSETREF(e.str, s);
        e.data = v.data;
    }
    return s;
}

bool onlyPositional(size_t nargs, PyObject* kwnames, size_t wanted) {
    return nargs == wanted && (!kwnames || PyTuple_GET_SIZE(kwnames) == 0);
}

// The index argument, when it is an int within the node's attributes.
bool attributeIndex(IQuorvelXml2* x, PyObject* arg, LONG& index) {
    if (!PyLong_CheckExact(arg)) return false;
    int overflow = 0;
    const long n = PyLong_AsLongAndOverflow(arg, &overflow);
    if (overflow || n < 0 || n > INT32_MAX) return false;
    LONG count = 0;
    if (FAILED(x->get_NumAttributes(&count)) || n >= count) return false;
    index = static_cast<LONG>(n);
    return true;
}

}  // namespace

ViewKind viewKindOf(const char* name, bool propertyGet) {
    const std::string_view n(name);
    if (propertyGet) {
        if (n == "Tag") return ViewKind::Tag;
        if (n == "Content") return ViewKind::Content;
        return ViewKind::None;
    }
    if (n == "GetAttributeName") return ViewKind::AttributeName;
    if (n == "GetAttributeValue") return ViewKind::AttributeValue;
    if (n == "GetAttrValue") return ViewKind::AttributeNamed;
    return ViewKind::None;
}

PyObject* viewResult(IQuorvelXml2* x, ViewKind kind, PyObject* const* args, size_t nargs, PyObject* kwnames) {
    Utf8View v{nullptr, 0};
    switch (kind) {
        case ViewKind::Tag:
            if (FAILED(x->GetTagUtf8(&v))) return nullptr;
            return tagStrOf(v);
        case ViewKind::Content:
            if (FAILED(x->GetContentUtf8(&v))) return nullptr;
            return strOf(v);
        case ViewKind::AttributeName:
        case ViewKind::AttributeValue: {
            LONG index = 0;
            if (!onlyPositional(nargs, kwnames, 1) || !attributeIndex(x, args[0], index)) return nullptr;
            const bool name = kind == ViewKind::AttributeName;
            if (FAILED(x->GetAttributeUtf8(index, name ? &v : nullptr, name ? nullptr : &v))) return nullptr;
            return strOf(v);
        }
        case ViewKind::AttributeNamed: {
            if (!onlyPositional(nargs, kwnames, 1) || !PyUnicode_CheckExact(args[0])) return nullptr;
            Py_ssize_t length = 0;
            const char* text = PyUnicode_AsUTF8AndSize(args[0], &length);
            if (!text) {  // lone surrogates: the host string path takes them as they are
                PyErr_Clear();
                return nullptr;
            }
            // As GetAttrValue takes its name: white space trimmed at both ends, cut at a 0.
            std::string_view name(text, static_cast<size_t>(length));
            const auto white = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
            while (!name.empty() && white(name.back())) name.remove_suffix(1);
            while (!name.empty() && white(name.front())) name.remove_prefix(1);
            name = name.substr(0, name.find('\0'));
            LONG found = 0;
            if (FAILED(x->FindAttributeUtf8(name.data(), name.size(), &v, &found))) return nullptr;
            return strOf(v);
        }
        case ViewKind::None: break;
    }
    return nullptr;
}

}  // namespace quorvel::python
