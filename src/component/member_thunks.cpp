#include "component/member_thunks.h"

#include "component/member_functions.h"

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

#define QV_MEMBER(i, fn)                                                                                    \
    [] {                                                                                                    \
        static_assert(thunks::nameMatches(kMembers[i], #fn), "member order or name differs from the table"); \
        return thunks::checkedThunk<i, &IQuorvelXml::fn>();                                                         \
    }(),

const MemberThunk kMemberThunks[kMemberCount] = {
    QV_FOR_EACH_MEMBER_FUNCTION(QV_MEMBER)};

#undef QV_MEMBER
#define QV_MEMBER(i, fn) vtableOffset<&IQuorvelXml::fn>(),

const size_t kMemberVtableOffsets[kMemberCount] = {
    QV_FOR_EACH_MEMBER_FUNCTION(QV_MEMBER)};

#undef QV_MEMBER

}  // namespace quorvel
