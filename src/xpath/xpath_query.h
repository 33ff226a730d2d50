// The engine's entry: an expression compiled once, evaluated any number of times on any tree.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "xpath/xpath_ast.h"
#include "xpath/xpath_eval.h"
#include "xpath/xpath_parser.h"
#include "xpath/xpath_value.h"

namespace quorvel {
class TreeNode;
}

namespace quorvel::xpath {

// Immutable once made, so one query may be evaluated by several threads at once.
class Query {
public:
    // The compiled expression, or null with err filled.
    static std::shared_ptr<const Query> compile(std::string_view text, CompileError& err);

    const Program& program() const { return *program_; }
    const std::string& text() const { return program_->text; }

    // Evaluates with context as the context node. facts may be null: the tree is examined then.
    bool evaluate(const TreeNode* context, const Bindings& bindings, Value& out, EvalError& err,
                  const DocumentFacts* facts = nullptr) const;

    // When the query has unprefixed element name tests, the bindings give no default namespace
    // and the context's tree declares one: a one-line note naming the binding that would match
    // those elements. Empty otherwise.
    std::string defaultNamespaceHint(const TreeNode* context, const Bindings& bindings) const;

private:
    explicit Query(std::unique_ptr<Program> p) : program_(std::move(p)) {}
    std::unique_ptr<Program> program_;
};

}  // namespace quorvel::xpath
