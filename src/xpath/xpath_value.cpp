#include "xpath/xpath_value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "tree/tree_node.h"
#include "xpath/xpath_namespaces.h"

namespace quorvel::xpath {

const char* typeName(ValueType t) {
    switch (t) {
        case ValueType::NodeSet: return "node-set";
        case ValueType::Number: return "number";
        case ValueType::String: return "string";
        case ValueType::Boolean: return "boolean";
    }
    return "?";
}

void NodeSet::normalize() {
    if (ordered) return;
    bool sorted = true;
    for (size_t i = 1; i < nodes.size() && sorted; ++i) sorted = documentOrderLess(nodes[i - 1], nodes[i]);
    if (!sorted) {
        std::sort(nodes.begin(), nodes.end(), documentOrderLess);
        nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    }
    ordered = true;
}

namespace {

// Appends the text of every element of the subtree under top in document order (each element's
// content comes before its children), walking the links without recursion.
void appendSubtreeText(const TreeNode* top, std::string& out) {
    const TreeNode* n = top;
    for (;;) {
        out.append(n->contentView());
        if (const TreeNode* c = n->firstChild()) {
            n = c;
            continue;
        }
        while (n != top && !n->nextSibling()) n = n->parent();
        if (n == top) return;
        n = n->nextSibling();
    }
}

}  // namespace

std::string_view stringValue(const XNode& n, std::string& scratch) {
    switch (n.kind) {
        case NodeKind::Attribute: return n.element->attributes().value(static_cast<int32_t>(n.index));
        case NodeKind::Text: return n.element->contentView();
        case NodeKind::Namespace: return namespaceNodeUri(n);
        case NodeKind::Document:
        case NodeKind::Element:
            if (!n.element->hasChildren()) return n.element->contentView();
            scratch.clear();
            appendSubtreeText(n.element, scratch);
            return scratch;
    }
    return {};
}

double stringToNumber(std::string_view s) {
    size_t i = 0, n = s.size();
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < n && space(s[i])) ++i;
    while (n > i && space(s[n - 1])) --n;
    size_t start = i;
    if (i < n && s[i] == '-') ++i;
    size_t digits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (digits == 0 || i != n) return std::numeric_limits<double>::quiet_NaN();
    double d = 0;
    std::string_view body = s.substr(start, n - start);
    bool negative = body[0] == '-';
    if (negative) body.remove_prefix(1);
    if (body[0] == '.') {
        std::string padded = "0" + std::string(body);
        std::from_chars(padded.data(), padded.data() + padded.size(), d, std::chars_format::fixed);
    } else {
        std::from_chars(body.data(), body.data() + body.size(), d, std::chars_format::fixed);
    }
    return negative ? -d : d;
}

std::string numberToString(double d) {
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0) return "0";
    if (std::fabs(d) < 1e15 && d == std::trunc(d)) {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(d));
        return std::string(buf, r.ptr);
    }
    // The shortest digits that read back as d, then laid out without an exponent.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    std::string_view sci(buf, static_cast<size_t>(r.ptr - buf));
    bool negative = sci[0] == '-';
    if (negative) sci.remove_prefix(1);
    size_t e = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, e)) {
        if (c != '.') digits += c;
    }
    int exponent = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    // Value = 0.d1d2d3... * 10^(exponent + 1)
    int point = exponent + 1;
    std::string out = negative ? "-" : "";
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-point), '0');
        out += digits;
    } else if (static_cast<size_t>(point) >= digits.size()) {
        out += digits;
        out.append(static_cast<size_t>(point) - digits.size(), '0');
    } else {
        out.append(digits, 0, static_cast<size_t>(point));
        out += '.';
        out.append(digits, static_cast<size_t>(point), std::string::npos);
    }
    return out;
}

bool toBoolean(const Value& v) {
    switch (v.type) {
        case ValueType::NodeSet: return !v.set.empty();
        case ValueType::Number: return v.number != 0 && !std::isnan(v.number);
        case ValueType::String: return !v.string.empty();
        case ValueType::Boolean: return v.boolean;
    }
    return false;
}

double toNumber(const Value& v) {
    switch (v.type) {
        case ValueType::NodeSet: {
            if (v.set.empty()) return std::numeric_limits<double>::quiet_NaN();
            std::string scratch;
            return stringToNumber(stringValue(v.set.nodes.front(), scratch));
        }
        case ValueType::Number: return v.number;
        case ValueType::String: return stringToNumber(v.string);
        case ValueType::Boolean: return v.boolean ? 1 : 0;
    }
    return 0;
}

std::string toString(const Value& v) {
    switch (v.type) {
        case ValueType::NodeSet: return v.set.empty() ? std::string() : stringValueOf(v.set.nodes.front());
        case ValueType::Number: return numberToString(v.number);
        case ValueType::String: return v.string;
        case ValueType::Boolean: return v.boolean ? "true" : "false";
    }
    return {};
}

}  // namespace quorvel::xpath
