// A stand-in IQuorvelXml that records how each member was called and answers with fixed
// results, so dispatch can be checked argument by argument, independently of what the members
// of the real handle do.
#pragma once
#include <string>
#include <type_traits>

#include "component/rich_error_info.h"
#include "core/string_buffer.h"
#include "core/system/utf8.h"
#include "quorvel/quorvel_xml.hpp"

namespace quorvel::test {

class RecordingHandle final : public IQuorvelXml {
public:
    // The last call, as "Member(arg,arg,...)": strings as s:text (s:null for the absent
    // string), longs as l:n, variants as v:type, handles as h:self, h:other or h:null.
    std::string lastCall;
    // When set, members raise error information and return this instead of answering.
    HRESULT failWith = S_OK;
    IQuorvelXml* other = nullptr;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IQuorvelXml) {
            *ppv = static_cast<IQuorvelXml*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }

    HRESULT get_Version(BSTR* r) override { return record("get_Version", r); }
    HRESULT get_NumAttributes(LONG* r) override { return record("get_NumAttributes", r); }
    HRESULT get_Tag(BSTR* r) override { return record("get_Tag", r); }
    HRESULT put_Tag(BSTR a0) override { return record("put_Tag", a0); }
    HRESULT get_Content(BSTR* r) override { return record("get_Content", r); }
    HRESULT put_Content(BSTR a0) override { return record("put_Content", a0); }
    HRESULT get_NumChildren(LONG* r) override { return record("get_NumChildren", r); }
    HRESULT GetChildContent(BSTR a0, BSTR* r) override { return record("GetChildContent", a0, r); }
    HRESULT get_Cdata(LONG* r) override { return record("get_Cdata", r); }
    HRESULT put_Cdata(LONG a0) override { return record("put_Cdata", a0); }
    HRESULT LoadXml(BSTR a0, LONG* r) override { return record("LoadXml", a0, r); }
    HRESULT LoadXmlFile(BSTR a0, LONG* r) override { return record("LoadXmlFile", a0, r); }
    HRESULT SaveXml(BSTR a0) override { return record("SaveXml", a0); }
    HRESULT GetXml(BSTR* r) override { return record("GetXml", r); }
    HRESULT AppendToContent(BSTR a0) override { return record("AppendToContent", a0); }
    HRESULT AddAttribute(BSTR a0, BSTR a1) override { return record("AddAttribute", a0, a1); }
    HRESULT RemoveAttribute(BSTR a0) override { return record("RemoveAttribute", a0); }
    HRESULT RemoveAllAttributes() override { return record("RemoveAllAttributes"); }
    HRESULT GetAttributeName(LONG a0, BSTR* r) override { return record("GetAttributeName", a0, r); }
    HRESULT GetAttributeValue(LONG a0, BSTR* r) override { return record("GetAttributeValue", a0, r); }
    HRESULT GetAttrValue(BSTR a0, BSTR* r) override { return record("GetAttrValue", a0, r); }
    HRESULT HasAttrWithValue(BSTR a0, BSTR a1, LONG* r) override { return record("HasAttrWithValue", a0, a1, r); }
    HRESULT SwapNode(IQuorvelXml* a0) override { return record("SwapNode", a0); }
    HRESULT SwapTree(IQuorvelXml* a0) override { return record("SwapTree", a0); }
    HRESULT AddChildTree(IQuorvelXml* a0) override { return record("AddChildTree", a0); }
    HRESULT GetChild(LONG a0, IQuorvelXml** r) override { return record("GetChild", a0, r); }
    HRESULT ExtractChildByIndex(LONG a0, IQuorvelXml** r) override { return record("ExtractChildByIndex", a0, r); }
    HRESULT ExtractChildByName(BSTR a0, BSTR a1, BSTR a2, IQuorvelXml** r) override { return record("ExtractChildByName", a0, a1, a2, r); }
    HRESULT NumChildrenHavingTag(BSTR a0, LONG* r) override { return record("NumChildrenHavingTag", a0, r); }
    HRESULT GetNthChildWithTag(BSTR a0, LONG a1, IQuorvelXml** r) override { return record("GetNthChildWithTag", a0, a1, r); }
    HRESULT NewChild(BSTR a0, BSTR a1, IQuorvelXml** r) override { return record("NewChild", a0, a1, r); }
    HRESULT FindOrAddNewChild(BSTR a0, IQuorvelXml** r) override { return record("FindOrAddNewChild", a0, r); }
    HRESULT SearchForTag(IQuorvelXml* a0, BSTR a1, IQuorvelXml** r) override { return record("SearchForTag", a0, a1, r); }
    HRESULT SearchForContent(IQuorvelXml* a0, BSTR a1, BSTR a2, IQuorvelXml** r) override { return record("SearchForContent", a0, a1, a2, r); }
    HRESULT SearchAllForContent(IQuorvelXml* a0, BSTR a1, IQuorvelXml** r) override { return record("SearchAllForContent", a0, a1, r); }
    HRESULT SearchForAttribute(IQuorvelXml* a0, BSTR a1, BSTR a2, BSTR a3, IQuorvelXml** r) override { return record("SearchForAttribute", a0, a1, a2, a3, r); }
    HRESULT GetParent(IQuorvelXml** r) override { return record("GetParent", r); }
    HRESULT GetURL(BSTR a0, BSTR a1, BSTR a2, BSTR a3, VARIANT* r) override { return record("GetURL", a0, a1, a2, a3, r); }
    HRESULT Clear() override { return record("Clear"); }
    HRESULT FirstChild(IQuorvelXml** r) override { return record("FirstChild", r); }
    HRESULT LastChild(IQuorvelXml** r) override { return record("LastChild", r); }
    HRESULT NextSibling(IQuorvelXml** r) override { return record("NextSibling", r); }
    HRESULT PreviousSibling(IQuorvelXml** r) override { return record("PreviousSibling", r); }
    HRESULT get_TreeId(LONG* r) override { return record("get_TreeId", r); }
    HRESULT GetChildWithTag(BSTR a0, IQuorvelXml** r) override { return record("GetChildWithTag", a0, r); }
    HRESULT get_Standalone(BSTR* r) override { return record("get_Standalone", r); }
    HRESULT put_Standalone(BSTR a0) override { return record("put_Standalone", a0); }
    HRESULT get_Encoding(BSTR* r) override { return record("get_Encoding", r); }
    HRESULT put_Encoding(BSTR a0) override { return record("put_Encoding", a0); }
    HRESULT GetRoot(IQuorvelXml** r) override { return record("GetRoot", r); }
    HRESULT SaveXmlLog(BSTR a0) override { return record("SaveXmlLog", a0); }
    HRESULT FindNextRecord(BSTR a0, BSTR a1, IQuorvelXml** r) override { return record("FindNextRecord", a0, a1, r); }
    HRESULT HttpPost(BSTR a0, IQuorvelXml** r) override { return record("HttpPost", a0, r); }
    HRESULT CompressSubtree() override { return record("CompressSubtree"); }
    HRESULT CompressNode() override { return record("CompressNode"); }
    HRESULT DecompressSubtree() override { return record("DecompressSubtree"); }
    HRESULT DecompressNode() override { return record("DecompressNode"); }
    HRESULT EncryptNode(BSTR a0) override { return record("EncryptNode", a0); }
    HRESULT DecryptNode(BSTR a0) override { return record("DecryptNode", a0); }
    HRESULT get_ErrorLogHtml(BSTR* r) override { return record("get_ErrorLogHtml", r); }
    HRESULT get_ErrorLogXml(BSTR* r) override { return record("get_ErrorLogXml", r); }
    HRESULT get_ErrorLogText(BSTR* r) override { return record("get_ErrorLogText", r); }
    HRESULT ErrorLogClear() override { return record("ErrorLogClear"); }
    HRESULT GetChild2(LONG a0, LONG* r) override { return record("GetChild2", a0, r); }
    HRESULT FindChild2(BSTR a0, LONG* r) override { return record("FindChild2", a0, r); }
    HRESULT RemoveFromTree() override { return record("RemoveFromTree"); }
    HRESULT GetParent2(LONG* r) override { return record("GetParent2", r); }
    HRESULT FirstChild2(LONG* r) override { return record("FirstChild2", r); }
    HRESULT LastChild2(LONG* r) override { return record("LastChild2", r); }
    HRESULT NextSibling2(LONG* r) override { return record("NextSibling2", r); }
    HRESULT PreviousSibling2(LONG* r) override { return record("PreviousSibling2", r); }
    HRESULT GetRoot2() override { return record("GetRoot2"); }
    HRESULT QEncodeContent(BSTR a0, VARIANT a1) override { return record("QEncodeContent", a0, a1); }
    HRESULT BEncodeContent(BSTR a0, VARIANT a1) override { return record("BEncodeContent", a0, a1); }
    HRESULT UpdateAttribute(BSTR a0, BSTR a1) override { return record("UpdateAttribute", a0, a1); }
    HRESULT DecodeContent(VARIANT* r) override { return record("DecodeContent", r); }
    HRESULT SetBinaryContent(LONG a0, LONG a1, BSTR a2, VARIANT a3) override { return record("SetBinaryContent", a0, a1, a2, a3); }
    HRESULT GetBinaryContent(LONG a0, LONG a1, BSTR a2, VARIANT* r) override { return record("GetBinaryContent", a0, a1, a2, r); }
    HRESULT FindChild(BSTR a0, IQuorvelXml** r) override { return record("FindChild", a0, r); }
    HRESULT NewChild2(BSTR a0, BSTR a1) override { return record("NewChild2", a0, a1); }
    HRESULT SortByTag(LONG a0) override { return record("SortByTag", a0); }
    HRESULT SortByContent(LONG a0) override { return record("SortByContent", a0); }
    HRESULT SortByAttribute(BSTR a0, LONG a1) override { return record("SortByAttribute", a0, a1); }
    HRESULT SortRecordsByContent(BSTR a0, LONG a1) override { return record("SortRecordsByContent", a0, a1); }
    HRESULT SortRecordsByAttribute(BSTR a0, BSTR a1, LONG a2) override { return record("SortRecordsByAttribute", a0, a1, a2); }
    HRESULT LoadXmlV(VARIANT a0, LONG* r) override { return record("LoadXmlV", a0, r); }

private:
    std::string describe(BSTR s) { return s ? "s:" + sys::toUtf8(std::u16string_view(s, SysStringLen(s))) : "s:null"; }
    std::string describe(LONG n) { return "l:" + std::to_string(n); }
    std::string describe(const VARIANT& v) { return "v:" + std::to_string(v.vt); }
    std::string describe(IQuorvelXml* h) {
        return h == nullptr ? "h:null" : h == this ? "h:self" : h == other ? "h:other" : "h:unknown";
    }
    void answer(BSTR* r) { *r = SysAllocString(u"answer"); }
    void answer(LONG* r) { *r = 77; }
    void answer(VARIANT* r) {
        VariantInit(r);
        r->vt = VT_BSTR;
        r->bstrVal = SysAllocString(u"variant");
    }
    void answer(IQuorvelXml** r) { *r = other; }

    template <class... A>
    HRESULT record(const char* name, A... args) {
        lastCall = std::string(name) + "(";
        bool first = true;
        [[maybe_unused]] auto add = [&](auto a) {
            if constexpr (!std::is_pointer_v<decltype(a)> || std::is_same_v<decltype(a), BSTR> ||
                          std::is_same_v<decltype(a), IQuorvelXml*>) {
                lastCall += (first ? "" : ",") + describe(a);
                first = false;
            }
        };
        (add(args), ...);
        lastCall += ")";
        if (failWith != S_OK) {
            StringBuffer summary;
            summary.append("(");
            summary.append(name);
            summary.append(")\nrecorded failure");
            RichErrorInfo(IID_IQuorvelXml, u"QuorvelXml.QuorvelXml").raise(summary);
            return failWith;
        }
        (answerIfResult(args), ...);
        return S_OK;
    }
    template <class T>
    void answerIfResult(T a) {
        if constexpr (std::is_same_v<T, BSTR*> || std::is_same_v<T, LONG*> || std::is_same_v<T, VARIANT*> ||
                      std::is_same_v<T, IQuorvelXml**>)
            answer(a);
    }
};

}  // namespace quorvel::test
