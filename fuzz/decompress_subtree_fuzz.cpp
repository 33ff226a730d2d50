// Arbitrary content under DecompressSubtree and DecompressNode. The first byte chooses what the
// content is: the bytes themselves, base64 of them taken as a DEFLATE stream, or base64 of their
// deflated form, which puts them in front of the parser. The members must succeed whatever the
// content, and the tree must write out and free cleanly.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "component/node_handle.h"
#include "content/content_coding.h"
#include "core/string_buffer.h"
#include "tree/tree_node.h"
#include "xml/serializer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvel;
    if (size < 1 || size > (1u << 16)) return 0;
    const uint8_t mode = data[0] % 3;
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (mode == 2) {
        z_stream z{};
        deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        std::string out(deflateBound(&z, bytes.size()) + 16, '\0');
        z.next_in = reinterpret_cast<Bytef*>(bytes.data());
        z.avail_in = static_cast<uInt>(bytes.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        out.resize(z.total_out);
        deflateEnd(&z);
        bytes = out;
    }
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
