#pragma once

namespace quorvel {

class StringBuffer;
class TreeNode;

// Appends the XML text of node and everything below it to out. A root is preceded by its tree's
// declaration line and doctype text. The format is fixed: no indentation, a LF after every end
// tag, no empty-element form, content escaped and wrapped after column 80, CDATA content as one
// section, and "nothing" written for a missing or empty tag. Null writes nothing.
void serialize(const TreeNode* node, StringBuffer& out);

}  // namespace quorvel
