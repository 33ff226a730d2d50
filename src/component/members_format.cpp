// Indented output members of IQuorvelXml2: the node's XML with one indent unit per level, as a
// string or written to a file.
#include "component/node_handle.h"

namespace quorvel {

namespace {

constexpr const char* kNotImplemented = "Not implemented";

}  // namespace

HRESULT CQuorvelXml::GetXmlIndented(BSTR /*indent*/, BSTR* xmlData) {
    if (xmlData) *xmlData = nullptr;
    return failCall("GetXmlIndented", kNotImplemented);
}

HRESULT CQuorvelXml::SaveXmlIndented(BSTR /*fileName*/, BSTR /*indent*/) {
    return failCall("SaveXmlIndented", kNotImplemented);
}

}  // namespace quorvel
