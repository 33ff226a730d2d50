#pragma once
#include <cstddef>
#include <cstdint>

namespace quorvel {

enum class ArgType : uint8_t { None, String, Long, Variant, Handle };
enum class MemberKind : uint8_t { Method, PropertyGet, PropertyPut };

struct ParamInfo {
    const char* name;
    ArgType type;
};

struct MemberInfo {
    int32_t dispid;
    int32_t slot;  // position in the virtual table of IQuorvelXml
    MemberKind kind;
    const char* name;
    uint8_t paramCount;
    ParamInfo params[4];
    ParamInfo result;  // the [out, retval] parameter; type None when the member has none
};

inline constexpr size_t kMemberCount = 86;
extern const MemberInfo kMembers[kMemberCount];

// Names are compared without case, as automation hosts do.
const MemberInfo* findMemberByName(const char16_t* name, size_t length);
const MemberInfo* findMember(int32_t dispid, MemberKind kind);
bool hasDispid(int32_t dispid);
bool namesEqualNoCase(const char* ascii, const char16_t* name, size_t length);

}  // namespace quorvel
