// quorvel stats: what a document holds — elements, attributes, depth, each distinct tag with its
// count — with its declared encoding and its size in bytes.
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "commands.h"
#include "session.h"

namespace quorvel::cli {

namespace {

struct counts {
    long long elements = 0, attributes = 0;
    int depth = 0;
    std::unordered_map<std::string, long long> tags;
};

// Depth-first over the whole tree with one moving handle: no recursion, one handle in all.
counts count(const xml::node& doc) {
    counts c;
    xml::node at = doc.root();
    int depth = 1;
    for (;;) {
        ++c.elements;
        c.attributes += at.attribute_count();
        c.depth = std::max(c.depth, depth);
        ++c.tags[std::string(at.tag())];
        if (at.move_to_first_child()) {
            ++depth;
            continue;
        }
        while (depth > 1 && !at.move_to_next_sibling()) {
            at.move_to_parent();
            --depth;
        }
        if (depth == 1) break;
    }
    return c;
}

constexpr option_spec kOptions[] = {
    {"top", 0, "N", "list only the N most frequent tags (default: all)"},
};

int run(const parsed_args& args) {
    const session s = session::from(args, args.operands, false);
    const long top = args.number("top", -1, 0, 1L << 30);
    return s.for_each_file([&](const std::string& file, file_output& out) {
        long long size = 0;
        xml::node doc;
        if (file == "-") {
            const std::string bytes = read_file(file);
            size = static_cast<long long>(bytes.size());
            doc = xml::create();
            xml::status st;
            if (!doc.load(std::as_bytes(std::span(bytes.data(), bytes.size())), st))
                throw failure(kBad, "(standard input): not XML: the parser found no element", s.log_of(doc));
        } else {
            doc = s.load(file);
            struct stat st{};
            if (::stat(file.c_str(), &st) == 0) size = st.st_size;
        }
        const counts c = count(doc);
        std::vector<std::pair<std::string, long long>> tags(c.tags.begin(), c.tags.end());
        std::sort(tags.begin(), tags.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second > b.second : a.first < b.first;
        });
        if (top >= 0 && tags.size() > static_cast<std::size_t>(top)) tags.resize(static_cast<std::size_t>(top));
        std::string text = "file: " + (file == "-" ? std::string("(standard input)") : file) + "\n";
        const std::string encoding = doc.encoding();
        text += "size: " + std::to_string(size) + " bytes\n";
        text += "encoding: " + (encoding.empty() ? std::string("(none declared)") : encoding) + "\n";
        text += "elements: " + std::to_string(c.elements) + "\n";
        text += "attributes: " + std::to_string(c.attributes) + "\n";
        text += "depth: " + std::to_string(c.depth) + "\n";
        text += "distinct tags: " + std::to_string(c.tags.size()) + "\n";
        for (const auto& [tag, n] : tags) text += "  " + std::to_string(n) + " " + tag + "\n";
        out.print(text);
    });
}

}  // namespace

const command kStatsCommand = {
    "stats", "[OPTIONS] [FILE...]", "count elements, attributes, depth and tags",
    "Prints for each FILE its size in bytes, its declared encoding, the number of elements and\n"
    "attributes, the depth of its deepest element (the root is 1), and each distinct tag with its\n"
    "count, the most frequent first.",
    kOptions, run};

}  // namespace quorvel::cli
