// Late-bound calls of IQuorvelXml's and IQuorvelXml2's members, as IDispatch::Invoke makes them: the member is
// chosen by DISPID and call kind, the arguments (in reversed order, some of them named) are
// coerced to the member's parameter types, the member is called through the virtual table,
// and a failure comes back as DISP_E_EXCEPTION with the member's error information.
#pragma once

#include <cstddef>

#include "quorvel/quorvel_xml.hpp"

namespace quorvel {

// Errors of a bad call: DISP_E_MEMBERNOTFOUND (no such DISPID or kind), DISP_E_BADPARAMCOUNT,
// DISP_E_PARAMNOTFOUND (a named argument that is no parameter, or names one twice),
// DISP_E_PARAMNOTOPTIONAL (an argument passed as missing, or a parameter left out while
// others are named), DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW (an argument that does not
// convert). *puArgErr then holds the argument's index in rgvarg where there is one.
//
// Coercion: string parameters take VT_BSTR as it is (a null BSTR is the absent string), VT_NULL
// as the absent string, and anything VariantChangeType turns into a string; long parameters
// what turns into VT_I4; variant parameters take the argument unchanged; IQuorvelXml
// parameters take VT_DISPATCH or VT_UNKNOWN objects that answer IQuorvelXml, and VT_EMPTY,
// VT_NULL or a null object as none. By-reference forms are followed.
//
// Only kMembers[0 .. reachable) are reached: kQuorvelXmlMemberCount for a call through IQuorvelXml's
// type information, kMemberCount for one through IQuorvelXml2 (REQUIRES: self is then one).
HRESULT invokeMember(IQuorvelXml* self, size_t reachable, DISPID dispid, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr);

}  // namespace quorvel
