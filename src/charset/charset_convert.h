#pragma once
// Conversion between a source and a target charset, and of host strings to and from UTF-8.

#include <cstdint>
#include <memory>

#include "core/string_buffer.h"
#include "quorvel/automation.hpp"

namespace quorvel {

class DataBuffer;
class LogBase;
class MultiLang;
class Utf8Cache;

class CharsetConvert {
public:
    // Creates the platform converter; `log` hears only of a failure to create it.
    explicit CharsetConvert(LogBase* log = nullptr);
    // Works with the given converter; none behaves as a platform converter that could not be
    // created (charsets are still selected, table conversion from UTF-16 still works).
    explicit CharsetConvert(std::unique_ptr<MultiLang> converter);
    ~CharsetConvert();
    CharsetConvert(const CharsetConvert&) = delete;
    CharsetConvert& operator=(const CharsetConvert&) = delete;

    // Select the target or source charset by name. A name that is empty after trimming means
    // "utf-8", as does an absent source name (which is then stored as "utf-8"); otherwise the
    // name is stored exactly as passed. False, keeping the previous selection, for a name that
    // is not recognised.
    bool SetToCharset(const char* name, LogBase* log = nullptr);
    bool SetFromCharset(const char* name, LogBase* log = nullptr);

    // Source charset to target charset, appended to out.
    bool Convert(const void* bytes, uint32_t length, DataBuffer& out, LogBase* log = nullptr);
    // Whether Convert gives back any input unchanged: both charsets are the same, and neither a
    // conversion table nor a missing converter stands in the way. A caller that would replace
    // its bytes by the result may then keep them.
    bool ConvertsUnchanged() const;
    // UTF-16LE bytes (`length` counts bytes) to the target charset, appended to out.
    bool FromUtf16(const void* utf16, uint32_t length, DataBuffer& out, LogBase* log = nullptr);
    // Source charset to UTF-16LE bytes, appended to out.
    bool ToUtf16(const void* bytes, uint32_t length, DataBuffer& out, LogBase* log = nullptr);

    // UTF-8 text (in the source charset selected, normally "utf-8") to the target charset,
    // leaving out each character that cannot be converted. A text that converts as a whole costs
    // one conversion; otherwise it is cut into sixteenths, and those that fail again are cut
    // further, down to single characters, whose results `cache` keeps for the rest of the call.
    // Only a byte-order mark at the very start of the text is dropped.
    void ConvertWithFallback(const void* utf8, uint32_t length, DataBuffer& out, Utf8Cache& cache);
    void ConvertWithFallback(const StringBuffer& utf8, DataBuffer& out, Utf8Cache& cache);

    // Host strings. An absent string leaves `out` as it is; otherwise `out` is emptied and receives
    // the UTF-8 form of the string's units (as many as its length prefix says), or, without a
    // platform converter, its form in the narrow code page (Windows-1252, '?' for what it lacks).
    void HostStringToUtf8(const char16_t* bstr, StringBuffer& out);
    void HostStringToUtf8Bytes(const char16_t* bstr, DataBuffer& out);
    // A new host string of the UTF-8 text, owned by the caller; empty (never absent) for an
    // empty text. Malformed UTF-8 becomes U+FFFD, so the decoder never fails.
    BSTR Utf8ToHostString(const StringBuffer& text);
    // The same without a converter: viaUtf8 says whether the platform converter's route (UTF-8)
    // is taken, else the narrow code page's, as by a converter whose platform converter is missing.
    // Owners that make their converter on first use convert host strings so before that.
    static void HostStringToUtf8(const char16_t* bstr, StringBuffer& out, bool viaUtf8);
    static void HostStringToUtf8Bytes(const char16_t* bstr, DataBuffer& out, bool viaUtf8);
    static BSTR NewHostString(const StringBuffer& text);

    uint32_t sourceCodePage() const { return sourceCodePage_; }
    uint32_t targetCodePage() const { return targetCodePage_; }
    const StringBuffer& sourceName() const { return sourceName_; }
    const StringBuffer& targetName() const { return targetName_; }
    MultiLang* converter() const { return converter_.get(); }

private:
    bool convertByTable(const void* bytes, uint32_t length, bool isUtf16, DataBuffer& out, LogBase* log);
    bool convertQuietly(const uint8_t* bytes, uint32_t length, bool dropByteOrderMark, DataBuffer& out);
    struct FallbackRun;
    void convertPieces(FallbackRun& run, uint32_t first, uint32_t count, uint32_t begin);
    void convertRange(FallbackRun& run, uint32_t first, uint32_t count, uint32_t begin, uint32_t end);
    void convertCharacter(FallbackRun& run, uint32_t begin);

    std::unique_ptr<MultiLang> converter_;
    StringBuffer sourceName_;
    StringBuffer targetName_;
    uint32_t sourceCodePage_ = 28591;
    uint32_t targetCodePage_ = 28591;
};

}  // namespace quorvel
