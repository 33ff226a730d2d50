#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tree/tree_node.h"

namespace quorvel::test {

// Checks every structural invariant of the tree holding node, without recursion: sibling links
// and indexed access agree, parents and records are consistent, and the tree's handle count is
// the sum of its nodes' counts. Returns the number of nodes.
inline size_t checkTree(TreeNode* node) {
    TreeNode* root = node->root();
    EXPECT_NE(root, nullptr);
    if (!root) return 0;
    EXPECT_EQ(root->parent(), nullptr);
    EXPECT_EQ(root->nextSibling(), nullptr);
    EXPECT_EQ(root->previousSibling(), nullptr);
    TreeInfo* info = root->tree();
    size_t nodes = 0;
    int64_t handles = 0;
    std::vector<TreeNode*> stack{root};
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        ++nodes;
        handles += n->handleCount();
        EXPECT_EQ(n->tree(), info);
        EXPECT_GE(n->handleCount(), 0);
        int32_t i = 0;
        TreeNode* prev = nullptr;
        for (TreeNode* c = n->firstChild(); c; prev = c, c = c->nextSibling(), ++i) {
            EXPECT_EQ(c->parent(), n);
            EXPECT_EQ(c->previousSibling(), prev);
            EXPECT_EQ(n->childAt(i), c);
            stack.push_back(c);
        }
        EXPECT_EQ(i, n->childCount());
        EXPECT_EQ(n->lastChild(), prev);
        EXPECT_EQ(n->childAt(i), nullptr);
        EXPECT_EQ(n->childAt(-1), nullptr);
    }
    EXPECT_EQ(handles, info->handleCount());
    return nodes;
}

// prefix followed by n in decimal (spelled out so that optimised sanitizer builds stay quiet).
inline std::string numbered(const char* prefix, long n) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%ld", prefix, n);
    return buf;
}

inline std::vector<std::string> childTags(const TreeNode* n) {
    std::vector<std::string> tags;
    for (TreeNode* c = n->firstChild(); c; c = c->nextSibling()) tags.emplace_back(c->tagView());
    return tags;
}

}  // namespace quorvel::test
