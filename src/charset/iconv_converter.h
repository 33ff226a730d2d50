#pragma once
// A converter between two code pages: a conversion descriptor of the C library's iconv, joined
// to a table for a side whose iconv converter is not one byte to one character
// (byte_table_codec.h), or patched where iconv's table is not the platform's (code_page_patch.h).
// A patched side paired with anything but UTF-16LE or UTF-8 goes through UTF-16LE in two converters.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvel {

class DataBuffer;
struct ByteTable;
struct CodePagePatch;

class IconvConverter {
public:
    IconvConverter() = default;
    ~IconvConverter();
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    // Opens the converter from one code page to another (any open one is closed first). False when
    // either code page has no iconv converter or the library cannot pair them.
    bool open(uint32_t sourceCodePage, uint32_t targetCodePage);
    void close();
    bool isOpen() const { return open_; }

    // Converts `length` bytes from the initial shift state and ends in it, appending to `out`
    // behind a first window of `room` bytes; a window that proves short is enlarged. False, with
    // `out` unchanged, on bytes that are invalid or incomplete in the source, on characters the
    // target lacks (nothing is approximated or skipped), or when the output outgrows the buffer.
    bool convert(const void* bytes, uint32_t length, DataBuffer& out, uint64_t room);

    // The same in parts: reset(), then feed() any number of times, then finish(). A failed part
    // may leave some output behind; the caller takes it back.
    void reset();
    bool feed(const void* bytes, uint32_t length, DataBuffer& out, uint64_t room);
    bool finish(DataBuffer& out);

    enum class Progress { Done, Full, Failed };
    // One pass into a window of `room` bytes: until the input is used up (Done, the shift state
    // left as it is), the window is full (Full) or the input fails. `in` and `inLeft` advance.
    Progress step(const char** in, size_t* inLeft, uint8_t* window, size_t room, size_t* written);

private:
    Progress iconvStep(const char** in, size_t* inLeft, uint8_t* window, size_t room, size_t* written);
    Progress stepFromTable(const char** in, size_t* inLeft, uint8_t* window, size_t room, size_t* written);
    Progress stepToTable(const char** in, size_t* inLeft, uint8_t* window, size_t room, size_t* written);
    Progress stepFromPatched(const char** in, size_t* inLeft, uint8_t* window, size_t room, size_t* written);
    Progress stepToPatched(const char** in, size_t* inLeft, uint8_t* window, size_t room, size_t* written);
    Progress stepThroughUtf16(const char** in, size_t* inLeft, uint8_t* window, size_t room, size_t* written);

    bool open_ = false;
    bool plain_ = false;  // iconv alone, the common case
    // iconv_t; with a table side it converts between UTF-16LE and the other side, and is absent
    // when that side is UTF-16LE too.
    void* handle_ = nullptr;
    const ByteTable* decodeTable_ = nullptr;  // the source is a table code page
    const ByteTable* encodeTable_ = nullptr;  // the target is a table code page
    const CodePagePatch* decodePatch_ = nullptr;  // the source is patched, the target UTF-16LE or UTF-8
    const CodePagePatch* encodePatch_ = nullptr;  // the target is patched, the source UTF-16LE or UTF-8
    bool patchUtf8_ = false;  // the other side of a patch is UTF-8, not UTF-16LE
    // Through UTF-16LE: source to units, units to target, and the units decoded but not yet encoded.
    std::unique_ptr<IconvConverter> toUnits_, fromUnits_;
    std::unique_ptr<uint8_t[]> units_;
    size_t unitsSize_ = 0, unitsDone_ = 0;
};

}  // namespace quorvel
