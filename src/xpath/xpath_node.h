// The XPath data model over the tree: a node is an element, one of its attributes, its content
// text, a namespace node in scope on it, or the document node above a tree's root element.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {
class TreeNode;
}

namespace quorvel::xpath {

enum class NodeKind : uint8_t { Document, Element, Namespace, Attribute, Text };

// One node of the data model, by value. `element` is the element itself, or the element that
// owns the attribute, text or namespace node; for the document node, the tree's root element.
// `index` is the attribute's index in the element's attribute set, or the namespace node's
// index in the evaluation's namespace table. 16 bytes, compared by value.
struct XNode {
    const TreeNode* element = nullptr;
    NodeKind kind = NodeKind::Element;
    uint32_t index = 0;

    static XNode document(const TreeNode* root) { return {root, NodeKind::Document, 0}; }
    static XNode of(const TreeNode* e) { return {e, NodeKind::Element, 0}; }
    bool isElement() const { return kind == NodeKind::Element; }
    bool operator==(const XNode& o) const { return element == o.element && kind == o.kind && index == o.index; }
    bool operator!=(const XNode& o) const { return !(*this == o); }
};

// The topmost element above e (the tree's root element).
const TreeNode* rootElementOf(const TreeNode* e);

// Document order: true when a comes before b. Within one element: the element, its namespace
// nodes, its attributes, its text, then its children. Costs the depth of the two nodes.
// REQUIRES: a and b lie in one tree.
bool documentOrderLess(const XNode& a, const XNode& b);

// Whether a is an ancestor of b in the data model (an element above b's element, or the
// document node over any other node; a node's attributes and text have a as parent).
bool isModelAncestor(const XNode& a, const XNode& b);

}  // namespace quorvel::xpath
