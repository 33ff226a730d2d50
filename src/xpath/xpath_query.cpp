#include "xpath/xpath_query.h"

#include "xpath/xpath_namespaces.h"

namespace quorvel::xpath {

std::shared_ptr<const Query> Query::compile(std::string_view text, CompileError& err) {
    std::unique_ptr<Program> p = compileProgram(text, err);
    if (!p) return nullptr;
    return std::shared_ptr<const Query>(new Query(std::move(p)));
}

bool Query::evaluate(const TreeNode* context, const Bindings& bindings, Value& out, EvalError& err,
                     const DocumentFacts* facts) const {
    DocumentFacts examined;
    if (!facts) {
        examined = examineDocument(rootElementOf(context));
        facts = &examined;
    }
    return evaluateProgram(*program_, context, bindings, *facts, out, err);
}

std::string Query::defaultNamespaceHint(const TreeNode* context, const Bindings& bindings) const {
    if (!program_->unprefixedElementTests || bindings.namespaceUri("")) return {};
    std::string_view uri;
    if (!findDefaultNamespace(rootElementOf(context), uri)) return {};
    std::string u(uri);
    return "Unprefixed XPath names match elements in no namespace, but this document's elements are in the "
           "default namespace \"" + u + "\": SetXPathNamespace(\"\", \"" + u + "\") makes them match";
}

}  // namespace quorvel::xpath
