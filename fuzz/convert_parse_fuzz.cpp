// Any bytes as a document file: encoding detection and conversion must end without faults, leave
// the bytes untouched when they fail, and hand the parser something it reads and writes out.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/data_buffer.h"
#include "core/string_buffer.h"
#include "log/logger.h"
#include "tree/tree_node.h"
#include "xml/convert_to_utf8.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvel;
    if (size > 1 << 20) return 0;
    Logger log;
    DataBuffer bytes;
    bytes.append(data, static_cast<uint32_t>(size));
    if (!convertToUtf8(&bytes, &log)) {
        if (bytes.size() != size || (size && std::memcmp(bytes.data(), data, size) != 0)) __builtin_trap();
        return 0;
    }
    TreeNode* root = parse(bytes, &log, nullptr);
    if (!root) return 0;
    StringBuffer text;
    serialize(root, text);
    TreeNode::destroyTree(root);
    return 0;
}
