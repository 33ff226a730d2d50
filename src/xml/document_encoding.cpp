#include "xml/document_encoding.h"

#include "core/string_buffer.h"
#include "tree/tree_node.h"

namespace quorvel {

namespace {

bool getPseudoAttribute(const TreeInfo* tree, const char* name, StringBuffer& out) {
    out.clear();
    const TreeNode* declaration = tree ? tree->declaration() : nullptr;
    return declaration && declaration->attributeValue(name, out);
}

void setPseudoAttribute(TreeInfo* tree, const char* name, TextRef value) {
    if (!tree) return;
    TreeNode* declaration = tree->declaration();
    if (!declaration) {
        declaration = TreeNode::newTree("xml");
        declaration->addAttribute("version", "1.0");
        tree->setDeclaration(declaration);
    }
    declaration->updateAttribute(name, value);
}

}  // namespace

bool getEncoding(const TreeInfo* tree, StringBuffer& out) { return getPseudoAttribute(tree, "encoding", out); }
bool getStandalone(const TreeInfo* tree, StringBuffer& out) { return getPseudoAttribute(tree, "standalone", out); }
void setEncoding(TreeInfo* tree, TextRef value) { setPseudoAttribute(tree, "encoding", value); }
void setStandalone(TreeInfo* tree, TextRef value) { setPseudoAttribute(tree, "standalone", value); }

}  // namespace quorvel
