#pragma once
#include <memory>
#include <string>
#include <vector>

#include "charset/charset_test_support.h"
#include "core/progress_monitor.h"
#include "core/string_buffer.h"
#include "tree/tree_node.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

namespace quorvel::test {

struct TreeDeleter {
    void operator()(TreeNode* n) const { TreeNode::destroyTree(n); }
};
using TreePtr = std::unique_ptr<TreeNode, TreeDeleter>;

struct PercentRecorder : FireComEvent {
    std::vector<uint32_t> percents;
    void FireEvent(uint32_t, uint32_t, uint32_t percent, uint32_t) override { percents.push_back(percent); }
};

inline TreePtr parseString(const std::string& s, LogBase* log = nullptr, ProgressMonitor* m = nullptr) {
    return TreePtr(parse(s.data(), s.size(), log, m));
}

inline std::string serialized(const TreeNode* n) {
    StringBuffer out;
    serialize(n, out);
    return std::string(out.view());
}

// A compact, unambiguous picture of a tree: tag, then ` name='value'` per attribute, then
// ` "content"` (or ` [content]` when flagged CDATA), then `{child,child}`.
inline std::string dump(const TreeNode* n) {
    if (!n) return "(none)";
    std::string s(n->tagView());
    for (int32_t i = 0; i < n->attributeCount(); ++i) {
        s += " " + std::string(n->attributes().name(i)) + "='" + std::string(n->attributes().value(i)) + "'";
    }
    if (n->hasContent() || n->cdata()) {
        s += (n->cdata() ? " [" : " \"") + std::string(n->contentView()) + (n->cdata() ? "]" : "\"");
    }
    for (const TreeNode* c = n->firstChild(); c; c = c->nextSibling()) {
        s += (c == n->firstChild() ? "{" : ",") + dump(c) + (c->nextSibling() ? "" : "}");
    }
    return s;
}

}  // namespace quorvel::test
