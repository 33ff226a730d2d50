#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

class TreeNode;

// Where the last breadth-first search of a tree stopped, so that the next search from the same
// node whose `after` is the node found can go on from there instead of walking the tree again.
// Hosts walk all matches that way, which is then linear in the tree rather than in matches times
// tree. The position is the same whatever the search tested, so any search may resume it.
// It is valid only while the tree's shape is the one it was recorded in: tags, contents and
// attributes may change meanwhile, as they change no node's place in the order and the nodes
// still ahead are tested as they are then. A change of shape, or a search that finds nothing,
// gives the queue's memory back; the record itself ends with its tree.
struct SearchCursor {
    const TreeNode* from = nullptr;   // the node the search started at
    const TreeNode* found = nullptr;  // the node it found last
    uint64_t reshapes = 0;            // the tree's reshape count when it was found
    // Nodes with children, in the order they were met; those from head on still have their
    // children to be visited. The children after found in its run come first.
    std::vector<TreeNode*> parents;
    size_t head = 0;
};

}  // namespace quorvel
