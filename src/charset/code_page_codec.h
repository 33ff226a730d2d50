#pragma once
// The system's decoder and encoder between one code page and UTF-16, the stand-ins for the
// platform's code-page conversion calls: UTF-8 and ISO-8859-1 by the system services (their
// results are the platform's: neither decoder fails, the ISO-8859-1 encoder writes '?' for a
// character it lacks), UTF-16LE by copying, every other code page by iconv (which fails on
// invalid bytes and missing characters).

#include <cstdint>

namespace quorvel {

class DataBuffer;

// Appends the UTF-16LE bytes of the decoded text to `utf16`. False, with `utf16` unchanged, when
// the code page has no decoder or the bytes are invalid in it.
bool decodeCodePage(uint32_t codePage, const void* bytes, uint32_t length, DataBuffer& utf16);

enum class EncodeResult {
    Ok,
    CannotMeasure,  // no encoder, or the text has a character the code page lacks
    CannotWrite,    // the output does not fit the buffer
};

// Appends the encoding of UTF-16LE bytes (`length` counts bytes; an odd last byte is no unit).
EncodeResult encodeCodePage(uint32_t codePage, const void* utf16, uint32_t length, DataBuffer& out);

// UTF-8 to UTF-16LE bytes and back by the system services, appended; false only when the
// output would outgrow the buffer.
bool decodeUtf8ToBuffer(const void* bytes, uint32_t length, DataBuffer& utf16);
bool encodeUtf8ToBuffer(const char16_t* units, uint32_t count, DataBuffer& out);

}  // namespace quorvel
