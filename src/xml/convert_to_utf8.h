#pragma once
#include <cstdint>

namespace quorvel {

class DataBuffer;
class LogBase;

// Brings document bytes to UTF-8 in place before parsing. A byte-order mark decides first
// (FF FE UTF-16LE, FE FF UTF-16BE, EF BB BF UTF-8, the mark itself dropped); otherwise the
// encoding named in the XML declaration converts the whole block, declaration included, so the
// tree still records the encoding the document was written in. Only `encoding="name"` with
// double quotes is seen (spaces and case ignored); anything else leaves the bytes as they are.
// False, leaving the bytes unchanged, only for an absent block or a conversion that fails; a
// name that is not recognised is logged and the conversion runs from ISO-8859-1.
bool convertToUtf8(DataBuffer* bytes, LogBase* log);

// How many leading bytes convertToUtf8 would drop when it would otherwise leave the bytes as
// they are, without logging anything: 3 for a UTF-8 byte-order mark, else 0. -1 when it would
// convert them, or might fail or log. A caller that gets 0 or more may parse the bytes where
// they lie instead of copying them into a buffer first.
int32_t utf8AsItIs(const uint8_t* bytes, uint32_t n);

}  // namespace quorvel
