#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tree/tag_pool.h"
#include "xml/tag_cache.h"

namespace quorvel {
namespace {

bool endsName(char c) { return c == '>' || c == ' ' || c == '/'; }

// The guess after a tag is tried against texts that hold it, hold it with one byte changed, hold
// a prefix or a longer name, or end right after it or inside it. Each text sits at the very end
// of a block of exactly its size, so a read past the end is caught under the address sanitizer,
// and the answer must be what comparing the bytes says.
TEST(TagCache, GuessMatchesExactlyTheBytesBeforeTheEnd) {
    std::vector<std::string> tags;
    for (size_t n = 1; n <= 20; ++n) {
        std::string t;
        for (size_t i = 0; i < n; ++i) t += static_cast<char>('a' + (i * 7 + n) % 26);
        tags.push_back(t);
    }
    for (const std::string& tag : tags) {
        TagCache cache;
        auto take = [&](const std::string& t) { CommonStrings::release(cache.take(t.data(), t.size())); };
        take("before");
        take(tag);
        take("before");  // the guess after "before" is now tag

        std::vector<std::string> texts;
        for (const char* tail : {">", " a=\"1\">", "/>", "x>", "", ">0123456789"}) texts.push_back(tag + tail);
        for (size_t cut = 0; cut < tag.size(); ++cut) texts.push_back(tag.substr(0, cut));
        for (size_t at = 0; at < tag.size(); ++at) {
            std::string changed = tag + ">        ";
            changed[at] = static_cast<char>(changed[at] ^ 0x20);
            texts.push_back(changed);
        }
        for (const std::string& text : texts) {
            const bool expected = text.size() > tag.size() && text.compare(0, tag.size(), tag) == 0 && endsName(text[tag.size()]);
            std::unique_ptr<char[]> block(new char[text.size()]);
            std::memcpy(block.get(), text.data(), text.size());
            size_t length = 0;
            TagEntry* got = cache.takeIfNext(block.get(), block.get() + text.size(), endsName, length);
            ASSERT_EQ(got != nullptr, expected) << "tag " << tag << ", text " << text;
            if (got) {
                EXPECT_EQ(length, tag.size());
                EXPECT_EQ(std::string(got->text(), got->length()), tag);
                CommonStrings::release(got);
                take("before");  // takes the guess back to tag for the next text
            }
        }
    }
}

}  // namespace
}  // namespace quorvel
