#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvel {

class CharsetConvert;
class DataBuffer;
class LogBase;

// Brings a document to UTF-8 block by block, with the rules a whole load follows (utf8Text in
// xml/convert_to_utf8.h): a byte-order mark decides first, else the encoding named in the
// declaration, else the bytes are taken as they are. Each block is converted up to a point
// where no character is cut in two, and the rest waits for the next block, so the text is the
// same as a whole conversion's:
//   UTF-16: whole units, never a high surrogate without its low one;
//   single-byte code pages: anywhere;
//   double-byte code pages whose trail bytes are never '<', '>' or LF (Shift_JIS, GBK, GB18030,
//   Big5, Unified Hangul, EUC): before a '<' or after a '>' or LF;
//   code pages with shift states or low trail bytes (ISO-2022, UTF-7, Johab): after a LF, where
//   well-formed text is back in its initial state;
//   EBCDIC double-byte code pages: not at all (the whole input is one block).
class Utf8Feed {
public:
    Utf8Feed();
    ~Utf8Feed();
    Utf8Feed(const Utf8Feed&) = delete;
    Utf8Feed& operator=(const Utf8Feed&) = delete;

    // Decides the encoding from the document's first bytes (as many as the caller has, the more
    // the better for a late declaration). Returns the length of a byte-order mark to skip. An
    // unknown encoding name is logged and read as ISO-8859-1, as a whole load does.
    size_t begin(const uint8_t* head, size_t n, LogBase* log);

    // Converts the longest prefix of [p, p + n) that ends where a character may end (all of it
    // when last), appending UTF-8 to out; used is the length taken. False, logged, when the
    // bytes do not convert.
    bool convert(const uint8_t* p, size_t n, bool last, DataBuffer& out, size_t& used, LogBase* log);

    // The first file offset at or after `at` where a conversion may start (and the one before
    // it end), a function of the file's bytes alone; kNotFound when [p, p + n), the bytes from
    // file offset `offset` on, do not reach one. `before` is the byte at offset - 1, or -1 when
    // offset is 0. A start tag's '<' is such a point in every encoding that can be cut, so the
    // ranges of a file start and end on record boundaries as its bytes have them.
    static constexpr uint64_t kNotFound = UINT64_MAX;
    uint64_t syncPoint(const uint8_t* p, size_t n, uint64_t offset, int before, uint64_t at) const;
    // Whether the input can be cut at all (see above).
    bool cuttable() const { return cut_ != Cut::kNowhere; }
    bool converts() const { return mode_ != Mode::kAsIs; }

private:
    enum class Mode { kAsIs, kFromUtf16, kConvert };
    enum class Cut { kAnywhere, kUnits, kMarkup, kLines, kNowhere };
    size_t cutPoint(const uint8_t* p, size_t n) const;

    Mode mode_ = Mode::kAsIs;
    Cut cut_ = Cut::kAnywhere;
    bool bigEndian_ = false;
    std::unique_ptr<CharsetConvert> convert_;
};

}  // namespace quorvel
