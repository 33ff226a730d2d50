// What a document keeps for XPath, attached to its tree record: the namespace and variable
// bindings every handle on it sees, the facts examined of the tree, and its compiled queries,
// so evaluating an expression again does not parse it again. Safe for threads sharing a
// document: every access takes the document's lock, and an evaluation works on snapshots.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tree/tree_info.h"
#include "xpath/xpath_query.h"

namespace quorvel::xpath {

class DocumentXPath final : public TreeAttachment {
public:
    // The state of the tree node lies in, made on first use.
    static DocumentXPath& of(const TreeNode* node);
    // The state if the tree has one already; none otherwise.
    static DocumentXPath* find(const TreeNode* node);

    // The compiled query for text, compiled on the first request only. At most kCapacity are
    // kept; past that, the cache starts over.
    std::shared_ptr<const Query> query(std::string_view text, CompileError& err);
    static constexpr size_t kCapacity = 256;

    void setNamespace(std::string prefix, std::string uri);
    void setVariable(std::string name, Value value);
    std::shared_ptr<const Bindings> bindings();
    // The tree's facts, examined again only after the tree changed.
    DocumentFacts facts(const TreeNode* node);

    // Evaluates query on context (a node of this document) with the document's bindings.
    bool evaluate(const Query& query, const TreeNode* context, Value& out, EvalError& err);

    // How many expressions this document has compiled (for tests of the cache).
    uint64_t compileCount();

private:
    std::mutex lock_;
    std::unordered_map<std::string, std::shared_ptr<const Query>> queries_;
    std::shared_ptr<const Bindings> bindings_ = std::make_shared<Bindings>();
    uint64_t compiles_ = 0;
    bool factsKnown_ = false;
    uint64_t factsAt_ = 0;
    DocumentFacts facts_;
};

}  // namespace quorvel::xpath
