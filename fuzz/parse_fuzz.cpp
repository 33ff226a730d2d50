// Any bytes as XML text: the parser must end, report progress that rises to exactly 100, and
// give a tree that writes out and frees cleanly; what it writes is read once more.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/progress_monitor.h"
#include "core/string_buffer.h"
#include "log/logger.h"
#include "recording_log.h"
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

std::string written(quorvel::TreeNode* root) {
    quorvel::StringBuffer text;
    if (root) quorvel::serialize(root, text);
    quorvel::TreeNode::destroyTree(root);
    return std::string(text.view());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvel;
    Logger log;
    CountingSink sink;
    ProgressMonitor monitor(103, 0, &sink, 100);
    const char* bytes = reinterpret_cast<const char*>(data);
    TreeNode* root = parse(bytes, size, &log, &monitor);
    if (size > 0 && sink.last != 100) __builtin_trap();
    // The text ends at its first 0 byte, which the parser finds only on its way: what follows
    // one must change neither the tree nor the log.
    if (const void* zero = std::memchr(bytes, 0, size)) {
        RecordingLog whole, cut;
        const std::string all = written(parse(bytes, size, &whole, nullptr));
        const std::string before = written(parse(bytes, static_cast<size_t>(static_cast<const char*>(zero) - bytes), &cut, nullptr));
        if (all != before || whole.lines != cut.lines) __builtin_trap();
    }
    if (!root) return 0;
    StringBuffer text;
    serialize(root, text);
    TreeNode::destroyTree(root);
    // Not always a tree again: kept doctype text may be unbalanced and swallow what follows.
    TreeNode::destroyTree(parse(text.data(), nullptr, nullptr));
    return 0;
}
