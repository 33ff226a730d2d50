// Helpers of the record reader tests: reading every record of a text or file, and the same
// elements found in a whole load, as the oracle.
#pragma once
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/data_buffer.h"
#include "recording_log.h"
#include "stream/record_reader.h"
#include "tree/tree_node.h"
#include "xml/convert_to_utf8.h"
#include "xml/xml_test_support.h"

namespace quorvel::test {

struct ReadResult {
    std::vector<std::string> records;  // each serialized
    std::vector<std::string> paths;    // each one's ancestors' path
    bool failed = false;
    std::vector<std::string> log;
};

inline RecordPath pathOf(const std::string& text, const RecordPath::Bindings& bindings = {}) {
    RecordPath path;
    std::string message;
    if (!path.parse(text, bindings, message)) throw std::runtime_error(message);
    return path;
}

inline ReadResult readAll(std::unique_ptr<ByteSource> source, const RecordPath& path, RecordReader::Options options = {}) {
    ReadResult r;
    RecordReader reader(std::move(source), path, options);
    RecordingLog log;
    while (TreePtr rec{reader.next(&log, nullptr)}) {
        r.records.push_back(serialized(rec.get()));
        r.paths.push_back(reader.ancestry() ? reader.ancestry()->path() : "?");
    }
    r.failed = reader.failed();
    r.log = log.take();
    return r;
}

// A callback source handing out the text `piece` bytes at a time.
inline std::unique_ptr<ByteSource> pieces(const std::string& text, size_t piece) {
    auto at = std::make_shared<size_t>(0);
    return std::make_unique<CallbackSource>([text, piece, at](void* buffer, size_t n) -> ptrdiff_t {
        const size_t k = std::min({piece, n, text.size() - *at});
        std::memcpy(buffer, text.data() + *at, k);
        *at += k;
        return static_cast<ptrdiff_t>(k);
    });
}

// The elements a record path names in a whole load of the same bytes, serialized: the oracle.
// Only unbound steps (names compared as written).
inline std::vector<std::string> wholeLoadRecords(const std::string& bytes, const RecordPath& path) {
    DataBuffer buffer;
    buffer.append(bytes.data(), static_cast<uint32_t>(bytes.size()));
    std::vector<std::string> out;
    if (!convertToUtf8(&buffer, nullptr)) return out;
    TreePtr root(parse(buffer, nullptr, nullptr));
    if (!root) return out;
    // A record that is the root element is that element alone, without the document's prolog.
    TreeNode::destroyTree(root->tree()->takeDeclaration());
    root->tree()->setDoctype(TextRef());
    const auto& steps = path.steps();
    // Preorder without recursion; a match's insides are not searched.
    std::vector<std::pair<const TreeNode*, size_t>> stack{{root.get(), 1}};
    while (!stack.empty()) {
        auto [n, depth] = stack.back();
        stack.pop_back();
        const bool matches = path.anyDepth() ? n->tagView() == steps[0].text
                                             : depth <= steps.size() && n->tagView() == steps[depth - 1].text;
        if (matches && (path.anyDepth() || depth == steps.size())) {
            out.push_back(serialized(n));
            continue;
        }
        if (!path.anyDepth() && !matches) continue;
        std::vector<const TreeNode*> children;
        for (const TreeNode* c = n->firstChild(); c; c = c->nextSibling()) children.push_back(c);
        for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back({*it, depth + 1});
    }
    return out;
}

}  // namespace quorvel::test
