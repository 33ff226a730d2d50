#pragma once
// Text on its way from one code page to another through UTF-16, a window at a time, so that a long
// text is never held in UTF-16 whole and a failure early in it costs little.

#include <cstdint>

#include "charset/code_page_codec.h"
#include "charset/iconv_converter.h"

namespace quorvel {

class DataBuffer;

// Which decoders and encoders do the work. Platform: the converters the conversion service makes
// (iconv), except that UTF-8 is decoded by the system. System: the system's own code-page calls
// (the system services for 65001 and 28591, a copy for 1200, iconv for the rest).
enum class Utf16Codecs { Platform, System };

class Utf16Reader {
public:
    // False when there is no decoder for the code page.
    bool open(uint32_t codePage, Utf16Codecs codecs);
    void start(const void* bytes, uint32_t length);

    enum class Read { More, Done, Failed };
    // Replaces the content of `units` with the next window of UTF-16LE; windows end between characters.
    Read next(DataBuffer& units);
    // Whether some input can make next() fail: the system's decoders replace what is malformed.
    bool canFail() const { return kind_ == Kind::Iconv; }

private:
    enum class Kind { Utf8, Latin1, Copy, Iconv };
    Kind kind_ = Kind::Iconv;
    IconvConverter iconv_;
    const uint8_t* in_ = nullptr;
    uint32_t left_ = 0;
};

class Utf16Writer {
public:
    // False when there is no encoder for the code page.
    bool open(uint32_t codePage, Utf16Codecs codecs);
    // Appends the encoding of a window of UTF-16LE bytes.
    EncodeResult write(const DataBuffer& units, DataBuffer& out);
    // Returns a stateful target to its initial state.
    bool finish(DataBuffer& out);

private:
    uint32_t codePage_ = 0;
    bool system_ = false;
    IconvConverter iconv_;
};

// Where a window of UTF-8 text of `length` bytes may end near `want` (0 < want < length) without
// cutting a sequence the decoder would read as one: before a byte that no sequence continues
// with, or after four continuation bytes in a row. Never at 0: a window that would be empty takes
// the sequence that begins it.
uint32_t utf8WindowEnd(const uint8_t* bytes, uint32_t length, uint32_t want);

}  // namespace quorvel
