#pragma once
#include <string_view>

namespace quorvel {

class StringBuffer;
class TreeNode;

// Appends the XML text of node and everything below it to out. A root is preceded by its tree's
// declaration line and doctype text. The format is fixed: no indentation, a LF after every end
// tag, no empty-element form, content escaped and wrapped after column 80, CDATA content as one
// section, and "nothing" written for a missing or empty tag. Null writes nothing.
void serialize(const TreeNode* node, StringBuffer& out);

// As serialize, with each element on a line of its own preceded by `indent` once per level below
// node: a start tag, then its content on the same line; children on the lines after it and the
// end tag on a line of its own at the start tag's indentation; an element without children ends
// on its start tag's line. Content, attributes and the prolog are written exactly as serialize
// writes them. An empty indent is serialize itself, byte for byte.
// Cost: one pass, no recursion; each line adds its level's indentation, so a chain of n nested
// elements costs O(n^2) bytes of indentation, as any indented text of it does.
void serialize(const TreeNode* node, StringBuffer& out, std::string_view indent);

}  // namespace quorvel
