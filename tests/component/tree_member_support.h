// Helpers for the tests of the tree members: the node behind a handle, and the shape of a
// subtree read straight from the nodes.
#pragma once
#include <string>
#include <string_view>

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

}  // namespace quorvel::test
