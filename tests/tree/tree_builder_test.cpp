#include "tree/tree_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tree/node_arena.h"
#include "tree/tree_node.h"
#include "tree_check.h"

namespace quorvel {
namespace {

TEST(NodeArena, PiecesStayInsideAPageAndChunksEndWithTheirLastPieceSingleOrBatched) {
    int64_t before = NodeArena::liveChunks();
    std::vector<void*> pieces;
    {
        NodeArena arena;
        std::mt19937 rng(3);
        for (int i = 0; i < 20000; ++i) {
            size_t n = 1 + rng() % (i % 50 == 0 ? NodeArena::kLargestPiece : 120);
            void* p = arena.allocate(n);
            auto at = reinterpret_cast<uintptr_t>(p);
            ASSERT_EQ(at % 8, 0u);
            ASSERT_EQ(at / NodeArena::kPageBytes, (at + n - 1) / NodeArena::kPageBytes) << "a piece crosses a page";
            std::memset(p, 0xAB, n);  // the sanitizer run checks the room is really there
            pieces.push_back(p);
        }
        EXPECT_THROW(arena.allocate(NodeArena::kLargestPiece + 1), std::bad_alloc);
        // Half of the pieces end while the arena still carves, on another thread.
        std::thread t([&] {
            for (size_t i = 0; i < pieces.size(); i += 2) NodeArena::release(pieces[i]);
        });
        t.join();
    }
    std::vector<void*> rest;
    for (size_t i = 1; i < pieces.size(); i += 2) rest.push_back(pieces[i]);
    std::shuffle(rest.begin(), rest.end(), std::mt19937(4));
    {
        NodeArena::ReleaseBatch batch;
        for (void* p : rest) batch.add(p);
        EXPECT_GT(NodeArena::liveChunks(), before) << "nothing is freed before the batch gives its counts back";
    }
    EXPECT_EQ(NodeArena::liveChunks(), before);
}

// A tree as a parser builds it: every piece carved from the arena, child lists laid out at close.
TreeNode* buildCatalog(TreeBuilder& b, int items) {
    TreeNode* root = b.open(CommonStrings::intern("catalog"));
    for (int i = 0; i < items; ++i) {
        TreeNode* item = b.open(CommonStrings::intern("item"));
        std::string id = std::to_string(i);
        TextRef n[] = {"id", "", "kind"};
        TextRef v[] = {id, "dropped", "part"};
        b.setAttributes(item, n, v, 3);
        TreeNode* name = b.open(CommonStrings::intern("name"));
        b.setContent(name, ("item " + id).data(), ("item " + id).size());
        b.close();
        b.open(nullptr);
        b.close();
        b.close();
    }
    EXPECT_EQ(b.close(), root);
    return root;
}

TEST(TreeBuilder, BuiltTreesAreOrdinaryTreesUnderEveryChange) {
    int64_t chunks = NodeArena::liveChunks();
    size_t tags = CommonStrings::entryCount();
    TreeNode* root;
    {
        TreeBuilder b;
        root = buildCatalog(b, 300);
    }
    EXPECT_EQ(test::checkTree(root), 1u + 300 * 3);
    root->addHandleRef();
    TreeNode* item = root->childAt(7);
    EXPECT_EQ(item->attributeCount(), 2) << "the empty name is dropped";

    // Contents live in the arena until the first change, which may read from the content itself.
    TreeNode* name = item->firstChild();
    name->setContentBytes(name->contentData() + 5, 1);
    EXPECT_STREQ(name->contentData(), "7");

    // Exact attribute blocks and child lists grow into ordinary ones; children leave anywhere.
    for (int i = 0; i < 40; ++i) item->addAttribute("a" + std::to_string(i), std::string(i, 'v'));
    EXPECT_EQ(item->attributes().value(41), std::string(39, 'v'));
    TreeNode::newChild(item, "extra");
    EXPECT_EQ(item->childAt(2)->tagView(), "extra");
    for (TreeNode* gone : {root->childAt(0), root->childAt(150), root->lastChild()}) {
        gone->detachFromParent();
        TreeNode::destroyTree(gone);
    }
    root->sortChildren(ChildSortKey::Attribute, false, "id");
    EXPECT_EQ(test::checkTree(root), 1u + 297 * 3 + 1);

    // A built subtree kept while the rest goes, then merged into an ordinary tree.
    TreeNode* kept = root->childAt(20);
    kept->addHandleRef();
    kept->detachFromParent();
    root->releaseHandleRef();
    TreeNode::destroyTree(root);
    EXPECT_GT(NodeArena::liveChunks(), chunks) << "the kept subtree holds its chunk";
    TreeNode* holder = TreeNode::newTree("holder");
    ASSERT_TRUE(holder->appendChild(kept));
    EXPECT_EQ(test::checkTree(holder), 4u);
    kept->releaseHandleRef();
    TreeNode::destroyTree(holder);
    EXPECT_EQ(NodeArena::liveChunks(), chunks);
    EXPECT_EQ(CommonStrings::entryCount(), tags);
}

// One attribute takes a short way when both texts are short and the page has room; every other
// case must come out the same.
TEST(TreeBuilder, OneAttributeOfEverySize) {
    const std::string big(NodeArena::kLargestPiece, 'v');
    const std::string sizes[] = {"", "n", std::string(32, 'n'), std::string(33, 'n'), big};
    TreeNode* root;
    {
        TreeBuilder b;
        root = b.open(CommonStrings::intern("r"));
        for (int round = 0; round < 200; ++round) {  // enough to fill pages at every offset
            for (const std::string& name : sizes) {
                for (const std::string& value : sizes) {
                    TreeNode* e = b.open(nullptr);
                    b.setAttribute(e, name, value);
                    b.close();
                }
            }
        }
        b.close();
    }
    TreeNode* e = root->firstChild();
    for (int round = 0; round < 200; ++round) {
        for (const std::string& name : sizes) {
            for (const std::string& value : sizes) {
                ASSERT_EQ(e->attributeCount(), name.empty() ? 0 : 1);
                if (!name.empty()) {
                    ASSERT_EQ(e->attributes().name(0), name);
                    ASSERT_EQ(e->attributes().value(0), value);
                }
                e = e->nextSibling();
            }
        }
    }
    e = root->childAt(7);
    e->updateAttribute("n", "grown past its piece");  // a built block gives way to one of its own
    EXPECT_EQ(e->attributes().value(e->attributeCount() - 1), "grown past its piece");
    TreeNode::destroyTree(root);
}

TEST(TreeBuilder, OpenElementsAreCompletedAndLargePiecesLiveElsewhere) {
    int64_t chunks = NodeArena::liveChunks();
    TreeNode* root;
    std::string big(NodeArena::kLargestPiece * 3, 'b');
    {
        TreeBuilder b;
        root = b.open(CommonStrings::intern("r"));
        b.setContent(root, big.data(), big.size());
        TextRef n[] = {"a", "b"};
        TextRef v[] = {big, big};
        b.setAttributes(root, n, v, 2);
        for (int i = 0; i < 1000; ++i) {
            b.open(CommonStrings::intern("c"));
            b.close();
        }
        b.open(CommonStrings::intern("deep"));
        b.open(CommonStrings::intern("deeper"));
        b.setContent(b.current(), "x", 1);
        // The builder ends with three elements open.
    }
    EXPECT_EQ(test::checkTree(root), 1003u);
    EXPECT_EQ(root->contentView(), big);
    EXPECT_EQ(root->attributes().value(1), big);
    EXPECT_EQ(root->lastChild()->firstChild()->contentView(), "x");
    TreeNode::destroyTree(root);
    EXPECT_EQ(NodeArena::liveChunks(), chunks);

    // Trees of one builder die on other threads while it goes on building.
    std::vector<std::thread> threads;
    {
        TreeBuilder b;
        for (int t = 0; t < 4; ++t) {
            TreeNode* r = buildCatalog(b, 200);
            threads.emplace_back([r] { TreeNode::destroyTree(r); });
        }
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(NodeArena::liveChunks(), chunks);
}

// Shapes that make the builder's stack of open children outgrow its room at every depth: wide
// elements below deep chains, children that outgrow several rooms at once, and trees left open
// at the end. Every node is numbered by its content and checked against the shape it was built
// from.
TEST(TreeBuilder, AnyShapeComesOutAsBuilt) {
    std::mt19937 random(7);
    for (int round = 0; round < 6; ++round) {
        std::vector<std::vector<int>> children(1);  // children[0]: the top-level elements
        std::vector<TreeNode*> roots;
        int64_t chunks = NodeArena::liveChunks();
        {
            TreeBuilder b;
            std::vector<int> open;
            int made = 0;
            auto openOne = [&] {
                const int id = ++made;
                children[open.empty() ? 0 : static_cast<size_t>(open.back())].push_back(id);
                children.emplace_back();
                TreeNode* e = b.open(CommonStrings::intern("e"));
                if (open.empty()) roots.push_back(e);
                const std::string text = std::to_string(id);
                b.setContent(e, text.data(), text.size());
                open.push_back(id);
            };
            auto closeOne = [&] {
                b.close();
                open.pop_back();
            };
            while (made < 40000) {
                switch (random() % 4) {
                    case 0:  // a chain
                        for (int i = static_cast<int>(random() % 300); i > 0; --i) openOne();
                        break;
                    case 1: {  // a wide element, its children sometimes with children of their own
                        openOne();
                        const int wide = static_cast<int>(random() % 5000);
                        for (int i = 0; i < wide; ++i) {
                            openOne();
                            if (random() % 64 == 0) {
                                for (int j = static_cast<int>(random() % 40); j > 0; --j) {
                                    openOne();
                                    closeOne();
                                }
                            }
                            closeOne();
                        }
                        break;
                    }
                    default:  // back up some levels
                        for (int i = static_cast<int>(random() % 200); i > 0 && !open.empty(); --i) closeOne();
                }
            }
            if (round % 2) {
                while (!open.empty()) closeOne();
            }
            // Else the builder completes what is still open.
        }
        ASSERT_EQ(roots.size(), children[0].size());
        size_t checked = 0;
        for (size_t r = 0; r < roots.size(); ++r) {
            std::vector<std::pair<TreeNode*, int>> stack{{roots[r], children[0][r]}};
            while (!stack.empty()) {
                auto [node, id] = stack.back();
                stack.pop_back();
                ++checked;
                ASSERT_EQ(node->contentView(), std::to_string(id));
                const std::vector<int>& expected = children[static_cast<size_t>(id)];
                ASSERT_EQ(node->childCount(), static_cast<int32_t>(expected.size())) << "element " << id;
                size_t i = 0;
                for (TreeNode* c = node->firstChild(); c; c = c->nextSibling(), ++i) {
                    ASSERT_EQ(c->parent(), node);
                    ASSERT_EQ(node->childAt(static_cast<int32_t>(i)), c);
                    stack.push_back({c, expected[i]});
                }
            }
            TreeNode::destroyTree(roots[r]);
        }
        EXPECT_EQ(checked, children.size() - 1);
        EXPECT_EQ(NodeArena::liveChunks(), chunks);
    }
}

}  // namespace
}  // namespace quorvel
