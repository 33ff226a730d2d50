#include "component/dispatch_names.h"

namespace quorvel {

size_t nameLength(const OLECHAR* name) {
    size_t n = 0;
    if (name) {
        while (name[n]) ++n;
    }
    return n;
}

HRESULT idsOfNames(const MemberInfo* members, size_t count, LPOLESTR* names, UINT cNames, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    if (cNames == 0) return E_INVALIDARG;
    const MemberInfo* found = nullptr;
    for (size_t i = 0; i < count && !found; ++i) {
        if (namesEqualNoCase(members[i].name, names[0], nameLength(names[0]))) found = &members[i];
    }
    if (!found) {
        for (UINT i = 0; i < cNames; ++i) ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = found->dispid;
    // A property's get and put share the DISPID; only the put form has a parameter to name.
    const MemberInfo* withParams = found;
    for (size_t i = 0; i < count; ++i) {
        if (members[i].dispid == found->dispid && members[i].paramCount > withParams->paramCount)
            withParams = &members[i];
    }
    HRESULT hr = S_OK;
    for (UINT i = 1; i < cNames; ++i) {
        const int32_t position = findParamByName(*withParams, names[i], nameLength(names[i]));
        ids[i] = position < 0 ? DISPID_UNKNOWN : position;
        if (position < 0) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

}  // namespace quorvel
