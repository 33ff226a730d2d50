#include "xpath/xpath_eval.h"

#include <cmath>
#include <limits>
#include <unordered_set>

#include "tree/tree_node.h"
#include "xpath/xpath_namespaces.h"

namespace quorvel::xpath {

void throwEvalError(const char* message, std::string name) {
    EvalFailure f;
    f.error.message = message;
    f.error.name = std::move(name);
    throw f;
}

void Bindings::setNamespace(std::string prefix, std::string uri) {
    for (auto it = namespaces.begin(); it != namespaces.end(); ++it) {
        if (it->first == prefix) {
            if (uri.empty()) {
                namespaces.erase(it);
            } else {
                it->second = std::move(uri);
            }
            return;
        }
    }
    if (!uri.empty()) namespaces.emplace_back(std::move(prefix), std::move(uri));
}

void Bindings::setVariable(std::string name, Value value) {
    for (auto& v : variables) {
        if (v.first == name) {
            v.second = std::move(value);
            return;
        }
    }
    variables.emplace_back(std::move(name), std::move(value));
}

const std::string* Bindings::namespaceUri(std::string_view prefix) const {
    for (const auto& b : namespaces) {
        if (b.first == prefix) return &b.second;
    }
    return nullptr;
}

const Value* Bindings::variable(std::string_view name) const {
    for (const auto& v : variables) {
        if (v.first == name) return &v.second;
    }
    return nullptr;
}

DocumentFacts examineDocument(const TreeNode* root) {
    DocumentFacts facts;
    facts.declaresNamespaces = false;
    const TreeNode* n = root;
    for (;;) {
        const AttributeSet& attrs = n->attributes();
        for (int32_t i = 0, c = attrs.count(); i < c; ++i) {
            if (isNamespaceDeclaration(attrs.name(i))) {
                facts.declaresNamespaces = true;
                return facts;
            }
        }
        if (const TreeNode* c = n->firstChild()) {
            n = c;
            continue;
        }
        while (n != root && !n->nextSibling()) n = n->parent();
        if (n == root) return facts;
        n = n->nextSibling();
    }
}

Evaluator::Evaluator(const Program& program, const Bindings& bindings, const DocumentFacts& facts)
    : program_(program), bindings_(bindings), facts_(facts) {
    for (const std::string& prefix : program.prefixes) {
        const std::string* uri = bindings.namespaceUri(prefix);
        if (!uri) {
            if (prefix == "xml") {
                prefixUris_.push_back(kXmlNamespace);
                continue;
            }
            throwEvalError("Unbound XPath namespace prefix", prefix);
        }
        prefixUris_.push_back(*uri);
    }
    for (const std::string& name : program.variables) {
        if (!bindings.variable(name)) throwEvalError("Unknown XPath variable", name);
    }
    if (const std::string* d = bindings.namespaceUri("")) defaultUri_ = *d;
    tests_.resize(static_cast<size_t>(program.testCount));
    for (const auto& e : program.nodes) {
        for (const Step& s : e->steps) {
            ResolvedTest& r = tests_[static_cast<size_t>(s.test.id)];
            r.test = &s.test;
            bool elementTest = s.axis != Axis::Attribute && s.axis != Axis::Namespace;
            if (s.test.prefixSlot >= 0) {
                r.uri = prefixUris_[static_cast<size_t>(s.test.prefixSlot)];
            } else if (elementTest) {
                r.uri = defaultUri_;
            }
            r.checkNamespace = facts.declaresNamespaces || !r.uri.empty();
        }
    }
}

Value Evaluator::eval(const Expr* e, const Context& c) {
    countWork();
    switch (e->kind) {
        case ExprKind::Literal: return Value::ofString(e->text);
        case ExprKind::Number: return Value::ofNumber(e->number);
        case ExprKind::Variable: return *bindings_.variable(e->text);
        case ExprKind::Negate: {
            double d = toNumber(eval(e->args[0], c));
            return Value::ofNumber(e->negations % 2 ? -d : d);
        }
        case ExprKind::Chain: return evalChain(e, c);
        case ExprKind::Call: return evalCall(e, c);
        case ExprKind::Path: return evalPath(e, c);
    }
    return {};
}

namespace {

double arithmetic(Op op, double a, double b) {
    switch (op) {
        case Op::Add: return a + b;
        case Op::Sub: return a - b;
        case Op::Mul: return a * b;
        case Op::Div: return a / b;
        case Op::Mod: return std::fmod(a, b);
        default: return 0;
    }
}

bool compareNumbers(Op op, double a, double b) {
    switch (op) {
        case Op::Eq: return a == b;
        case Op::Ne: return a != b;
        case Op::Lt: return a < b;
        case Op::Le: return a <= b;
        case Op::Gt: return a > b;
        case Op::Ge: return a >= b;
        default: return false;
    }
}

// The operator with its operands exchanged: a < b is b > a.
Op mirrored(Op op) {
    switch (op) {
        case Op::Lt: return Op::Gt;
        case Op::Le: return Op::Ge;
        case Op::Gt: return Op::Lt;
        case Op::Ge: return Op::Le;
        default: return op;
    }
}

void mergeUnion(NodeSet& into, NodeSet&& other) {
    if (other.empty()) return;
    if (into.empty()) {
        into = std::move(other);
        return;
    }
    into.nodes.insert(into.nodes.end(), other.nodes.begin(), other.nodes.end());
    into.ordered = false;
    into.flat = false;
    into.normalize();
}

}  // namespace

namespace {

bool isComparison(Op op) { return op == Op::Eq || op == Op::Ne || op == Op::Lt || op == Op::Le || op == Op::Gt || op == Op::Ge; }

// A path whose last step can be tested node by node: its predicates read no position, so each
// candidate passes or fails on its own.
bool lastStepIsTestable(const Expr* e) {
    if (e->kind != ExprKind::Path || e->steps.empty()) return false;
    for (const Expr* p : e->steps.back().predicates) {
        if (p->readsPosition || p->type == ValueType::Number || p->anyType) return false;
    }
    return true;
}

// Whether a value may be a node-set, as far as the expression tells before evaluation.
bool mayBeNodeSet(const Expr* e) { return e->type == ValueType::NodeSet || e->anyType; }

struct SomeComparison {
    const Step* step;
    Op op;
    const Value* other;
};

bool passesPredicates(Evaluator& ev, const Step& step, const XNode& x) {
    for (const Expr* p : step.predicates) {
        if (!ev.evalBoolean(p, Context{x, 1, 1})) return false;
    }
    return true;
}

}  // namespace

Value Evaluator::pathStart(const Expr* e, const Context& c) {
    Value v;
    if (e->filter) {
        v = eval(e->filter, c);
        if (v.type != ValueType::NodeSet) {
            throwEvalError("XPath type error: a path or predicate applies to a node-set, not to this value",
                           typeName(v.type));
        }
        for (const Expr* p : e->filterPredicates) {
            if (v.set.empty()) break;
            filter(v.set.nodes, p);
        }
    } else if (e->absolute) {
        v.set.nodes.push_back(XNode::document(rootElementOf(c.node.element)));
    } else {
        v.set.nodes.push_back(c.node);
    }
    return v;
}

bool Evaluator::evalPathPrefix(const Expr* e, const Context& c, NodeSet& before) {
    if (e->steps.empty()) return false;
    Value v = pathStart(e, c);
    for (size_t i = 0; i + 1 < e->steps.size(); ++i) {
        if (v.set.empty()) break;
        applyStep(e->steps[i], v.set);
    }
    before = std::move(v.set);
    return true;
}

namespace {

bool allStepsTestable(const Expr* e) {
    if (e->kind != ExprKind::Path || e->steps.empty() || e->steps.size() > Evaluator::kWalkSteps) return false;
    for (const Step& s : e->steps) {
        for (const Expr* p : s.predicates) {
            if (p->readsPosition || p->type == ValueType::Number || p->anyType) return false;
        }
    }
    return true;
}

struct StepWalk {
    const Expr* path;
    size_t index;
    Evaluator::NodeTestFn test;
    void* data;
};

}  // namespace

bool Evaluator::anyFromStep(const Expr* path, size_t i, const XNode& n, NodeTestFn test, void* data) {
    const Step& step = path->steps[i];
    StepWalk w{path, i, test, data};
    return anyInAxis(n, step.axis, resolved(step.test), [](Evaluator& ev, const XNode& x, void* d) {
        const auto& w = *static_cast<const StepWalk*>(d);
        const Step& s = w.path->steps[w.index];
        if (!s.predicates.empty() && !passesPredicates(ev, s, x)) return false;
        if (w.index + 1 == w.path->steps.size()) return w.test(ev, x, w.data);
        return ev.anyFromStep(w.path, w.index + 1, x, w.test, w.data);
    }, &w);
}

bool Evaluator::anyAlongPath(const Expr* e, const Context& c, NodeTestFn test, void* data) {
    if (allStepsTestable(e) && !e->filter) {
        XNode start = e->absolute ? XNode::document(rootElementOf(c.node.element)) : c.node;
        return anyFromStep(e, 0, start, test, data);
    }
    Value v = eval(e, c);
    if (v.type != ValueType::NodeSet) return false;
    for (const XNode& x : v.set.nodes) {
        if (test(*this, x, data)) return true;
    }
    return false;
}

bool Evaluator::firstString(const Expr* e, const Context& c, std::string& out) {
    if (e->kind != ExprKind::Path || e->filter || !allStepsTestable(e)) return false;
    for (size_t i = 0; i < e->steps.size(); ++i) {
        Axis a = e->steps[i].axis;
        bool inOrder = a == Axis::Child || a == Axis::Attribute || a == Axis::Self || a == Axis::Namespace ||
                       (i + 1 == e->steps.size() && (a == Axis::Descendant || a == Axis::DescendantOrSelf));
        if (!inOrder) return false;
    }
    out.clear();
    XNode start = e->absolute ? XNode::document(rootElementOf(c.node.element)) : c.node;
    anyFromStep(e, 0, start, [](Evaluator& ev, const XNode& x, void* d) {
        std::string& s = *static_cast<std::string*>(d);
        s.assign(stringValue(x, ev.scratchB_));
        return true;
    }, &out);
    return true;
}

bool Evaluator::evalBoolean(const Expr* e, const Context& c) {
    countWork();
    switch (e->kind) {
        case ExprKind::Path: {
            if (allStepsTestable(e) && !e->filter) {
                return anyAlongPath(e, c, [](Evaluator&, const XNode&, void*) { return true; }, nullptr);
            }
            if (!lastStepIsTestable(e)) break;
            NodeSet before;
            evalPathPrefix(e, c, before);
            const Step& last = e->steps.back();
            const ResolvedTest& t = resolved(last.test);
            for (const XNode& n : before.nodes) {
                if (last.predicates.empty()) {
                    if (anyInAxis(n, last.axis, t, [](Evaluator&, const XNode&, void*) { return true; }, nullptr)) return true;
                } else if (anyInAxis(n, last.axis, t, [](Evaluator& ev, const XNode& x, void* step) {
                               return passesPredicates(ev, *static_cast<const Step*>(step), x);
                           }, const_cast<Step*>(&last))) {
                    return true;
                }
            }
            return false;
        }
        case ExprKind::Chain: {
            Op first = e->ops[0];
            if (first == Op::Or || first == Op::And) {
                bool isOr = first == Op::Or;
                for (const Expr* a : e->args) {
                    if (evalBoolean(a, c) == isOr) return isOr;
                }
                return !isOr;
            }
            if (e->ops.size() == 1 && isComparison(first)) {
                const Expr* a = e->args[0];
                const Expr* b = e->args[1];
                if (lastStepIsTestable(a) && !a->anyType && !mayBeNodeSet(b)) {
                    return compareSome(a, first, eval(b, c), true, c);
                }
                if (lastStepIsTestable(b) && !b->anyType && !mayBeNodeSet(a)) {
                    return compareSome(b, first, eval(a, c), false, c);
                }
                if (lastStepIsTestable(a) && b->kind == ExprKind::Variable) {
                    const Value& other = *bindings_.variable(b->text);
                    if (other.type != ValueType::NodeSet) return compareSome(a, first, other, true, c);
                    return compare(first, eval(a, c), other);
                }
                Value va = eval(a, c);
                return compare(first, va, eval(b, c));
            }
            break;
        }
        case ExprKind::Call:
            if (e->function == Function::Not) return !evalBoolean(e->args[0], c);
            if (e->function == Function::Boolean) return evalBoolean(e->args[0], c);
            break;
        default:
            break;
    }
    return toBoolean(eval(e, c));
}

bool Evaluator::compareSome(const Expr* path, Op op, const Value& other, bool pathFirst, const Context& c) {
    if (other.type == ValueType::Boolean) {
        Value p = Value::ofBoolean(evalBoolean(path, c));
        return pathFirst ? compare(op, p, other) : compare(op, other, p);
    }
    const Step& last = path->steps.back();
    SomeComparison sc{&last, pathFirst ? op : mirrored(op), &other};
    if (allStepsTestable(path) && !path->filter) {
        return anyAlongPath(path, c, [](Evaluator& ev, const XNode& x, void* data) {
            const auto& s = *static_cast<const SomeComparison*>(data);
            std::string_view v = stringValue(x, ev.scratchA_);
            if (s.other->type == ValueType::Number) return compareNumbers(s.op, stringToNumber(v), s.other->number);
            if (s.op == Op::Eq) return v == s.other->string;
            if (s.op == Op::Ne) return v != s.other->string;
            return compareNumbers(s.op, stringToNumber(v), stringToNumber(s.other->string));
        }, &sc);
    }
    NodeSet before;
    evalPathPrefix(path, c, before);
    const ResolvedTest& t = resolved(last.test);
    for (const XNode& n : before.nodes) {
        bool found = anyInAxis(n, last.axis, t, [](Evaluator& ev, const XNode& x, void* data) {
            const auto& s = *static_cast<const SomeComparison*>(data);
            if (!s.step->predicates.empty() && !passesPredicates(ev, *s.step, x)) return false;
            std::string_view v = stringValue(x, ev.scratchA_);
            if (s.other->type == ValueType::Number) return compareNumbers(s.op, stringToNumber(v), s.other->number);
            if (s.op == Op::Eq) return v == s.other->string;
            if (s.op == Op::Ne) return v != s.other->string;
            return compareNumbers(s.op, stringToNumber(v), stringToNumber(s.other->string));
        }, &sc);
        if (found) return true;
    }
    return false;
}

Value Evaluator::evalChain(const Expr* e, const Context& c) {
    Op first = e->ops[0];
    if (first == Op::Or || first == Op::And || (isComparison(first) && e->ops.size() == 1)) {
        return Value::ofBoolean(evalBoolean(e, c));
    }
    if (first == Op::Or || first == Op::And) {
        // Left to right, stopping at the first operand that decides.
        bool isOr = first == Op::Or;
        for (const Expr* a : e->args) {
            if (toBoolean(eval(a, c)) == isOr) return Value::ofBoolean(isOr);
        }
        return Value::ofBoolean(!isOr);
    }
    Value acc = eval(e->args[0], c);
    for (size_t i = 0; i < e->ops.size(); ++i) {
        Op op = e->ops[i];
        Value rhs = eval(e->args[i + 1], c);
        switch (op) {
            case Op::Union:
                if (acc.type != ValueType::NodeSet || rhs.type != ValueType::NodeSet) {
                    throwEvalError("XPath type error: the operands of '|' must be node-sets", "|");
                }
                mergeUnion(acc.set, std::move(rhs.set));
                break;
            case Op::Add: case Op::Sub: case Op::Mul: case Op::Div: case Op::Mod:
                acc = Value::ofNumber(arithmetic(op, toNumber(acc), toNumber(rhs)));
                break;
            default:
                acc = Value::ofBoolean(compare(op, acc, rhs));
                break;
        }
    }
    return acc;
}

bool Evaluator::compare(Op op, const Value& a, const Value& b) {
    const bool equality = op == Op::Eq || op == Op::Ne;
    if (a.type == ValueType::NodeSet && b.type == ValueType::NodeSet) {
        if (a.set.empty() || b.set.empty()) return false;
        if (equality) {
            if (op == Op::Eq && a.set.size() * b.set.size() > 64) {
                std::unordered_set<std::string> values;
                for (const XNode& x : a.set.nodes) values.emplace(stringValue(x, scratchA_));
                for (const XNode& y : b.set.nodes) {
                    if (values.count(std::string(stringValue(y, scratchB_)))) return true;
                }
                return false;
            }
            for (const XNode& x : a.set.nodes) {
                std::string sx(stringValue(x, scratchA_));
                for (const XNode& y : b.set.nodes) {
                    if ((stringValue(y, scratchB_) == sx) == (op == Op::Eq)) return true;
                }
            }
            return false;
        }
        for (const XNode& x : a.set.nodes) {
            double dx = stringToNumber(stringValue(x, scratchA_));
            for (const XNode& y : b.set.nodes) {
                if (compareNumbers(op, dx, stringToNumber(stringValue(y, scratchB_)))) return true;
            }
        }
        return false;
    }
    if (a.type == ValueType::NodeSet || b.type == ValueType::NodeSet) {
        const bool setFirst = a.type == ValueType::NodeSet;
        const Value& set = setFirst ? a : b;
        const Value& other = setFirst ? b : a;
        Op o = setFirst ? op : mirrored(op);
        if (other.type == ValueType::Boolean) return compareNumbers(o, toBoolean(set) ? 1 : 0, other.boolean ? 1 : 0);
        if (other.type == ValueType::Number) {
            for (const XNode& x : set.set.nodes) {
                if (compareNumbers(o, stringToNumber(stringValue(x, scratchA_)), other.number)) return true;
            }
            return false;
        }
        if (equality) {
            for (const XNode& x : set.set.nodes) {
                if ((stringValue(x, scratchA_) == other.string) == (o == Op::Eq)) return true;
            }
            return false;
        }
        double d = stringToNumber(other.string);
        for (const XNode& x : set.set.nodes) {
            if (compareNumbers(o, stringToNumber(stringValue(x, scratchA_)), d)) return true;
        }
        return false;
    }
    if (equality) {
        if (a.type == ValueType::Boolean || b.type == ValueType::Boolean) {
            return compareNumbers(op, toBoolean(a) ? 1 : 0, toBoolean(b) ? 1 : 0);
        }
        if (a.type == ValueType::Number || b.type == ValueType::Number) return compareNumbers(op, toNumber(a), toNumber(b));
        return (a.string == b.string) == (op == Op::Eq);
    }
    return compareNumbers(op, toNumber(a), toNumber(b));
}

constexpr size_t kPredicateLookahead = 4;

void Evaluator::filter(std::vector<XNode>& list, const Expr* predicate) {
    // A number keeps the node at that position; anything else is taken as a boolean.
    if (predicate->kind == ExprKind::Number) {
        double d = predicate->number;
        size_t keep = (d >= 1 && d <= static_cast<double>(list.size()) && d == std::floor(d)) ? static_cast<size_t>(d) : 0;
        if (keep) {
            XNode x = list[keep - 1];
            list.assign(1, x);
        } else {
            list.clear();
        }
        return;
    }
    size_t size = list.size(), kept = 0;
    for (size_t i = 0; i < size; ++i) {
        // The parser lays an element out just before its first children, so the node a few
        // places ahead and the next half kilobyte after it are what its predicate will read; on
        // a large document each of those reads was a cache miss.
        if (i + kPredicateLookahead < size && list[i + kPredicateLookahead].kind == NodeKind::Element) {
            const char* ahead = reinterpret_cast<const char*>(list[i + kPredicateLookahead].element);
            for (int line = 0; line < 8; ++line) __builtin_prefetch(ahead + 64 * line);
        }
        Context c{list[i], i + 1, size};
        bool keep;
        if (predicate->type == ValueType::Number || predicate->anyType) {
            Value v = eval(predicate, c);
            keep = v.type == ValueType::Number ? v.number == static_cast<double>(i + 1) : toBoolean(v);
        } else {
            keep = evalBoolean(predicate, c);
        }
        if (keep) list[kept++] = list[i];
    }
    list.resize(kept);
}

void Evaluator::applyStep(const Step& step, NodeSet& set) {
    const ResolvedTest& test = resolved(step.test);
    const Axis axis = step.axis;
    const bool single = set.size() <= 1;
    bool reverse = isReverseAxis(axis);
    std::vector<XNode> out;
    std::vector<XNode> local;
    for (const XNode& n : set.nodes) {
        if (step.predicates.empty() && !reverse) {
            collectAxis(n, axis, test, out, 0);
            continue;
        }
        local.clear();
        collectAxis(n, axis, test, local, step.positionLimit);
        for (const Expr* p : step.predicates) {
            if (local.empty()) break;
            filter(local, p);
        }
        if (reverse) {
            out.insert(out.end(), local.rbegin(), local.rend());
        } else {
            out.insert(out.end(), local.begin(), local.end());
        }
    }
    bool leafAxis = axis == Axis::Attribute || axis == Axis::Namespace;
    bool flatAxis = axis == Axis::Child || leafAxis || axis == Axis::Self || axis == Axis::Parent ||
                    axis == Axis::FollowingSibling || axis == Axis::PrecedingSibling;
    NodeSet result;
    result.nodes = std::move(out);
    if (single) {
        result.ordered = true;
        result.flat = flatAxis;
    } else if (set.ordered && set.flat && (axis == Axis::Child || leafAxis || axis == Axis::Self)) {
        result.ordered = true;
        result.flat = true;
    } else if (set.ordered && set.flat && (axis == Axis::Descendant || axis == Axis::DescendantOrSelf)) {
        result.ordered = true;
        result.flat = false;
    } else if (set.ordered && (leafAxis || axis == Axis::Self)) {
        result.ordered = true;
        result.flat = leafAxis || set.flat;
    } else {
        result.ordered = false;
        result.flat = false;
        result.normalize();
    }
    set = std::move(result);
}

Value Evaluator::evalPath(const Expr* e, const Context& c) {
    Value v = pathStart(e, c);
    for (const Step& s : e->steps) {
        if (v.set.empty()) break;
        applyStep(s, v.set);
    }
    return v;
}

bool evaluateProgram(const Program& program, const TreeNode* context, const Bindings& bindings,
                     const DocumentFacts& facts, Value& out, EvalError& err) {
    try {
        Evaluator ev(program, bindings, facts);
        out = ev.eval(program.root, Context{XNode::of(context), 1, 1});
        if (out.type == ValueType::NodeSet) out.set.normalize();
        return true;
    } catch (EvalFailure& f) {
        err = std::move(f.error);
        return false;
    }
}

}  // namespace quorvel::xpath
