// Host strings of the node handle: UTF-16 arguments to UTF-8 text or bytes, UTF-8 results to
// new host strings, all through the handle's converter.
#include <new>

#include "component/node_handle.h"
#include "core/system/utf8.h"

namespace quorvel {

void CQuorvelXml::toUtf8(BSTR s, StringBuffer& out) { converter_.HostStringToUtf8(s, out); }

void CQuorvelXml::toUtf8Bytes(BSTR s, DataBuffer& out) { converter_.HostStringToUtf8Bytes(s, out); }

BSTR CQuorvelXml::toHost(const StringBuffer& text) {
    try {
        return converter_.Utf8ToHostString(text);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// The decoding Utf8ToHostString does (it never involves the platform converter), straight from
// a borrowed text such as a pooled tag, without copying it into a buffer first.
BSTR CQuorvelXml::toHost(std::string_view text) {
    // ASCII text, the usual tag or name, is widened in one pass, its units being its bytes;
    // other text is measured first. A text that long is no tag and goes to the measuring path.
    if (text.size() <= 256) {
        BSTR ascii = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
        if (!ascii || sys::widenAscii(text.data(), text.size(), ascii) == text.size()) return ascii;
        SysFreeString(ascii);
    }
    const size_t units = sys::utf16Length(text.data(), text.size());
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(units));
    if (out) sys::decodeUtf8(text.data(), text.size(), out);
    return out;
}

}  // namespace quorvel
