// Calls of the node handle's dispatchable members from typed values, one thunk per member,
// generated from its member-function pointer and checked when compiled against the member table
// (quorvel/quorvel_members.hpp): same order, same names, parameter and result types that agree.
// The component's Invoke and the Python module's early binding are built on these; any host
// that dispatches by table index may be too. Header-only; nothing here is exported.
//
//   #define CALL(i, fn) quorvel::thunks::checkedThunk<i, &quorvel::IQuorvelXml2::fn>(),
//   const quorvel::MemberThunk thunks[] = {QV_FOR_EACH_MEMBER_FUNCTION(CALL)};
#ifndef QUORVEL_QUORVEL_MEMBER_CALLS_HPP
#define QUORVEL_QUORVEL_MEMBER_CALLS_HPP

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "quorvel/quorvel_members.hpp"
#include "quorvel/quorvel_xml.hpp"

namespace quorvel {

// One typed argument or the result of a call; the member's table entry says which field (by
// carrierOf its type).
union DispValue {
    BSTR bstr;
    LONG lval;
    VARIANT var;
    IQuorvelXml* handle;
};

// Arguments arrive in args[0..paramCount-1]; a member with a result writes it into *result.
// REQUIRES: self answers IQuorvelXml2 with the same pointer when the member is one of
// IQuorvelXml2's (index >= kQuorvelXmlMemberCount), as the component's node handle does.
using MemberThunk = HRESULT (*)(IQuorvelXml* self, const DispValue* args, DispValue* result);

namespace thunks {

// How each parameter type of the interface is passed and what table type it stands for.
template <class T>
struct Param;
template <>
struct Param<BSTR> {
    static constexpr ArgType type = ArgType::String;
    static constexpr bool isResult = false;
    static BSTR get(const DispValue& a, DispValue*) { return a.bstr; }
};
template <>
struct Param<LONG> {
    static constexpr ArgType type = ArgType::Long;
    static constexpr bool isResult = false;
    static LONG get(const DispValue& a, DispValue*) { return a.lval; }
};
template <>
struct Param<VARIANT> {
    static constexpr ArgType type = ArgType::Variant;
    static constexpr bool isResult = false;
    static VARIANT get(const DispValue& a, DispValue*) { return a.var; }
};
template <>
struct Param<IQuorvelXml*> {
    static constexpr ArgType type = ArgType::Handle;
    static constexpr bool isResult = false;
    static IQuorvelXml* get(const DispValue& a, DispValue*) { return a.handle; }
};
template <>
struct Param<BSTR*> {
    static constexpr ArgType type = ArgType::String;
    static constexpr bool isResult = true;
    static BSTR* get(const DispValue&, DispValue* r) { return &r->bstr; }
};
template <>
struct Param<LONG*> {
    static constexpr ArgType type = ArgType::Long;
    static constexpr bool isResult = true;
    static LONG* get(const DispValue&, DispValue* r) { return &r->lval; }
};
template <>
struct Param<VARIANT*> {
    static constexpr ArgType type = ArgType::Variant;
    static constexpr bool isResult = true;
    static VARIANT* get(const DispValue&, DispValue* r) { return &r->var; }
};
template <>
struct Param<IQuorvelXml**> {
    static constexpr ArgType type = ArgType::Handle;
    static constexpr bool isResult = true;
    static IQuorvelXml** get(const DispValue&, DispValue* r) { return &r->handle; }
};

template <class M>
struct Signature;
template <class C, class... A>
struct Signature<HRESULT (C::*)(A...)> {
    static_assert(std::is_same_v<C, IQuorvelXml> || std::is_same_v<C, IQuorvelXml2>);
    using Class = C;
    using Args = std::tuple<A...>;
    static constexpr size_t arity = sizeof...(A);
    static constexpr ArgType types[arity + 1] = {Param<A>::type..., ArgType::None};
    static constexpr bool results[arity + 1] = {Param<A>::isResult..., false};
};

template <auto M, size_t... I>
HRESULT call(IQuorvelXml* self, [[maybe_unused]] const DispValue* args, [[maybe_unused]] DispValue* result,
             std::index_sequence<I...>) {
    using S = Signature<decltype(M)>;
    using Args = typename S::Args;
    // IQuorvelXml2 derives from IQuorvelXml alone, so the cast keeps the address.
    auto* object = static_cast<typename S::Class*>(self);
    // A result parameter stands last; its args[I] is never read, only its place in *result.
    return (object->*M)(Param<std::tuple_element_t<I, Args>>::get(args[I], result)...);
}

template <auto M>
HRESULT thunk(IQuorvelXml* self, const DispValue* args, DispValue* result) {
    return call<M>(self, args, result, std::make_index_sequence<Signature<decltype(M)>::arity>{});
}

// Whether the member function M has the parameters and result the table entry lists.
template <auto M>
constexpr bool signatureMatches(const MemberInfo& m) {
    using S = Signature<decltype(M)>;
    const bool hasResult = m.result.type != ArgType::None;
    if (S::arity != static_cast<size_t>(m.paramCount) + (hasResult ? 1 : 0)) return false;
    for (size_t i = 0; i < m.paramCount; ++i) {
        if (S::results[i] || S::types[i] != carrierOf(m.params[i].type)) return false;
    }
    if (hasResult && (!S::results[m.paramCount] || S::types[m.paramCount] != carrierOf(m.result.type))) return false;
    return true;
}

// Whether a function name is the table entry's name with its property prefix.
constexpr bool nameMatches(const MemberInfo& m, const char* fn) {
    const char* prefix = m.kind == MemberKind::PropertyGet ? "get_" : m.kind == MemberKind::PropertyPut ? "put_" : "";
    while (*prefix) {
        if (*fn++ != *prefix++) return false;
    }
    const char* name = m.name;
    while (*name && *fn == *name) {
        ++fn;
        ++name;
    }
    return *name == 0 && *fn == 0;
}

// The thunk of member M, which must be the table's member I (checked when compiled). IQuorvelXml's
// members belong to its class, IQuorvelXml2's to theirs.
template <size_t I, auto M>
constexpr MemberThunk checkedThunk() {
    static_assert(signatureMatches<M>(kMembers[I]), "the member's parameter and result types differ from the member table");
    static_assert(std::is_same_v<typename Signature<decltype(M)>::Class, IQuorvelXml> == (I < kQuorvelXmlMemberCount),
                  "the member belongs to the other interface");
    return &thunk<M>;
}

}  // namespace thunks

}  // namespace quorvel

// X for QV_FOR_EACH_MEMBER_FUNCTION: the checked thunk of each member, as an array element.
#define QV_CHECKED_MEMBER_THUNK(i, fn)                                                                       \
    [] {                                                                                                     \
        static_assert(::quorvel::thunks::nameMatches(::quorvel::kMembers[i], #fn),                           \
                      "member order or name differs from the table");                                        \
        return ::quorvel::thunks::checkedThunk<i, &::quorvel::IQuorvelXml2::fn>();                           \
    }(),

#endif  // QUORVEL_QUORVEL_MEMBER_CALLS_HPP
