// XPath members of IQuorvelXml2: selecting element nodes, their string-values or an
// expression's value from this node, with namespace prefixes and variables kept with the document.
#include "component/node_handle.h"

namespace quorvel {

namespace {

constexpr const char* kNotImplemented = "Not implemented";

}  // namespace

HRESULT CQuorvelXml::SelectNodes(BSTR /*xpath*/, VARIANT* nodes) {
    if (nodes) VariantInit(nodes);
    return failCall("SelectNodes", kNotImplemented);
}

HRESULT CQuorvelXml::SelectSingleNode(BSTR /*xpath*/, IQuorvelXml** node) {
    if (node) *node = nullptr;
    return failCall("SelectSingleNode", kNotImplemented);
}

HRESULT CQuorvelXml::SelectValues(BSTR /*xpath*/, VARIANT* values) {
    if (values) VariantInit(values);
    return failCall("SelectValues", kNotImplemented);
}

HRESULT CQuorvelXml::EvaluateXPath(BSTR /*xpath*/, VARIANT* result) {
    if (result) VariantInit(result);
    return failCall("EvaluateXPath", kNotImplemented);
}

HRESULT CQuorvelXml::SetXPathNamespace(BSTR /*prefix*/, BSTR /*uri*/) {
    return failCall("SetXPathNamespace", kNotImplemented);
}

HRESULT CQuorvelXml::SetXPathVariable(BSTR /*name*/, VARIANT /*value*/) {
    return failCall("SetXPathVariable", kNotImplemented);
}

}  // namespace quorvel
