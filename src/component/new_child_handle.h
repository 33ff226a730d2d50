// A new child element together with the handle that designates it, as NewChild and
// FindOrAddNewChild make them: the handle comes first, so when it cannot be made nothing is added.
#pragma once
#include <cstdint>

#include "quorvel/quorvel_xml.hpp"

namespace quorvel {

class TreeNode;

// Appends to parent a new last child tagged tag (trimmed by the caller; empty gives the empty tag)
// with content bytes[0..length) (none when length is 0), and returns a handle on it with one
// reference for the caller. None, with nothing added, when memory runs out.
IQuorvelXml* newChildHandle(TreeNode* parent, const char* tag, const char* bytes, int32_t length);

}  // namespace quorvel
