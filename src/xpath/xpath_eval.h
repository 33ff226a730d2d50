// Evaluation of a compiled Program over the tree. The evaluator follows the expression's tree
// by recursion, whose depth the parser bounds (kMaxNesting); it never recurses along the
// document: axes walk the tree's links.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xpath/xpath_ast.h"
#include "xpath/xpath_value.h"

namespace quorvel {
class TreeNode;
}

namespace quorvel::xpath {

// Namespace and variable bindings an evaluation resolves names against. The empty prefix binds
// the namespace of unprefixed element name tests.
struct Bindings {
    std::vector<std::pair<std::string, std::string>> namespaces;
    std::vector<std::pair<std::string, Value>> variables;
    // When not 0, an evaluation that takes more steps than this (expressions evaluated and nodes
    // gathered) fails with "XPath evaluation exceeded its work limit": for callers that run
    // untrusted expressions. Nested predicates can ask for work exponential in their depth.
    uint64_t workLimit = 0;

    void setNamespace(std::string prefix, std::string uri);  // an empty uri removes the binding
    void setVariable(std::string name, Value value);
    const std::string* namespaceUri(std::string_view prefix) const;
    const Value* variable(std::string_view name) const;
};

// What an evaluation may know of the whole document beforehand.
struct DocumentFacts {
    // Whether any element of the tree carries an xmlns attribute. Without any, every name is in
    // no namespace and name tests compare pooled tags alone.
    bool declaresNamespaces = true;
};
DocumentFacts examineDocument(const TreeNode* root);

struct EvalError {
    std::string message;  // "Unknown XPath variable", "Unbound XPath namespace prefix", ...
    std::string name;     // the variable, prefix or function concerned
};

// Evaluates program with context as the context node (position 1, size 1). The result's
// node-set, if any, is in document order.
bool evaluateProgram(const Program& program, const TreeNode* context, const Bindings& bindings,
                     const DocumentFacts& facts, Value& out, EvalError& err);

// ---- Internals shared by the evaluator's files ----

struct EvalFailure {
    EvalError error;
};
[[noreturn]] void throwEvalError(const char* message, std::string name);

struct Context {
    XNode node;
    size_t position = 1;
    size_t size = 1;
};

// A node test with its prefix resolved for one evaluation.
struct ResolvedTest {
    const NodeTest* test = nullptr;
    std::string_view uri;   // the namespace a Name or PrefixAny test asks for
    bool checkNamespace = true;  // false when the tree declares none and the test asks for none
};

class Evaluator {
public:
    Evaluator(const Program& program, const Bindings& bindings, const DocumentFacts& facts);
    Value eval(const Expr* e, const Context& c);

    // Appends the nodes of step's axis from n that pass its test, in the axis's order (reverse
    // document order for the reverse axes), stopping after limit of them (0: no limit).
    void collectAxis(const XNode& n, Axis axis, const ResolvedTest& t, std::vector<XNode>& out, uint32_t limit);
    size_t countAxis(const XNode& n, Axis axis, const ResolvedTest& t);
    // Whether test holds for some node of the axis that passes t; stops at the first.
    bool anyInAxis(const XNode& n, Axis axis, const ResolvedTest& t, bool (*test)(Evaluator&, const XNode&, void*),
                   void* data);
    // The expression as a boolean, without gathering a node-set where one node decides.
    bool evalBoolean(const Expr* e, const Context& c);
    using NodeTestFn = bool (*)(Evaluator&, const XNode&, void*);
    // Whether test holds for some node of path e. Paths of at most kWalkSteps steps without
    // positional predicates are walked step within step, stopping at the first node that
    // passes, without gathering node-sets; the rest are evaluated and scanned.
    bool anyAlongPath(const Expr* e, const Context& c, NodeTestFn test, void* data);
    static constexpr size_t kWalkSteps = 8;
    // The string-value of the first node of e in document order when e is a path that the walk
    // above yields in document order (child, attribute, self and namespace steps, the last may
    // be descendant); false when e is another expression. found tells whether e had a node.
    bool firstString(const Expr* e, const Context& c, std::string& out);
    std::string scratchA_, scratchB_;
    const ResolvedTest& resolved(const NodeTest& test) const { return tests_[static_cast<size_t>(test.id)]; }

private:
    bool anyFromStep(const Expr* path, size_t i, const XNode& n, NodeTestFn test, void* data);
    template <class Sink>
    void walkAxis(const XNode& n, Axis axis, const ResolvedTest& t, Sink& sink);
    // Whether element e passes a Name test: pooled tags compared first, namespaces only for
    // candidates.
    bool elementNameMatches(const TreeNode* e, const ResolvedTest& t);
    // The default namespace in scope on e, remembering the last parent asked about.
    std::string_view defaultNamespaceOf(const TreeNode* e);
    // Where a path's steps start: its filter's node-set after the filter's predicates, the document
    // node for an absolute path, else the context node.
    Value pathStart(const Expr* e, const Context& c);
    // For a path: the nodes before its last step (false when the path has no steps to split).
    bool evalPathPrefix(const Expr* e, const Context& c, NodeSet& before);
    // Whether some node of path compares true with a value that is not a node-set.
    bool compareSome(const Expr* path, Op op, const Value& other, bool pathFirst, const Context& c);
    Value evalChain(const Expr* e, const Context& c);
    Value evalPath(const Expr* e, const Context& c);
    Value evalCall(const Expr* e, const Context& c);
    void applyStep(const Step& step, NodeSet& set);
    // Keeps the nodes of list (in proximity order) for which the predicate holds.
    void filter(std::vector<XNode>& list, const Expr* predicate);
    bool compare(Op op, const Value& a, const Value& b);
    bool matches(const XNode& n, Axis axis, const ResolvedTest& t);

    const Program& program_;
    const Bindings& bindings_;
    DocumentFacts facts_;
    std::vector<std::string_view> prefixUris_;
    std::string_view defaultUri_;
    std::vector<ResolvedTest> tests_;  // by NodeTest::id
    uint64_t work_ = 0;
    void countWork() {
        if (++work_ > bindings_.workLimit && bindings_.workLimit) {
            throwEvalError("XPath evaluation exceeded its work limit", std::to_string(bindings_.workLimit));
        }
    }
    const TreeNode* memoParent_ = nullptr;
    std::string_view memoUri_;
};

}  // namespace quorvel::xpath
