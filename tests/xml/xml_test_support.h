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

// A compact, unambiguous picture of a tree without recursion: tag, then ` name='value'` per
// attribute, then ` "content"` (or ` [content]` when flagged CDATA), then `{child,child}`.
inline std::string dump(const TreeNode* top) {
    if (!top) return "(none)";
    std::string s;
    const TreeNode* n = top;
    for (;;) {
        s += n->tagView();
        for (int32_t i = 0; i < n->attributeCount(); ++i) {
            s += ' ';
            s += n->attributes().name(i);
            s += "='";
            s += n->attributes().value(i);
            s += '\'';
        }
        if (n->hasContent() || n->cdata()) {
            s += n->cdata() ? " [" : " \"";
            s += n->contentView();
            s += n->cdata() ? "]" : "\"";
        }
        if (n->firstChild()) {
            s += "{";
            n = n->firstChild();
            continue;
        }
        while (n != top && !n->nextSibling()) {
            n = n->parent();
            s += "}";
        }
        if (n == top) return s;
        s += ",";
        n = n->nextSibling();
    }
}

}  // namespace quorvel::test
