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
// The first member's slot: slots 0-6 belong to IUnknown and IDispatch.
inline constexpr int32_t kFirstMemberSlot = 7;

// The members of IQuorvelXml in virtual-table order (slot 7 onwards), with the DISPIDs and
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
};

// Index of the member at a virtual-table slot: the table is in slot order.
constexpr size_t memberIndexOfSlot(int32_t slot) { return static_cast<size_t>(slot - kFirstMemberSlot); }

// Names are compared without case, as automation hosts do.
const MemberInfo* findMemberByName(const char16_t* name, size_t length);
const MemberInfo* findMember(int32_t dispid, MemberKind kind);
bool hasDispid(int32_t dispid);
bool namesEqualNoCase(const char* ascii, const char16_t* name, size_t length);
// Position of a parameter of m by name (without case), or -1.
int32_t findParamByName(const MemberInfo& m, const char16_t* name, size_t length);

}  // namespace quorvel
