// Type information of the module's interfaces and classes, built from the member tables, from
// which hosts list every member with its kind, DISPID, parameter names and types.
//
// The interfaces are described as their dispatch view (TKIND_DISPATCH, dual ones flagged
// TYPEFLAG_FDUAL): one FUNCDESC per member, in slot order, with the member's DISPID and invoke
// kind. Parameters are given as the virtual table declares them, so a member with a result
// lists it last as [out, retval] (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL) and returns VT_HRESULT;
// oVft is the member's byte offset in the virtual table. Strings are VT_BSTR, longs VT_I4,
// variants VT_VARIANT, and IQuorvelXml is VT_PTR to VT_USERDEFINED, whose reference resolves
// through GetRefTypeInfo to IQuorvelXml's type information. IQuorvelXml2 lists only the members it
// adds and names IQuorvelXml as its one implemented type (its base), whose description stays as
// it was; names and DISPIDs of both resolve on IQuorvelXml2's. Typed variant results (node and
// string arrays, XPath values) are VT_VARIANT, as the virtual table declares them. The event interface is a pure
// dispinterface: ParsePercentDone returns VT_VOID.
//
// The objects are process-wide and never destroyed; AddRef and Release only keep up
// appearances, and descriptions handed out need no releasing (ReleaseFuncDesc and
// ReleaseTypeAttr accept them all the same).
#pragma once

#include "component/member_table.h"
#include "quorvel/quorvel_xml.hpp"

namespace quorvel {

enum class ModuleType : HREFTYPE {
    QuorvelXml = 1,        // IQuorvelXml
    XmlFactory = 2,        // IXmlFactory
    Events = 3,            // _IQuorvelXmlEvents
    QuorvelXmlClass = 4,   // the coclass QuorvelXml: IQuorvelXml2 (default), source _IQuorvelXmlEvents, IQuorvelXml
    XmlFactoryClass = 5,   // the coclass XmlFactory: IXmlFactory
    QuorvelXml2 = 6,       // IQuorvelXml2: its own members; IQuorvelXml as implemented type 0 (its base)
};

// A new reference to the type information (never fails).
HRESULT getModuleTypeInfo(ModuleType type, ITypeInfo** out);

// The one member of IXmlFactory, in the member table's form.
extern const MemberInfo kFactoryMembers[1];

}  // namespace quorvel
