// What quorvel/xml.hpp stands on: how a failed call reaches the host (xml::status, xml::error,
// xml::report), and the conversions at the interface's edge (UTF-8 text to and from host
// strings, byte spans to and from byte-array variants, a callable as an event sink). Nothing
// here is meant for hosts to call directly except status, error and report.
#ifndef QUORVEL_XML_SUPPORT_HPP
#define QUORVEL_XML_SUPPORT_HPP

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "quorvel/quorvel_xml.hpp"


#if defined(__cpp_exceptions)
#define QUORVEL_XML_EXCEPTIONS 1
#else
#define QUORVEL_XML_EXCEPTIONS 0
#endif

namespace quorvel::xml {

// The value of an XPath expression: a number, a string or a boolean (a node-set gives its
// string-value, as string() does).
using xpath_value = std::variant<double, std::string, bool>;

// The outcome of one call: its HRESULT and, after a failure, the error information the
// component raised for it (source "QuorvelXml.QuorvelXml"; the description is the error summary,
// such as "(GetChild)\nNo child at this index\nindex: 5").
struct status {
    HRESULT code = S_OK;
    std::string source;
    std::string description;

    bool ok() const noexcept { return SUCCEEDED(code); }
    bool failed() const noexcept { return FAILED(code); }
};

#if QUORVEL_XML_EXCEPTIONS
// A failed call, thrown by every member called without a status. what() is the description, or
// the HRESULT in hex when the call raised no error information.
class error : public std::exception {
public:
    explicit error(status s) : status_(std::move(s)) {
        if (status_.description.empty()) {
            char text[48];
            std::snprintf(text, sizeof text, "QuorvelXml call failed: HRESULT 0x%08X",
                          static_cast<unsigned>(status_.code));
            what_ = text;
        }
    }
    HRESULT code() const noexcept { return status_.code; }
    const std::string& source() const noexcept { return status_.source; }
    const std::string& description() const noexcept { return status_.description; }
    const char* what() const noexcept override {
        return status_.description.empty() ? what_.c_str() : status_.description.c_str();
    }

private:
    xml::status status_;
    std::string what_;
};
#endif

// Where a member's failure goes: thrown as xml::error when no status is given (the default
// argument), else stored in the status, and the member returns an empty result. A host built
// without exceptions passes a status to every call; a failure with nowhere to go ends the
// program, as the standard library does when it cannot throw.
class report {
public:
    report() noexcept = default;
    report(status& into) noexcept : into_(&into) {}  // implicit: members take a status directly

    // Records a successful call: a status given is reset to S_OK.
    void succeeded() const noexcept {
        if (into_) {
            into_->code = S_OK;
            into_->source.clear();
            into_->description.clear();
        }
    }
    // Records a failed call with the thread's error information; throws unless a status is given.
    void failed(HRESULT code) const;

private:
    status* into_ = nullptr;
};

namespace detail {

[[noreturn]] inline void out_of_memory() {
#if QUORVEL_XML_EXCEPTIONS
    throw std::bad_alloc();
#else
    std::abort();
#endif
}

// Releases one interface reference at scope exit.
template <class T>
struct released {
    T* p = nullptr;
    released() = default;
    released(const released&) = delete;
    released& operator=(const released&) = delete;
    ~released() {
        if (p) p->Release();
    }
};

// A name as the component's members that look attributes up take it: white space (space, tab,
// CR, LF) trimmed at both ends, then cut at the first 0 byte.
inline std::string_view trimmed_name(std::string_view name) noexcept {
    const auto white = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!name.empty() && white(name.back())) name.remove_suffix(1);
    while (!name.empty() && white(name.front())) name.remove_prefix(1);
    return name.substr(0, name.find('\0'));
}

// An owned host string.
class bstr {
public:
    bstr() noexcept = default;
    // The UTF-8 text as a host string, converted by the component's rules.
    explicit bstr(std::string_view utf8) {
        if (utf8.size() > UINT32_MAX) out_of_memory();
        s_ = qv_SysAllocStringUtf8(utf8.data(), static_cast<UINT>(utf8.size()));
        if (!s_) out_of_memory();
    }
    bstr(const bstr& o) : s_(o.s_ ? SysAllocStringLen(o.s_, SysStringLen(o.s_)) : nullptr) {
        if (o.s_ && !s_) out_of_memory();
    }
    bstr(bstr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
    bstr& operator=(bstr o) noexcept {
        std::swap(s_, o.s_);
        return *this;
    }
    ~bstr() {
        if (s_) SysFreeString(s_);
    }

    BSTR get() const noexcept { return s_; }
    // Frees the string and gives the place for an [out] result.
    BSTR* put() noexcept {
        if (s_) SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }

private:
    BSTR s_ = nullptr;
};

// A string of `n` < 16 bytes, made from a full 16-byte buffer so that the copy has a constant
// length and stays inline; returning the one local keeps it in the caller's place.
inline std::string short_string(const char (&bytes)[16], std::size_t n) {
    std::string out(bytes, 15);
    out.erase(n);
    return out;
}

// The UTF-8 text of any host string of `units` units: one pass through a buffer on the stack for
// short ones, two passes for long ones. Kept out of line so that the short ASCII path stays small.
#if defined(__GNUC__)
[[gnu::noinline]]
#endif
inline std::string to_utf8_any(BSTR s, std::size_t units) {
    if (units == 0) return {};
    char small[192];
    const UINT bytes = qv_SysStringToUtf8(s, small, sizeof small);
    if (bytes <= sizeof small) return std::string(small, bytes);
    std::string out(bytes, '\0');
    qv_SysStringToUtf8(s, out.data(), bytes);
    return out;
}

// The UTF-8 text of a host string (empty for the absent string).
inline std::string to_utf8(BSTR s) {
    // The length prefix: the byte count in the four bytes before the first unit.
    const std::size_t units = s ? reinterpret_cast<const std::uint32_t*>(s)[-1] / sizeof(OLECHAR) : 0;
    if (units - 1 < 15) {
        // Short ASCII text, the usual tag or name, is gathered into two words one unit at a time:
        // the component has just written the string unit by unit, and a wider read of it would
        // wait for those stores to reach the cache instead of taking them from the store buffer.
        const auto shift = [](std::size_t i) {
            return std::endian::native == std::endian::little ? 8 * i : 56 - 8 * i;
        };
        std::uint64_t any = 0, low = 0, high = 0;
        const std::size_t first = units < 8 ? units : 8;
        for (std::size_t i = 0; i < first; ++i) {
            any |= s[i];
            low |= std::uint64_t{s[i]} << shift(i);
        }
        for (std::size_t i = 8; i < units; ++i) {
            any |= s[i];
            high |= std::uint64_t{s[i]} << shift(i - 8);
        }
        if (any < 0x80) {
            char narrow[16];
            std::memcpy(narrow, &low, sizeof low);
            std::memcpy(narrow + 8, &high, sizeof high);
            return short_string(narrow, units);
        }
    }
    return to_utf8_any(s, units);
}

// A byte array argument: a one-dimensional array of bytes whose elements are the caller's own
// memory. Nothing is copied; members only read an array they are given. Lives for one call.
class byte_array_arg {
public:
    explicit byte_array_arg(std::span<const std::byte> bytes) {
        if (bytes.size() > UINT32_MAX) out_of_memory();
        static std::byte none{};
        array_.cDims = 1;
        array_.fFeatures = FADF_STATIC | FADF_FIXEDSIZE;
        array_.cbElements = 1;
        array_.pvData = const_cast<std::byte*>(bytes.empty() ? &none : bytes.data());
        array_.rgsabound[0].cElements = static_cast<ULONG>(bytes.size());
        array_.rgsabound[0].lLbound = 0;
        VariantInit(&variant_);
        variant_.vt = VT_ARRAY | VT_UI1;
        variant_.parray = &array_;
    }
    byte_array_arg(const byte_array_arg&) = delete;
    byte_array_arg& operator=(const byte_array_arg&) = delete;
    const VARIANT& get() const noexcept { return variant_; }

private:
    SAFEARRAY array_{};
    VARIANT variant_;
};

// The bytes of a result variant, which it clears: a byte array (any element size) gives its
// elements, VT_NULL and everything else no bytes.
inline std::vector<std::byte> take_bytes(VARIANT& v) {
    struct cleared {
        VARIANT& v;
        ~cleared() { VariantClear(&v); }
    } clear_at_exit{v};
    std::vector<std::byte> out;
    if ((v.vt & VT_ARRAY) && !(v.vt & VT_BYREF) && v.parray && v.parray->pvData) {
        const SAFEARRAY& sa = *v.parray;
        std::size_t n = sa.cbElements;
        for (USHORT d = 0; d < sa.cDims; ++d) n *= sa.rgsabound[d].cElements;
        const auto* data = static_cast<const std::byte*>(sa.pvData);
        out.assign(data, data + n);
    }
    return out;
}

// The elements of a one-dimensional array result, which it clears: each element of a
// VT_ARRAY|VT_BSTR array as UTF-8 text; anything else gives nothing.
inline std::vector<std::string> take_strings(VARIANT& v) {
    struct cleared {
        VARIANT& v;
        ~cleared() { VariantClear(&v); }
    } clear_at_exit{v};
    std::vector<std::string> out;
    if (v.vt != (VT_ARRAY | VT_BSTR) || !v.parray || !v.parray->pvData || v.parray->cDims != 1) return out;
    const auto* items = static_cast<const BSTR*>(v.parray->pvData);
    out.reserve(v.parray->rgsabound[0].cElements);
    for (ULONG i = 0; i < v.parray->rgsabound[0].cElements; ++i) out.push_back(to_utf8(items[i]));
    return out;
}

// The node handles of a VT_ARRAY|VT_DISPATCH array result, which it clears: each element's
// IQuorvelXml with a reference of its own (an element that is none is left out).
template <class F>
void take_handles(VARIANT& v, F&& each) {
    struct cleared {
        VARIANT& v;
        ~cleared() { VariantClear(&v); }
    } clear_at_exit{v};
    if (v.vt != (VT_ARRAY | VT_DISPATCH) || !v.parray || !v.parray->pvData || v.parray->cDims != 1) return;
    auto* const* items = static_cast<IDispatch* const*>(v.parray->pvData);
    for (ULONG i = 0; i < v.parray->rgsabound[0].cElements; ++i) {
        void* handle = nullptr;
        if (items[i] && SUCCEEDED(items[i]->QueryInterface(IID_IQuorvelXml, &handle)) && handle)
            each(static_cast<IQuorvelXml*>(handle));
    }
}

// An XPath value result, which it clears: VT_R8, VT_BOOL and VT_BSTR as themselves; anything
// else as the string the component's conversion gives (the empty string when none does).
inline xpath_value take_xpath_value(VARIANT& v) {
    struct cleared {
        VARIANT& v;
        ~cleared() { VariantClear(&v); }
    } clear_at_exit{v};
    switch (v.vt) {
        case VT_R8: return v.dblVal;
        case VT_BOOL: return v.boolVal != 0;
        case VT_BSTR: return to_utf8(v.bstrVal);
        default: break;
    }
    VARIANT text;
    VariantInit(&text);
    std::string out;
    if (SUCCEEDED(VariantChangeType(&text, &v, 0, VT_BSTR))) out = to_utf8(text.bstrVal);
    VariantClear(&text);
    return out;
}

// An XPath value as an argument variant; a string one owns its host string.
class xpath_value_arg {
public:
    explicit xpath_value_arg(const xpath_value& value) {
        VariantInit(&variant_);
        if (const double* d = std::get_if<double>(&value)) {
            variant_.vt = VT_R8;
            variant_.dblVal = *d;
        } else if (const bool* b = std::get_if<bool>(&value)) {
            variant_.vt = VT_BOOL;
            variant_.boolVal = *b ? VARIANT_TRUE : VARIANT_FALSE;
        } else {
            text_ = bstr(std::get<std::string>(value));
            variant_.vt = VT_BSTR;
            variant_.bstrVal = text_.get();
        }
    }
    xpath_value_arg(const xpath_value_arg&) = delete;
    xpath_value_arg& operator=(const xpath_value_arg&) = delete;
    const VARIANT& get() const noexcept { return variant_; }

private:
    bstr text_;
    VARIANT variant_;
};

// The thread's error information, taken (the component raises it with every failure).
inline status take_error_info(HRESULT code) {
    status s;
    s.code = code;
    released<IErrorInfo> info;
    if (GetErrorInfo(0, &info.p) != S_OK || !info.p) return s;
    bstr text;
    if (info.p->GetSource(text.put()) == S_OK) s.source = to_utf8(text.get());
    if (info.p->GetDescription(text.put()) == S_OK) s.description = to_utf8(text.get());
    return s;
}

// An event sink for the progress of one load: answers IDispatch and _IQuorvelXmlEvents and
// hands each ParsePercentDone to a callable. An exception the callable throws is kept and
// rethrown by the caller once the load has returned: it must not cross the component.
class progress_sink final : public IDispatch {
public:
    using callback = void (*)(void* context, int percent);
    progress_sink(callback fn, void* context) noexcept : fn_(fn), context_(context) {}
    progress_sink(const progress_sink&) = delete;
    progress_sink& operator=(const progress_sink&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        const bool mine = riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_IQuorvelXmlEvents;
        *ppv = mine ? static_cast<IDispatch*>(this) : nullptr;
        if (!mine) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    // The sink lives on the caller's stack for the call; counting only keeps the contract.
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override { return --refs_; }
    HRESULT GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id != DISPID_PARSEPERCENTDONE || !params || params->cArgs != 1 || params->rgvarg[0].vt != VT_I4)
            return DISP_E_MEMBERNOTFOUND;
#if QUORVEL_XML_EXCEPTIONS
        if (thrown_) return S_OK;  // after a throw the callable hears nothing more of this load
        try {
            fn_(context_, params->rgvarg[0].lVal);
        } catch (...) {
            thrown_ = std::current_exception();
        }
#else
        fn_(context_, params->rgvarg[0].lVal);
#endif
        return S_OK;
    }

    void rethrow() const {
#if QUORVEL_XML_EXCEPTIONS
        if (thrown_) std::rethrow_exception(thrown_);
#endif
    }

private:
    callback fn_;
    void* context_;
    ULONG refs_ = 1;
#if QUORVEL_XML_EXCEPTIONS
    std::exception_ptr thrown_;
#endif
};

// The sink connected to a handle's _IQuorvelXmlEvents point while this lives.
class event_connection {
public:
    event_connection(IQuorvelXml* handle, IDispatch* sink, const report& r) {
        released<IConnectionPointContainer> container;
        HRESULT hr = handle->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container.p));
        if (SUCCEEDED(hr)) hr = container.p->FindConnectionPoint(DIID_IQuorvelXmlEvents, &point_);
        if (SUCCEEDED(hr)) hr = point_->Advise(sink, &cookie_);
        if (FAILED(hr)) {
            if (point_) point_->Release();
            point_ = nullptr;
            r.failed(hr);
        }
    }
    event_connection(const event_connection&) = delete;
    event_connection& operator=(const event_connection&) = delete;
    ~event_connection() {
        if (!point_) return;
        point_->Unadvise(cookie_);
        point_->Release();
    }
    bool connected() const noexcept { return point_ != nullptr; }

private:
    IConnectionPoint* point_ = nullptr;
    DWORD cookie_ = 0;
};

}  // namespace detail

inline void report::failed(HRESULT code) const {
    status s = detail::take_error_info(code);
    if (into_) {
        *into_ = std::move(s);
        return;
    }
#if QUORVEL_XML_EXCEPTIONS
    throw error(std::move(s));
#else
    std::fprintf(stderr, "QuorvelXml call failed (HRESULT 0x%08X): %s\n", static_cast<unsigned>(code),
                 s.description.c_str());
    std::abort();
#endif
}

}  // namespace quorvel::xml

#endif  // QUORVEL_XML_SUPPORT_HPP
