// Any bytes as XML text: the parser must end, report progress that rises to exactly 100, and
// give a tree that writes out and frees cleanly; what it writes is read once more.
#include <cstddef>
#include <cstdint>

#include "core/progress_monitor.h"
#include "core/string_buffer.h"
#include "log/logger.h"
#include "tree/tree_node.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

namespace {

struct CountingSink : quorvel::FireComEvent {
    uint32_t last = 0;
    void FireEvent(uint32_t, uint32_t, uint32_t percent, uint32_t) override {
        if (percent <= last || percent > 100) __builtin_trap();  // must rise strictly, up to 100
        last = percent;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvel;
    Logger log;
    CountingSink sink;
    ProgressMonitor monitor(103, 0, &sink, 100);
    TreeNode* root = parse(reinterpret_cast<const char*>(data), size, &log, &monitor);
    if (size > 0 && sink.last != 100) __builtin_trap();
    if (!root) return 0;
    StringBuffer text;
    serialize(root, text);
    TreeNode::destroyTree(root);
    // Not always a tree again: kept doctype text may be unbalanced and swallow what follows.
    TreeNode::destroyTree(parse(text.data(), nullptr, nullptr));
    return 0;
}
