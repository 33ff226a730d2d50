// Any bytes through the lenient decoders (base64, Q, Q and B encoded words) and the encoders'
// round trips. Decoding never grows the text, and what the encoders write decodes to the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "content/content_coding.h"
#include "core/data_buffer.h"
#include "core/string_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvel;
    if (size > (1u << 20)) return 0;
    const ContentCoding coding;
    const char* text = reinterpret_cast<const char*>(data);
    const auto n = static_cast<uint32_t>(size);

    uint32_t count = 0;
    uint8_t* block = coding.decodeBase64(text, n, &count);
    if (count > n * 3 / 4 + 3) __builtin_trap();
    std::free(block);
    block = coding.decodeQ(text, static_cast<int32_t>(n), &count);  // 0: up to a NUL, within the text
    if (count > n) __builtin_trap();
    std::free(block);

    const std::string terminated(text, size);  // the words decoders read up to the first NUL
    const size_t textLength = std::strlen(terminated.c_str());
    for (bool q : {true, false}) {
        DataBuffer out;
        q ? coding.decodeQWords(terminated.c_str(), out) : coding.decodeBWords(terminated.c_str(), out);
        if (out.size() > textLength) __builtin_trap();  // nothing emitted twice
    }

    StringBuffer lines;
    coding.encodeBase64Lines(data, n, lines);
    block = coding.decodeBase64(lines.data(), static_cast<uint32_t>(lines.length()), &count);
    if (count != n || (n && std::memcmp(block, data, n) != 0)) __builtin_trap();
    std::free(block);
    uint32_t qLength = 0;
    char* q = coding.encodeQ(data, n, &qLength);
    block = coding.decodeQ(q, static_cast<int32_t>(qLength), &count);
    if (count != n || (n && std::memcmp(block, data, n) != 0)) __builtin_trap();
    std::free(block);
    std::free(q);
    return 0;
}
