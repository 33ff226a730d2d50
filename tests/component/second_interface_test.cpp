// IQuorvelXml2: reached by QueryInterface with the handle's one pointer, its members by name
// with the DISPIDs and slots hosts were promised (written out here, not read from the table),
// and its type information over IQuorvelXml's unchanged one. The arrays its members return are
// the automation layer's (tests/core: Variant.ClearAndCopyOwnWhatTheyShould).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component/member_thunks.h"
#include "component/type_info.h"
#include "component_test_support.h"

namespace quorvel {
namespace {

using namespace test;

TEST(SecondInterface, QueryInterfaceGivesTheOnePointer) {
    ComPtr<IQuorvelXml> h = newHandle();
    ComPtr<IQuorvelXml> child;
    ASSERT_EQ(h->NewChild(bstr("c").get(), bstr("").get(), child.put()), S_OK);
    const ULONG before = refsOf(h.get());
    const IID* const iids[] = {&IID_IUnknown, &IID_IDispatch, &IID_IQuorvelXml, &IID_IQuorvelXml2};
    // Handles from the factory and handles members make alike.
    for (IQuorvelXml* object : {h.get(), child.get()}) {
        for (const IID* from : iids) {
            ComPtr<IUnknown> first;
            ASSERT_EQ(object->QueryInterface(*from, first.putVoid()), S_OK);
            EXPECT_EQ(static_cast<void*>(first.get()), static_cast<void*>(object));
            for (const IID* to : iids) {
                ComPtr<IUnknown> back;
                ASSERT_EQ(first->QueryInterface(*to, back.putVoid()), S_OK);
                EXPECT_EQ(static_cast<void*>(back.get()), static_cast<void*>(object));
            }
        }
    }
    EXPECT_EQ(refsOf(h.get()), before);

    ComPtr<ISupportErrorInfo> errors;
    ASSERT_EQ(h->QueryInterface(IID_ISupportErrorInfo, errors.putVoid()), S_OK);
    for (const IID* iid : {&IID_IQuorvelXml, &IID_IQuorvelXml2}) EXPECT_EQ(errors->InterfaceSupportsErrorInfo(*iid), S_OK);
    for (const IID* iid : {&IID_IDispatch, &IID_IXmlFactory}) EXPECT_EQ(errors->InterfaceSupportsErrorInfo(*iid), S_FALSE);
    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(h->QueryInterface(IID_IProvideClassInfo2, classInfo.putVoid()), S_OK);
    GUID g{};
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &g), S_OK);
    EXPECT_TRUE(g == DIID_IQuorvelXmlEvents);

    // The factory object is no node handle.
    ComPtr<IXmlFactory> factory;
    ASSERT_EQ(createClassInstance(CLSID_XmlFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IXmlFactory,
                                  factory.putVoid()),
              S_OK);
    void* none = &none;
    EXPECT_EQ(factory->QueryInterface(IID_IQuorvelXml2, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
}

// IQuorvelXml2's dispatchable members as hosts were promised them.
struct Promised {
    const char* name;
    DISPID dispid;
    int32_t slot;
    MemberKind kind;
    uint8_t params;
    ArgType result;
};
constexpr MemberKind M = MemberKind::Method, G = MemberKind::PropertyGet, P = MemberKind::PropertyPut;
const Promised kPromised[] = {
    {"SelectNodes", 87, 93, M, 1, ArgType::NodeArray},
    {"SelectSingleNode", 88, 94, M, 1, ArgType::Handle},
    {"SelectValues", 89, 95, M, 1, ArgType::StringArray},
    {"EvaluateXPath", 90, 96, M, 1, ArgType::Scalar},
    {"SetXPathNamespace", 91, 97, M, 2, ArgType::None},
    {"SetXPathVariable", 92, 98, M, 2, ArgType::None},
    {"NamespaceUri", 93, 99, G, 0, ArgType::String},
    {"LocalName", 94, 100, G, 0, ArgType::String},
    {"Prefix", 95, 101, G, 0, ArgType::String},
    {"LookupNamespace", 96, 102, M, 1, ArgType::String},
    {"GetXmlIndented", 97, 103, M, 1, ArgType::String},
    {"SaveXmlIndented", 98, 104, M, 2, ArgType::None},
    {"OpenRecords", 99, 105, M, 2, ArgType::None},
    {"OpenRecordRange", 100, 106, M, 4, ArgType::None},
    {"NextRecord", 101, 107, M, 0, ArgType::Handle},
    {"RecordSizeLimit", 102, 108, G, 0, ArgType::Long},
    {"RecordSizeLimit", 102, 109, P, 1, ArgType::None},
    {"RecordPath", 103, 110, G, 0, ArgType::String},
    {"GetRecordAncestor", 104, 111, M, 1, ArgType::Handle},
};

TEST(SecondInterface, TheTableHoldsWhatWasPromised) {
    ASSERT_EQ(kMemberCount, 86 + std::size(kPromised));
    for (size_t i = 0; i < std::size(kPromised); ++i) {
        const Promised& p = kPromised[i];
        const MemberInfo& m = kMembers[86 + i];
        SCOPED_TRACE(p.name);
        EXPECT_STREQ(m.name, p.name);
        EXPECT_EQ(m.dispid, p.dispid);
        EXPECT_EQ(m.slot, p.slot);
        EXPECT_EQ(m.kind, p.kind);
        EXPECT_EQ(m.paramCount, p.params);
        EXPECT_EQ(m.result.type, p.result);
    }
    // The members only the virtual table reaches, after all the dispatchable ones.
    const int32_t slots[] = {112, 113, 114, 115, 116};
    for (size_t i = 0; i < std::size(slots); ++i) {
        EXPECT_EQ(kVtableOnlySlots[i], slots[i]);
        EXPECT_EQ(kVtableOnlyOffsets[i], static_cast<size_t>(slots[i]) * sizeof(void*)) << slots[i];
    }
}

TEST(SecondInterface, NamesReachTheNewMembers) {
    ComPtr<IQuorvelXml> h = newHandle();
    for (const Promised& p : kPromised) expectNames(h.get(), {{sys::fromUtf8(p.name).c_str()}, S_OK, {p.dispid}});
    const NamesCase cases[] = {
        {{u"selectsinglenode", u"XPATH"}, S_OK, {88, 0}},
        {{u"SetXPathNamespace", u"uri", u"prefix"}, S_OK, {91, 1, 0}},
        {{u"SetXPathVariable", u"value"}, S_OK, {92, 1}},
        {{u"localname"}, S_OK, {94}},
        {{u"LookupNamespace", u"prefix"}, S_OK, {96, 0}},
        {{u"GetXmlIndented", u"indent"}, S_OK, {97, 0}},
        {{u"SaveXmlIndented", u"indent", u"fileName"}, S_OK, {98, 1, 0}},
        {{u"OpenRecords", u"recordPath", u"source"}, S_OK, {99, 1, 0}},
        {{u"OpenRecordRange", u"end", u"start", u"recordPath", u"fileName"}, S_OK, {100, 3, 2, 1, 0}},
        {{u"RecordSizeLimit", u"newVal"}, S_OK, {102, 0}},
        {{u"GetRecordAncestor", u"level"}, S_OK, {104, 0}},
        // The virtual-table-only members and the C++ spellings of properties have no names.
        {{u"GetTagUtf8"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {{u"OpenRecordStream"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {{u"get_NamespaceUri"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {{u"NextRecord", u"record"}, DISP_E_UNKNOWNNAME, {101, DISPID_UNKNOWN}},  // a result is no argument
    };
    for (const NamesCase& c : cases) expectNames(h.get(), c);
}

TEST(SecondInterface, TypeInformationExtendsIQuorvelXml) {
    ComPtr<IQuorvelXml> h = newHandle();
    UINT count = 0;
    ASSERT_EQ(h->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(h->GetTypeInfo(0, 0, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == IID_IQuorvelXml2);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_EQ(attr->cFuncs, std::size(kPromised));
    EXPECT_EQ(attr->cImplTypes, 1u);
    EXPECT_EQ(attr->cbSizeVft, 117 * sizeof(void*));  // the virtual-table-only members counted, not described
    info->ReleaseTypeAttr(attr);

    // Its own members, in slot order (the table is checked against the promises above).
    expectFuncDescs(info.get(), kQuorvelXmlMemberCount, std::size(kPromised));
    FUNCDESC* past = nullptr;
    EXPECT_EQ(info->GetFuncDesc(static_cast<UINT>(std::size(kPromised)), &past), TYPE_E_ELEMENTNOTFOUND);

    // Names of its own members and of the inherited ones.
    BSTR names[8] = {};
    UINT got = 0;
    ASSERT_EQ(info->GetNames(100, names, 8, &got), S_OK);
    std::vector<std::string> listed;
    for (UINT i = 0; i < got; ++i) listed.push_back(take(names[i]));
    EXPECT_EQ(listed, (std::vector<std::string>{"OpenRecordRange", "fileName", "recordPath", "start", "end"}));
    ASSERT_EQ(info->GetNames(25, names, 8, &got), S_OK);
    ASSERT_EQ(got, 3u);
    EXPECT_EQ(take(names[0]), "GetChild");
    take(names[1]);
    take(names[2]);
    BSTR typeName = nullptr;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &typeName, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(take(typeName), "IQuorvelXml2");

    // Names to DISPIDs: IQuorvelXml2's type knows both interfaces'; IQuorvelXml's only its own.
    ComPtr<ITypeInfo> base;
    HREFTYPE ref = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(info->GetRefTypeInfo(ref, base.put()), S_OK);
    struct NameCase {
        const char16_t* name;
        MEMBERID inSecond, inFirst;
    };
    const NameCase nameCases[] = {
        {u"getchild", 25, 25}, {u"LoadXmlV", 86, 86}, {u"SelectNodes", 87, DISPID_UNKNOWN},
        {u"GetRecordAncestor", 104, DISPID_UNKNOWN}, {u"GetTagUtf8", DISPID_UNKNOWN, DISPID_UNKNOWN},
    };
    for (const NameCase& c : nameCases) {
        LPOLESTR n = const_cast<LPOLESTR>(c.name);
        MEMBERID id = 0;
        info->GetIDsOfNames(&n, 1, &id);
        EXPECT_EQ(id, c.inSecond) << sys::toUtf8(c.name);
        base->GetIDsOfNames(&n, 1, &id);
        EXPECT_EQ(id, c.inFirst) << sys::toUtf8(c.name);
    }

    // Invoke through each type: IQuorvelXml's reaches only its own members.
    DISPPARAMS none{};
    VariantHolder version;
    ASSERT_EQ(info->Invoke(h.get(), 1, DISPATCH_PROPERTYGET, &none, version.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(peek(version->bstrVal), "4.0.2");
    VariantHolder r;
    EXPECT_EQ(base->Invoke(h.get(), 101, DISPATCH_METHOD, &none, r.get(), nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    EXCEPINFO e{};
    EXPECT_NE(info->Invoke(h.get(), 101, DISPATCH_METHOD, &none, r.get(), &e, nullptr), DISP_E_MEMBERNOTFOUND);
    take(e.bstrSource);
    take(e.bstrDescription);

    // The class: IQuorvelXml2 by default, the event source, and IQuorvelXml.
    ComPtr<IProvideClassInfo> provider;
    ASSERT_EQ(h->QueryInterface(IID_IProvideClassInfo, provider.putVoid()), S_OK);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(provider->GetClassInfo(coclass.put()), S_OK);
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    ASSERT_EQ(attr->cImplTypes, 3u);
    coclass->ReleaseTypeAttr(attr);
    struct Impl {
        const IID* iid;
        INT flags;
    };
    const Impl impls[] = {{&IID_IQuorvelXml2, IMPLTYPEFLAG_FDEFAULT},
                          {&DIID_IQuorvelXmlEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
                          {&IID_IQuorvelXml, 0}};
    for (UINT i = 0; i < 3; ++i) {
        INT flags = -1;
        ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
        EXPECT_EQ(flags, impls[i].flags) << i;
        ComPtr<ITypeInfo> t;
        ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
        ASSERT_EQ(coclass->GetRefTypeInfo(ref, t.put()), S_OK);
        ASSERT_EQ(t->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(attr->guid == *impls[i].iid) << i;
        t->ReleaseTypeAttr(attr);
    }
}

}  // namespace
}  // namespace quorvel
