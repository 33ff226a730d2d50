#include "component/member_table.h"

#include <array>

namespace quorvel {

namespace {

// For each DISPID, the table index of its method, property get and property put (-1: none), so
// that Invoke finds its member without a search.
struct DispidSlots {
    int8_t index[3];
};

constexpr std::array<DispidSlots, kMaxDispid + 1> buildDispidSlots() {
    std::array<DispidSlots, kMaxDispid + 1> slots{};
    for (auto& s : slots) s = {{-1, -1, -1}};
    for (size_t i = 0; i < kMemberCount; ++i) {
        slots[static_cast<size_t>(kMembers[i].dispid)].index[static_cast<int>(kMembers[i].kind)] =
            static_cast<int8_t>(i);
    }
    return slots;
}

constexpr auto kDispidSlots = buildDispidSlots();

constexpr bool tableIsConsistent() {
    for (size_t i = 0; i < kMemberCount; ++i) {
        const MemberInfo& m = kMembers[i];
        if (m.slot != kFirstMemberSlot + static_cast<int32_t>(i)) return false;
        if (m.dispid < 1 || m.dispid > kMaxDispid || m.paramCount > 4) return false;
        if (m.kind == MemberKind::PropertyGet && (m.paramCount != 0 || m.result.type == ArgType::None)) return false;
        if (m.kind == MemberKind::PropertyPut && (m.paramCount != 1 || m.result.type != ArgType::None)) return false;
        // IQuorvelXml2's members come after IQuorvelXml's, DISPIDs and all.
        if ((i < kQuorvelXmlMemberCount) != (m.dispid <= kQuorvelXmlMaxDispid)) return false;
        // Parameters go in as BSTR, LONG, VARIANT or a handle; typed variants are results only.
        for (size_t p = 0; p < m.paramCount; ++p) {
            if (m.params[p].type == ArgType::None || carrierOf(m.params[p].type) != m.params[p].type) return false;
        }
    }
    return true;
}
static_assert(tableIsConsistent(), "member table: slots in order, DISPIDs in range, property shapes");
static_assert(kFirstVtableOnlySlot == 112, "the virtual-table-only members start after the dispatchable ones");

char16_t foldCase(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

}  // namespace

const MemberInfo* findMemberByName(const char16_t* name, size_t length) {
    if (!name) return nullptr;
    for (const MemberInfo& m : kMembers) {
        if (namesEqualNoCase(m.name, name, length)) return &m;
    }
    return nullptr;
}

const MemberInfo* findMember(int32_t dispid, MemberKind kind) {
    if (dispid < 0 || dispid > kMaxDispid) return nullptr;
    const int8_t i = kDispidSlots[static_cast<size_t>(dispid)].index[static_cast<int>(kind)];
    return i < 0 ? nullptr : &kMembers[i];
}

bool hasDispid(int32_t dispid) {
    for (int kind = 0; kind < 3; ++kind) {
        if (findMember(dispid, static_cast<MemberKind>(kind))) return true;
    }
    return false;
}

bool namesEqualNoCase(const char* ascii, const char16_t* name, size_t length) {
    size_t i = 0;
    for (; i < length; ++i) {
        const char a = ascii[i];
        if (a == 0) return false;
        if (foldCase(name[i]) != foldCase(static_cast<char16_t>(static_cast<unsigned char>(a)))) return false;
    }
    return ascii[i] == 0;
}

int32_t findParamByName(const MemberInfo& m, const char16_t* name, size_t length) {
    if (!name) return -1;
    for (int32_t i = 0; i < m.paramCount; ++i) {
        if (namesEqualNoCase(m.params[i].name, name, length)) return i;
    }
    return -1;
}

}  // namespace quorvel
