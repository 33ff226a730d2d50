#include "xpath/xpath_namespaces.h"

#include <algorithm>

#include "tree/tree_node.h"

namespace quorvel::xpath {

namespace {

// A namespace node is named by the element it belongs to and by where its declaration lies: how
// many levels up, and which attribute there (16 bits each). The `xml` binding has its own index.
constexpr uint32_t kXmlNode = 0xFFFFFFFFu;

const TreeNode* declaringElement(const XNode& n) {
    const TreeNode* e = n.element;
    for (uint32_t up = n.index >> 16; up > 0 && e; --up) e = e->parent();
    return e;
}

// The prefix an attribute declares: empty for "xmlns".
std::string_view declaredPrefix(std::string_view name) { return name.size() == 5 ? std::string_view() : name.substr(6); }

}  // namespace

QName splitQName(std::string_view name) {
    size_t colon = name.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == name.size()) return {{}, name};
    return {name.substr(0, colon), name.substr(colon + 1)};
}

bool lookupNamespace(const TreeNode* e, std::string_view prefix, std::string_view& uri) {
    if (prefix == "xml") {
        uri = kXmlNamespace;
        return true;
    }
    if (prefix == "xmlns") {
        uri = kXmlnsNamespace;
        return true;
    }
    for (; e; e = e->parent()) {
        const AttributeSet& attrs = e->attributes();
        for (int32_t i = 0, n = attrs.count(); i < n; ++i) {
            std::string_view name = attrs.name(i);
            if (name.size() < 5 || name[0] != 'x' || !isNamespaceDeclaration(name)) continue;
            if (declaredPrefix(name) != prefix) continue;
            uri = attrs.value(i);
            return !uri.empty();
        }
    }
    return false;
}

std::string_view elementNamespace(const TreeNode* e) {
    std::string_view uri;
    return lookupNamespace(e, splitQName(e->tagView()).prefix, uri) ? uri : std::string_view();
}

std::string_view attributeNamespace(const TreeNode* e, int32_t i) {
    QName q = splitQName(e->attributes().name(i));
    std::string_view uri;
    if (q.prefix.empty()) return {};
    return lookupNamespace(e, q.prefix, uri) ? uri : std::string_view();
}

void namespaceNodes(const TreeNode* e, std::vector<XNode>& out) {
    // Seen prefixes: a nearer declaration hides a farther one, and an undeclared default hides
    // the defaults above it.
    std::vector<std::string_view> seen;
    uint32_t up = 0;
    for (const TreeNode* a = e; a && up < 0xFFFF; a = a->parent(), ++up) {
        const AttributeSet& attrs = a->attributes();
        for (int32_t i = 0, n = std::min<int32_t>(attrs.count(), 0xFFFF); i < n; ++i) {
            std::string_view name = attrs.name(i);
            if (!isNamespaceDeclaration(name)) continue;
            std::string_view prefix = declaredPrefix(name);
            if (prefix == "xml" || prefix == "xmlns") continue;
            if (std::find(seen.begin(), seen.end(), prefix) != seen.end()) continue;
            seen.push_back(prefix);
            if (attrs.value(i).empty()) continue;
            out.push_back({e, NodeKind::Namespace, (up << 16) | static_cast<uint32_t>(i)});
        }
    }
    out.push_back({e, NodeKind::Namespace, kXmlNode});
}

std::string_view namespaceNodePrefix(const XNode& n) {
    if (n.index == kXmlNode) return "xml";
    const TreeNode* d = declaringElement(n);
    return d ? declaredPrefix(d->attributes().name(static_cast<int32_t>(n.index & 0xFFFF))) : std::string_view();
}

std::string_view namespaceNodeUri(const XNode& n) {
    if (n.index == kXmlNode) return kXmlNamespace;
    const TreeNode* d = declaringElement(n);
    return d ? d->attributes().value(static_cast<int32_t>(n.index & 0xFFFF)) : std::string_view();
}

bool findDefaultNamespace(const TreeNode* root, std::string_view& uri) {
    const TreeNode* n = root;
    for (;;) {
        const AttributeSet& attrs = n->attributes();
        for (int32_t i = 0, c = attrs.count(); i < c; ++i) {
            if (attrs.name(i) == "xmlns" && !attrs.value(i).empty()) {
                uri = attrs.value(i);
                return true;
            }
        }
        if (const TreeNode* c = n->firstChild()) {
            n = c;
            continue;
        }
        while (n != root && !n->nextSibling()) n = n->parent();
        if (n == root) return false;
        n = n->nextSibling();
    }
}

}  // namespace quorvel::xpath
