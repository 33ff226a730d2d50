#include "xpath/xpath_cache.h"

#include "tree/tree_node.h"

namespace quorvel::xpath {

DocumentXPath& DocumentXPath::of(const TreeNode* node) {
    TreeInfo* tree = node->tree();
    TreeAttachment* a = tree->attachment();
    if (!a) a = tree->installAttachment(new DocumentXPath);
    return *static_cast<DocumentXPath*>(a);
}

DocumentXPath* DocumentXPath::find(const TreeNode* node) {
    return node->tree() ? static_cast<DocumentXPath*>(node->tree()->attachment()) : nullptr;
}

std::shared_ptr<const Query> DocumentXPath::query(std::string_view text, CompileError& err) {
    std::string key(text);
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = queries_.find(key);
        if (it != queries_.end()) return it->second;
    }
    // Compiled outside the lock; when a racing thread stored the same text first, its copy is kept.
    std::shared_ptr<const Query> q = Query::compile(text, err);
    if (!q) return nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    auto it = queries_.find(key);
    if (it != queries_.end()) return it->second;
    ++compiles_;
    if (queries_.size() >= kCapacity) queries_.clear();
    queries_.emplace(std::move(key), q);
    return q;
}

void DocumentXPath::setNamespace(std::string prefix, std::string uri) {
    std::lock_guard<std::mutex> guard(lock_);
    auto fresh = std::make_shared<Bindings>(*bindings_);
    fresh->setNamespace(std::move(prefix), std::move(uri));
    bindings_ = std::move(fresh);
}

void DocumentXPath::setVariable(std::string name, Value value) {
    std::lock_guard<std::mutex> guard(lock_);
    auto fresh = std::make_shared<Bindings>(*bindings_);
    fresh->setVariable(std::move(name), std::move(value));
    bindings_ = std::move(fresh);
}

std::shared_ptr<const Bindings> DocumentXPath::bindings() {
    std::lock_guard<std::mutex> guard(lock_);
    return bindings_;
}

DocumentFacts DocumentXPath::facts(const TreeNode* node) {
    const TreeInfo* tree = node->tree();
    std::lock_guard<std::mutex> guard(lock_);
    if (!factsKnown_ || factsAt_ != tree->changeCount()) {
        facts_ = examineDocument(rootElementOf(node));
        factsAt_ = tree->changeCount();
        factsKnown_ = true;
    }
    return facts_;
}

bool DocumentXPath::evaluate(const Query& query, const TreeNode* context, Value& out, EvalError& err) {
    DocumentFacts f = facts(context);
    std::shared_ptr<const Bindings> b = bindings();
    return query.evaluate(context, *b, out, err, &f);
}

uint64_t DocumentXPath::compileCount() {
    std::lock_guard<std::mutex> guard(lock_);
    return compiles_;
}

}  // namespace quorvel::xpath
