// XPath members of IQuorvelXml2: selecting element nodes, their string-values or an
// expression's value from this node, with namespace prefixes and variables kept with the document.
//
// Expressions are compiled once per document (DocumentXPath's cache). Failures log the message
// with the expression ("xpath"), and for syntax errors the 1-based "position" and what was
// "expected"; unknown names are logged as "name".
#include <new>
#include <string>

#include "component/node_handle.h"
#include "tree/tree_node.h"
#include "xpath/xpath_cache.h"

namespace quorvel {

namespace {

constexpr const char* kNullParameter = "Parameter is NULL";

const char* kindName(xpath::NodeKind k) {
    switch (k) {
        case xpath::NodeKind::Document: return "the document node";
        case xpath::NodeKind::Attribute: return "attribute nodes";
        case xpath::NodeKind::Text: return "text nodes";
        case xpath::NodeKind::Namespace: return "namespace nodes";
        case xpath::NodeKind::Element: return "elements";
    }
    return "nodes";
}

// Compiles (or finds) and evaluates the handle's argument; logs into the open context and
// returns false on failure.
bool evaluate(CQuorvelXml& handle, BSTR xpathText, xpath::Value& out) {
    StringBuffer text;
    handle.toUtf8(xpathText, text);
    Logger& log = handle.log();
    TreeNode* node = handle.node();
    xpath::DocumentXPath& doc = xpath::DocumentXPath::of(node);
    xpath::CompileError ce;
    std::shared_ptr<const xpath::Query> q = doc.query(text.view(), ce);
    if (!q) {
        log.LogError(ce.message.c_str());
        log.LogData("xpath", text.data());
        log.LogDataLong("position", static_cast<int32_t>(ce.position));
        if (!ce.expected.empty()) log.LogData("expected", ce.expected.c_str());
        if (!ce.name.empty()) log.LogData("name", ce.name.c_str());
        return false;
    }
    xpath::EvalError ee;
    if (!doc.evaluate(*q, node, out, ee)) {
        log.LogError(ee.message.c_str());
        log.LogData("xpath", text.data());
        if (!ee.name.empty()) log.LogData("name", ee.name.c_str());
        return false;
    }
    if (out.type == xpath::ValueType::NodeSet && out.set.empty()) {
        std::string hint = q->defaultNamespaceHint(node, *doc.bindings());
        if (!hint.empty()) log.LogInfo(hint.c_str());
    }
    return true;
}

// Whether the result is a node-set; logs what it is instead when not.
bool isNodeSet(Logger& log, const xpath::Value& v) {
    if (v.type == xpath::ValueType::NodeSet) return true;
    log.LogError("The XPath expression does not select nodes");
    log.LogData("type", xpath::typeName(v.type));
    return false;
}

// The selected elements; false (logged) when the result is no node-set or holds other kinds of node.
bool elementsOf(Logger& log, const xpath::Value& v) {
    if (!isNodeSet(log, v)) return false;
    for (const xpath::XNode& n : v.set.nodes) {
        if (n.kind != xpath::NodeKind::Element) {
            std::string message = std::string("The XPath expression selects ") + kindName(n.kind) +
                                  ", not only elements: SelectValues returns their values";
            log.LogError(message.c_str());
            return false;
        }
    }
    return true;
}

// A one-dimensional array of n items of type vt, each made by make(i); destroyed again, and
// std::bad_alloc thrown, when an item or the array cannot be made.
template <class Item, class Make>
SAFEARRAY* filledArray(VARTYPE vt, size_t n, Make&& make) {
    SAFEARRAY* sa = SafeArrayCreateVector(vt, 0, static_cast<ULONG>(n));
    if (!sa) throw std::bad_alloc();
    Item* items = nullptr;
    SafeArrayAccessData(sa, reinterpret_cast<void**>(&items));
    for (size_t i = 0; i < n; ++i) {
        items[i] = make(i);
        if (!items[i]) {
            SafeArrayUnaccessData(sa);
            SafeArrayDestroy(sa);
            throw std::bad_alloc();
        }
    }
    SafeArrayUnaccessData(sa);
    return sa;
}

}  // namespace

HRESULT CQuorvelXml::SelectNodes(BSTR xpath, VARIANT* nodes) {
    if (!nodes) return failCall("SelectNodes", kNullParameter);
    VariantInit(nodes);
    return loggedThroughout("SelectNodes", [&]() -> bool {
        xpath::Value v;
        if (!evaluate(*this, xpath, v) || !elementsOf(log(), v)) return false;
        const size_t count = v.set.size();
        nodes->parray = filledArray<IDispatch*>(VT_DISPATCH, count, [&](size_t i) -> IDispatch* {
            if (i + 8 < count) CQuorvelXml::prefetchNode(v.set.nodes[i + 8].element);
            return wrapNode(const_cast<TreeNode*>(v.set.nodes[i].element), i > 0 ? v.set.nodes[i - 1].element : nullptr,
                            i + 1 < count ? v.set.nodes[i + 1].element : nullptr);
        });
        nodes->vt = VT_ARRAY | VT_DISPATCH;
        return true;
    });
}

HRESULT CQuorvelXml::SelectSingleNode(BSTR xpath, IQuorvelXml** node) {
    if (!node) return failCall("SelectSingleNode", kNullParameter);
    *node = nullptr;
    return loggedThroughout("SelectSingleNode", [&]() -> bool {
        xpath::Value v;
        if (!evaluate(*this, xpath, v) || !isNodeSet(log(), v)) return false;
        for (const xpath::XNode& n : v.set.nodes) {
            if (n.kind != xpath::NodeKind::Element) continue;
            *node = wrapNode(const_cast<TreeNode*>(n.element));
            if (!*node) throw std::bad_alloc();
            break;
        }
        return true;
    });
}

HRESULT CQuorvelXml::SelectValues(BSTR xpath, VARIANT* values) {
    if (!values) return failCall("SelectValues", kNullParameter);
    VariantInit(values);
    return loggedThroughout("SelectValues", [&]() -> bool {
        xpath::Value v;
        if (!evaluate(*this, xpath, v) || !isNodeSet(log(), v)) return false;
        std::string scratch;
        values->parray = filledArray<BSTR>(VT_BSTR, v.set.size(),
                                           [&](size_t i) { return toHost(xpath::stringValue(v.set.nodes[i], scratch)); });
        values->vt = VT_ARRAY | VT_BSTR;
        return true;
    });
}

HRESULT CQuorvelXml::EvaluateXPath(BSTR xpath, VARIANT* result) {
    if (!result) return failCall("EvaluateXPath", kNullParameter);
    VariantInit(result);
    return loggedThroughout("EvaluateXPath", [&]() -> bool {
        xpath::Value v;
        if (!evaluate(*this, xpath, v)) return false;
        switch (v.type) {
            case xpath::ValueType::Number:
                result->vt = VT_R8;
                result->dblVal = v.number;
                return true;
            case xpath::ValueType::Boolean:
                result->vt = VT_BOOL;
                result->boolVal = v.boolean ? VARIANT_TRUE : VARIANT_FALSE;
                return true;
            default: {
                BSTR s = toHost(xpath::toString(v));
                if (!s) throw std::bad_alloc();
                result->vt = VT_BSTR;
                result->bstrVal = s;
                return true;
            }
        }
    });
}

HRESULT CQuorvelXml::SetXPathNamespace(BSTR prefix, BSTR uri) {
    return loggedThroughout("SetXPathNamespace", [&]() -> bool {
        StringBuffer p, u;
        toUtf8(prefix, p);
        toUtf8(uri, u);
        p.trim();
        if (p.view() == "xml" || p.view() == "xmlns") {
            log().LogError("The prefixes xml and xmlns cannot be rebound");
            log().LogData("prefix", p.data());
            return false;
        }
        xpath::DocumentXPath::of(node_).setNamespace(std::string(p.view()), std::string(u.view()));
        return true;
    });
}

HRESULT CQuorvelXml::SetXPathVariable(BSTR name, VARIANT value) {
    return loggedThroughout("SetXPathVariable", [&]() -> bool {
        StringBuffer n;
        toUtf8(name, n);
        n.trim();
        if (n.view().empty()) {
            log().LogError("A variable needs a name");
            return false;
        }
        const VARIANT* v = &value;
        if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
        xpath::Value x;
        switch (v->vt) {
            case VT_BOOL: x = xpath::Value::ofBoolean(v->boolVal != 0); break;
            case VT_BSTR: {
                StringBuffer s;
                toUtf8(v->bstrVal, s);
                x = xpath::Value::ofString(std::string(s.view()));
                break;
            }
            case VT_EMPTY: x = xpath::Value::ofString({}); break;
            default: {
                VARIANT d;
                VariantInit(&d);
                if (FAILED(VariantChangeType(&d, v, 0, VT_R8))) {
                    log().LogError("An XPath variable is a number, a string or a boolean");
                    log().LogDataLong("vt", v->vt);
                    return false;
                }
                x = xpath::Value::ofNumber(d.dblVal);
            }
        }
        xpath::DocumentXPath::of(node_).setVariable(std::string(n.view()), std::move(x));
        return true;
    });
}

}  // namespace quorvel
