// Views of node texts: the stored bytes when they are well-formed UTF-8, else a repaired copy
// that reads as the host string would; and the life of those copies as nodes change and move.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/system/utf8.h"
#include "tree/text_views.h"
#include "tree/tree_node.h"

namespace quorvel {
namespace {

// What the owning members give: the text through a host string and back.
std::string throughHostString(std::string_view bytes) { return sys::toUtf8(sys::fromUtf8(bytes)); }

TEST(TextViews, EveryTextReadsAsItsHostString) {
    using namespace std::string_literals;
    const std::vector<std::string> texts = {
        "a", "field", "exactly8", "nine bytes", "a longer ascii text of more than sixteen bytes",
        "caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC", "\xF0\x9F\x98\x80 smile", "\xEF\xBF\xBD",  // U+FFFD itself
        "x\0y"s, "\xFF", "ab\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "cut \xE6\x97", "\x80stray",
        "\xE0\x9F\xBF overlong", "long ascii run before it goes wrong \xC3", "\xF5 and \xC1",
    };
    TreeNode* root = TreeNode::newTree("root");
    for (const std::string& t : texts) {
        const std::string wanted = throughHostString(t);
        const bool wellFormed = wanted == t;
        EXPECT_EQ(sys::wellFormedUtf8Length(t.data(), t.size()) == t.size(), wellFormed) << t;
        TreeNode* n = TreeNode::newChild(root, "e");
        n->setTag(std::string_view(t).substr(0, t.find('\0')));
        n->setContentBytes(t.data(), static_cast<int32_t>(t.size()));
        n->addAttribute("first", "");
        n->addAttribute(t, t);
        EXPECT_EQ(utf8Tag(n), throughHostString(n->tagView())) << t;
        EXPECT_EQ(utf8Content(n), wanted) << t;
        std::string_view name, value;
        ASSERT_TRUE(utf8Attribute(n, 1, name, value));
        EXPECT_EQ(name, wanted);
        EXPECT_EQ(value, wanted);
        value = {};
        EXPECT_TRUE(utf8AttributeNamed(n, t, value)) << t;
        EXPECT_EQ(value, wanted);
        // Shown where they lie unless a copy is needed.
        if (wellFormed && !QV_VIEW_COPIES) {
            EXPECT_EQ(utf8Content(n).data(), n->contentData()) << t;
            EXPECT_EQ(utf8Tag(n).data(), n->tag()) << t;
        }
        // Asking again for an unchanged text gives the same place.
        EXPECT_EQ(utf8Content(n).data(), utf8Content(n).data());
    }
    std::string_view name, value;
    EXPECT_FALSE(utf8Attribute(root, 0, name, value));
    EXPECT_FALSE(utf8Attribute(root->firstChild(), 2, name, value));
    EXPECT_FALSE(utf8Attribute(root->firstChild(), -1, name, value));
    EXPECT_TRUE(name.empty() && value.empty());
    EXPECT_FALSE(utf8AttributeNamed(root->firstChild(), "", value));
    EXPECT_TRUE(utf8AttributeNamed(root->firstChild(), "first", value));
    for (std::string_view near : {"firs", "first ", " first", "firstx"}) {
        EXPECT_FALSE(utf8AttributeNamed(root->firstChild(), near, value)) << near;
    }
    TreeNode::destroyTree(root);
}

TEST(TextViews, CopiesEndWithTheirTextAndMoveWithTheirNode) {
    TreeNode* root = TreeNode::newTree("root");
    TreeNode* a = TreeNode::newChild(root, "a");
    TreeNode* b = TreeNode::newChild(a, "b");
    TreeNode* c = TreeNode::newChild(root, "c");
    for (TreeNode* n : {a, b, c}) n->setContent("bad \xFF");
    for (TreeNode* n : {a, b, c}) EXPECT_EQ(utf8Content(n), "bad \xEF\xBF\xBD");
    ASSERT_NE(root->tree()->viewCopiesIfAny(), nullptr);
    EXPECT_EQ(root->tree()->viewCopiesIfAny()->nodeCount(), 3u);

    // A change ends the node's copies; a well-formed text then needs none (in a plain build).
    c->setContent("good");
    EXPECT_EQ(root->tree()->viewCopiesIfAny()->nodeCount(), 2u);
    EXPECT_EQ(utf8Content(c), "good");
    EXPECT_EQ(root->tree()->viewCopiesIfAny()->nodeCount(), QV_VIEW_COPIES ? 3u : 2u);

    // Detached, a and b take theirs to the new tree: the views stay readable after the old one ends.
    const std::string_view kept = utf8Content(b);
    a->detachFromParent();  // no handle is left on the rest: root's tree ends here
    ASSERT_NE(a->tree()->viewCopiesIfAny(), nullptr);
    EXPECT_EQ(a->tree()->viewCopiesIfAny()->nodeCount(), 2u);
    EXPECT_EQ(kept, "bad \xEF\xBF\xBD");
    EXPECT_EQ(utf8Content(b).data(), kept.data());

    // Grafted onto another tree, they move again; destroyed with a subtree, they end.
    TreeNode* other = TreeNode::newTree("other");
    ASSERT_TRUE(other->appendChild(a));
    EXPECT_EQ(other->tree()->viewCopiesIfAny()->nodeCount(), 2u);
    EXPECT_EQ(kept, "bad \xEF\xBF\xBD");
    other->removeAllChildren();
    EXPECT_EQ(other->tree()->viewCopiesIfAny()->nodeCount(), 0u);
    TreeNode::destroyTree(other);
}

}  // namespace
}  // namespace quorvel
