// Look-ups in the member table of quorvel/quorvel_members.hpp, by name and by DISPID, as
// GetIDsOfNames and Invoke need them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "quorvel/quorvel_members.hpp"

namespace quorvel {

// Names are compared without case, as automation hosts do. Both search all kMemberCount members.
const MemberInfo* findMemberByName(const char16_t* name, size_t length);
const MemberInfo* findMember(int32_t dispid, MemberKind kind);
bool hasDispid(int32_t dispid);
bool namesEqualNoCase(const char* ascii, const char16_t* name, size_t length);
// Position of a parameter of m by name (without case), or -1.
int32_t findParamByName(const MemberInfo& m, const char16_t* name, size_t length);

}  // namespace quorvel
