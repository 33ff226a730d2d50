// Indented output members of IQuorvelXml2: the node's XML with one indent unit per level, as a
// string or written to a file. An empty unit gives exactly what GetXml and SaveXml give.
#include "component/node_handle.h"
#include "xml/serializer.h"

namespace quorvel {

HRESULT CQuorvelXml::GetXmlIndented(BSTR indent, BSTR* xmlData) {
    return loggedThroughout("GetXmlIndented", [&] {
        if (!xmlData) {
            log().LogError("Parameter is NULL");
            return false;
        }
        *xmlData = nullptr;
        StringBuffer unit;
        toUtf8(indent, unit);  // a null unit is the empty one: the compact form
        StringBuffer text;
        serialize(node(), text, unit.view());
        *xmlData = toHost(text);
        if (*xmlData) return true;
        log().LogError("Unexpected error.");
        return false;
    });
}

HRESULT CQuorvelXml::SaveXmlIndented(BSTR fileName, BSTR indent) {
    return loggedThroughout("SaveXmlIndented", [&] {
        if (!fileName) {
            log().LogError("Parameter is NULL");
            return false;
        }
        StringBuffer unit;
        toUtf8(indent, unit);
        return writeDocument(fileName, unit.view());
    });
}

}  // namespace quorvel
