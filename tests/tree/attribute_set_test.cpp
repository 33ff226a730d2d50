#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tree/attribute_set.h"
#include "tree_check.h"

namespace quorvel {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs contents(const AttributeSet& s) {
    Pairs out;
    for (int32_t i = 0; i < s.count(); ++i) out.emplace_back(s.name(i), s.value(i));
    return out;
}

void fill(AttributeSet& s, const Pairs& pairs) {
    for (auto& [n, v] : pairs) s.add(n, v);
}

// Plain adds, updates and removals are checked through the handle in tests/component; these are
// the cases a handle cannot reach: aliasing, growth, null names and values.
TEST(AttributeSet, EditsKeepOrderAndDuplicates) {
    struct Case {
        const char* what;
        Pairs start;
        void (*edit)(AttributeSet&);
        Pairs expected;
    };
    const Case cases[] = {
        {"remove all of a name", {{"a", "1"}, {"b", "2"}, {"a", "3"}}, [](AttributeSet& s) { s.remove("a"); }, {{"b", "2"}}},
        {"update collapses duplicates", {{"a", "1"}, {"a", "2"}, {"b", ""}}, [](AttributeSet& s) { s.update("a", "x"); }, {{"b", ""}, {"a", "x"}}},
        {"empty name ignored", {{"a", "1"}}, [](AttributeSet& s) { s.add("", "v"); s.add(nullptr, "v"); s.update("", "v"); }, {{"a", "1"}}},
        {"update from own value", {{"a", "abc"}, {"b", "xyz"}}, [](AttributeSet& s) { s.update("a", s.value(1)); }, {{"b", "xyz"}, {"a", "xyz"}}},
        {"add from own bytes while growing", {{"k", std::string(40, 'q')}},
         [](AttributeSet& s) { for (int i = 0; i < 6; ++i) s.add(s.name(0), s.value(0)); },
         Pairs(7, {"k", std::string(40, 'q')})},
    };
    for (const Case& c : cases) {
        AttributeSet s;
        fill(s, c.start);
        c.edit(s);
        EXPECT_EQ(contents(s), c.expected) << c.what;
    }
}

TEST(AttributeSet, ManyAttributes) {
    AttributeSet s;
    for (int i = 0; i < 5000; ++i) s.add(test::numbered("n", i % 100), test::numbered("", i));
    s.remove("n7");
    ASSERT_EQ(s.count(), 4950);
    EXPECT_EQ(s.name(7), "n8");
    EXPECT_EQ(s.value(4949), "4999");
}

}  // namespace
}  // namespace quorvel
