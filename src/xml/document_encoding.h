#pragma once
#include "tree/text_ref.h"

namespace quorvel {

class StringBuffer;
class TreeInfo;

// The document's declared encoding and standalone flag live in its tree, as the "encoding" and
// "standalone" attributes of the declaration node. The getters empty out and answer whether the
// value exists; a tree without declaration node has neither.
bool getEncoding(const TreeInfo* tree, StringBuffer& out);
bool getStandalone(const TreeInfo* tree, StringBuffer& out);

// Store the value as the last attribute of the declaration node, replacing any earlier one.
// A tree without declaration node first gets one, tagged "xml", with version "1.0".
void setEncoding(TreeInfo* tree, TextRef value);
void setStandalone(TreeInfo* tree, TextRef value);

}  // namespace quorvel
