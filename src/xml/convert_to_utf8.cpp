#include "xml/convert_to_utf8.h"

#include <string>
#include <string_view>

#include "charset/charset_convert.h"
#include "core/data_buffer.h"

namespace quorvel {
namespace {

bool replaceWithConversion(DataBuffer& bytes, uint32_t skip, const char* fromCharset, LogBase* log) {
    CharsetConvert convert(log);
    convert.SetToCharset("utf-8");
    DataBuffer out;
    bool ok;
    if (!fromCharset) {
        ok = convert.FromUtf16(bytes.data() + skip, bytes.size() - skip, out, log);
    } else {
        convert.SetFromCharset(fromCharset, log);
        // A document declared in UTF-8 would only be copied: it stays where it is.
        if (skip == 0 && convert.ConvertsUnchanged()) return true;
        ok = convert.Convert(bytes.data() + skip, bytes.size() - skip, out, log);
    }
    if (!ok) return false;
    bytes.moveFrom(out);
    return true;
}

// The name in `encoding="name"` of the declaration, empty when it is not written that way.
std::string declaredEncoding(std::string_view text) {
    size_t start = text.find("<?xml");
    if (start == std::string_view::npos) return {};
    size_t end = text.find('>', start);
    if (end == std::string_view::npos) return {};
    std::string declaration;
    declaration.reserve(end - start);
    for (char c : text.substr(start, end - start)) {
        if (c == ' ') continue;
        declaration += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
    }
    static constexpr std::string_view kKey = "encoding=\"";
    size_t at = declaration.find(kKey);
    if (at == std::string::npos) return {};
    at += kKey.size();
    size_t close = declaration.find('"', at);
    if (close == std::string::npos) return {};
    return declaration.substr(at, close - at);
}

}  // namespace

bool convertToUtf8(DataBuffer* bytes, LogBase* log) {
    if (!bytes) return false;
    const uint8_t* b = bytes->data();
    uint32_t n = bytes->size();
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) return replaceWithConversion(*bytes, 2, nullptr, log);
    if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) return replaceWithConversion(*bytes, 2, "unicodefffe", log);
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        bytes->removeFirst(3);
        return true;
    }
    std::string name = declaredEncoding(std::string_view(reinterpret_cast<const char*>(b), n));
    if (name.empty()) return true;
    return replaceWithConversion(*bytes, 0, name.c_str(), log);
}

int32_t utf8AsItIs(const uint8_t* b, uint32_t n) {
    if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) return -1;
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return 3;
    std::string name = declaredEncoding(std::string_view(reinterpret_cast<const char*>(b), n));
    if (name.empty()) return 0;
    CharsetConvert convert;
    if (!convert.SetToCharset("utf-8") || !convert.SetFromCharset(name.c_str())) return -1;
    return convert.ConvertsUnchanged() ? 0 : -1;
}

}  // namespace quorvel
