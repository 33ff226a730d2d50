// The core function library. Strings count characters, not bytes: UTF-8 sequences are taken
// whole by substring, string-length and translate.
#include <cmath>
#include <limits>

#include "tree/tree_node.h"
#include "xpath/xpath_eval.h"
#include "xpath/xpath_namespaces.h"

namespace quorvel::xpath {

namespace {

size_t charLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;  // a stray continuation byte counts as one character
}

// The characters of s, as views.
std::vector<std::string_view> characters(std::string_view s) {
    std::vector<std::string_view> out;
    for (size_t i = 0; i < s.size();) {
        size_t n = std::min(charLength(static_cast<unsigned char>(s[i])), s.size() - i);
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

size_t countCharacters(std::string_view s) {
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

double roundHalfUp(double d) {
    if (std::isnan(d) || std::isinf(d)) return d;
    double r = std::floor(d);
    if (d - r >= 0.5) r += 1;
    if (r == 0 && std::signbit(d)) return -0.0;  // round(-0.5) and round(-0) are -0
    return r;
}

// The name functions' node: the argument's first node, or the context node.
bool firstNode(Evaluator& ev, const Expr* e, const Context& c, XNode& out) {
    if (e->args.empty()) {
        out = c.node;
        return true;
    }
    Value v = ev.eval(e->args[0], c);
    if (v.type != ValueType::NodeSet) throwEvalError("XPath type error: the argument must be a node-set", "name functions");
    if (v.set.empty()) return false;
    v.set.normalize();
    out = v.set.nodes.front();
    return true;
}

std::string_view nodeName(const XNode& n) {
    switch (n.kind) {
        case NodeKind::Element: return n.element->tagView();
        case NodeKind::Attribute: return n.element->attributes().name(static_cast<int32_t>(n.index));
        case NodeKind::Namespace: return namespaceNodePrefix(n);
        default: return {};
    }
}

}  // namespace

Value Evaluator::evalCall(const Expr* e, const Context& c) {
    const auto& args = e->args;
    auto str = [&](size_t i) {
        if (i >= args.size()) return stringValueOf(c.node);
        std::string s;
        if (firstString(args[i], c, s)) return s;
        return toString(eval(args[i], c));
    };
    auto num = [&](size_t i) { return toNumber(eval(args[i], c)); };
    auto set = [&](size_t i, const char* name) {
        Value v = eval(args[i], c);
        if (v.type != ValueType::NodeSet) throwEvalError("XPath type error: the argument must be a node-set", name);
        return v;
    };
    switch (e->function) {
        case Function::Last: return Value::ofNumber(static_cast<double>(c.size));
        case Function::Position: return Value::ofNumber(static_cast<double>(c.position));
        case Function::Count: {
            // A last step without predicates over nodes whose axes cannot overlap is counted
            // without gathering its nodes.
            const Expr* a = args[0];
            if (a->kind == ExprKind::Path && !a->steps.empty() && a->steps.back().predicates.empty()) {
                const Step& last = a->steps.back();
                Axis ax = last.axis;
                bool disjoint = ax == Axis::Child || ax == Axis::Attribute || ax == Axis::Namespace || ax == Axis::Self ||
                                ax == Axis::Descendant || ax == Axis::DescendantOrSelf;
                if (disjoint) {
                    NodeSet before;
                    evalPathPrefix(a, c, before);
                    if (before.size() <= 1 || (before.ordered && before.flat)) {
                        size_t total = 0;
                        for (const XNode& n : before.nodes) total += countAxis(n, ax, resolved(last.test));
                        return Value::ofNumber(static_cast<double>(total));
                    }
                    applyStep(last, before);
                    return Value::ofNumber(static_cast<double>(before.size()));
                }
            }
            return Value::ofNumber(static_cast<double>(set(0, "count").set.size()));
        }
        case Function::Id: {
            // No attribute is declared of type ID in this tree: the result is always empty.
            eval(args[0], c);
            return Value::ofSet({});
        }
        case Function::LocalName: {
            XNode n;
            if (!firstNode(*this, e, c, n)) return Value::ofString({});
            std::string_view name = nodeName(n);
            return Value::ofString(std::string(n.kind == NodeKind::Namespace ? name : splitQName(name).local));
        }
        case Function::NamespaceUri: {
            XNode n;
            if (!firstNode(*this, e, c, n)) return Value::ofString({});
            if (n.kind == NodeKind::Element) return Value::ofString(std::string(elementNamespace(n.element)));
            if (n.kind == NodeKind::Attribute) {
                return Value::ofString(std::string(attributeNamespace(n.element, static_cast<int32_t>(n.index))));
            }
            return Value::ofString({});
        }
        case Function::Name: {
            XNode n;
            if (!firstNode(*this, e, c, n)) return Value::ofString({});
            return Value::ofString(std::string(nodeName(n)));
        }
        case Function::String: return Value::ofString(str(0));
        case Function::Concat: {
            std::string out;
            for (size_t i = 0; i < args.size(); ++i) out += str(i);
            return Value::ofString(std::move(out));
        }
        case Function::StartsWith: {
            std::string a = str(0), b = str(1);
            return Value::ofBoolean(a.compare(0, b.size(), b) == 0 && a.size() >= b.size());
        }
        case Function::Contains: {
            std::string a = str(0), b = str(1);
            return Value::ofBoolean(a.find(b) != std::string::npos);
        }
        case Function::SubstringBefore: {
            std::string a = str(0), b = str(1);
            size_t at = a.find(b);
            return Value::ofString(at == std::string::npos ? std::string() : a.substr(0, at));
        }
        case Function::SubstringAfter: {
            std::string a = str(0), b = str(1);
            size_t at = a.find(b);
            return Value::ofString(at == std::string::npos ? std::string() : a.substr(at + b.size()));
        }
        case Function::Substring: {
            std::string s = str(0);
            double start = roundHalfUp(num(1));
            double end = args.size() > 2 ? start + roundHalfUp(num(2)) : std::numeric_limits<double>::infinity();
            // Characters at positions p with start <= p < end; every comparison with NaN fails.
            std::string out;
            double p = 1;
            for (size_t i = 0; i < s.size(); p += 1) {
                size_t n = std::min(charLength(static_cast<unsigned char>(s[i])), s.size() - i);
                if (p >= start && p < end) out.append(s, i, n);
                i += n;
            }
            return Value::ofString(std::move(out));
        }
        case Function::StringLength: return Value::ofNumber(static_cast<double>(countCharacters(str(0))));
        case Function::NormalizeSpace: {
            std::string s = str(0), out;
            bool pending = false;
            for (char ch : s) {
                if (isSpace(ch)) {
                    pending = !out.empty();
                    continue;
                }
                if (pending) out += ' ';
                pending = false;
                out += ch;
            }
            return Value::ofString(std::move(out));
        }
        case Function::Translate: {
            std::string s = str(0), from = str(1), to = str(2);
            std::vector<std::string_view> f = characters(from), t = characters(to);
            std::string out;
            for (std::string_view ch : characters(s)) {
                size_t k = 0;
                while (k < f.size() && f[k] != ch) ++k;
                if (k == f.size()) {
                    out.append(ch);
                } else if (k < t.size()) {
                    out.append(t[k]);
                }
            }
            return Value::ofString(std::move(out));
        }
        case Function::Boolean: return Value::ofBoolean(toBoolean(eval(args[0], c)));
        case Function::Not: return Value::ofBoolean(!toBoolean(eval(args[0], c)));
        case Function::True: return Value::ofBoolean(true);
        case Function::False: return Value::ofBoolean(false);
        case Function::Lang: {
            std::string want = str(0);
            const TreeNode* e0 = c.node.kind == NodeKind::Document ? nullptr : c.node.element;
            for (const TreeNode* a = e0; a; a = a->parent()) {
                const AttributeSet& attrs = a->attributes();
                for (int32_t i = 0, n = attrs.count(); i < n; ++i) {
                    if (attrs.name(i) != "xml:lang") continue;
                    std::string_view lang = attrs.value(i);
                    if (lang.size() < want.size()) return Value::ofBoolean(false);
                    for (size_t k = 0; k < want.size(); ++k) {
                        auto lower = [](char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch; };
                        if (lower(lang[k]) != lower(want[k])) return Value::ofBoolean(false);
                    }
                    return Value::ofBoolean(lang.size() == want.size() || lang[want.size()] == '-');
                }
            }
            return Value::ofBoolean(false);
        }
        case Function::Number:
            if (args.empty()) return Value::ofNumber(stringToNumber(stringValueOf(c.node)));
            return Value::ofNumber(num(0));
        case Function::Sum: {
            Value v = set(0, "sum");
            double total = 0;
            for (const XNode& x : v.set.nodes) total += stringToNumber(stringValue(x, scratchA_));
            return Value::ofNumber(total);
        }
        case Function::Floor: return Value::ofNumber(std::floor(num(0)));
        case Function::Ceiling: return Value::ofNumber(std::ceil(num(0)));
        case Function::Round: return Value::ofNumber(roundHalfUp(num(0)));
    }
    return {};
}

}  // namespace quorvel::xpath
