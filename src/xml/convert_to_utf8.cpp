#include "xml/convert_to_utf8.h"

#include <string>
#include <string_view>

#include "charset/charset_convert.h"
#include "core/data_buffer.h"

namespace quorvel {

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

bool utf8Text(const uint8_t* b, uint32_t n, DataBuffer& converted, Utf8Text& text, LogBase* log) {
    text = {reinterpret_cast<const char*>(b), n, false};
    uint32_t skip = 0;
    std::string from;
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        skip = 2;  // UTF-16LE: converted with FromUtf16, no source charset
    } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        skip = 2;
        from = "unicodefffe";
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        text = {reinterpret_cast<const char*>(b) + 3, n - 3, false};
        return true;
    } else {
        from = declaredEncoding(std::string_view(reinterpret_cast<const char*>(b), n));
        if (from.empty()) return true;
    }
    CharsetConvert convert(log);
    convert.SetToCharset("utf-8");
    bool ok;
    if (from.empty()) {
        ok = convert.FromUtf16(b + skip, n - skip, converted, log);
    } else {
        convert.SetFromCharset(from.c_str(), log);
        // A document declared in UTF-8 would only be copied: it stays where it is.
        if (skip == 0 && convert.ConvertsUnchanged()) return true;
        ok = convert.Convert(b + skip, n - skip, converted, log);
    }
    if (!ok) return false;
    text = {reinterpret_cast<const char*>(converted.data()), converted.size(), true};
    return true;
}

bool convertToUtf8(DataBuffer* bytes, LogBase* log) {
    if (!bytes) return false;
    DataBuffer converted;
    Utf8Text text;
    if (!utf8Text(bytes->data(), bytes->size(), converted, text, log)) return false;
    if (text.converted) {
        bytes->moveFrom(converted);
    } else if (text.size < bytes->size()) {
        bytes->removeFirst(bytes->size() - text.size);
    }
    return true;
}

}  // namespace quorvel
