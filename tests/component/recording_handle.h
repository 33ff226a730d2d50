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

// One recording override per name: QV_RECORD((parameters), (, arguments), names...). The
// class is final, so a member left out of these lists fails to compile.
#define QV_PARENS ()
#define QV_EXPAND(...) QV_EXPAND4(QV_EXPAND4(QV_EXPAND4(QV_EXPAND4(__VA_ARGS__))))
#define QV_EXPAND4(...) QV_EXPAND1(QV_EXPAND1(QV_EXPAND1(QV_EXPAND1(__VA_ARGS__))))
#define QV_EXPAND1(...) __VA_ARGS__
#define QV_UNPAREN(...) __VA_ARGS__
#define QV_RECORD(params, args, ...) QV_EXPAND(QV_RECORD_ONE(params, args, __VA_ARGS__))
#define QV_RECORD_ONE(params, args, fn, ...)                             \
    HRESULT fn params override { return record(#fn QV_UNPAREN args); } \
    __VA_OPT__(QV_RECORD_AGAIN QV_PARENS(params, args, __VA_ARGS__))
#define QV_RECORD_AGAIN() QV_RECORD_ONE

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

    QV_RECORD((BSTR* r), (, r), get_Version, get_Tag, get_Content, GetXml, get_Standalone, get_Encoding,
              get_ErrorLogHtml, get_ErrorLogXml, get_ErrorLogText)
    QV_RECORD((LONG* r), (, r), get_NumAttributes, get_NumChildren, get_Cdata, get_TreeId, GetParent2,
              FirstChild2, LastChild2, NextSibling2, PreviousSibling2)
    QV_RECORD((BSTR a), (, a), put_Tag, put_Content, SaveXml, AppendToContent, RemoveAttribute,
              put_Standalone, put_Encoding, SaveXmlLog, EncryptNode, DecryptNode)
    QV_RECORD((BSTR a, BSTR* r), (, a, r), GetChildContent, GetAttrValue)
    QV_RECORD((LONG a), (, a), put_Cdata, SortByTag, SortByContent)
    QV_RECORD((BSTR a, LONG* r), (, a, r), LoadXml, LoadXmlFile, NumChildrenHavingTag, FindChild2)
    QV_RECORD((BSTR a, BSTR b), (, a, b), AddAttribute, UpdateAttribute, NewChild2)
    QV_RECORD((), (), RemoveAllAttributes, Clear, CompressSubtree, CompressNode, DecompressSubtree,
              DecompressNode, ErrorLogClear, RemoveFromTree, GetRoot2)
    QV_RECORD((LONG a, BSTR* r), (, a, r), GetAttributeName, GetAttributeValue)
    QV_RECORD((BSTR a, BSTR b, LONG* r), (, a, b, r), HasAttrWithValue)
    QV_RECORD((IQuorvelXml* a), (, a), SwapNode, SwapTree, AddChildTree)
    QV_RECORD((LONG a, IQuorvelXml** r), (, a, r), GetChild, ExtractChildByIndex)
    QV_RECORD((BSTR a, BSTR b, BSTR c, IQuorvelXml** r), (, a, b, c, r), ExtractChildByName)
    QV_RECORD((BSTR a, LONG b, IQuorvelXml** r), (, a, b, r), GetNthChildWithTag)
    QV_RECORD((BSTR a, BSTR b, IQuorvelXml** r), (, a, b, r), NewChild, FindNextRecord)
    QV_RECORD((BSTR a, IQuorvelXml** r), (, a, r), FindOrAddNewChild, GetChildWithTag, HttpPost, FindChild)
    QV_RECORD((IQuorvelXml* a, BSTR b, IQuorvelXml** r), (, a, b, r), SearchForTag, SearchAllForContent)
    QV_RECORD((IQuorvelXml* a, BSTR b, BSTR c, IQuorvelXml** r), (, a, b, c, r), SearchForContent)
    QV_RECORD((IQuorvelXml* a, BSTR b, BSTR c, BSTR d, IQuorvelXml** r), (, a, b, c, d, r), SearchForAttribute)
    QV_RECORD((IQuorvelXml** r), (, r), GetParent, FirstChild, LastChild, NextSibling, PreviousSibling, GetRoot)
    QV_RECORD((BSTR a, BSTR b, BSTR c, BSTR d, VARIANT* r), (, a, b, c, d, r), GetURL)
    QV_RECORD((LONG a, LONG* r), (, a, r), GetChild2)
    QV_RECORD((BSTR a, VARIANT b), (, a, b), QEncodeContent, BEncodeContent)
    QV_RECORD((VARIANT* r), (, r), DecodeContent)
    QV_RECORD((LONG a, LONG b, BSTR c, VARIANT d), (, a, b, c, d), SetBinaryContent)
    QV_RECORD((LONG a, LONG b, BSTR c, VARIANT* r), (, a, b, c, r), GetBinaryContent)
    QV_RECORD((BSTR a, LONG b), (, a, b), SortByAttribute, SortRecordsByContent)
    QV_RECORD((BSTR a, BSTR b, LONG c), (, a, b, c), SortRecordsByAttribute)
    QV_RECORD((VARIANT a, LONG* r), (, a, r), LoadXmlV)

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
