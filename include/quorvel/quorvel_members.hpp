// The members of the QuorvelXml node handle's two interfaces, IQuorvelXml and IQuorvelXml2, as
// one table: each member's DISPID, virtual-table slot, kind, name, parameters and result, and the
// member functions in the same order as X-macro lists. This is a public, stable description:
// hosts that call the virtual table by member-function pointer, generate bindings or list the
// members may build on it, and the component's own dispatch, type information, C++ layer and
// Python module are generated from it and checked against it when compiled. Entries are only
// ever appended; an entry once published keeps its DISPID, slot and signature.
//
// IQuorvelXml's members are kMembers[0 .. kQuorvelXmlMemberCount); IQuorvelXml2 adds the
// dispatchable members after them, then members reached only through its virtual table (no
// DISPID, not callable by name), which QV_FOR_EACH_VTABLE_ONLY_MEMBER lists.
#ifndef QUORVEL_QUORVEL_MEMBERS_HPP
#define QUORVEL_QUORVEL_MEMBERS_HPP

#include <cstddef>
#include <cstdint>

namespace quorvel {

// How a parameter or result passes. String: BSTR; Long: LONG; Variant: VARIANT (in) or
// VARIANT* (result); Handle: IQuorvelXml* (in) or IQuorvelXml** (result, may be null).
// The last three are results carried in a VARIANT* whose content is known:
//   NodeArray   VT_ARRAY|VT_DISPATCH, one-dimensional, lower bound 0: node handles
//   StringArray VT_ARRAY|VT_BSTR, one-dimensional, lower bound 0
//   Scalar      VT_R8, VT_BSTR or VT_BOOL
enum class ArgType : uint8_t { None, String, Long, Variant, Handle, NodeArray, StringArray, Scalar };
enum class MemberKind : uint8_t { Method, PropertyGet, PropertyPut };

// The type in which a value of that type travels through the virtual table and Invoke.
constexpr ArgType carrierOf(ArgType t) {
    return (t == ArgType::NodeArray || t == ArgType::StringArray || t == ArgType::Scalar) ? ArgType::Variant : t;
}

struct ParamInfo {
    const char* name;
    ArgType type;
};

struct MemberInfo {
    int32_t dispid;
    int32_t slot;  // position in the virtual table of IQuorvelXml2 (IQuorvelXml's are the same)
    MemberKind kind;
    const char* name;
    uint8_t paramCount;
    ParamInfo params[4];
    ParamInfo result;  // the [out, retval] parameter; type None when the member has none
};

// IQuorvelXml's members, then the dispatchable ones IQuorvelXml2 adds.
inline constexpr size_t kQuorvelXmlMemberCount = 86;
inline constexpr size_t kMemberCount = 105;
// The first member's slot: slots 0-6 belong to IUnknown and IDispatch.
inline constexpr int32_t kFirstMemberSlot = 7;
// The highest DISPID of each interface.
inline constexpr int32_t kQuorvelXmlMaxDispid = 86;
inline constexpr int32_t kMaxDispid = 104;
// The virtual-table-only members of IQuorvelXml2 start here, after every dispatchable member.
inline constexpr int32_t kFirstVtableOnlySlot = kFirstMemberSlot + static_cast<int32_t>(kMemberCount);

// The dispatchable members in virtual-table order (slot 7 onwards), with the DISPIDs and
// parameter names that hosts see through IDispatch and the type information.
inline constexpr MemberInfo kMembers[kMemberCount] = {
    {1, 7, MemberKind::PropertyGet, "Version", 0, {}, {"pVal", ArgType::String}},
    {4, 8, MemberKind::PropertyGet, "NumAttributes", 0, {}, {"pVal", ArgType::Long}},
    {5, 9, MemberKind::PropertyGet, "Tag", 0, {}, {"pVal", ArgType::String}},
    {5, 10, MemberKind::PropertyPut, "Tag", 1, {{"newVal", ArgType::String}}, {nullptr, ArgType::None}},
    {6, 11, MemberKind::PropertyGet, "Content", 0, {}, {"pVal", ArgType::String}},
    {6, 12, MemberKind::PropertyPut, "Content", 1, {{"newVal", ArgType::String}}, {nullptr, ArgType::None}},
    {7, 13, MemberKind::PropertyGet, "NumChildren", 0, {}, {"pVal", ArgType::Long}},
    {8, 14, MemberKind::Method, "GetChildContent", 1, {{"Tag", ArgType::String}}, {"node", ArgType::String}},
    {9, 15, MemberKind::PropertyGet, "Cdata", 0, {}, {"pVal", ArgType::Long}},
    {9, 16, MemberKind::PropertyPut, "Cdata", 1, {{"newVal", ArgType::Long}}, {nullptr, ArgType::None}},
    {10, 17, MemberKind::Method, "LoadXml", 1, {{"xmlData", ArgType::String}}, {"success", ArgType::Long}},
    {11, 18, MemberKind::Method, "LoadXmlFile", 1, {{"fileName", ArgType::String}}, {"success", ArgType::Long}},
    {12, 19, MemberKind::Method, "SaveXml", 1, {{"fileName", ArgType::String}}, {nullptr, ArgType::None}},
    {13, 20, MemberKind::Method, "GetXml", 0, {}, {"xmlData", ArgType::String}},
    {14, 21, MemberKind::Method, "AppendToContent", 1, {{"str", ArgType::String}}, {nullptr, ArgType::None}},
    {15, 22, MemberKind::Method, "AddAttribute", 2, {{"name", ArgType::String}, {"value", ArgType::String}}, {nullptr, ArgType::None}},
    {16, 23, MemberKind::Method, "RemoveAttribute", 1, {{"name", ArgType::String}}, {nullptr, ArgType::None}},
    {17, 24, MemberKind::Method, "RemoveAllAttributes", 0, {}, {nullptr, ArgType::None}},
    {18, 25, MemberKind::Method, "GetAttributeName", 1, {{"index", ArgType::Long}}, {"name", ArgType::String}},
    {19, 26, MemberKind::Method, "GetAttributeValue", 1, {{"index", ArgType::Long}}, {"value", ArgType::String}},
    {20, 27, MemberKind::Method, "GetAttrValue", 1, {{"name", ArgType::String}}, {"value", ArgType::String}},
    {21, 28, MemberKind::Method, "HasAttrWithValue", 2, {{"name", ArgType::String}, {"value", ArgType::String}}, {"retval", ArgType::Long}},
    {22, 29, MemberKind::Method, "SwapNode", 1, {{"node", ArgType::Handle}}, {nullptr, ArgType::None}},
    {23, 30, MemberKind::Method, "SwapTree", 1, {{"tree", ArgType::Handle}}, {nullptr, ArgType::None}},
    {24, 31, MemberKind::Method, "AddChildTree", 1, {{"tree", ArgType::Handle}}, {nullptr, ArgType::None}},
    {25, 32, MemberKind::Method, "GetChild", 1, {{"index", ArgType::Long}}, {"child", ArgType::Handle}},
    {26, 33, MemberKind::Method, "ExtractChildByIndex", 1, {{"index", ArgType::Long}}, {"child", ArgType::Handle}},
    {27, 34, MemberKind::Method, "ExtractChildByName", 3, {{"Tag", ArgType::String}, {"attrName", ArgType::String}, {"attrValue", ArgType::String}}, {"child", ArgType::Handle}},
    {28, 35, MemberKind::Method, "NumChildrenHavingTag", 1, {{"Tag", ArgType::String}}, {"retval", ArgType::Long}},
    {29, 36, MemberKind::Method, "GetNthChildWithTag", 2, {{"Tag", ArgType::String}, {"n", ArgType::Long}}, {"child", ArgType::Handle}},
    {30, 37, MemberKind::Method, "NewChild", 2, {{"Tag", ArgType::String}, {"Content", ArgType::String}}, {"child", ArgType::Handle}},
    {31, 38, MemberKind::Method, "FindOrAddNewChild", 1, {{"Tag", ArgType::String}}, {"child", ArgType::Handle}},
    {32, 39, MemberKind::Method, "SearchForTag", 2, {{"after", ArgType::Handle}, {"Tag", ArgType::String}}, {"node", ArgType::Handle}},
    {33, 40, MemberKind::Method, "SearchForContent", 3, {{"after", ArgType::Handle}, {"Tag", ArgType::String}, {"contentPattern", ArgType::String}}, {"node", ArgType::Handle}},
    {34, 41, MemberKind::Method, "SearchAllForContent", 2, {{"after", ArgType::Handle}, {"contentPattern", ArgType::String}}, {"node", ArgType::Handle}},
    {35, 42, MemberKind::Method, "SearchForAttribute", 4, {{"after", ArgType::Handle}, {"Tag", ArgType::String}, {"attr", ArgType::String}, {"valuePattern", ArgType::String}}, {"node", ArgType::Handle}},
    {36, 43, MemberKind::Method, "GetParent", 0, {}, {"parent", ArgType::Handle}},
    {37, 44, MemberKind::Method, "GetURL", 4, {{"url", ArgType::String}, {"proxy", ArgType::String}, {"username", ArgType::String}, {"password", ArgType::String}}, {"anyData", ArgType::Variant}},
    {38, 45, MemberKind::Method, "Clear", 0, {}, {nullptr, ArgType::None}},
    {39, 46, MemberKind::Method, "FirstChild", 0, {}, {"child", ArgType::Handle}},
    {40, 47, MemberKind::Method, "LastChild", 0, {}, {"child", ArgType::Handle}},
    {41, 48, MemberKind::Method, "NextSibling", 0, {}, {"sibling", ArgType::Handle}},
    {42, 49, MemberKind::Method, "PreviousSibling", 0, {}, {"sibling", ArgType::Handle}},
    {43, 50, MemberKind::PropertyGet, "TreeId", 0, {}, {"pVal", ArgType::Long}},
    {44, 51, MemberKind::Method, "GetChildWithTag", 1, {{"Tag", ArgType::String}}, {"child", ArgType::Handle}},
    {45, 52, MemberKind::PropertyGet, "Standalone", 0, {}, {"pVal", ArgType::String}},
    {45, 53, MemberKind::PropertyPut, "Standalone", 1, {{"newVal", ArgType::String}}, {nullptr, ArgType::None}},
    {46, 54, MemberKind::PropertyGet, "Encoding", 0, {}, {"pVal", ArgType::String}},
    {46, 55, MemberKind::PropertyPut, "Encoding", 1, {{"newVal", ArgType::String}}, {nullptr, ArgType::None}},
    {47, 56, MemberKind::Method, "GetRoot", 0, {}, {"root", ArgType::Handle}},
    {48, 57, MemberKind::Method, "SaveXmlLog", 1, {{"fileName", ArgType::String}}, {nullptr, ArgType::None}},
    {49, 58, MemberKind::Method, "FindNextRecord", 2, {{"Tag", ArgType::String}, {"contentPattern", ArgType::String}}, {"node", ArgType::Handle}},
    {50, 59, MemberKind::Method, "HttpPost", 1, {{"url", ArgType::String}}, {"response", ArgType::Handle}},
    {51, 60, MemberKind::Method, "CompressSubtree", 0, {}, {nullptr, ArgType::None}},
    {52, 61, MemberKind::Method, "CompressNode", 0, {}, {nullptr, ArgType::None}},
    {53, 62, MemberKind::Method, "DecompressSubtree", 0, {}, {nullptr, ArgType::None}},
    {54, 63, MemberKind::Method, "DecompressNode", 0, {}, {nullptr, ArgType::None}},
    {55, 64, MemberKind::Method, "EncryptNode", 1, {{"password", ArgType::String}}, {nullptr, ArgType::None}},
    {56, 65, MemberKind::Method, "DecryptNode", 1, {{"password", ArgType::String}}, {nullptr, ArgType::None}},
    {60, 66, MemberKind::PropertyGet, "ErrorLogHtml", 0, {}, {"pVal", ArgType::String}},
    {61, 67, MemberKind::PropertyGet, "ErrorLogXml", 0, {}, {"pVal", ArgType::String}},
    {62, 68, MemberKind::PropertyGet, "ErrorLogText", 0, {}, {"pVal", ArgType::String}},
    {63, 69, MemberKind::Method, "ErrorLogClear", 0, {}, {nullptr, ArgType::None}},
    {64, 70, MemberKind::Method, "GetChild2", 1, {{"index", ArgType::Long}}, {"found", ArgType::Long}},
    {65, 71, MemberKind::Method, "FindChild2", 1, {{"Tag", ArgType::String}}, {"found", ArgType::Long}},
    {66, 72, MemberKind::Method, "RemoveFromTree", 0, {}, {nullptr, ArgType::None}},
    {67, 73, MemberKind::Method, "GetParent2", 0, {}, {"found", ArgType::Long}},
    {68, 74, MemberKind::Method, "FirstChild2", 0, {}, {"found", ArgType::Long}},
    {69, 75, MemberKind::Method, "LastChild2", 0, {}, {"found", ArgType::Long}},
    {70, 76, MemberKind::Method, "NextSibling2", 0, {}, {"found", ArgType::Long}},
    {71, 77, MemberKind::Method, "PreviousSibling2", 0, {}, {"found", ArgType::Long}},
    {72, 78, MemberKind::Method, "GetRoot2", 0, {}, {nullptr, ArgType::None}},
    {73, 79, MemberKind::Method, "QEncodeContent", 2, {{"charset", ArgType::String}, {"Content", ArgType::Variant}}, {nullptr, ArgType::None}},
    {74, 80, MemberKind::Method, "BEncodeContent", 2, {{"charset", ArgType::String}, {"Content", ArgType::Variant}}, {nullptr, ArgType::None}},
    {75, 81, MemberKind::Method, "UpdateAttribute", 2, {{"name", ArgType::String}, {"value", ArgType::String}}, {nullptr, ArgType::None}},
    {76, 82, MemberKind::Method, "DecodeContent", 0, {}, {"Content", ArgType::Variant}},
    {77, 83, MemberKind::Method, "SetBinaryContent", 4, {{"zipFlag", ArgType::Long}, {"encryptFlag", ArgType::Long}, {"password", ArgType::String}, {"Content", ArgType::Variant}}, {nullptr, ArgType::None}},
    {78, 84, MemberKind::Method, "GetBinaryContent", 3, {{"unzipFlag", ArgType::Long}, {"decryptFlag", ArgType::Long}, {"password", ArgType::String}}, {"Content", ArgType::Variant}},
    {79, 85, MemberKind::Method, "FindChild", 1, {{"Tag", ArgType::String}}, {"child", ArgType::Handle}},
    {80, 86, MemberKind::Method, "NewChild2", 2, {{"Tag", ArgType::String}, {"Content", ArgType::String}}, {nullptr, ArgType::None}},
    {81, 87, MemberKind::Method, "SortByTag", 1, {{"ascending", ArgType::Long}}, {nullptr, ArgType::None}},
    {82, 88, MemberKind::Method, "SortByContent", 1, {{"ascending", ArgType::Long}}, {nullptr, ArgType::None}},
    {83, 89, MemberKind::Method, "SortByAttribute", 2, {{"attrName", ArgType::String}, {"ascending", ArgType::Long}}, {nullptr, ArgType::None}},
    {84, 90, MemberKind::Method, "SortRecordsByContent", 2, {{"sortTag", ArgType::String}, {"ascending", ArgType::Long}}, {nullptr, ArgType::None}},
    {85, 91, MemberKind::Method, "SortRecordsByAttribute", 3, {{"sortTag", ArgType::String}, {"attrName", ArgType::String}, {"ascending", ArgType::Long}}, {nullptr, ArgType::None}},
    {86, 92, MemberKind::Method, "LoadXmlV", 1, {{"xmlData", ArgType::Variant}}, {"success", ArgType::Long}},
    // ---- IQuorvelXml2 ----
    {87, 93, MemberKind::Method, "SelectNodes", 1, {{"xpath", ArgType::String}}, {"nodes", ArgType::NodeArray}},
    {88, 94, MemberKind::Method, "SelectSingleNode", 1, {{"xpath", ArgType::String}}, {"node", ArgType::Handle}},
    {89, 95, MemberKind::Method, "SelectValues", 1, {{"xpath", ArgType::String}}, {"values", ArgType::StringArray}},
    {90, 96, MemberKind::Method, "EvaluateXPath", 1, {{"xpath", ArgType::String}}, {"result", ArgType::Scalar}},
    {91, 97, MemberKind::Method, "SetXPathNamespace", 2, {{"prefix", ArgType::String}, {"uri", ArgType::String}}, {nullptr, ArgType::None}},
    {92, 98, MemberKind::Method, "SetXPathVariable", 2, {{"name", ArgType::String}, {"value", ArgType::Variant}}, {nullptr, ArgType::None}},
    {93, 99, MemberKind::PropertyGet, "NamespaceUri", 0, {}, {"pVal", ArgType::String}},
    {94, 100, MemberKind::PropertyGet, "LocalName", 0, {}, {"pVal", ArgType::String}},
    {95, 101, MemberKind::PropertyGet, "Prefix", 0, {}, {"pVal", ArgType::String}},
    {96, 102, MemberKind::Method, "LookupNamespace", 1, {{"prefix", ArgType::String}}, {"uri", ArgType::String}},
    {97, 103, MemberKind::Method, "GetXmlIndented", 1, {{"indent", ArgType::String}}, {"xmlData", ArgType::String}},
    {98, 104, MemberKind::Method, "SaveXmlIndented", 2, {{"fileName", ArgType::String}, {"indent", ArgType::String}}, {nullptr, ArgType::None}},
    {99, 105, MemberKind::Method, "OpenRecords", 2, {{"source", ArgType::String}, {"recordPath", ArgType::String}}, {nullptr, ArgType::None}},
    {100, 106, MemberKind::Method, "OpenRecordRange", 4, {{"fileName", ArgType::String}, {"recordPath", ArgType::String}, {"start", ArgType::Variant}, {"end", ArgType::Variant}}, {nullptr, ArgType::None}},
    {101, 107, MemberKind::Method, "NextRecord", 0, {}, {"record", ArgType::Handle}},
    {102, 108, MemberKind::PropertyGet, "RecordSizeLimit", 0, {}, {"pVal", ArgType::Long}},
    {102, 109, MemberKind::PropertyPut, "RecordSizeLimit", 1, {{"newVal", ArgType::Long}}, {nullptr, ArgType::None}},
    {103, 110, MemberKind::PropertyGet, "RecordPath", 0, {}, {"pVal", ArgType::String}},
    {104, 111, MemberKind::Method, "GetRecordAncestor", 1, {{"level", ArgType::Long}}, {"ancestor", ArgType::Handle}},
};

// Index of the member at a virtual-table slot: the table is in slot order.
constexpr size_t memberIndexOfSlot(int32_t slot) { return static_cast<size_t>(slot - kFirstMemberSlot); }

}  // namespace quorvel

// The member functions of the dispatchable members in virtual-table order, as
// X(index in kMembers, name), properties as get_X / put_X: the one list from which calls by
// member-function pointer are generated. Every use checks each name against kMembers.
#define QV_FOR_EACH_MEMBER_FUNCTION(X) \
    QV_FOR_EACH_IQUORVELXML_MEMBER_FUNCTION(X) \
    QV_FOR_EACH_IQUORVELXML2_MEMBER_FUNCTION(X)

#define QV_FOR_EACH_IQUORVELXML_MEMBER_FUNCTION(X) \
    X(0, get_Version) \
    X(1, get_NumAttributes) \
    X(2, get_Tag) \
    X(3, put_Tag) \
    X(4, get_Content) \
    X(5, put_Content) \
    X(6, get_NumChildren) \
    X(7, GetChildContent) \
    X(8, get_Cdata) \
    X(9, put_Cdata) \
    X(10, LoadXml) \
    X(11, LoadXmlFile) \
    X(12, SaveXml) \
    X(13, GetXml) \
    X(14, AppendToContent) \
    X(15, AddAttribute) \
    X(16, RemoveAttribute) \
    X(17, RemoveAllAttributes) \
    X(18, GetAttributeName) \
    X(19, GetAttributeValue) \
    X(20, GetAttrValue) \
    X(21, HasAttrWithValue) \
    X(22, SwapNode) \
    X(23, SwapTree) \
    X(24, AddChildTree) \
    X(25, GetChild) \
    X(26, ExtractChildByIndex) \
    X(27, ExtractChildByName) \
    X(28, NumChildrenHavingTag) \
    X(29, GetNthChildWithTag) \
    X(30, NewChild) \
    X(31, FindOrAddNewChild) \
    X(32, SearchForTag) \
    X(33, SearchForContent) \
    X(34, SearchAllForContent) \
    X(35, SearchForAttribute) \
    X(36, GetParent) \
    X(37, GetURL) \
    X(38, Clear) \
    X(39, FirstChild) \
    X(40, LastChild) \
    X(41, NextSibling) \
    X(42, PreviousSibling) \
    X(43, get_TreeId) \
    X(44, GetChildWithTag) \
    X(45, get_Standalone) \
    X(46, put_Standalone) \
    X(47, get_Encoding) \
    X(48, put_Encoding) \
    X(49, GetRoot) \
    X(50, SaveXmlLog) \
    X(51, FindNextRecord) \
    X(52, HttpPost) \
    X(53, CompressSubtree) \
    X(54, CompressNode) \
    X(55, DecompressSubtree) \
    X(56, DecompressNode) \
    X(57, EncryptNode) \
    X(58, DecryptNode) \
    X(59, get_ErrorLogHtml) \
    X(60, get_ErrorLogXml) \
    X(61, get_ErrorLogText) \
    X(62, ErrorLogClear) \
    X(63, GetChild2) \
    X(64, FindChild2) \
    X(65, RemoveFromTree) \
    X(66, GetParent2) \
    X(67, FirstChild2) \
    X(68, LastChild2) \
    X(69, NextSibling2) \
    X(70, PreviousSibling2) \
    X(71, GetRoot2) \
    X(72, QEncodeContent) \
    X(73, BEncodeContent) \
    X(74, UpdateAttribute) \
    X(75, DecodeContent) \
    X(76, SetBinaryContent) \
    X(77, GetBinaryContent) \
    X(78, FindChild) \
    X(79, NewChild2) \
    X(80, SortByTag) \
    X(81, SortByContent) \
    X(82, SortByAttribute) \
    X(83, SortRecordsByContent) \
    X(84, SortRecordsByAttribute) \
    X(85, LoadXmlV)

#define QV_FOR_EACH_IQUORVELXML2_MEMBER_FUNCTION(X) \
    X(86, SelectNodes) \
    X(87, SelectSingleNode) \
    X(88, SelectValues) \
    X(89, EvaluateXPath) \
    X(90, SetXPathNamespace) \
    X(91, SetXPathVariable) \
    X(92, get_NamespaceUri) \
    X(93, get_LocalName) \
    X(94, get_Prefix) \
    X(95, LookupNamespace) \
    X(96, GetXmlIndented) \
    X(97, SaveXmlIndented) \
    X(98, OpenRecords) \
    X(99, OpenRecordRange) \
    X(100, NextRecord) \
    X(101, get_RecordSizeLimit) \
    X(102, put_RecordSizeLimit) \
    X(103, get_RecordPath) \
    X(104, GetRecordAncestor)

// IQuorvelXml2's members reached only through its virtual table, as X(slot, name). They take
// pointers and lengths that IDispatch cannot carry; see quorvel/quorvel_xml.h for their contracts.
#define QV_FOR_EACH_VTABLE_ONLY_MEMBER(X) \
    X(112, GetTagUtf8) \
    X(113, GetContentUtf8) \
    X(114, GetAttributeUtf8) \
    X(115, FindAttributeUtf8) \
    X(116, OpenRecordStream)

#endif  // QUORVEL_QUORVEL_MEMBERS_HPP
