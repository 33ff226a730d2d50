#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

class DataBuffer;
class LogBase;

// Brings document bytes to UTF-8 before parsing. A byte-order mark decides first (FF FE UTF-16LE,
// FE FF UTF-16BE, EF BB BF UTF-8, the mark itself dropped); otherwise the encoding named in the
// XML declaration converts the whole block, declaration included, so the tree still records the
// encoding the document was written in. Only `encoding="name"` with double quotes is seen (spaces
// and case ignored); anything else leaves the bytes as they are. A name that is not recognised is
// logged and the conversion runs from ISO-8859-1.
//
// The result: the bytes themselves, past a UTF-8 mark, when nothing needs converting (so that a
// caller may parse them where they lie), or their conversion, appended to `converted`. False,
// leaving `text` as the bytes, only for a conversion that fails.
struct Utf8Text {
    const char* data = nullptr;
    uint32_t size = 0;
    bool converted = false;  // the text lies in `converted`, not in the bytes
};
// The name in `encoding="name"` of the first "<?xml" in text, empty when it is not written that way.
std::string declaredEncoding(std::string_view text);

bool utf8Text(const uint8_t* bytes, uint32_t n, DataBuffer& converted, Utf8Text& text, LogBase* log);

// The same in place. False, leaving the bytes unchanged, for an absent block or a conversion that
// fails.
bool convertToUtf8(DataBuffer* bytes, LogBase* log);

}  // namespace quorvel
