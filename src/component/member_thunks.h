// Calls of IQuorvelXml's members from converted dispatch arguments: one thunk per member,
// generated from the member-function pointer, calls the member through the virtual table with
// typed arguments. The thunk table is checked at compile time against the member table: same
// order, same names, and parameter and result types that agree.
#pragma once
#include <cstddef>
#include <tuple>
#include <utility>

#include "component/member_table.h"
#include "quorvel/quorvel_xml.hpp"

namespace quorvel {

// One converted argument or the result of a call; the member's table entry says which field.
union DispValue {
    BSTR bstr;
    LONG lval;
    VARIANT var;
    IQuorvelXml* handle;
};

// Arguments arrive in args[0..paramCount-1]; a member with a result writes it into *result.
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
template <class... A>
struct Signature<HRESULT (IQuorvelXml::*)(A...)> {
    using Args = std::tuple<A...>;
    static constexpr size_t arity = sizeof...(A);
    static constexpr ArgType types[arity + 1] = {Param<A>::type..., ArgType::None};
    static constexpr bool results[arity + 1] = {Param<A>::isResult..., false};
};

template <auto M, size_t... I>
HRESULT call(IQuorvelXml* self, [[maybe_unused]] const DispValue* args, [[maybe_unused]] DispValue* result,
             std::index_sequence<I...>) {
    using Args = typename Signature<decltype(M)>::Args;
    // A result parameter stands last; its args[I] is never read, only its place in *result.
    return (self->*M)(Param<std::tuple_element_t<I, Args>>::get(args[I], result)...);
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
        if (S::results[i] || S::types[i] != m.params[i].type) return false;
    }
    if (hasResult && (!S::results[m.paramCount] || S::types[m.paramCount] != m.result.type)) return false;
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

// The thunk of member M, which must be the table's member I (checked when compiled).
template <size_t I, auto M>
constexpr MemberThunk checkedThunk() {
    static_assert(signatureMatches<M>(kMembers[I]), "the member's parameter and result types differ from the member table");
    return &thunk<M>;
}

}  // namespace thunks

// The thunks in slot order: kMemberThunks[i] calls the member of kMembers[i].
extern const MemberThunk kMemberThunks[kMemberCount];

// For tests: the byte offset in the virtual table of each member the thunks call, in the same
// order, to check that the class's slots are the table's.
extern const size_t kMemberVtableOffsets[kMemberCount];

}  // namespace quorvel
