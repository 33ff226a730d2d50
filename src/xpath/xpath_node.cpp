#include "xpath/xpath_node.h"

#include "tree/tree_node.h"

namespace quorvel::xpath {

const TreeNode* rootElementOf(const TreeNode* e) {
    while (e->parent()) e = e->parent();
    return e;
}

namespace {

int rank(NodeKind k) {
    switch (k) {
        case NodeKind::Document: return 0;
        case NodeKind::Element: return 1;
        case NodeKind::Namespace: return 2;
        case NodeKind::Attribute: return 3;
        case NodeKind::Text: return 4;
    }
    return 5;
}

int depthOf(const TreeNode* e) {
    int d = 0;
    for (; e->parent(); e = e->parent()) ++d;
    return d;
}

}  // namespace

bool documentOrderLess(const XNode& a, const XNode& b) {
    if (a.element == b.element) {
        int ra = rank(a.kind), rb = rank(b.kind);
        if (ra != rb) return ra < rb;
        return a.index < b.index;
    }
    // The document node shares its element with the root; everything else comes after it.
    if (a.kind == NodeKind::Document) return true;
    if (b.kind == NodeKind::Document) return false;
    const TreeNode* x = a.element;
    const TreeNode* y = b.element;
    int dx = depthOf(x), dy = depthOf(y);
    // An ancestor element, with all of its own nodes, precedes its descendants.
    while (dx > dy) {
        x = x->parent();
        --dx;
        if (x == y) return false;
    }
    while (dy > dx) {
        y = y->parent();
        --dy;
        if (y == x) return true;
    }
    while (x->parent() != y->parent()) {
        x = x->parent();
        y = y->parent();
    }
    return x->siblingOrder() < y->siblingOrder();
}

bool isModelAncestor(const XNode& a, const XNode& b) {
    if (a.kind == NodeKind::Document) return b.kind != NodeKind::Document;
    if (a.kind != NodeKind::Element) return false;
    if (b.kind != NodeKind::Element && b.kind != NodeKind::Document && b.element == a.element) return true;
    return a.element->isAncestorOf(b.element);
}

}  // namespace quorvel::xpath
