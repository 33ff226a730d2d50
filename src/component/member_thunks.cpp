#include "component/member_thunks.h"

#include <cstring>

namespace quorvel {

namespace {

template <size_t I, auto M>
constexpr MemberThunk checkedThunk() {
    static_assert(thunks::signatureMatches<M>(kMembers[I]),
                  "the member's parameter and result types differ from the member table");
    return &thunks::thunk<M>;
}

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
        return checkedThunk<i, &IQuorvelXml::fn>();                                                         \
    }()

const MemberThunk kMemberThunks[kMemberCount] = {
    QV_MEMBER(0, get_Version),
    QV_MEMBER(1, get_NumAttributes),
    QV_MEMBER(2, get_Tag),
    QV_MEMBER(3, put_Tag),
    QV_MEMBER(4, get_Content),
    QV_MEMBER(5, put_Content),
    QV_MEMBER(6, get_NumChildren),
    QV_MEMBER(7, GetChildContent),
    QV_MEMBER(8, get_Cdata),
    QV_MEMBER(9, put_Cdata),
    QV_MEMBER(10, LoadXml),
    QV_MEMBER(11, LoadXmlFile),
    QV_MEMBER(12, SaveXml),
    QV_MEMBER(13, GetXml),
    QV_MEMBER(14, AppendToContent),
    QV_MEMBER(15, AddAttribute),
    QV_MEMBER(16, RemoveAttribute),
    QV_MEMBER(17, RemoveAllAttributes),
    QV_MEMBER(18, GetAttributeName),
    QV_MEMBER(19, GetAttributeValue),
    QV_MEMBER(20, GetAttrValue),
    QV_MEMBER(21, HasAttrWithValue),
    QV_MEMBER(22, SwapNode),
    QV_MEMBER(23, SwapTree),
    QV_MEMBER(24, AddChildTree),
    QV_MEMBER(25, GetChild),
    QV_MEMBER(26, ExtractChildByIndex),
    QV_MEMBER(27, ExtractChildByName),
    QV_MEMBER(28, NumChildrenHavingTag),
    QV_MEMBER(29, GetNthChildWithTag),
    QV_MEMBER(30, NewChild),
    QV_MEMBER(31, FindOrAddNewChild),
    QV_MEMBER(32, SearchForTag),
    QV_MEMBER(33, SearchForContent),
    QV_MEMBER(34, SearchAllForContent),
    QV_MEMBER(35, SearchForAttribute),
    QV_MEMBER(36, GetParent),
    QV_MEMBER(37, GetURL),
    QV_MEMBER(38, Clear),
    QV_MEMBER(39, FirstChild),
    QV_MEMBER(40, LastChild),
    QV_MEMBER(41, NextSibling),
    QV_MEMBER(42, PreviousSibling),
    QV_MEMBER(43, get_TreeId),
    QV_MEMBER(44, GetChildWithTag),
    QV_MEMBER(45, get_Standalone),
    QV_MEMBER(46, put_Standalone),
    QV_MEMBER(47, get_Encoding),
    QV_MEMBER(48, put_Encoding),
    QV_MEMBER(49, GetRoot),
    QV_MEMBER(50, SaveXmlLog),
    QV_MEMBER(51, FindNextRecord),
    QV_MEMBER(52, HttpPost),
    QV_MEMBER(53, CompressSubtree),
    QV_MEMBER(54, CompressNode),
    QV_MEMBER(55, DecompressSubtree),
    QV_MEMBER(56, DecompressNode),
    QV_MEMBER(57, EncryptNode),
    QV_MEMBER(58, DecryptNode),
    QV_MEMBER(59, get_ErrorLogHtml),
    QV_MEMBER(60, get_ErrorLogXml),
    QV_MEMBER(61, get_ErrorLogText),
    QV_MEMBER(62, ErrorLogClear),
    QV_MEMBER(63, GetChild2),
    QV_MEMBER(64, FindChild2),
    QV_MEMBER(65, RemoveFromTree),
    QV_MEMBER(66, GetParent2),
    QV_MEMBER(67, FirstChild2),
    QV_MEMBER(68, LastChild2),
    QV_MEMBER(69, NextSibling2),
    QV_MEMBER(70, PreviousSibling2),
    QV_MEMBER(71, GetRoot2),
    QV_MEMBER(72, QEncodeContent),
    QV_MEMBER(73, BEncodeContent),
    QV_MEMBER(74, UpdateAttribute),
    QV_MEMBER(75, DecodeContent),
    QV_MEMBER(76, SetBinaryContent),
    QV_MEMBER(77, GetBinaryContent),
    QV_MEMBER(78, FindChild),
    QV_MEMBER(79, NewChild2),
    QV_MEMBER(80, SortByTag),
    QV_MEMBER(81, SortByContent),
    QV_MEMBER(82, SortByAttribute),
    QV_MEMBER(83, SortRecordsByContent),
    QV_MEMBER(84, SortRecordsByAttribute),
    QV_MEMBER(85, LoadXmlV)};

#undef QV_MEMBER
#define QV_MEMBER(i, fn) vtableOffset<&IQuorvelXml::fn>()

const size_t kMemberVtableOffsets[kMemberCount] = {
    QV_MEMBER(0, get_Version),
    QV_MEMBER(1, get_NumAttributes),
    QV_MEMBER(2, get_Tag),
    QV_MEMBER(3, put_Tag),
    QV_MEMBER(4, get_Content),
    QV_MEMBER(5, put_Content),
    QV_MEMBER(6, get_NumChildren),
    QV_MEMBER(7, GetChildContent),
    QV_MEMBER(8, get_Cdata),
    QV_MEMBER(9, put_Cdata),
    QV_MEMBER(10, LoadXml),
    QV_MEMBER(11, LoadXmlFile),
    QV_MEMBER(12, SaveXml),
    QV_MEMBER(13, GetXml),
    QV_MEMBER(14, AppendToContent),
    QV_MEMBER(15, AddAttribute),
    QV_MEMBER(16, RemoveAttribute),
    QV_MEMBER(17, RemoveAllAttributes),
    QV_MEMBER(18, GetAttributeName),
    QV_MEMBER(19, GetAttributeValue),
    QV_MEMBER(20, GetAttrValue),
    QV_MEMBER(21, HasAttrWithValue),
    QV_MEMBER(22, SwapNode),
    QV_MEMBER(23, SwapTree),
    QV_MEMBER(24, AddChildTree),
    QV_MEMBER(25, GetChild),
    QV_MEMBER(26, ExtractChildByIndex),
    QV_MEMBER(27, ExtractChildByName),
    QV_MEMBER(28, NumChildrenHavingTag),
    QV_MEMBER(29, GetNthChildWithTag),
    QV_MEMBER(30, NewChild),
    QV_MEMBER(31, FindOrAddNewChild),
    QV_MEMBER(32, SearchForTag),
    QV_MEMBER(33, SearchForContent),
    QV_MEMBER(34, SearchAllForContent),
    QV_MEMBER(35, SearchForAttribute),
    QV_MEMBER(36, GetParent),
    QV_MEMBER(37, GetURL),
    QV_MEMBER(38, Clear),
    QV_MEMBER(39, FirstChild),
    QV_MEMBER(40, LastChild),
    QV_MEMBER(41, NextSibling),
    QV_MEMBER(42, PreviousSibling),
    QV_MEMBER(43, get_TreeId),
    QV_MEMBER(44, GetChildWithTag),
    QV_MEMBER(45, get_Standalone),
    QV_MEMBER(46, put_Standalone),
    QV_MEMBER(47, get_Encoding),
    QV_MEMBER(48, put_Encoding),
    QV_MEMBER(49, GetRoot),
    QV_MEMBER(50, SaveXmlLog),
    QV_MEMBER(51, FindNextRecord),
    QV_MEMBER(52, HttpPost),
    QV_MEMBER(53, CompressSubtree),
    QV_MEMBER(54, CompressNode),
    QV_MEMBER(55, DecompressSubtree),
    QV_MEMBER(56, DecompressNode),
    QV_MEMBER(57, EncryptNode),
    QV_MEMBER(58, DecryptNode),
    QV_MEMBER(59, get_ErrorLogHtml),
    QV_MEMBER(60, get_ErrorLogXml),
    QV_MEMBER(61, get_ErrorLogText),
    QV_MEMBER(62, ErrorLogClear),
    QV_MEMBER(63, GetChild2),
    QV_MEMBER(64, FindChild2),
    QV_MEMBER(65, RemoveFromTree),
    QV_MEMBER(66, GetParent2),
    QV_MEMBER(67, FirstChild2),
    QV_MEMBER(68, LastChild2),
    QV_MEMBER(69, NextSibling2),
    QV_MEMBER(70, PreviousSibling2),
    QV_MEMBER(71, GetRoot2),
    QV_MEMBER(72, QEncodeContent),
    QV_MEMBER(73, BEncodeContent),
    QV_MEMBER(74, UpdateAttribute),
    QV_MEMBER(75, DecodeContent),
    QV_MEMBER(76, SetBinaryContent),
    QV_MEMBER(77, GetBinaryContent),
    QV_MEMBER(78, FindChild),
    QV_MEMBER(79, NewChild2),
    QV_MEMBER(80, SortByTag),
    QV_MEMBER(81, SortByContent),
    QV_MEMBER(82, SortByAttribute),
    QV_MEMBER(83, SortRecordsByContent),
    QV_MEMBER(84, SortRecordsByAttribute),
    QV_MEMBER(85, LoadXmlV)};

#undef QV_MEMBER

}  // namespace quorvel
