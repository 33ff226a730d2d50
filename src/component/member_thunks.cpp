#include "component/member_thunks.h"

#include <cstring>

namespace quorvel {

namespace {

// Under the platform's C++ ABI a pointer to a virtual member function holds 1 + the byte offset
// of its virtual-table entry.
template <auto M>
size_t vtableOffset() {
    struct {
        ptrdiff_t ptr;
        ptrdiff_t adj;
    } raw;
    static_assert(sizeof(M) == sizeof(raw));
    auto m = M;
    std::memcpy(&raw, &m, sizeof(raw));
    return static_cast<size_t>(raw.ptr - 1);
}

}  // namespace

const MemberThunk kMemberThunks[kMemberCount] = {QV_FOR_EACH_MEMBER_FUNCTION(QV_CHECKED_MEMBER_THUNK)};

#define QV_MEMBER(i, fn) vtableOffset<&IQuorvelXml2::fn>(),
const size_t kMemberVtableOffsets[kMemberCount] = {QV_FOR_EACH_MEMBER_FUNCTION(QV_MEMBER)};
#undef QV_MEMBER

#define QV_MEMBER(slot, fn) slot,
const int32_t kVtableOnlySlots[kVtableOnlyMemberCount] = {QV_FOR_EACH_VTABLE_ONLY_MEMBER(QV_MEMBER)};
#undef QV_MEMBER
#define QV_MEMBER(slot, fn) vtableOffset<&IQuorvelXml2::fn>(),
const size_t kVtableOnlyOffsets[kVtableOnlyMemberCount] = {QV_FOR_EACH_VTABLE_ONLY_MEMBER(QV_MEMBER)};
#undef QV_MEMBER

}  // namespace quorvel
