// Sorting children and records by tag, content or attribute.
// Not implemented yet: each member fails with E_NOTIMPL and a log that names it.
#include "component/node_handle.h"

namespace quorvel {

HRESULT CQuorvelXml::SortByTag(LONG) { return notImplemented("SortByTag"); }
HRESULT CQuorvelXml::SortByContent(LONG) { return notImplemented("SortByContent"); }
HRESULT CQuorvelXml::SortByAttribute(BSTR, LONG) { return notImplemented("SortByAttribute"); }
HRESULT CQuorvelXml::SortRecordsByContent(BSTR, LONG) { return notImplemented("SortRecordsByContent"); }
HRESULT CQuorvelXml::SortRecordsByAttribute(BSTR, BSTR, LONG) { return notImplemented("SortRecordsByAttribute"); }

}  // namespace quorvel
