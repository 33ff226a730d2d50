#include "charset/charset_convert.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "charset/charset_names.h"
#include "charset/code_page_codec.h"
#include "charset/mb_string.h"
#include "charset/multi_lang_impl.h"
#include "charset/output_room.h"
#include "charset/quick_convert.h"
#include "charset/quick_convert_tables.h"
#include "charset/utf8_cache.h"
#include "core/data_buffer.h"
#include "core/log_base.h"

namespace quorvel {
namespace {

constexpr uint32_t kUtf16 = 1200;
constexpr uint32_t kUtf8 = 65001;
constexpr const char* kNoConverter = "CharsetConvert: no multi-language object";

void logError(LogBase* log, const char* message) {
    if (log) log->LogError(message);
}

bool startsWithByteOrderMark(const uint8_t* p, uint32_t n) {
    return n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF;
}

// The code page of a name, with the empty name standing for UTF-8.
uint32_t codePageOfName(std::string_view name) {
    std::string canonical = CanonicalCharsetName(name);
    if (canonical.empty()) canonical = "utf-8";
    return CodePageForCharset(canonical);
}

}  // namespace

struct CharsetConvert::FallbackRun {
    const MbString& text;
    DataBuffer& out;
    Utf8Cache& cache;
    DataBuffer single;  // what one character converted to
};

CharsetConvert::CharsetConvert(LogBase* log)
    : converter_(new (std::nothrow) MultiLangImpl()), sourceName_("iso-8859-1"), targetName_("iso-8859-1") {
    if (!converter_) logError(log, "Failed to create multi-language object.");
}

CharsetConvert::CharsetConvert(std::unique_ptr<MultiLang> converter)
    : converter_(std::move(converter)), sourceName_("iso-8859-1"), targetName_("iso-8859-1") {}

CharsetConvert::~CharsetConvert() = default;

bool CharsetConvert::SetToCharset(const char* name, LogBase* log) {
    const uint32_t codePage = codePageOfName(name ? name : "");
    if (codePage == 0) {
        if (log) {
            log->LogError("TO Charset not recognized");
            log->LogData("charset", name ? name : "");
        }
        return false;
    }
    targetCodePage_ = codePage;
    targetName_.setString(name ? name : "");
    return true;
}

bool CharsetConvert::SetFromCharset(const char* name, LogBase* log) {
    if (name == nullptr) name = "utf-8";
    const uint32_t codePage = codePageOfName(name);
    if (codePage == 0) {
        if (log) {
            log->LogError("FROM Charset not recognized");
            log->LogData("charset", name);
        }
        return false;
    }
    sourceCodePage_ = codePage;
    sourceName_.setString(name);
    return true;
}

bool CharsetConvert::Convert(const void* bytes, uint32_t length, DataBuffer& out, LogBase* log) {
    if (convertByTable(bytes, length, false, out, log)) return true;
    if (!converter_) {
        logError(log, kNoConverter);
        return false;
    }
    if (length == 0) return true;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    if (sourceCodePage_ == targetCodePage_) return appendWithRoom(out, p, length);
    if (sourceCodePage_ == kUtf8 && startsWithByteOrderMark(p, length)) {
        p += 3;
        length -= 3;
    }
    return converter_->Convert(sourceCodePage_, targetCodePage_, p, length, out, log);
}

bool CharsetConvert::ConvertsUnchanged() const {
    return sourceCodePage_ == targetCodePage_ && converter_ && findQuickConvertTable(targetCodePage_) == nullptr;
}

bool CharsetConvert::FromUtf16(const void* utf16, uint32_t length, DataBuffer& out, LogBase* log) {
    if (convertByTable(utf16, length, true, out, log)) return true;
    if (!converter_) {
        logError(log, kNoConverter);
        return false;
    }
    if (length == 0) return true;
    if (targetCodePage_ == kUtf16) return appendWithRoom(out, utf16, length);
    return converter_->FromUnicode(targetCodePage_, utf16, length, out, log);
}

bool CharsetConvert::ToUtf16(const void* bytes, uint32_t length, DataBuffer& out, LogBase* log) {
    if (!converter_) {
        logError(log, kNoConverter);
        return false;
    }
    if (length == 0) return true;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    if (sourceCodePage_ == kUtf8) {
        if (startsWithByteOrderMark(p, length)) {
            p += 3;
            length -= 3;
        }
        return decodeUtf8ToBuffer(p, length, out);
    }
    if (sourceCodePage_ == kUtf16) return appendWithRoom(out, p, length);
    return converter_->ToUnicode(sourceCodePage_, p, length, out, log);
}

// Applies only when the target has a table; then the text, brought to UTF-16, is mapped unit by
// unit. False means "does not apply" and lets the caller go on.
bool CharsetConvert::convertByTable(const void* bytes, uint32_t length, bool isUtf16, DataBuffer& out,
                                    LogBase* log) {
    if (findQuickConvertTable(targetCodePage_) == nullptr) return false;
    DataBuffer utf16;
    if (!isUtf16 && sourceCodePage_ != kUtf16) {
        if (!ToUtf16(bytes, length, utf16, log)) return false;
        bytes = utf16.data();
        length = utf16.size();
    }
    // The units in their own alignment: a copy only when the caller's bytes are not.
    const size_t count = length / 2;
    const char16_t* units = static_cast<const char16_t*>(bytes);
    std::u16string copy;
    if (reinterpret_cast<uintptr_t>(bytes) % alignof(char16_t) != 0) {
        copy.resize(count);
        std::memcpy(copy.data(), bytes, count * 2);
        units = copy.data();
    }
    std::string converted;
    quickConvertFromUtf16(targetCodePage_, units, count, converted);
    // Only an output too long for the buffer fails here; the platform converter will not do better.
    return appendWithRoom(out, converted.data(), static_cast<uint32_t>(converted.size()));
}

// The whole text at once, without a log and without the table.
bool CharsetConvert::convertQuietly(const uint8_t* bytes, uint32_t length, bool dropByteOrderMark, DataBuffer& out) {
    if (!converter_) return false;
    if (length == 0) return true;
    if (sourceCodePage_ == targetCodePage_) return appendWithRoom(out, bytes, length);
    if (dropByteOrderMark && sourceCodePage_ == kUtf8 && startsWithByteOrderMark(bytes, length)) {
        bytes += 3;
        length -= 3;
    }
    return converter_->ConvertDirect(sourceCodePage_, targetCodePage_, bytes, length, out, nullptr);
}

void CharsetConvert::ConvertWithFallback(const StringBuffer& utf8, DataBuffer& out, Utf8Cache& cache) {
    ConvertWithFallback(utf8.data(), static_cast<uint32_t>(utf8.length()), out, cache);
}

void CharsetConvert::ConvertWithFallback(const void* utf8, uint32_t length, DataBuffer& out, Utf8Cache& cache) {
    uint32_t available = 0;
    reserveOutputRoom(out, length, &available);
    if (convertQuietly(static_cast<const uint8_t*>(utf8), length, true, out)) return;

    const MbStringUtf8 text(utf8, length);
    if (text.count() <= 1) return;
    FallbackRun run{text, out, cache, DataBuffer()};
    convertPieces(run, 0, text.count(), text.offset(0));
}

// Characters [first, first + count), the first of which begins at byte `begin`, in sixteenths:
// count / 16 characters each (at least one), the last piece taking what remains.
void CharsetConvert::convertPieces(FallbackRun& run, uint32_t first, uint32_t count, uint32_t begin) {
    constexpr uint32_t kPieces = 16;
    const MbString& text = run.text;
    const uint32_t size = count / kPieces > 0 ? count / kPieces : 1;
    uint32_t pos = begin;
    for (uint32_t piece = 0, start = 0; piece < kPieces && start < count; ++piece, start += size) {
        const uint32_t n = piece + 1 == kPieces ? count - start : std::min(size, count - start);
        // Short pieces are stepped over; long ones are found through the index.
        const uint32_t end = n <= 2 * MbString::kStride ? text.endFrom(pos, n) : text.endOffset(first + start, n);
        if (n > 1) {
            convertRange(run, first + start, n, pos, end);
        } else {
            convertCharacter(run, pos);
        }
        pos = text.nextStart(end);
    }
}

// A piece of several characters: at once if it converts, else in sixteenths again.
void CharsetConvert::convertRange(FallbackRun& run, uint32_t first, uint32_t count, uint32_t begin, uint32_t end) {
    if (convertQuietly(run.text.bytes() + begin, end - begin, false, run.out)) return;
    convertPieces(run, first, count, begin);
}

void CharsetConvert::convertCharacter(FallbackRun& run, uint32_t begin) {
    MbChar c;
    c.set(run.text.bytes() + begin, run.text.lengthAt(begin));
    if (const Utf8Result* known = run.cache.find(c)) {
        if (!known->failed) appendWithRoom(run.out, known->bytes, known->count);
        return;
    }
    run.single.shrinkTo(0);
    if (convertQuietly(c.bytes, c.count, false, run.single)) {
        appendWithRoom(run.out, run.single.data(), run.single.size());
        run.cache.storeResult(c, run.single.data(), run.single.size());
    } else {
        run.cache.storeFailure(c);
    }
}

}  // namespace quorvel
