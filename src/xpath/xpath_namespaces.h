// Namespaces resolved from the xmlns attributes in scope, as the Namespaces Recommendation binds
// them: `xml` always, `xmlns` reserved, xmlns="" undeclaring the default. The tree keeps
// qualified names; these functions give their parts and meanings.
#pragma once
#include <string_view>
#include <vector>

#include "xpath/xpath_node.h"

namespace quorvel {
class TreeNode;
}

namespace quorvel::xpath {

inline constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
inline constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

struct QName {
    std::string_view prefix;  // empty when the name has none
    std::string_view local;
};
// "p:l" gives p and l; a name without a colon, or with it first or last, has no prefix.
QName splitQName(std::string_view name);

// Whether an attribute name declares a namespace ("xmlns" or "xmlns:p").
inline bool isNamespaceDeclaration(std::string_view name) {
    return name.size() >= 5 && name.substr(0, 5) == "xmlns" && (name.size() == 5 || name[5] == ':');
}

// The URI bound to prefix (empty: the default namespace) on element e, searching e and its
// ancestors. False when unbound or, for the default, undeclared; `xml` and `xmlns` are always
// bound. Costs the depth times the attributes on the way.
bool lookupNamespace(const TreeNode* e, std::string_view prefix, std::string_view& uri);
// The namespace URI of the element's own name and of its attribute i; empty for none (also for
// an unbound prefix).
std::string_view elementNamespace(const TreeNode* e);
std::string_view attributeNamespace(const TreeNode* e, int32_t i);

// The namespace nodes of element e (every prefix in scope, `xml` last), in the order the
// namespace axis gives them.
void namespaceNodes(const TreeNode* e, std::vector<XNode>& out);
// Prefix (empty for the default) and URI of a namespace node.
std::string_view namespaceNodePrefix(const XNode& n);
std::string_view namespaceNodeUri(const XNode& n);

// Whether the tree declares a non-empty default namespace anywhere; the first such URI. Walks
// the tree.
bool findDefaultNamespace(const TreeNode* root, std::string_view& uri);

}  // namespace quorvel::xpath
