#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tree/tree_node.h"

namespace quorvel::test {

// Checks the links, indexed access, records and handle counts of the tree holding node, without
// recursion. Returns the number of nodes.
inline size_t checkTree(TreeNode* node) {
    TreeNode* root = node->root();
    EXPECT_NE(root, nullptr);
    if (!root) return 0;
    EXPECT_EQ(root->nextSibling(), nullptr);
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

// Builds a tree from text such as "r(a:x(c),b(d))": a tag, an optional ":content", then the
// children in parentheses, separated by commas.
inline TreeNode* build(const std::string& text) {
    size_t i = 0;
    auto token = [&] {
        size_t start = i;
        while (i < text.size() && std::string("():,").find(text[i]) == std::string::npos) ++i;
        return text.substr(start, i - start);
    };
    auto at = [&](char c) { return i < text.size() && text[i] == c && ++i; };
    TreeNode* root = nullptr;
    TreeNode* parent = nullptr;
    for (;;) {
        TreeNode* node = TreeNode::newChild(parent, token());
        if (!root) root = node;
        if (at(':')) node->setContent(token().c_str());
        if (at('(')) {
            parent = node;
            continue;
        }
        while (at(')')) parent = parent->parent();
        if (!at(',')) return root;
    }
}

// The inverse of build, for comparing whole trees.
inline std::string describe(const TreeNode* n) {
    std::string out(n->tagView());
    if (n->hasContent()) {
        out += ':';
        out += n->contentView();
    }
    if (!n->hasChildren()) return out;
    out += "(";
    for (TreeNode* c = n->firstChild(); c; c = c->nextSibling()) {
        if (c != n->firstChild()) out += ',';
        out += describe(c);
    }
    return out + ")";
}

}  // namespace quorvel::test
