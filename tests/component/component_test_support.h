// Helpers shared by the component tests: handles made as a host makes them, host strings in
// and out, the thread's error information, and the shape of a subtree read from the nodes.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "component/class_table.h"
#include "component/node_handle.h"
#include "core/automation/bstr_holder.h"
#include "core/automation/com_ptr.h"
#include "core/automation/variant_holder.h"
#include "core/data_buffer.h"
#include "core/system/utf8.h"
#include "quorvel/quorvel_members.hpp"
#include "quorvel/quorvel_xml.hpp"
#include "tree/tree_check.h"
#include "tree/tree_node.h"
#include "xml/serializer.h"

namespace quorvel::test {

inline ComPtr<IQuorvelXml> newHandle() {
    ComPtr<IQuorvelXml> h;
    EXPECT_EQ(createClassInstance(CLSID_QuorvelXml, nullptr, CLSCTX_INPROC_SERVER, IID_IQuorvelXml, h.putVoid()),
              S_OK);
    return h;
}

inline BstrHolder bstr(std::string_view utf8) { return BstrHolder::copyOf(sys::fromUtf8(utf8)); }

// Takes a string result: its UTF-8 text, freeing it.
inline std::string take(BSTR s) {
    BstrHolder h(s);
    return sys::toUtf8(h.view());
}

// The UTF-8 text of a string someone else owns.
inline std::string peek(BSTR s) { return sys::toUtf8(std::u16string_view(s ? s : u"", SysStringLen(s))); }

template <class Getter>
std::string getString(IQuorvelXml* h, Getter getter) {
    BSTR s = nullptr;
    EXPECT_EQ((h->*getter)(&s), S_OK);
    return take(s);
}

template <class Getter>
LONG getLong(IQuorvelXml* h, Getter getter) {
    LONG v = -12345;
    EXPECT_EQ((h->*getter)(&v), S_OK);
    return v;
}

inline std::string tagOf(IQuorvelXml* h) { return h ? getString(h, &IQuorvelXml::get_Tag) : "(null)"; }
inline std::string contentOf(IQuorvelXml* h) { return getString(h, &IQuorvelXml::get_Content); }
inline LONG treeIdOf(IQuorvelXml* h) { return getLong(h, &IQuorvelXml::get_TreeId); }
inline std::string errorLogXml(IQuorvelXml* h) { return getString(h, &IQuorvelXml::get_ErrorLogXml); }

struct ErrorRecord {
    bool present = false;
    std::string description;
    std::string source;
    GUID guid{};
};

// Takes the thread's error information.
inline ErrorRecord takeErrorInfo() {
    ErrorRecord r;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return r;
    r.present = true;
    BSTR s = nullptr;
    info->GetDescription(&s);
    r.description = take(s);
    s = nullptr;
    info->GetSource(&s);
    r.source = take(s);
    info->GetGUID(&r.guid);
    return r;
}

// One call's context in the XML log, with its entries as <name>value</name>.
using LogEntries = std::vector<std::pair<std::string, std::string>>;
inline std::string logContext(const std::string& context, const LogEntries& entries) {
    std::string s = "<" + context + ">\n";
    for (const auto& [name, value] : entries) s += "    <" + name + ">" + value + "</" + name + ">\n";
    return s + "</" + context + ">\n";
}
inline std::string logXml(const std::string& context, const LogEntries& entries) {
    return "<QuorvelLog>\n" + logContext(context, entries) + "</QuorvelLog>\n";
}

// A failed call: E_FAIL, the summary as the thread's error information and, when given, the whole log.
inline void expectFailure(IQuorvelXml* h, HRESULT hr, const std::string& summary, const std::string& log = "") {
    EXPECT_EQ(hr, E_FAIL) << summary;
    const ErrorRecord e = takeErrorInfo();
    EXPECT_TRUE(e.present) << summary;
    EXPECT_EQ(e.description, summary);
    if (!log.empty()) { EXPECT_EQ(errorLogXml(h), log); }
}

// An event sink as a script host makes one: it answers IDispatch and, unless told not to, the event
// interface; it records each ParsePercentDone and whether the call came in the shape sinks expect.
class PercentSink final : public IDispatch {
public:
    explicit PercentSink(bool answersEventInterface = true) : answersEvents_(answersEventInterface) {}
    std::vector<LONG> percents;
    bool callShapeOk = true;
    ULONG refs = 1;
    std::function<void()> onEvent;  // run inside Invoke, to let a sink disconnect itself
    HRESULT invokeResult = S_OK;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        const bool ok = riid == IID_IUnknown || riid == IID_IDispatch || (answersEvents_ && riid == DIID_IQuorvelXmlEvents);
        *ppv = ok ? static_cast<IDispatch*>(this) : nullptr;
        if (ok) AddRef();
        return ok ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                   UINT* argErr) override {
        callShapeOk = callShapeOk && id == 1 && riid == IID_NULL && lcid == 0x400 && flags == DISPATCH_METHOD && params &&
                      params->cArgs == 1 && params->cNamedArgs == 0 && params->rgvarg[0].vt == VT_I4 && result &&
                      !excep && !argErr && refs >= 2;
        if (params && params->cArgs == 1) percents.push_back(params->rgvarg[0].lVal);
        if (onEvent) onEvent();
        return invokeResult;
    }

private:
    bool answersEvents_;
};

// The handle's event connection point, with `sink` connected to it; the cookie comes back in `cookie`.
inline ComPtr<IConnectionPoint> connectEvents(IQuorvelXml* h, IDispatch* sink, DWORD* cookie) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> events;
    if (h->QueryInterface(IID_IConnectionPointContainer, container.putVoid()) != S_OK ||
        container->FindConnectionPoint(DIID_IQuorvelXmlEvents, events.put()) != S_OK ||
        events->Advise(sink, cookie) != S_OK) {
        ADD_FAILURE() << "no event connection";
        return {};
    }
    return events;
}

// GetIDsOfNames on a member's name followed by parameter names: what it answers and the DISPIDs.
struct NamesCase {
    std::vector<const char16_t*> names;
    HRESULT hr;
    std::vector<DISPID> ids;
};
inline void expectNames(IQuorvelXml* h, const NamesCase& c) {
    std::vector<LPOLESTR> names;
    for (const char16_t* n : c.names) names.push_back(const_cast<LPOLESTR>(n));
    std::vector<DISPID> ids(names.size(), 12345);
    EXPECT_EQ(h->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), 0, ids.data()), c.hr)
        << sys::toUtf8(c.names[0]);
    EXPECT_EQ(ids, c.ids) << sys::toUtf8(c.names[0]);
}

// A dispatch type's functions against the member table from kMembers[first] on, in slot order:
// DISPID, slot, kind, and the types of the parameters and the result as the platform writes them
// (BSTR, long, VARIANT, a pointer to the interface).
inline void expectFuncDescs(ITypeInfo* info, size_t first, size_t count) {
    const VARTYPE typeOf[] = {VT_EMPTY, VT_BSTR, VT_I4, VT_VARIANT, VT_PTR};
    for (UINT i = 0; i < count; ++i) {
        const MemberInfo& m = kMembers[first + i];
        SCOPED_TRACE(m.name);
        FUNCDESC* f = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
        EXPECT_EQ(f->memid, m.dispid);
        EXPECT_EQ(f->oVft, m.slot * static_cast<int>(sizeof(void*)));
        EXPECT_EQ(f->invkind, m.kind == MemberKind::Method        ? INVOKE_FUNC
                              : m.kind == MemberKind::PropertyGet ? INVOKE_PROPERTYGET
                                                                  : INVOKE_PROPERTYPUT);
        const bool hasResult = m.result.type != ArgType::None;
        EXPECT_EQ(f->cParams, m.paramCount + (hasResult ? 1 : 0));
        for (uint8_t k = 0; k < m.paramCount && k < f->cParams; ++k) {
            EXPECT_EQ(f->lprgelemdescParam[k].tdesc.vt, typeOf[static_cast<int>(m.params[k].type)]) << m.params[k].name;
        }
        if (hasResult && f->cParams == m.paramCount + 1) {
            const ELEMDESC& r = f->lprgelemdescParam[m.paramCount];
            EXPECT_EQ(r.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
            EXPECT_EQ(r.tdesc.vt, VT_PTR);
            if (r.tdesc.vt == VT_PTR) {
                EXPECT_EQ(r.tdesc.lptdesc->vt, typeOf[static_cast<int>(carrierOf(m.result.type))]);
            }
        }
        info->ReleaseFuncDesc(f);
    }
}

inline TreeNode* nodeOf(IQuorvelXml* h) { return CQuorvelXml::fromInterface(h)->node(); }

// An object's reference count, read by adding and taking back a reference.
inline ULONG refsOf(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

// An object's identity: the IUnknown it answers, without keeping the reference.
inline IUnknown* identityOf(IUnknown* p) {
    IUnknown* u = nullptr;
    EXPECT_EQ(p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u)), S_OK);
    if (u) u->Release();
    return u;
}

inline ComPtr<IQuorvelXml> adoptResult(IQuorvelXml* p) { return ComPtr<IQuorvelXml>::adopt(p); }

// A new handle on a document loaded from text.
inline ComPtr<IQuorvelXml> parsed(const char* xml) {
    ComPtr<IQuorvelXml> h = newHandle();
    LONG loaded = 0;
    EXPECT_EQ(h->LoadXml(bstr(xml).get(), &loaded), S_OK);
    EXPECT_EQ(loaded, 1) << xml;
    return h;
}

inline ComPtr<IQuorvelXml> child(IQuorvelXml* parent, LONG i) {
    ComPtr<IQuorvelXml> c;
    EXPECT_EQ(parent->GetChild(i, c.put()), S_OK);
    return c;
}

// The document saved to `file` and loaded again, into a new handle.
inline ComPtr<IQuorvelXml> reloaded(IQuorvelXml* h, const std::string& file) {
    EXPECT_EQ(h->SaveXml(bstr(file).get()), S_OK);
    ComPtr<IQuorvelXml> loaded = newHandle();
    LONG ok = 0;
    EXPECT_EQ(loaded->LoadXmlFile(bstr(file).get(), &ok), S_OK);
    EXPECT_EQ(ok, 1) << file;
    return loaded;
}

// Bytes as the VT_UI1 array a host loads with LoadXmlV.
inline VariantHolder bytesVariant(const std::string& bytes) {
    DataBuffer b;
    b.append(bytes.data(), static_cast<uint32_t>(bytes.size()));
    VariantHolder v;
    b.toVariant(v.get());
    return v;
}

// The subtree as the serializer writes it.
inline std::string xmlOf(IQuorvelXml* h) {
    StringBuffer out;
    serialize(nodeOf(h), out);
    return std::string(out.view());
}

// A node's content as the bytes it stores, read and set past the members.
inline std::string rawContent(IQuorvelXml* h) { return std::string(nodeOf(h)->contentView()); }
inline void setRawContent(IQuorvelXml* h, std::string_view bytes) {
    nodeOf(h)->setContentBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
}

// ASCII text as UTF-16 bytes, little- or big-endian.
inline std::string asciiUtf16(const std::string& ascii, bool bigEndian = false) {
    std::string s;
    for (char c : ascii) s += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return s;
}

// Documents in their own encodings, for the loading and view tests: the root's content as UTF-8,
// and the encoding the tree keeps afterwards.
struct EncodedDocument {
    const char* what;
    std::string bytes, content, encoding;
};
inline std::vector<EncodedDocument> encodedDocuments() {
    return {
        {"latin-1 declared in capitals", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a k=\"\xE9t\xE9\">caf\xE9</a>",
         "caf\xC3\xA9", "ISO-8859-1"},
        {"utf-16le declaring utf-16", "\xFF\xFE" + asciiUtf16("<?xml version=\"1.0\" encoding=\"utf-16\"?><a>") +
                                          std::string("\xE9\0", 2) + asciiUtf16("</a>"),
         "\xC3\xA9", "utf-8"},
        {"utf-16be", "\xFE\xFF" + asciiUtf16("<?xml version=\"1.0\" encoding=\"unicodeFFFE\"?><a>", true) +
                         std::string("\x65\xE5", 2) + asciiUtf16("</a>", true),
         "\xE6\x97\xA5", "unicodeFFFE"},
    };
}

// A subtree as "tag:content(child,child)", read from the nodes themselves.
inline std::string shape(IQuorvelXml* h) { return describe(nodeOf(h)); }

}  // namespace quorvel::test
