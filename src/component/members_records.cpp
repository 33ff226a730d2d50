// Record reading members of IQuorvelXml2: the handle becomes a reader that hands out the elements
// at a path of a file, URL, byte range or stream one at a time, without the whole document.
#include "component/node_handle.h"

namespace quorvel {

namespace {

constexpr const char* kNotImplemented = "Not implemented";

}  // namespace

HRESULT CQuorvelXml::OpenRecords(BSTR /*source*/, BSTR /*recordPath*/) {
    return failCall("OpenRecords", kNotImplemented);
}

HRESULT CQuorvelXml::OpenRecordRange(BSTR /*fileName*/, BSTR /*recordPath*/, VARIANT /*start*/, VARIANT /*end*/) {
    return failCall("OpenRecordRange", kNotImplemented);
}

HRESULT CQuorvelXml::NextRecord(IQuorvelXml** record) {
    if (record) *record = nullptr;
    return failCall("NextRecord", kNotImplemented);
}

HRESULT CQuorvelXml::get_RecordSizeLimit(LONG* pVal) {
    if (pVal) *pVal = 0;
    return failCall("RecordSizeLimit", kNotImplemented);
}

HRESULT CQuorvelXml::put_RecordSizeLimit(LONG /*newVal*/) {
    return failCall("RecordSizeLimit", kNotImplemented);
}

HRESULT CQuorvelXml::get_RecordPath(BSTR* pVal) {
    if (pVal) *pVal = nullptr;
    return failCall("RecordPath", kNotImplemented);
}

HRESULT CQuorvelXml::GetRecordAncestor(LONG /*level*/, IQuorvelXml** ancestor) {
    if (ancestor) *ancestor = nullptr;
    return failCall("GetRecordAncestor", kNotImplemented);
}

HRESULT CQuorvelXml::OpenRecordStream(ReadCallback /*read*/, void* /*context*/, BSTR /*recordPath*/) {
    return failCall("OpenRecordStream", kNotImplemented);
}

}  // namespace quorvel
