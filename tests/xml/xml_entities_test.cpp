#include "xml/xml_entities.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/string_buffer.h"

namespace quorvel {
namespace {

// The definition: the four replacements applied one after the other over the whole text.
std::string decodeByPasses(const std::string& s) {
    StringBuffer b(s.c_str());
    b.replaceAll("&lt;", "<");
    b.replaceAll("&gt;", ">");
    b.replaceAll("&quot;", "\"");
    b.replaceAll("&amp;", "&");
    return std::string(b.view());
}

std::string randomText(std::mt19937& rng, size_t n) {
    static const char alphabet[] = "&&&amplgtquo;; x";
    std::string s;
    for (size_t i = 0; i < n; ++i) s += alphabet[rng() % (sizeof(alphabet) - 1)];
    return s;
}

// Text grown run by run (with a joining space) or section by section (without), decoded from the
// frontier after each growth, must equal decoding the whole text every time.
TEST(XmlEntities, DecodingFromTheFrontierEqualsDecodingEverything) {
    std::mt19937 rng(5);
    for (int round = 0; round < 4000; ++round) {
        std::string whole, incremental;
        size_t frontier = 0;
        for (int step = 0; step < 8; ++step) {
            std::string piece = randomText(rng, 1 + rng() % 12);
            bool raw = rng() % 3 == 0;  // a section appended as it is, decoded only by a later run
            std::string joint = (!raw && !whole.empty()) ? " " : "";
            size_t start = incremental.size();
            whole += joint + piece;
            incremental += joint + piece;
            if (raw) {
                size_t amp = piece.find('&');
                if (amp != std::string::npos && start + amp < frontier) frontier = start + amp;
                continue;
            }
            whole = decodeByPasses(whole);
            incremental.resize(decodeEntities(incremental.data(), frontier, incremental.size()));
            ASSERT_EQ(incremental, whole) << round;
            frontier = entityFrontier(incremental.data(), frontier, incremental.size());
            // Nothing before the frontier may change, whatever follows.
            for (const char* tail : {"lt;", "p;", "t;", "uot;", ";", "&amp;"}) {
                ASSERT_EQ(decodeByPasses(incremental + tail).substr(0, frontier), incremental.substr(0, frontier));
            }
        }
    }
    EXPECT_EQ(entityFrontier("a&b&am", 0, 6), 3u);
    EXPECT_EQ(entityFrontier("a&b&am x", 0, 8), 8u);
}

// Decoding while copying gives what decoding in place gives, reading only the bytes it is given:
// each text sits alone in a block of its exact size, so a read past it shows under ASan.
TEST(XmlEntities, DecodingACopyEqualsDecodingInPlace) {
    std::mt19937 rng(9);
    std::vector<std::string> texts = {"", "&", "&amp", "&amp;", "a&lt;b&gt;c&quot;d&amp;e", "&&amp;amp;", "x&quot"};
    for (int i = 0; i < 3000; ++i) texts.push_back(randomText(rng, rng() % 80));
    for (const std::string& text : texts) {
        std::unique_ptr<char[]> in(new char[text.size()]);
        std::memcpy(in.get(), text.data(), text.size());
        std::unique_ptr<char[]> out(new char[text.size()]);
        size_t n = decodeEntitiesCopy(out.get(), in.get(), text.size());
        ASSERT_EQ(std::string(out.get(), n), decodeByPasses(text)) << text;
    }
}

}  // namespace
}  // namespace quorvel
