#include "early_binding.h"

#include <climits>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "com_error.h"
#include "com_ref.h"
#include "dispatch_object.h"
#include "host_strings.h"
#include "interface_info.h"
#include "member_docs.h"
#include "quorvel/quorvel_member_calls.hpp"
#include "utf8_views.h"
#include "variant_values.h"

namespace quorvel::python {

struct EarlyMember {
    const MemberInfo* info = nullptr;  // none: the name has no member of this kind
    MemberThunk thunk = nullptr;
    bool keepsLock = false;
    bool second = false;  // a member of IQuorvelXml2, called only on objects that answer it
    ViewKind view = ViewKind::None;  // a string result read through a UTF-8 view where it can be
};

struct EarlyName {
    EarlyMember get, put, method;
};

namespace {

const MemberThunk kThunks[kMemberCount] = {QV_FOR_EACH_MEMBER_FUNCTION(QV_CHECKED_MEMBER_THUNK)};

// Members that wait for files or the network, or raise events while they parse: the interpreter
// lock is let go around them, so that other threads run meanwhile and handlers can take it. The
// others neither block nor call back, and letting the lock go would cost more than most of them.
constexpr const char* kLetLockGo[] = {"LoadXml",         "LoadXmlFile",     "LoadXmlV",   "SaveXml",
                                      "SaveXmlLog",      "GetURL",          "HttpPost",   "SaveXmlIndented",
                                      "OpenRecords",     "OpenRecordRange", "NextRecord"};

bool keepsLock(const char* name) {
    for (const char* n : kLetLockGo) {
        if (std::string_view(n) == name) return false;
    }
    return true;
}

const std::unordered_map<std::string, EarlyName>& earlyNames() {
    static const auto* table = [] {
        auto* t = new std::unordered_map<std::string, EarlyName>();
        for (size_t i = 0; i < kMemberCount; ++i) {
            const MemberInfo& m = kMembers[i];
            EarlyName& e = (*t)[lowerKey(m.name)];
            EarlyMember& slot = m.kind == MemberKind::PropertyGet   ? e.get
                                : m.kind == MemberKind::PropertyPut ? e.put
                                                                    : e.method;
            slot = {&m, kThunks[i], keepsLock(m.name), i >= kQuorvelXmlMemberCount,
                    viewKindOf(m.name, m.kind == MemberKind::PropertyGet)};
        }
        return t;
    }();
    return *table;
}

// str -> index into the entries below, for the spellings callers used; bounded, as any string
// may be asked for. Touched with the interpreter lock held.
PyObject* nameCache = nullptr;
std::vector<const EarlyName*>& cachedEntries() {
    static auto* entries = new std::vector<const EarlyName*>();
    return *entries;
}
constexpr Py_ssize_t kMaxCachedNames = 4096;
bool earlyBinding = true;  // off only for tests that compare both ways

// The last str seen at each of a few places chosen by its address, with its entry (none for a
// name IQuorvelXml2 has no member of). The slot holds a reference, so an address found here is
// still that str and the entry still its own. Touched with the interpreter lock held.
struct RecentName {
    PyObject* name = nullptr;
    const EarlyName* entry = nullptr;
};
constexpr size_t kRecentNames = 64;
RecentName recentNames[kRecentNames];

// earlyNameOf's answer through the dictionary.
const EarlyName* lookUpName(PyObject* name);

// ASCII letters without case, as the component matches names.
bool sameNameNoCase(std::string_view a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return i == a.size() && !b[i];
}

// A host string from a str: Latin-1 text (the usual case) is widened straight into the string.
BSTR hostStringOf(PyObject* s) {
    if (PyUnicode_KIND(s) != PyUnicode_1BYTE_KIND) return newHostString(s);
    const Py_ssize_t n = PyUnicode_GET_LENGTH(s);
    if (n > INT_MAX) return newHostString(s);
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (!out) throw std::bad_alloc();
    const Py_UCS1* in = PyUnicode_1BYTE_DATA(s);
    for (Py_ssize_t i = 0; i < n; ++i) out[i] = in[i];
    return out;
}

// The arguments of one early call, owned until it ends. set() answers false when some argument
// does not pass as it is, so that the call goes by name and coerces or refuses it as ever.
class EarlyArguments {
public:
    EarlyArguments() {
        for (DispValue& v : values_) v = DispValue{};
    }
    ~EarlyArguments() {
        for (size_t i = 0; i < kSlots - 1; ++i) {
            if (kinds_[i] == ArgType::String) SysFreeString(values_[i].bstr);
            if (kinds_[i] == ArgType::Variant) VariantClear(&values_[i].var);
        }
    }
    EarlyArguments(const EarlyArguments&) = delete;
    EarlyArguments& operator=(const EarlyArguments&) = delete;

    const DispValue* values() const { return values_; }

    bool set(const MemberInfo& m, PyObject* const* args, size_t nargs, PyObject* kwnames) {
        const size_t nkw = kwnames ? static_cast<size_t>(PyTuple_GET_SIZE(kwnames)) : 0;
        if (nargs + nkw != m.paramCount) return false;
        bool given[kSlots] = {};
        for (size_t i = 0; i < nargs; ++i) {
            if (!convert(i, m.params[i].type, args[i])) return false;
            given[i] = true;
        }
        for (size_t k = 0; k < nkw; ++k) {
            Py_ssize_t length = 0;
            const char* key = PyUnicode_AsUTF8AndSize(PyTuple_GET_ITEM(kwnames, static_cast<Py_ssize_t>(k)), &length);
            if (!key) throw py::error_already_set();
            size_t p = 0;
            while (p < m.paramCount && !sameNameNoCase(std::string_view(key, static_cast<size_t>(length)), m.params[p].name)) ++p;
            if (p == m.paramCount || given[p]) return false;
            if (!convert(p, m.params[p].type, args[nargs + k])) return false;
            given[p] = true;
        }
        return true;
    }

private:
    static constexpr size_t kSlots = 5;  // four parameters and the result's unused slot

    bool convert(size_t i, ArgType type, PyObject* v) {
        switch (type) {
            case ArgType::String:
                if (v == Py_None) return true;
                if (!PyUnicode_CheckExact(v)) return false;
                values_[i].bstr = hostStringOf(v);
                kinds_[i] = ArgType::String;
                return true;
            case ArgType::Long: {
                if (!PyLong_CheckExact(v)) return false;
                int overflow = 0;
                const long n = PyLong_AsLongAndOverflow(v, &overflow);
                if (overflow || n < INT32_MIN || n > INT32_MAX) return false;
                values_[i].lval = static_cast<LONG>(n);
                return true;
            }
            case ArgType::Handle: {
                if (v == Py_None) return true;
                DispatchObject* d = dispatchObjectOf(v);
                if (!d || !d->early()) return false;
                values_[i].handle = d->early();  // the caller's arguments keep it alive
                return true;
            }
            case ArgType::Variant:
                VariantInit(&values_[i].var);
                kinds_[i] = ArgType::Variant;
                toVariant(v, ParamKind::Variant, values_[i].var, &loans_);
                return true;
            default: break;  // typed variants are results only
        }
        return false;
    }

    Loans loans_;  // ends after the variants are cleared
    DispValue values_[kSlots];
    ArgType kinds_[kSlots] = {};  // what each slot owns: a string, a variant, or nothing
};

// The failure as Invoke reports it, from the thread's error information.
[[noreturn]] void raiseMemberError(HRESULT hr) {
    EXCEPINFO info{};
    ComRef<IErrorInfo> error;
    if (GetErrorInfo(0, error.put()) == S_OK && error) {
        error->GetSource(&info.bstrSource);
        error->GetDescription(&info.bstrDescription);
    }
    if (!info.bstrSource) info.bstrSource = SysAllocString(u"QuorvelXml.QuorvelXml");
    info.scode = hr;
    raiseInvokeError(DISP_E_EXCEPTION, info);
}

void freeResult(ArgType type, DispValue& r) {
    switch (carrierOf(type)) {
        case ArgType::String: SysFreeString(r.bstr); break;
        case ArgType::Variant: VariantClear(&r.var); break;
        case ArgType::Handle:
            if (r.handle) r.handle->Release();
            break;
        default: break;
    }
}

// SelectNodes' array as a list of node objects, each taking over the array's reference as it is:
// the elements are the component's own handles, IQuorvelXml at the same address as their
// IDispatch, so no element is asked for an interface or counted up and down again. What is not
// taken (after a failure) is released with the array.
py::object nodeListOf(VARIANT& v) {
    SAFEARRAY* a = v.parray;
    if (v.vt != (VT_ARRAY | VT_DISPATCH) || !a || a->cDims != 1 || a->cLocks) return fromVariant(v);
    const size_t count = a->rgsabound[0].cElements;
    auto* items = static_cast<IDispatch**>(a->pvData);
    py::list out(count);
    for (size_t i = 0; i < count; ++i) {
        IDispatch* h = items[i];
        items[i] = nullptr;
        PyList_SET_ITEM(out.ptr(), static_cast<Py_ssize_t>(i),
                        h ? wrapHandle(static_cast<IQuorvelXml*>(h)).release().ptr() : Py_NewRef(Py_None));
    }
    return out;
}

py::object resultOf(ArgType type, DispValue& r) {
    struct Free {
        ArgType type;
        DispValue& r;
        ~Free() { freeResult(type, r); }
    };
    // Node and string arrays become lists through fromVariant, as they do when called by name.
    switch (carrierOf(type)) {
        case ArgType::String: {
            Free free{type, r};
            return fromHostString(r.bstr);
        }
        case ArgType::Long: return py::int_(r.lval);
        case ArgType::Handle: {
            IQuorvelXml* h = r.handle;
            r.handle = nullptr;
            return h ? wrapHandle(h) : py::none();
        }
        case ArgType::Variant: {
            Free free{type, r};
            return type == ArgType::NodeArray ? nodeListOf(r.var) : fromVariant(r.var);
        }
        default: break;
    }
    return py::none();
}

// What a member without parameters is given: its result's place, which the thunk names but never
// reads.
const DispValue kNoArguments[1] = {};

py::object callMember(IQuorvelXml* x, const EarlyMember& member, const DispValue* args) {
    const MemberInfo& m = *member.info;
    DispValue r{};
    if (carrierOf(m.result.type) == ArgType::Variant) VariantInit(&r.var);
    HRESULT hr;
    if (member.keepsLock) {
        hr = member.thunk(x, args, &r);
    } else {
        py::gil_scoped_release unlocked;
        hr = member.thunk(x, args, &r);
    }
    if (FAILED(hr)) {
        freeResult(m.result.type, r);
        raiseMemberError(hr);
    }
    return resultOf(m.result.type, r);
}

// ---- Bound members --------------------------------------------------------------------------

struct BoundMember {
    PyObject_HEAD
    vectorcallfunc vectorcall;
    PyObject* owner;  // the DispatchObject
    PyObject* name;   // as the caller spelled it
    const EarlyName* entry;
};

PyTypeObject* boundMemberType = nullptr;

// The owner of a bound member: a DispatchObject, or an instance of a class derived from it.
DispatchObject& objectOf(PyObject* owner) {
    if (DispatchObject* d = dispatchObjectOf(owner)) return *d;
    return py::handle(owner).cast<DispatchObject&>();
}

// The same call by name, for arguments the early path does not take as they are.
PyObject* callByName(BoundMember* b, PyObject* const* args, size_t nargs, PyObject* kwnames) {
    py::handle owner(b->owner);
    py::object method = objectOf(b->owner).lateAttribute(owner, py::reinterpret_borrow<py::str>(b->name));
    return PyObject_Vectorcall(method.ptr(), args, nargs, kwnames);
}

PyObject* callBound(PyObject* callable, PyObject* const* args, size_t nargsf, PyObject* kwnames) {
    auto* b = reinterpret_cast<BoundMember*>(callable);
    const size_t nargs = static_cast<size_t>(PyVectorcall_NARGS(nargsf));
    try {
        DispatchObject& d = objectOf(b->owner);
        IQuorvelXml* x = d.early();
        if (b->entry->method.view != ViewKind::None && d.earlySecond()) {
            PyObject* s = viewResult(static_cast<IQuorvelXml2*>(x), b->entry->method.view, args, nargs, kwnames);
            if (s || PyErr_Occurred()) return s;
        }
        const EarlyMember& member = b->entry->method;
        if (nargs == 0 && !kwnames && member.info->paramCount == 0) {
            return callMember(x, member, kNoArguments).release().ptr();
        }
        EarlyArguments converted;
        if (!converted.set(*member.info, args, nargs, kwnames)) return callByName(b, args, nargs, kwnames);
        return callMember(x, member, converted.values()).release().ptr();
    } catch (...) {
        setPythonErrorFromException();
        return nullptr;
    }
}

// Bound members given back, kept for the next ones: a script makes one for every method it
// calls (`x.NextSibling2()`) and drops it at once, so one or two are alive at a time and the
// allocator need not see them. Touched with the interpreter lock held. Under AddressSanitizer
// none are kept, so that a bound member used after it was given back is reported.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSpareBound = 0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSpareBound = 0;
#else
constexpr int kSpareBound = 8;
#endif
#else
constexpr int kSpareBound = 8;
#endif
BoundMember* spareBound[kSpareBound > 0 ? kSpareBound : 1];
int spareBoundCount = 0;

void deallocBound(PyObject* self) {
    auto* b = reinterpret_cast<BoundMember*>(self);
    Py_DECREF(b->owner);
    Py_DECREF(b->name);
    if (spareBoundCount < kSpareBound) {
        spareBound[spareBoundCount++] = b;
        return;
    }
    PyObject_Free(self);
}

PyObject* reprBound(PyObject* self) {
    auto* b = reinterpret_cast<BoundMember*>(self);
    try {
        const std::string type = objectOf(b->owner).info()->typeName();
        return PyUnicode_FromFormat("<bound method %s.%U>", type.c_str(), b->name);
    } catch (...) {
        setPythonErrorFromException();
        return nullptr;
    }
}

std::string pythonType(ArgType t) {
    switch (t) {
        case ArgType::String: return "str";
        case ArgType::Long: return "int";
        case ArgType::Handle: return "QuorvelXml | None";
        case ArgType::Variant: return "Any";
        case ArgType::NodeArray: return "list[QuorvelXml]";
        case ArgType::StringArray: return "list[str]";
        case ArgType::Scalar: return "float | str | bool";
        case ArgType::None: break;
    }
    return "None";
}

// help() shows the member's parameters.
PyObject* docOfBound(PyObject* self, void*) {
    const MemberInfo& m = *reinterpret_cast<BoundMember*>(self)->entry->method.info;
    std::string text = std::string(m.name) + "(";
    for (size_t i = 0; i < m.paramCount; ++i) {
        if (i) text += ", ";
        text += std::string(m.params[i].name) + ": " + pythonType(m.params[i].type);
    }
    const MemberDoc* doc = memberDoc(m.name);
    std::string result = pythonType(m.result.type);
    if (m.result.type == ArgType::Handle && doc && !doc->mayReturnNone) result = "QuorvelXml";
    text += ") -> " + result + "\n\n" + (doc ? doc->text : "A method of IQuorvelXml.");
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyGetSetDef boundGetSet[] = {{"__doc__", docOfBound, nullptr, nullptr, nullptr}, {nullptr, nullptr, nullptr, nullptr, nullptr}};

PyObject* newBound(PyObject* self, const EarlyName* e, PyObject* name) {
    BoundMember* b = nullptr;
    if (spareBoundCount) {
        b = spareBound[--spareBoundCount];
        PyObject_Init(reinterpret_cast<PyObject*>(b), boundMemberType);
    } else {
        b = PyObject_New(BoundMember, boundMemberType);
        if (!b) return nullptr;
    }
    b->vectorcall = &callBound;
    Py_INCREF(self);
    b->owner = self;
    Py_INCREF(name);
    b->name = name;
    b->entry = e;
    return reinterpret_cast<PyObject*>(b);
}

}  // namespace

const EarlyName* earlyNameOf(PyObject* name) {
    if (!earlyBinding) return nullptr;
    // A name spelled in a script's code is the same str object at every execution: most lookups
    // end at its slot here, by address, before the dictionary hashes and compares anything.
    RecentName& recent = recentNames[(reinterpret_cast<uintptr_t>(name) >> 4) % kRecentNames];
    if (recent.name == name) return recent.entry;
    const EarlyName* entry = lookUpName(name);
    Py_INCREF(name);
    Py_XSETREF(recent.name, name);
    recent.entry = entry;
    return entry;
}

namespace {

const EarlyName* lookUpName(PyObject* name) {
    if (PyObject* index = PyDict_GetItemWithError(nameCache, name)) return cachedEntries()[PyLong_AsSize_t(index)];
    if (PyErr_Occurred()) throw py::error_already_set();
    Py_ssize_t length = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name, &length);
    if (!text) throw py::error_already_set();
    const auto& names = earlyNames();
    const auto it = names.find(lowerKey(std::string(text, static_cast<size_t>(length))));
    if (it == names.end()) return nullptr;
    if (PyDict_GET_SIZE(nameCache) < kMaxCachedNames) {
        py::object index = py::int_(cachedEntries().size());
        if (PyDict_SetItem(nameCache, name, index.ptr()) != 0) throw py::error_already_set();
        cachedEntries().push_back(&it->second);
    }
    return &it->second;
}

}  // namespace

PyObject* earlyGet(PyObject* self, DispatchObject& d, const EarlyName& e, PyObject* name) {
    try {
        if (e.get.info) {
            if (e.get.second && !d.earlySecond()) return nullptr;
            if (e.get.view != ViewKind::None && d.earlySecond()) {
                PyObject* s = viewResult(static_cast<IQuorvelXml2*>(d.early()), e.get.view, nullptr, 0, nullptr);
                if (s || PyErr_Occurred()) return s;
            }
            return callMember(d.early(), e.get, kNoArguments).release().ptr();
        }
        if (e.method.info) {
            if (e.method.second && !d.earlySecond()) return nullptr;
            return newBound(self, &e, name);
        }
        return nullptr;  // write-only: the call by name says so
    } catch (...) {
        setPythonErrorFromException();
        return nullptr;
    }
}

int earlySet(DispatchObject& d, const EarlyName& e, PyObject* value) {
    if (!e.put.info) return 1;
    IQuorvelXml* x = d.early();
    try {
        if (e.put.second && !d.earlySecond()) return 1;
        EarlyArguments converted;
        if (!converted.set(*e.put.info, &value, 1, nullptr)) return 1;
        callMember(x, e.put, converted.values());
        return 0;
    } catch (...) {
        setPythonErrorFromException();
        return -1;
    }
}

py::object wrapHandle(IQuorvelXml* handle) { return wrapDispatch(ComRef<IDispatch>::adopt(handle), handle); }

void defineEarlyBinding(py::module_& m) {
    nameCache = PyDict_New();
    if (!nameCache) throw py::error_already_set();
    static PyTypeObject type{};
    Py_SET_REFCNT(reinterpret_cast<PyObject*>(&type), 1);
    type.tp_name = "quorvelxml.BoundMember";
    type.tp_doc = "A member of IQuorvelXml2 bound to its object, called through the virtual table.";
    type.tp_basicsize = sizeof(BoundMember);
    type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_VECTORCALL;
    type.tp_vectorcall_offset = offsetof(BoundMember, vectorcall);
    type.tp_call = PyVectorcall_Call;
    type.tp_dealloc = deallocBound;
    type.tp_repr = reprBound;
    type.tp_getset = boundGetSet;
    if (PyType_Ready(&type) != 0) throw py::error_already_set();
    boundMemberType = &type;
    Py_INCREF(&type);
    m.attr("BoundMember") = py::handle(reinterpret_cast<PyObject*>(&type));
    m.def(
        "_member_table",
        [] {
            auto typeName = [](ArgType t) {
                switch (t) {
                    case ArgType::String: return "str";
                    case ArgType::Long: return "int";
                    case ArgType::Handle: return "handle";
                    case ArgType::Variant: return "variant";
                    case ArgType::NodeArray: return "nodes";
                    case ArgType::StringArray: return "strings";
                    case ArgType::Scalar: return "scalar";
                    case ArgType::None: break;
                }
                return "none";
            };
            py::list out;
            for (const MemberInfo& info : kMembers) {
                py::list params;
                for (size_t i = 0; i < info.paramCount; ++i)
                    params.append(py::make_tuple(info.params[i].name, typeName(info.params[i].type)));
                const char* kind = info.kind == MemberKind::PropertyGet   ? "get"
                                   : info.kind == MemberKind::PropertyPut ? "put"
                                                                          : "method";
                out.append(py::make_tuple(info.name, kind, params, typeName(info.result.type)));
            }
            return out;
        },
        "IQuorvelXml2's dispatchable members (IQuorvelXml's first) in virtual-table order: (name, 'get' | 'put' |\n"
        "'method', [(parameter, type)], result type), the types being 'str', 'int', 'handle', 'variant',\n"
        "'nodes' (a list of handles), 'strings' (a list of str), 'scalar' (float, str or bool) or 'none'.");
    m.def(
        "_set_early_binding",
        [](bool on) {
            const bool was = earlyBinding;
            earlyBinding = on;
            return was;
        },
        "Whether IQuorvelXml's members are called through the virtual table (for tests); returns the old setting.");
}

}  // namespace quorvel::python
