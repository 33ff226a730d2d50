#include "node_protocol.h"

#include <pybind11/eval.h>

#include <string>

#include "com_error.h"
#include "com_ref.h"
#include "quorvel/quorvel_members.hpp"
#include "dispatch_object.h"
#include "early_binding.h"
#include "host_strings.h"
#include "member_docs.h"
#include "quorvel/node_identity.h"

namespace quorvel::python {

namespace {

// The node handle behind self; TypeError for other automation objects, which are no containers.
IQuorvelXml* nodeOf(py::handle self, const char* what) {
    DispatchObject* d = dispatchObjectOf(self.ptr());
    if (!d) d = &self.cast<DispatchObject&>();
    if (IQuorvelXml* x = d->early()) return x;
    throw py::type_error(std::string("'") + d->info()->typeName() + "' object " + what);
}

// A failed navigation call, raised as the members raise it.
[[noreturn]] void raiseFailed(HRESULT hr) {
    py::str source(""), description("");
    ComRef<IErrorInfo> error;
    if (GetErrorInfo(0, error.put()) == S_OK && error) {
        BSTR s = nullptr;
        if (error->GetSource(&s) == S_OK) source = fromHostString(s);
        SysFreeString(s);
        s = nullptr;
        if (error->GetDescription(&s) == S_OK) description = fromHostString(s);
        SysFreeString(s);
    }
    raiseComError(hr, source, description);
}

// A handle result: None for a null handle.
py::object wrapped(IQuorvelXml* handle) { return handle ? wrapHandle(handle) : py::none(); }

LONG childCount(IQuorvelXml* x) {
    LONG n = 0;
    const HRESULT hr = x->get_NumChildren(&n);
    if (FAILED(hr)) raiseFailed(hr);
    return n;
}

py::object childAt(IQuorvelXml* x, LONG index) {
    IQuorvelXml* child = nullptr;
    const HRESULT hr = x->GetChild(index, &child);
    if (FAILED(hr)) raiseFailed(hr);
    return wrapped(child);
}

// Walks the children by their sibling links: one handle per child, the next one taken before
// the current one is handed out, so moving the handed-out one does not disturb the walk.
struct ChildIterator {
    py::object next;  // the child to hand out next, or None at the end

    py::object step() {
        if (next.is_none()) throw py::stop_iteration();
        py::object current = std::move(next);
        IQuorvelXml* sibling = nullptr;
        const HRESULT hr = nodeOf(current, "is not a node")->NextSibling(&sibling);
        if (FAILED(hr)) raiseFailed(hr);
        next = wrapped(sibling);
        return current;
    }
};

// The node a handle designates, or null for objects that are not node handles.
const void* identityOf(py::handle value) {
    DispatchObject* d = dispatchObjectOf(value.ptr());
    if (!d && py::isinstance<DispatchObject>(value)) d = &value.cast<DispatchObject&>();
    if (!d || !d->early()) return nullptr;
    const void* id = nullptr;
    return qv_NodeIdentity(d->early(), &id) == S_OK ? id : nullptr;
}

std::string resultType(const MemberInfo& m) {
    switch (m.result.type) {
        case ArgType::String: return "str";
        case ArgType::Long: return "int";
        case ArgType::Variant: return "Any";
        case ArgType::Handle: {
            const MemberDoc* d = memberDoc(m.name);
            return d && !d->mayReturnNone ? "QuorvelXml" : "QuorvelXml | None";
        }
        case ArgType::NodeArray: return "list[QuorvelXml]";
        case ArgType::StringArray: return "list[str]";
        case ArgType::Scalar: return "float | str | bool";
        case ArgType::None: break;
    }
    return "None";
}

// help(quorvelxml.QuorvelXml): the module's guide, then every member with its signature and text.
std::string classDoc() {
    std::string text =
        "A node handle: what Dispatch(\"QuorvelXml.QuorvelXml\") and every member that finds a node return.\n"
        "QuorvelXml() makes a new one-node document. Containers: len(node) children, node[i] (negative from the\n"
        "end, IndexError out of range), node[a:b], `for child in node`, `child in node`; a node is true even\n"
        "without children. node == other when both designate the same node (hash alike).\n\nMembers:\n";
    for (const MemberInfo& m : kMembers) {
        if (m.kind == MemberKind::PropertyPut) continue;
        const MemberDoc* d = memberDoc(m.name);
        text += "\n" + std::string(m.name);
        if (m.kind == MemberKind::Method) {
            text += "(";
            for (size_t i = 0; i < m.paramCount; ++i) {
                if (i) text += ", ";
                text += m.params[i].name;
            }
            text += ")";
        }
        text += " -> " + resultType(m) + "\n";
        if (d) {
            std::string body = d->text;
            for (size_t at = 0; (at = body.find('\n', at)) != std::string::npos; at += 5) body.replace(at, 1, "\n    ");
            text += "    " + body + "\n";
        }
    }
    return text;
}

}  // namespace

void defineNodeProtocol(py::module_& m) {
    py::class_<ChildIterator>(m, "ChildIterator", "The children of a node, in document order.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &ChildIterator::step);

    auto cls = py::reinterpret_borrow<py::class_<DispatchObject>>(py::type::of<DispatchObject>());
    cls.def("__len__", [](py::object self) { return childCount(nodeOf(self, "has no len()")); },
            "How many children the node has (NumChildren).");
    cls.def("__bool__", [](py::object) { return true; }, "Always true: a node without children is still a node.");
    cls.def("__iter__",
            [](py::object self) {
                IQuorvelXml* first = nullptr;
                const HRESULT hr = nodeOf(self, "is not iterable")->FirstChild(&first);
                if (FAILED(hr)) raiseFailed(hr);
                return ChildIterator{wrapped(first)};
            },
            "The children in document order, one new handle each.");
    cls.def("__getitem__",
            [](py::object self, py::object key) -> py::object {
                IQuorvelXml* x = nodeOf(self, "is not subscriptable");
                const LONG n = childCount(x);
                if (py::isinstance<py::slice>(key)) {
                    size_t start = 0, stop = 0, step = 0, length = 0;
                    if (!key.cast<py::slice>().compute(static_cast<size_t>(n), &start, &stop, &step, &length))
                        throw py::error_already_set();
                    py::list out;
                    for (size_t i = 0; i < length; ++i, start += step) out.append(childAt(x, static_cast<LONG>(start)));
                    return out;
                }
                const Py_ssize_t given = PyNumber_AsSsize_t(key.ptr(), PyExc_IndexError);
                if (given == -1 && PyErr_Occurred()) throw py::error_already_set();
                Py_ssize_t i = given;
                if (i < 0) i += n;
                if (i < 0 || i >= n) throw py::index_error("child index out of range");
                return childAt(x, static_cast<LONG>(i));
            },
            "node[i]: child i (negative counts from the end; IndexError when out of range); node[a:b]: a list.");
    cls.def("__eq__",
            [](py::object self, py::object other) -> py::object {
                const void* a = identityOf(self);
                const void* b = identityOf(other);
                if (!a || !b) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                return py::bool_(a == b);
            },
            "True when both handles designate the same node.");
    cls.def("__hash__",
            [](py::object self) {
                const void* id = identityOf(self);
                if (!id) id = self.cast<DispatchObject&>().get();
                return static_cast<Py_ssize_t>(std::hash<const void*>()(id));
            },
            "The node's hash: equal for handles on one node. Moving the handle (members ending in 2) changes it.");

    // quorvelxml.QuorvelXml: node handles are DispatchObjects that reach IQuorvelXml; isinstance()
    // asks exactly that, so the class needs no instances of its own.
    m.def("_is_node", [](py::handle value) { return identityOf(value) != nullptr; });
    py::dict scope;
    scope["__builtins__"] = py::module_::import("builtins");
    scope["__name__"] = py::str("quorvelxml");
    scope["_is_node"] = m.attr("_is_node");
    scope["_dispatch"] = m.attr("Dispatch");
    scope["_doc"] = py::str(classDoc());
    py::exec(R"(
class _NodeClass(type):
    def __instancecheck__(cls, value):
        return _is_node(value)
    def __subclasscheck__(cls, sub):
        return sub is cls

class QuorvelXml(metaclass=_NodeClass):
    def __new__(cls):
        return _dispatch("QuorvelXml.QuorvelXml")

QuorvelXml.__doc__ = _doc
)",
             scope);
    m.attr("QuorvelXml") = scope["QuorvelXml"];
}

}  // namespace quorvel::python
