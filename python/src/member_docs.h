// What each member does, in a line or two a script writer reads in help(): what it returns, when
// it raises ComError and when it gives None or 0 instead. One table serves help() of the bound
// members and the type stub the build backend writes (quorvelxml._member_docs()), so the two
// never say different things. Keyed by member name; a property's get and put share one entry.
#pragma once

#include <pybind11/pybind11.h>

#include <string_view>

namespace quorvel::python {

namespace py = pybind11;

struct MemberDoc {
    const char* name;
    // For members returning a handle: whether None means "nothing there". The others never give
    // None (they raise instead, or always make a node), and the stub types them so.
    bool mayReturnNone;
    const char* text;
};

// The entry of a member name (exact spelling as the member table has it); none when the table
// has no entry.
const MemberDoc* memberDoc(std::string_view name);

// The module's guide for help(quorvelxml): which calls raise and which return None or 0, how
// searches match, and that the parser repairs rather than rejects.
extern const char* const kModuleGuide;

// quorvelxml._member_docs(): {name: (text, may_return_none)}.
void defineMemberDocs(py::module_& m);

}  // namespace quorvel::python
