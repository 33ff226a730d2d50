#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tree/tag_pool.h"
#include "tree/tree_node.h"
#include "tree_check.h"

namespace quorvel {
namespace {

TEST(TagPool, InternSharesAndReleaseFrees) {
    size_t base = CommonStrings::entryCount();
    TagEntry* a = CommonStrings::intern("pool-a");
    TagEntry* b = CommonStrings::intern("pool-a\0x", 8);
    EXPECT_EQ(CommonStrings::intern(std::string("pool-a")), a);
    EXPECT_EQ(b->length(), 8u);
    EXPECT_EQ(b->text()[8], 0);
    EXPECT_EQ(CommonStrings::retain(a, 3), a);
    EXPECT_EQ(CommonStrings::refCount("pool-a"), 5);
    CommonStrings::release(a, 5);
    CommonStrings::release(b);
    EXPECT_EQ(CommonStrings::refCount("pool-a"), 0);

    // 100000 tags: the shards grow, then shrink again under scattered removals.
    std::vector<TagEntry*> entries;
    for (int i = 0; i < 100000; ++i) entries.push_back(CommonStrings::intern(test::numbered("t", i)));
    EXPECT_EQ(CommonStrings::entryCount(), base + 100000);
    for (size_t i = 0; i < entries.size(); i += 2) CommonStrings::release(entries[i]);
    for (int i = 0; i < 100000; ++i) {
        ASSERT_EQ(CommonStrings::refCount(test::numbered("t", i)), i % 2) << i;
        if (i % 2) {
            ASSERT_EQ(CommonStrings::intern(test::numbered("t", i)), entries[i]);
            CommonStrings::release(entries[i], 2);
        }
    }
    EXPECT_EQ(CommonStrings::entryCount(), base);
}

TEST(TagPool, ThreadsBuildDocumentsWithOverlappingTags) {
    size_t base = CommonStrings::entryCount();
    auto work = [](int seed) {
        for (int round = 0; round < 200; ++round) {
            TreeNode* root = TreeNode::newTree("doc");
            TreeNode* parent = root;
            for (int i = 0; i < 200; ++i) {
                // Tags shared by both threads, tags of one thread, tags that come and go, and
                // references taken in batches without the pool's locks.
                TreeNode* n = TreeNode::newChild(parent, test::numbered("t", (i * 7 + seed) % 30));
                if (i % 10 == 0) n->setTag(test::numbered(seed == 1 ? "ra" : "rb", round % 3));
                if (i % 25 == 0) parent = n;
                if (i % 50 == 0) {
                    CommonStrings::retain(n->tagEntry(), 3);
                    for (int k = 0; k < 3; ++k) TreeNode::newChildAdoptingTag(n, n->tagEntry());
                }
            }
            TreeNode::destroyTree(root);
        }
    };
    std::thread t1(work, 1), t2(work, 2);
    t1.join();
    t2.join();
    EXPECT_EQ(CommonStrings::entryCount(), base);
}

}  // namespace
}  // namespace quorvel
