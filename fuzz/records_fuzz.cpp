// Any bytes as a document read one record at a time, against a whole load of the same bytes:
// when the whole load's root element is the document's only top-level element and the reader
// gets through, the //name records of every element name in the first bytes are exactly the
// whole load's elements of that name (outermost ones), however the input is cut into reads.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/data_buffer.h"
#include "core/string_buffer.h"
#include "stream/record_reader.h"
#include "tree/tree_node.h"
#include "xml/convert_to_utf8.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

namespace {

using namespace quorvel;

std::string written(const TreeNode* n) {
    StringBuffer text;
    serialize(n, text);
    return std::string(text.view());
}

// Records of path in bytes handed over `piece` bytes at a time; false when the reader fails.
bool readRecords(const std::string& bytes, const std::string& pathText, size_t piece, std::vector<std::string>& out) {
    RecordPath path;
    std::string message;
    if (!path.parse(pathText, {}, message)) return false;
    size_t at = 0;
    auto source = std::make_unique<CallbackSource>([&](void* buffer, size_t n) -> ptrdiff_t {
        const size_t k = std::min({piece, n, bytes.size() - at});
        std::memcpy(buffer, bytes.data() + at, k);
        at += k;
        return static_cast<ptrdiff_t>(k);
    });
    RecordReader::Options options;
    options.sizeLimit = 1 << 20;
    RecordReader reader(std::move(source), path, options);
    while (TreeNode* rec = reader.next(nullptr, nullptr)) {
        out.push_back(written(rec));
        TreeNode::destroyTree(rec);
    }
    return !reader.failed();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 100000) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t piece = size ? 1 + data[0] % 13 : 1;

    DataBuffer buffer;
    buffer.append(data, static_cast<uint32_t>(size));
    if (!convertToUtf8(&buffer, nullptr)) return 0;
    TreeNode* root = parse(buffer, nullptr, nullptr);
    if (!root) {
        std::vector<std::string> ignored;
        readRecords(bytes, "//a", piece, ignored);  // must end cleanly all the same
        return 0;
    }
    TreeNode::destroyTree(root->tree()->takeDeclaration());
    root->tree()->setDoctype(TextRef());
    // The whole load keeps only the last top-level element: compare where it is the only one.
    std::vector<std::string> tops;
    const std::string rootTag(root->tagView());
    const bool plainTag = !rootTag.empty() && rootTag.find_first_of("/ \t\r\n<>[]()@*=\"'") == std::string::npos;
    if (plainTag && readRecords(bytes, "/" + rootTag, piece, tops) && tops.size() == 1 && tops[0] == written(root)) {
        // Each distinct tag of the tree's first elements, as a //name path.
        std::vector<const TreeNode*> stack{root};
        std::vector<std::string> names;
        while (!stack.empty() && names.size() < 4) {
            const TreeNode* n = stack.back();
            stack.pop_back();
            const std::string tag(n->tagView());
            if (!tag.empty() && tag.find_first_of("/ \t\r\n<>[]()@*=\"'") == std::string::npos &&
                std::find(names.begin(), names.end(), tag) == names.end())
                names.push_back(tag);
            for (const TreeNode* c = n->firstChild(); c; c = c->nextSibling()) stack.push_back(c);
        }
        for (const std::string& name : names) {
            std::vector<std::string> expected;
            std::vector<std::pair<const TreeNode*, bool>> walk{{root, false}};
            while (!walk.empty()) {
                const TreeNode* n = walk.back().first;
                walk.pop_back();
                if (n->tagView() == name) {
                    expected.push_back(written(n));
                    continue;
                }
                std::vector<const TreeNode*> children;
                for (const TreeNode* c = n->firstChild(); c; c = c->nextSibling()) children.push_back(c);
                for (auto it = children.rbegin(); it != children.rend(); ++it) walk.push_back({*it, false});
            }
            std::vector<std::string> got;
            if (readRecords(bytes, "//" + name, piece, got) && got != expected) __builtin_trap();
        }
    }
    TreeNode::destroyTree(root);
    return 0;
}
