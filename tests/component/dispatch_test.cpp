// Late binding: names to DISPIDs, Invoke's argument handling and errors, the thunks' slots, and
// the type information hosts list members from.
#include <gtest/gtest.h>

#include <string_view>
#include <tuple>
#include <vector>

#include "component/member_thunks.h"
#include "component/type_info.h"
#include "component_test_support.h"
#include "core/automation/variant_holder.h"

namespace quorvel {
namespace {

using namespace test;

// A variant of that type, its value set by `set`.
template <class Set>
VARIANT variant(VARTYPE vt, Set set) {
    VARIANT a;
    VariantInit(&a);
    a.vt = vt;
    set(a);
    return a;
}
VARIANT variant(VARTYPE vt) { return variant(vt, [](VARIANT&) {}); }
VARIANT longArg(LONG v) { return variant(VT_I4, [&](VARIANT& a) { a.lVal = v; }); }

// A call in the host's form: arguments written in source order, passed reversed, the last
// `named.size()` of them by name.
struct Call {
    Call(std::vector<VARIANT> a = {}, std::vector<DISPID> n = {}) : args(std::move(a)), named(std::move(n)) {}
    std::vector<VARIANT> args;  // source order
    std::vector<DISPID> named;  // DISPIDs of the trailing named arguments, in source order
    std::vector<VARIANT> rgvarg;
    std::vector<DISPID> rgdispid;
    DISPPARAMS params{};

    DISPPARAMS* build() {
        // rgvarg holds named arguments first (in the order of rgdispidNamedArgs), then the
        // positional ones last-to-first.
        const size_t positional = args.size() - named.size();
        rgvarg.clear();
        rgdispid.clear();
        for (size_t j = 0; j < named.size(); ++j) {
            rgvarg.push_back(args[positional + j]);
            rgdispid.push_back(named[j]);
        }
        for (size_t i = positional; i-- > 0;) rgvarg.push_back(args[i]);
        params = {rgvarg.data(), rgdispid.data(), static_cast<UINT>(rgvarg.size()), static_cast<UINT>(named.size())};
        return &params;
    }
};

struct StringArgs {
    std::vector<BstrHolder> held;
    VARIANT operator()(const char* utf8) {
        held.push_back(bstr(utf8));
        return variant(VT_BSTR, [&](VARIANT& a) { a.bstrVal = held.back().get(); });
    }
};

TEST(Dispatch, ThunksCallTheTableSlots) {
    for (size_t i = 0; i < kMemberCount; ++i) {
        EXPECT_EQ(kMemberVtableOffsets[i], static_cast<size_t>(kMembers[i].slot) * sizeof(void*)) << kMembers[i].name;
    }
}

TEST(Dispatch, NamesToDispids) {
    ComPtr<IQuorvelXml> h = newHandle();
    const NamesCase cases[] = {
        {{u"vERSION"}, S_OK, {1}},
        {{u"searchforattribute", u"valuePattern", u"after", u"tag", u"ATTR"}, S_OK, {35, 3, 0, 1, 2}},
        {{u"GetChild", u"child"}, DISP_E_UNKNOWNNAME, {25, DISPID_UNKNOWN}},  // a result is no argument
        {{u"GetChild", u"bogus", u"Index"}, DISP_E_UNKNOWNNAME, {25, DISPID_UNKNOWN, 0}},
        {{u"Versio"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
    };
    for (const NamesCase& c : cases) expectNames(h.get(), c);
}

// What a call through Invoke came to: a string or number result as text, a handle's content,
// "(none)" for no handle, or the summary of the failure.
std::string outcome(IQuorvelXml* h, DISPID dispid, WORD flags, Call& call) {
    VariantHolder result;
    EXCEPINFO e{};
    const HRESULT hr = h->Invoke(dispid, IID_NULL, 0, flags, call.build(), result.get(), &e, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        take(e.bstrSource);
        return take(e.bstrDescription);
    }
    EXPECT_EQ(hr, S_OK);
    if (result->vt == VT_BSTR) return peek(result->bstrVal);
    if (result->vt == VT_I4) return std::to_string(result->lVal);
    if (result->vt != VT_DISPATCH) return "";
    ComPtr<IQuorvelXml> found;
    if (!result->pdispVal || result->pdispVal->QueryInterface(IID_IQuorvelXml, found.putVoid()) != S_OK) return "(none)";
    return contentOf(found.get());
}

// A document for the calls to work on: two children t, with attributes a="v1" and a="w".
ComPtr<IQuorvelXml> sample() { return parsed(R"(<root><t a="v1">x</t><t a="w">y</t></root>)"); }

TEST(Dispatch, ArgumentsReachTheirParametersInOrder) {
    ComPtr<IQuorvelXml> h = sample(), first = child(h.get(), 0);
    StringArgs s;
    const VARIANT firstObject = variant(VT_DISPATCH, [&](VARIANT& v) { v.pdispVal = first.get(); });
    const VARIANT nothing = variant(VT_EMPTY), nullArg = variant(VT_NULL);
    BSTR byRefText = s("t").bstrVal;
    const VARIANT byRef = variant(VT_BYREF | VT_BSTR, [&](VARIANT& v) { v.pbstrVal = &byRefText; });
    VARIANT inner = longArg(9);
    const VARIANT byVariant = variant(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { v.pvarVal = &inner; });
    const VARIANT real = variant(VT_R8, [](VARIANT& v) { v.dblVal = 2.5; });

    struct Case {
        DISPID dispid;
        WORD flags;
        Call call;
        std::string outcome;
    };
    std::vector<Case> cases = {
        // An object for a handle: the second t is the first match after the first.
        {35, DISPATCH_METHOD, {{firstObject, s("t"), s("a"), s("*")}, {}}, "y"},
        // Named arguments in any order, after positional ones; empty for no handle.
        {35, DISPATCH_METHOD, {{nothing, s("w*"), s("t"), s("a")}, {3, 1, 2}}, "y"},
        // Coercion: numbers to strings and back, a variant and a string by reference, null.
        {29, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {{real, s("12")}, {}},
         "(GetNthChildByTag)\nNot enough children have that tag.\ntag: 2.5\nn_value: 12"},
        {25, DISPATCH_METHOD, {{byVariant}, {}}, "(GetChild)\nNo child at this index\nindex: 9"},
        {44, DISPATCH_METHOD, {{byRef}, {}}, "x"},
        {15, DISPATCH_METHOD, {{s("n"), nullArg}, {}}, "(AddAttribute)\nParameter is NULL"},
        // Properties: the value by DISPID_PROPERTYPUT or alone.
        {5, DISPATCH_PROPERTYPUT, {{s("new")}, {DISPID_PROPERTYPUT}}, ""},
        {9, DISPATCH_PROPERTYPUT, {{s("5")}, {}}, ""},
        {5, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {{}, {}}, "new"},
        {9, DISPATCH_PROPERTYGET, {{}, {}}, "1"},
    };
    for (Case& c : cases) EXPECT_EQ(outcome(h.get(), c.dispid, c.flags, c.call), c.outcome) << c.dispid;

    // No place for the result: the handle made for it is released.
    const int64_t handles = CQuorvelXml::liveCount();
    Call none;
    EXPECT_EQ(h->Invoke(47, IID_NULL, 0, DISPATCH_METHOD, none.build(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(CQuorvelXml::liveCount(), handles);
}

TEST(Dispatch, BadCallsAreRefusedBeforeTheMemberRuns) {
    ComPtr<IQuorvelXml> h = sample();
    StringArgs s;
    const VARIANT missing = variant(VT_ERROR, [](VARIANT& v) { v.scode = DISP_E_PARAMNOTFOUND; });
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_QuorvelXml, IID_IClassFactory, factory.putVoid()), S_OK);
    const VARIANT unknownObject = variant(VT_UNKNOWN, [&](VARIANT& v) { v.punkVal = factory.get(); });
    const VARIANT huge = variant(VT_R8, [](VARIANT& v) { v.dblVal = 1e20; });

    struct Case {
        DISPID dispid;
        WORD flags;
        Call call;
        HRESULT hr;
        UINT argErr;  // 999: untouched
    };
    std::vector<Case> cases = {
        {1000, DISPATCH_METHOD, {{}, {}}, DISP_E_MEMBERNOTFOUND, 999},
        {1, DISPATCH_METHOD, {{}, {}}, DISP_E_MEMBERNOTFOUND, 999},  // a property is no method
        {25, DISPATCH_METHOD, {{}, {}}, DISP_E_BADPARAMCOUNT, 999},
        {15, DISPATCH_METHOD, {{missing, s("b")}, {}}, DISP_E_PARAMNOTOPTIONAL, 1},
        {15, DISPATCH_METHOD, {{s("a"), s("b")}, {0}}, DISP_E_PARAMNOTFOUND, 0},  // named twice
        {29, DISPATCH_METHOD, {{s("seven"), s("t")}, {1, 0}}, DISP_E_TYPEMISMATCH, 0},
        {29, DISPATCH_METHOD, {{s("t"), huge}, {}}, DISP_E_OVERFLOW, 0},
        {22, DISPATCH_METHOD, {{unknownObject}, {}}, DISP_E_TYPEMISMATCH, 0},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "DISPID " << c.dispid << " flags " << c.flags);
        UINT argErr = 999;
        VariantHolder result;
        EXPECT_EQ(h->Invoke(c.dispid, IID_NULL, 0, c.flags, c.call.build(), result.get(), nullptr, &argErr), c.hr);
        EXPECT_EQ(argErr, c.argErr);
        EXPECT_EQ(result->vt, VT_EMPTY);
    }
    // No member ran: nothing was added, and nothing was logged.
    EXPECT_EQ(getLong(h.get(), &IQuorvelXml::get_NumAttributes), 0);
    EXPECT_EQ(errorLogXml(h.get()), "");
    DISPPARAMS none{};
    EXPECT_EQ(h->Invoke(5, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST(Dispatch, FailedMembersReportAnException) {
    ComPtr<IQuorvelXml> h = sample();
    Call call{{longArg(3)}, {}};
    EXCEPINFO e{};
    VariantHolder result;
    EXPECT_EQ(h->Invoke(25, IID_NULL, 0, DISPATCH_METHOD, call.build(), result.get(), &e, nullptr), DISP_E_EXCEPTION);
    EXPECT_EQ(take(e.bstrSource), "QuorvelXml.QuorvelXml");
    EXPECT_EQ(take(e.bstrDescription), "(GetChild)\nNo child at this index\nindex: 3");
    EXPECT_EQ(e.scode, E_FAIL);
    EXPECT_EQ(result->vt, VT_EMPTY);
    // The error information went into EXCEPINFO; without one it stays for the host to take.
    EXPECT_FALSE(takeErrorInfo().present);
    EXPECT_EQ(h->Invoke(25, IID_NULL, 0, DISPATCH_METHOD, call.build(), nullptr, nullptr, nullptr), DISP_E_EXCEPTION);
    EXPECT_TRUE(takeErrorInfo().present);
}

// Every member of both interfaces is built and counts its parameters: one argument too many is
// refused; the right ones (strings "x", longs 0, variants empty) run it, and it succeeds or reports
// its failure (never E_NOTIMPL).
TEST(Dispatch, EveryMemberRunsAndCountsItsArguments) {
    for (const MemberInfo& m : kMembers) {
        if (std::string_view(m.name).starts_with("Save")) continue;  // the Save members write files
        SCOPED_TRACE(m.name);
        ComPtr<IQuorvelXml> h = sample();
        std::vector<VARIANT> args;
        StringArgs s;
        for (uint8_t i = 0; i < m.paramCount; ++i) {
            const ArgType t = m.params[i].type;
            args.push_back(t == ArgType::String ? s("x") : t == ArgType::Long ? longArg(0) : variant(VT_EMPTY));
        }
        const bool put = m.kind == MemberKind::PropertyPut;
        const WORD flags = m.kind == MemberKind::Method ? DISPATCH_METHOD : put ? DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYGET;
        if (!put) {
            std::vector<VARIANT> more = args;
            more.push_back(longArg(0));
            Call tooMany{more};
            EXPECT_EQ(h->Invoke(m.dispid, IID_NULL, 0, flags, tooMany.build(), nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
        }
        Call c{args, put ? std::vector<DISPID>{DISPID_PROPERTYPUT} : std::vector<DISPID>{}};
        EXCEPINFO e{};
        VariantHolder r;
        const HRESULT hr = h->Invoke(m.dispid, IID_NULL, 0, flags, c.build(), r.get(), &e, nullptr);
        EXPECT_TRUE(hr == S_OK || (hr == DISP_E_EXCEPTION && e.scode == E_FAIL)) << std::hex << hr << " " << e.scode;
        if (hr == DISP_E_EXCEPTION) {
            EXPECT_EQ(take(e.bstrSource), "QuorvelXml.QuorvelXml");
        }
        take(e.bstrDescription);
    }
}

TEST(Dispatch, TypeInformationListsEveryMember) {
    ComPtr<IQuorvelXml> h = newHandle();
    // The object's dispatch type is IQuorvelXml2 (second_interface_test.cpp); IQuorvelXml is its
    // base, described as it always was.
    ComPtr<ITypeInfo> second;
    ASSERT_EQ(h->GetTypeInfo(0, 0, second.put()), S_OK);
    HREFTYPE base = 0;
    ASSERT_EQ(second->GetRefTypeOfImplType(0, &base), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(second->GetRefTypeInfo(base, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == IID_IQuorvelXml);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    ASSERT_EQ(attr->cFuncs, 86u);
    EXPECT_EQ(attr->cImplTypes, 0u);
    EXPECT_EQ(attr->cbSizeVft, 93 * sizeof(void*));
    info->ReleaseTypeAttr(attr);

    expectFuncDescs(info.get(), 0, kQuorvelXmlMemberCount);

    // DISPIDs and slots as the published C header numbers them: function index, DISPID, slot.
    for (auto [index, dispid, slot] : {std::tuple{0u, 1, 7}, {3u, 5, 10}, {35u, 35, 42}, {52u, 50, 59}, {85u, 86, 92}}) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(info->GetFuncDesc(index, &f), S_OK);
        EXPECT_EQ(std::pair(f->memid, int{f->oVft}), std::pair(dispid, slot * static_cast<int>(sizeof(void*)))) << index;
        info->ReleaseFuncDesc(f);
    }

    // Names: the member, its parameters, then its result.
    BSTR names[8] = {};
    UINT got = 0;
    ASSERT_EQ(info->GetNames(35, names, 8, &got), S_OK);
    std::vector<std::string> listed;
    for (UINT i = 0; i < got; ++i) listed.push_back(take(names[i]));
    EXPECT_EQ(listed, (std::vector<std::string>{"SearchForAttribute", "after", "Tag", "attr", "valuePattern", "node"}));

    // The event interface, as hosts bind sinks to it.
    ComPtr<ITypeInfo> events;
    ASSERT_EQ(getModuleTypeInfo(ModuleType::Events, events.put()), S_OK);
    ASSERT_EQ(events->GetNames(1, names, 8, &got), S_OK);
    ASSERT_EQ(got, 2u);
    EXPECT_EQ(take(names[0]), "ParsePercentDone");
    EXPECT_EQ(take(names[1]), "percentDone");
}

}  // namespace
}  // namespace quorvel
