// Host strings of the node handle: UTF-16 arguments to UTF-8 text or bytes, UTF-8 results to
// new host strings. Every member converts through these, so the handle's converter is the one
// place that decides how.
#include <string>

#include "component/node_handle.h"
#include "core/system/utf8.h"

namespace quorvel {

namespace {

// Encodes the units of s into out (emptied first); null leaves it alone. Small strings are
// encoded on the stack, so converting a tag or a name allocates nothing beyond the output.
template <class Append>
void encodeHostString(BSTR s, Append&& append) {
    const size_t units = SysStringLen(s);
    char small[256];
    if (units * 3 <= sizeof(small)) {
        append(small, sys::encodeUtf8(s, units, small));
        return;
    }
    std::string bytes(sys::utf8Length(s, units), '\0');
    append(bytes.data(), sys::encodeUtf8(s, units, bytes.data()));
}

}  // namespace

void CQuorvelXml::toUtf8(BSTR s, StringBuffer& out) {
    if (!s) return;
    out.clear();
    encodeHostString(s, [&out](const char* bytes, size_t n) { out.appendBytes(bytes, static_cast<int32_t>(n)); });
}

void CQuorvelXml::toUtf8Bytes(BSTR s, DataBuffer& out) {
    if (!s) return;
    out.clear();
    encodeHostString(s, [&out](const char* bytes, size_t n) { out.append(bytes, static_cast<uint32_t>(n)); });
}

BSTR CQuorvelXml::toHost(std::string_view text) {
    const size_t bytes = text.size();
    const size_t units = sys::utf16Length(text.data(), bytes);
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(units));
    if (!out) return nullptr;
    sys::decodeUtf8(text.data(), bytes, out);
    return out;
}

}  // namespace quorvel
