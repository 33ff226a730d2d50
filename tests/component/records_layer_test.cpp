// xml::records, the C++ layer's record range: a file, a callable and a file descriptor as
// sources, the records as nodes that outlive the range, and failures thrown or reported.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "quorvel/xml.hpp"

namespace quorvel {
namespace {

const char* const kMime = "/usr/share/mime/packages/freedesktop.org.xml";

// A callable handing out the text in pieces of at most `piece` bytes.
auto reader(const std::string& text, size_t piece) {
    return [&text, piece, at = size_t{0}](void* buffer, size_t size) mutable -> ptrdiff_t {
        const size_t k = std::min({size, piece, text.size() - at});
        std::memcpy(buffer, text.data() + at, k);
        at += k;
        return static_cast<ptrdiff_t>(k);
    };
}

TEST(RecordsLayer, FileCallableAndDescriptorSources) {
    std::vector<std::string> types;
    xml::node kept;
    for (xml::node rec : xml::records(kMime, "//mime-type")) {
        types.emplace_back(rec.attribute("type"));
        if (!kept) kept = rec;
    }
    ASSERT_GT(types.size(), 500u);
    EXPECT_EQ(types[0], std::string(kept.attribute("type")));  // a record lives on while a node holds it
    EXPECT_EQ(kept.record_path(), "/mime-info");
    EXPECT_EQ(std::string(kept.record_ancestor(0)->tag()), "mime-info");
    EXPECT_FALSE(kept.record_ancestor(1));

    // A callable handing out a text in pieces of 3 bytes.
    const std::string text = "<r><a n='1'/><a n='2'>x</a><b><a n='3'/></b></r>";
    std::string seen;
    for (xml::node rec : xml::records(reader(text, 3), "//a")) seen += rec.attribute("n");
    EXPECT_EQ(seen, "123");

    // A pipe written by another thread.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        for (int i = 0; i < 1000; ++i) {
            const std::string s = (i == 0 ? "<log>" : "") + std::string("<e>") + std::to_string(i) + "</e>";
            ASSERT_EQ(write(fds[1], s.data(), s.size()), static_cast<ssize_t>(s.size()));
        }
        ASSERT_EQ(write(fds[1], "</log>", 6), 6);
        close(fds[1]);
    });
    int count = 0, sum = 0;
    for (xml::node rec : xml::records(fds[0], "/log/e")) {
        ++count;
        sum += std::stoi(std::string(rec.content()));
    }
    writer.join();
    close(fds[0]);
    EXPECT_EQ(count, 1000);
    EXPECT_EQ(sum, 999 * 1000 / 2);
}

TEST(RecordsLayer, FailuresThrowOrReport) {
    // Cut inside the second record: the first comes, then the increment fails.
    const std::string text = "<r><a>1</a><a>2";
    int seen = 0;
    try {
        for (xml::node rec : xml::records(reader(text, text.size()), "//a")) {
            (void)rec;
            ++seen;
        }
        ADD_FAILURE() << "no failure";
    } catch (const xml::error& e) {
        EXPECT_NE(std::string(e.what()).find("The document ends inside a record"), std::string::npos) << e.what();
    }
    EXPECT_EQ(seen, 1);

    xml::status s;
    int none = 0;
    for (xml::node rec : xml::records("/no/such/file.xml", "//a", {}, s)) {
        (void)rec;
        ++none;
    }
    EXPECT_EQ(none, 0);
    EXPECT_TRUE(s.failed());
    EXPECT_NE(s.description.find("Failed to open the record source"), std::string::npos) << s.description;
}

}  // namespace
}  // namespace quorvel
