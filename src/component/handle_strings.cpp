// Host strings of the node handle: UTF-16 arguments to UTF-8 text or bytes, UTF-8 results to
// new host strings, all through the handle's converter.
#include <new>

#include "component/node_handle.h"
#include "core/system/utf8.h"

namespace quorvel {

// Until the converter is made, the route its platform converter takes: made on demand, it has one.
void CQuorvelXml::toUtf8(BSTR s, StringBuffer& out) {
    if (extras_ && extras_->converter) {
        extras_->converter->HostStringToUtf8(s, out);
    } else {
        CharsetConvert::HostStringToUtf8(s, out, true);
    }
}

void CQuorvelXml::toUtf8Bytes(BSTR s, DataBuffer& out) {
    if (extras_ && extras_->converter) {
        extras_->converter->HostStringToUtf8Bytes(s, out);
    } else {
        CharsetConvert::HostStringToUtf8Bytes(s, out, true);
    }
}

// The decoding is the same with or without a converter.
BSTR CQuorvelXml::toHost(const StringBuffer& text) {
    try {
        return CharsetConvert::NewHostString(text);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// The decoding Utf8ToHostString does, straight from a borrowed text such as a pooled tag,
// without copying it into a buffer first.
BSTR CQuorvelXml::toHost(std::string_view text) {
    return qv_SysAllocStringUtf8(text.data(), static_cast<UINT>(text.size()));
}

}  // namespace quorvel
