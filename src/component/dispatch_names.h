// Names to DISPIDs as IDispatch::GetIDsOfNames answers them over a list of members: the first
// name is a member, the others are parameters of that member, whose DISPIDs are their
// positions. Names are compared without case.
#pragma once
#include <cstddef>

#include "component/member_table.h"
#include "quorvel/automation.hpp"

namespace quorvel {

// Unknown names get DISPID_UNKNOWN and make the result DISP_E_UNKNOWNNAME; the known ones are
// filled in all the same.
HRESULT idsOfNames(const MemberInfo* members, size_t count, LPOLESTR* names, UINT cNames, DISPID* ids);

// Length of a zero-terminated host name.
size_t nameLength(const OLECHAR* name);

}  // namespace quorvel
