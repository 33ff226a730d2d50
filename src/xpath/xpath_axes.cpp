// The thirteen axes over the tree and the node tests, walking links without recursion.
#include <algorithm>
#include <cstring>

#include "tree/tree_node.h"
#include "xpath/xpath_eval.h"
#include "xpath/xpath_namespaces.h"

namespace quorvel::xpath {

namespace {

XNode textOf(const TreeNode* e) { return {e, NodeKind::Text, 0}; }

// Appends the nodes of the subtree under top in document order: each element, its text, then
// its children. Stops when emit returns false; returns false then.
template <class Emit>
bool walkSubtree(const TreeNode* top, bool includeTop, Emit&& emit) {
    const TreeNode* n = top;
    bool first = true;
    for (;;) {
        if (!first || includeTop) {
            if (!emit(XNode::of(n))) return false;
        }
        if (n->hasContent() && !emit(textOf(n))) return false;
        first = false;
        if (const TreeNode* c = n->firstChild()) {
            n = c;
            continue;
        }
        while (n != top && !n->nextSibling()) n = n->parent();
        if (n == top) return true;
        n = n->nextSibling();
    }
}

}  // namespace

std::string_view Evaluator::defaultNamespaceOf(const TreeNode* e) {
    const AttributeSet& attrs = e->attributes();
    for (int32_t i = 0, c = attrs.count(); i < c; ++i) {
        if (attrs.name(i) == "xmlns") return attrs.value(i);
    }
    const TreeNode* p = e->parent();
    if (!p) return {};
    // Siblings tested one after another share the answer for their parent.
    if (p != memoParent_) {
        std::string_view uri;
        memoUri_ = lookupNamespace(p, {}, uri) ? uri : std::string_view();
        memoParent_ = p;
    }
    return memoUri_;
}

bool Evaluator::elementNameMatches(const TreeNode* e, const ResolvedTest& t) {
    const NodeTest& test = *t.test;
    if (test.tag && e->tagEntry() == test.tag) return !t.checkNamespace || defaultNamespaceOf(e) == t.uri;
    if (!t.checkNamespace) return false;
    // Another prefix bound to the same namespace: "q:local". The colon is checked before the bytes.
    const size_t n = test.local.size();
    std::string_view tag = e->tagView();
    if (tag.size() <= n + 1 || tag[tag.size() - n - 1] != ':') return false;
    if (std::memcmp(tag.data() + tag.size() - n, test.local.data(), n) != 0) return false;
    if (splitQName(tag).local.size() != n) return false;
    return elementNamespace(e) == t.uri;
}

bool Evaluator::matches(const XNode& n, Axis axis, const ResolvedTest& t) {
    const NodeTest& test = *t.test;
    switch (test.kind) {
        case TestKind::Node: return true;
        case TestKind::Text: return n.kind == NodeKind::Text;
        case TestKind::Comment:
        case TestKind::ProcessingInstruction: return false;
        default: break;
    }
    NodeKind principal = axis == Axis::Attribute ? NodeKind::Attribute
                       : axis == Axis::Namespace ? NodeKind::Namespace : NodeKind::Element;
    if (n.kind != principal) return false;
    if (principal == NodeKind::Element) {
        const TreeNode* e = n.element;
        if (test.kind == TestKind::AnyName) return true;
        if (test.kind == TestKind::PrefixAny) return elementNamespace(e) == t.uri;
        return elementNameMatches(e, t);
    }
    if (principal == NodeKind::Attribute) {
        int32_t i = static_cast<int32_t>(n.index);
        std::string_view name = n.element->attributes().name(i);
        if (test.kind == TestKind::AnyName) return true;
        if (test.kind == TestKind::PrefixAny) return !splitQName(name).prefix.empty() && attributeNamespace(n.element, i) == t.uri;
        if (test.prefixSlot < 0) return name == test.local;
        QName q = splitQName(name);
        return !q.prefix.empty() && q.local == test.local && attributeNamespace(n.element, i) == t.uri;
    }
    // Namespace nodes have no namespace of their own: only unprefixed names and `*` match.
    if (test.kind == TestKind::AnyName) return true;
    if (test.kind == TestKind::PrefixAny || test.prefixSlot >= 0) return false;
    return namespaceNodePrefix(n) == test.local;
}

template <class Sink>
void Evaluator::walkAxis(const XNode& n, Axis axis, const ResolvedTest& t, Sink& sink) {
    auto emit = [&](const XNode& x) { return !matches(x, axis, t) || sink(x); };
    const bool isElement = n.kind == NodeKind::Element;
    const bool isDocument = n.kind == NodeKind::Document;
    switch (axis) {
        case Axis::Self:
            emit(n);
            return;
        case Axis::Child:
            if (isDocument) {
                emit(XNode::of(n.element));
            } else if (isElement) {
                const TreeNode* e = n.element;
                if (e->hasContent() && !emit(textOf(e))) return;
                // A name test compares pooled tags inline here: the common `child::name` step.
                const NodeTest& test = *t.test;
                if (test.kind == TestKind::Name) {
                    for (const TreeNode* c = e->firstChild(); c; c = c->nextSibling()) {
                        if (elementNameMatches(c, t) && !sink(XNode::of(c))) return;
                    }
                    return;
                }
                for (const TreeNode* c = e->firstChild(); c; c = c->nextSibling()) {
                    if (!emit(XNode::of(c))) return;
                }
            }
            return;
        case Axis::Descendant:
        case Axis::DescendantOrSelf: {
            if (axis == Axis::DescendantOrSelf && !emit(n)) return;
            if (!isElement && !isDocument) return;
            const TreeNode* top = n.element;
            const NodeTest& test = *t.test;
            if (test.kind == TestKind::Name) {
                // `//name`: one walk over the elements, comparing pooled tags first.
                const TreeNode* e = top;
                bool includeTop = isDocument;
                for (;;) {
                    if ((includeTop || e != top) && elementNameMatches(e, t)) {
                        if (!sink(XNode::of(e))) return;
                    }
                    if (const TreeNode* c = e->firstChild()) {
                        e = c;
                        continue;
                    }
                    while (e != top && !e->nextSibling()) e = e->parent();
                    if (e == top) return;
                    e = e->nextSibling();
                }
            }
            if (test.kind == TestKind::AnyName) {
                const TreeNode* e = top;
                bool includeTop = isDocument;
                for (;;) {
                    if (includeTop || e != top) {
                        if (!sink(XNode::of(e))) return;
                    }
                    if (const TreeNode* c = e->firstChild()) {
                        e = c;
                        continue;
                    }
                    while (e != top && !e->nextSibling()) e = e->parent();
                    if (e == top) return;
                    e = e->nextSibling();
                }
            }
            if (isDocument) {
                walkSubtree(top, true, emit);
            } else {
                if (top->hasContent() && !emit(textOf(top))) return;
                for (const TreeNode* c = top->firstChild(); c; c = c->nextSibling()) {
                    if (!walkSubtree(c, true, emit)) return;
                }
            }
            return;
        }
        case Axis::Parent:
            if (isDocument) return;
            if (!isElement) {
                emit(XNode::of(n.element));
            } else if (n.element->parent()) {
                emit(XNode::of(n.element->parent()));
            } else {
                emit(XNode::document(n.element));
            }
            return;
        case Axis::Ancestor:
        case Axis::AncestorOrSelf: {
            if (axis == Axis::AncestorOrSelf && !emit(n)) return;
            if (isDocument) return;
            const TreeNode* e = n.element;
            if (!isElement && !emit(XNode::of(e))) return;
            for (; e->parent(); e = e->parent()) {
                if (!emit(XNode::of(e->parent()))) return;
            }
            emit(XNode::document(e));
            return;
        }
        case Axis::FollowingSibling:
            if (n.kind == NodeKind::Text) {
                for (const TreeNode* c = n.element->firstChild(); c; c = c->nextSibling()) {
                    if (!emit(XNode::of(c))) return;
                }
            } else if (isElement) {
                for (const TreeNode* c = n.element->nextSibling(); c; c = c->nextSibling()) {
                    if (!emit(XNode::of(c))) return;
                }
            }
            return;
        case Axis::PrecedingSibling:
            if (isElement && n.element->parent()) {
                for (const TreeNode* c = n.element->previousSibling(); c; c = c->previousSibling()) {
                    if (!emit(XNode::of(c))) return;
                }
                if (n.element->parent()->hasContent()) emit(textOf(n.element->parent()));
            }
            return;
        case Axis::Following: {
            if (isDocument) return;
            const TreeNode* e = n.element;
            if (!isElement) {
                // After an attribute, namespace or text node come the element's later nodes.
                if (n.kind != NodeKind::Text && e->hasContent() && !emit(textOf(e))) return;
                for (const TreeNode* c = e->firstChild(); c; c = c->nextSibling()) {
                    if (!walkSubtree(c, true, emit)) return;
                }
            }
            for (; e; e = e->parent()) {
                for (const TreeNode* s = e->nextSibling(); s; s = s->nextSibling()) {
                    if (!walkSubtree(s, true, emit)) return;
                }
            }
            return;
        }
        case Axis::Preceding: {
            if (isDocument) return;
            // Gathered forwards per sibling subtree, then given in reverse.
            std::vector<XNode> subtree;
            for (const TreeNode* e = n.element; e && e->parent(); e = e->parent()) {
                for (const TreeNode* s = e->previousSibling(); s; s = s->previousSibling()) {
                    subtree.clear();
                    walkSubtree(s, true, [&](const XNode& x) {
                        subtree.push_back(x);
                        return true;
                    });
                    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
                        if (!emit(*it)) return;
                    }
                }
                if (e->parent()->hasContent() && !emit(textOf(e->parent()))) return;
            }
            return;
        }
        case Axis::Attribute:
            if (isElement) {
                const AttributeSet& attrs = n.element->attributes();
                for (int32_t i = 0, c = attrs.count(); i < c; ++i) {
                    if (isNamespaceDeclaration(attrs.name(i))) continue;
                    if (!emit({n.element, NodeKind::Attribute, static_cast<uint32_t>(i)})) return;
                }
            }
            return;
        case Axis::Namespace:
            if (isElement) {
                std::vector<XNode> nodes;
                namespaceNodes(n.element, nodes);
                for (const XNode& x : nodes) {
                    if (!emit(x)) return;
                }
            }
            return;
    }
}

void Evaluator::collectAxis(const XNode& n, Axis axis, const ResolvedTest& t, std::vector<XNode>& out, uint32_t limit) {
    size_t start = out.size();
    auto sink = [&](const XNode& x) {
        countWork();
        out.push_back(x);
        return limit == 0 || out.size() - start < limit;
    };
    walkAxis(n, axis, t, sink);
}

size_t Evaluator::countAxis(const XNode& n, Axis axis, const ResolvedTest& t) {
    size_t count = 0;
    auto sink = [&](const XNode&) {
        ++count;
        return true;
    };
    walkAxis(n, axis, t, sink);
    return count;
}

bool Evaluator::anyInAxis(const XNode& n, Axis axis, const ResolvedTest& t, bool (*test)(Evaluator&, const XNode&, void*),
                          void* data) {
    bool found = false;
    auto sink = [&](const XNode& x) {
        countWork();
        found = test(*this, x, data);
        return !found;
    };
    walkAxis(n, axis, t, sink);
    return found;
}

}  // namespace quorvel::xpath
