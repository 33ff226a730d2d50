// The four XPath result types and the conversions between them.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xpath/xpath_node.h"

namespace quorvel::xpath {

enum class ValueType : uint8_t { NodeSet, Number, String, Boolean };
const char* typeName(ValueType t);

// A node-set as a vector. `ordered`: in document order without duplicates. `flat`: besides,
// no node of the set is the model ancestor of another, so a child or descendant step over it
// yields nodes in document order without sorting.
struct NodeSet {
    std::vector<XNode> nodes;
    bool ordered = true;
    bool flat = true;

    size_t size() const { return nodes.size(); }
    bool empty() const { return nodes.empty(); }
    // Puts the nodes in document order and removes duplicates; nothing when already ordered.
    void normalize();
};

struct Value {
    ValueType type = ValueType::NodeSet;
    bool boolean = false;
    double number = 0;
    std::string string;
    NodeSet set;

    static Value ofNumber(double d) {
        Value v;
        v.type = ValueType::Number;
        v.number = d;
        return v;
    }
    static Value ofBoolean(bool b) {
        Value v;
        v.type = ValueType::Boolean;
        v.boolean = b;
        return v;
    }
    static Value ofString(std::string s) {
        Value v;
        v.type = ValueType::String;
        v.string = std::move(s);
        return v;
    }
    static Value ofSet(NodeSet s) {
        Value v;
        v.set = std::move(s);
        return v;
    }
};

// The string-value of a node. A view into the tree where the value lies there whole (an
// attribute, a text node, an element without children); otherwise built in scratch.
std::string_view stringValue(const XNode& n, std::string& scratch);
inline std::string stringValueOf(const XNode& n) {
    std::string scratch;
    return std::string(stringValue(n, scratch));
}

// Conversions by the core library's rules.
double stringToNumber(std::string_view s);
// Decimal without exponent, as few digits as tell the number apart; "NaN", "Infinity",
// "-Infinity"; integers without a fraction; -0 as "0".
std::string numberToString(double d);
bool toBoolean(const Value& v);
double toNumber(const Value& v);
std::string toString(const Value& v);

}  // namespace quorvel::xpath
