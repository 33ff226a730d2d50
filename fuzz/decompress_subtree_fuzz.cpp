// Arbitrary content under DecompressSubtree and DecompressNode. The first byte chooses what the
// content is: the bytes themselves, base64 of them taken as a DEFLATE stream, or base64 of their
// deflated form, which puts them in front of the parser. The members must succeed whatever the
// content, and the tree must write out and free cleanly.
#include <cstddef>
#include <cstdint>
#include <string>

#include "component/node_handle.h"
#include "content/content_coding.h"
#include "content/content_test_support.h"  // zlibDeflate
#include "core/string_buffer.h"
#include "tree/tree_node.h"
#include "xml/serializer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvel;
    if (size < 1 || size > 8192) return 0;
    const uint8_t mode = data[0] % 3;
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (mode == 2) bytes = test::zlibDeflate(bytes);
    StringBuffer content;
    if (mode == 0) {
        content.appendBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
    } else {
        ContentCoding().encodeBase64Lines(bytes.data(), static_cast<uint32_t>(bytes.size()), content);
    }
    CQuorvelXml* h = CQuorvelXml::createHandle();
    if (!h) return 0;
    h->node()->setContentBytes(content.data(), content.length());
    if (h->DecompressSubtree() != S_OK) __builtin_trap();
    StringBuffer written;
    serialize(h->node(), written);
    if (h->DecompressNode() != S_OK) __builtin_trap();
    h->Release();
    return 0;
}
