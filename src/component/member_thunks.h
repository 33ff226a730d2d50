// The thunks of every dispatchable member (quorvel/quorvel_member_calls.hpp), instantiated once
// for the component's Invoke, and the virtual-table offsets they call, for the tests that check
// the class's slots against the table.
#pragma once
#include <cstddef>

#include "quorvel/quorvel_member_calls.hpp"

namespace quorvel {

// The thunks in slot order: kMemberThunks[i] calls the member of kMembers[i].
extern const MemberThunk kMemberThunks[kMemberCount];

// For tests: the byte offset in the virtual table of each member the thunks call, in the same
// order, to check that the class's slots are the table's.
extern const size_t kMemberVtableOffsets[kMemberCount];

// For tests: the slot each virtual-table-only member is listed at, and the byte offset at which
// IQuorvelXml2 declares it, in the order of QV_FOR_EACH_VTABLE_ONLY_MEMBER.
inline constexpr size_t kVtableOnlyMemberCount = 5;
extern const int32_t kVtableOnlySlots[kVtableOnlyMemberCount];
extern const size_t kVtableOnlyOffsets[kVtableOnlyMemberCount];

}  // namespace quorvel
