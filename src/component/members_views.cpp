// UTF-8 view members of IQuorvelXml2, reached only through its virtual table: the node's tag,
// content and attributes as views into the component's storage, without host strings.
#include "component/node_handle.h"

namespace quorvel {

namespace {

constexpr const char* kNotImplemented = "Not implemented";

}  // namespace

HRESULT CQuorvelXml::GetTagUtf8(Utf8View* tag) {
    if (tag) *tag = Utf8View{nullptr, 0};
    return failCall("GetTagUtf8", kNotImplemented);
}

HRESULT CQuorvelXml::GetContentUtf8(Utf8View* content) {
    if (content) *content = Utf8View{nullptr, 0};
    return failCall("GetContentUtf8", kNotImplemented);
}

HRESULT CQuorvelXml::GetAttributeUtf8(LONG /*index*/, Utf8View* name, Utf8View* value) {
    if (name) *name = Utf8View{nullptr, 0};
    if (value) *value = Utf8View{nullptr, 0};
    return failCall("GetAttributeUtf8", kNotImplemented);
}

HRESULT CQuorvelXml::FindAttributeUtf8(const char* /*name*/, size_t /*nameLength*/, Utf8View* value, LONG* found) {
    if (value) *value = Utf8View{nullptr, 0};
    if (found) *found = 0;
    return failCall("FindAttributeUtf8", kNotImplemented);
}

}  // namespace quorvel
