#pragma once
// The platform's conversion service between code pages, as CharsetConvert sees it.

#include <cstdint>

namespace quorvel {

class DataBuffer;
class LogBase;

// Code pages are Windows code page numbers: 1200 is UTF-16 little-endian (no byte-order mark
// expected), 65001 is UTF-8. Every operation appends to `out` and returns true on success; a
// failed operation leaves `out` as it found it. `log` may be null.
class MultiLang {
public:
    virtual ~MultiLang() = default;

    // From one code page to another, choosing among the conversion routes.
    virtual bool Convert(uint32_t sourceCodePage, uint32_t targetCodePage, const void* bytes, uint32_t length,
                         DataBuffer& out, LogBase* log) = 0;
    // From one code page to another straight through the pair converter where there is one.
    virtual bool ConvertDirect(uint32_t sourceCodePage, uint32_t targetCodePage, const void* bytes, uint32_t length,
                               DataBuffer& out, LogBase* log) = 0;
    // UTF-16LE bytes (`length` counts bytes) to a code page.
    virtual bool FromUnicode(uint32_t targetCodePage, const void* utf16, uint32_t length, DataBuffer& out,
                             LogBase* log) = 0;
    // A code page to UTF-16LE bytes.
    virtual bool ToUnicode(uint32_t sourceCodePage, const void* bytes, uint32_t length, DataBuffer& out,
                           LogBase* log) = 0;
};

}  // namespace quorvel
