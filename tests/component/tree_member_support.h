// Helpers for the tests of the tree members: documents built through NewChild from a compact
// description, and the shape of a subtree read straight from the nodes.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "component/node_handle.h"
#include "component_test_support.h"
#include "tree/tree_node.h"

namespace quorvel::test {

inline TreeNode* nodeOf(IQuorvelXml* h) { return CQuorvelXml::fromInterface(h)->node(); }

inline ComPtr<IQuorvelXml> adoptResult(IQuorvelXml* p) { return ComPtr<IQuorvelXml>::adopt(p); }

// A new child through NewChild.
inline ComPtr<IQuorvelXml> addChild(IQuorvelXml* parent, std::string_view tag, std::string_view content = "") {
    ComPtr<IQuorvelXml> c;
    EXPECT_EQ(parent->NewChild(bstr(tag).get(), bstr(content).get(), c.put()), S_OK);
    return c;
}

// Builds children below parent from "a=text(b c) d": space-separated elements, each a tag with
// an optional =content and an optional parenthesised list of its own children.
inline void build(IQuorvelXml* parent, std::string_view shape) {
    std::vector<ComPtr<IQuorvelXml>> stack;
    IQuorvelXml* current = parent;
    ComPtr<IQuorvelXml> last;
    size_t i = 0;
    while (i < shape.size()) {
        const char c = shape[i];
        if (c == ' ') {
            ++i;
        } else if (c == '(') {
            stack.push_back(last);
            current = last.get();
            ++i;
        } else if (c == ')') {
            stack.pop_back();
            current = stack.empty() ? parent : stack.back().get();
            ++i;
        } else {
            size_t end = shape.find_first_of(" ()", i);
            if (end == std::string_view::npos) end = shape.size();
            const std::string_view item = shape.substr(i, end - i);
            const size_t eq = item.find('=');
            last = addChild(current, item.substr(0, eq),
                            eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1));
            i = end;
        }
    }
}

// A subtree as "tag=content(child child)", read from the nodes themselves.
inline std::string shapeOf(const TreeNode* n) {
    std::string s(n->tagView());
    if (n->hasContent()) {
        s += '=';
        s += n->contentView();
    }
    if (!n->hasChildren()) return s;
    s += "(";
    for (const TreeNode* c = n->firstChild(); c; c = c->nextSibling()) {
        s += shapeOf(c);
        if (c->nextSibling()) s += " ";
    }
    return s + ")";
}

inline std::string shape(IQuorvelXml* h) { return shapeOf(nodeOf(h)); }

// A new document whose root is tagged root and holds shape.
inline ComPtr<IQuorvelXml> document(std::string_view shape, std::string_view root = "root") {
    ComPtr<IQuorvelXml> h = newHandle();
    h->put_Tag(bstr(root).get());
    build(h.get(), shape);
    return h;
}

}  // namespace quorvel::test
