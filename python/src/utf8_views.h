// Tags, contents and attribute names and values made into str straight from the component's
// UTF-8 views (IQuorvelXml2's virtual-table-only members), without the host string that the
// members of the same result allocate, fill and free. The views are well-formed UTF-8 that reads
// exactly as those host strings do, so the str is the same either way.
#pragma once

#include <Python.h>

#include "quorvel/quorvel_xml.hpp"

namespace quorvel::python {

// The results that have a view.
enum class ViewKind : unsigned char {
    None,
    Tag,             // the Tag property
    Content,         // the Content property
    AttributeName,   // GetAttributeName(index)
    AttributeValue,  // GetAttributeValue(index)
    AttributeNamed,  // GetAttrValue(name)
};

// The view kind of a member by its name and kind (property get or method); None for the others.
ViewKind viewKindOf(const char* name, bool propertyGet);

// The result as a new str, read through x's views. Null without a Python error set when the call
// must take the member's own path instead: arguments the view does not take as they are (only
// one positional int or str is), an index outside the attributes (whose failure or "" the member
// itself gives, with its log), or a view member that fails.
PyObject* viewResult(IQuorvelXml2* x, ViewKind kind, PyObject* const* args, size_t nargs, PyObject* kwnames);

}  // namespace quorvel::python
