#include "charset/utf16_pipeline.h"

#include "charset/output_room.h"
#include "core/data_buffer.h"

namespace quorvel {
namespace {

constexpr uint32_t kUtf16 = 1200;
constexpr uint32_t kUtf8 = 65001;
constexpr uint32_t kLatin1 = 28591;
// Input bytes a window takes from single-byte and UTF-8 text, and UTF-16 bytes a window holds.
constexpr uint32_t kWindowInput = 64 * 1024;
constexpr uint32_t kWindowUnitsBytes = 2 * kWindowInput;

bool isContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

}  // namespace

uint32_t utf8WindowEnd(const uint8_t* bytes, uint32_t length, uint32_t want) {
    for (uint32_t back = 0; back < 4; ++back) {
        if (back == want) {
            // The window would be empty: let it take the sequence that begins it instead.
            uint32_t end = want;
            while (end < length && end - want < 4 && isContinuation(bytes[end])) ++end;
            return end;
        }
        if (!isContinuation(bytes[want - back])) return want - back;
    }
    return want;
}

bool Utf16Reader::open(uint32_t codePage, Utf16Codecs codecs) {
    iconv_.close();
    if (codePage == kUtf8) {
        kind_ = Kind::Utf8;
    } else if (codecs == Utf16Codecs::System && codePage == kLatin1) {
        kind_ = Kind::Latin1;
    } else if (codecs == Utf16Codecs::System && codePage == kUtf16) {
        kind_ = Kind::Copy;
    } else {
        kind_ = Kind::Iconv;
        return iconv_.open(codePage, kUtf16);
    }
    return true;
}

void Utf16Reader::start(const void* bytes, uint32_t length) {
    in_ = static_cast<const uint8_t*>(bytes);
    left_ = length;
    iconv_.reset();
}

Utf16Reader::Read Utf16Reader::next(DataBuffer& units) {
    units.shrinkTo(0);
    if (kind_ == Kind::Iconv) {
        uint32_t available = 0;
        uint8_t* window = reserveOutputRoom(units, kWindowUnitsBytes, &available);
        if (window == nullptr) return Read::Failed;
        const char* in = reinterpret_cast<const char*>(in_);
        size_t inLeft = left_;
        size_t written = 0;
        IconvConverter::Progress progress = IconvConverter::Progress::Done;
        if (inLeft > 0) progress = iconv_.step(&in, &inLeft, window, available, &written);
        units.commit(static_cast<uint32_t>(written));
        in_ = reinterpret_cast<const uint8_t*>(in);
        left_ = static_cast<uint32_t>(inLeft);
        if (progress == IconvConverter::Progress::Failed) return Read::Failed;
        if (progress == IconvConverter::Progress::Full) return written > 0 ? Read::More : Read::Failed;
        return iconv_.finish(units) ? Read::Done : Read::Failed;
    }

    uint32_t take = left_;
    if (kind_ == Kind::Copy) {
        if (take > kWindowUnitsBytes) take = kWindowUnitsBytes;
    } else if (take > kWindowInput) {
        take = kind_ == Kind::Utf8 ? utf8WindowEnd(in_, left_, kWindowInput) : kWindowInput;
    }
    const bool ok = kind_ == Kind::Copy ? appendWithRoom(units, in_, take)
                                        : decodeCodePage(kind_ == Kind::Utf8 ? kUtf8 : kLatin1, in_, take, units);
    if (!ok) return Read::Failed;
    in_ += take;
    left_ -= take;
    return left_ == 0 ? Read::Done : Read::More;
}

bool Utf16Writer::open(uint32_t codePage, Utf16Codecs codecs) {
    codePage_ = codePage;
    system_ = codecs == Utf16Codecs::System && (codePage == kUtf8 || codePage == kLatin1 || codePage == kUtf16);
    if (system_) return true;
    if (!iconv_.open(kUtf16, codePage)) return false;
    iconv_.reset();
    return true;
}

EncodeResult Utf16Writer::write(const DataBuffer& units, DataBuffer& out) {
    if (units.empty()) return EncodeResult::Ok;
    if (system_) return encodeCodePage(codePage_, units.data(), units.size(), out);
    // Three bytes a unit at first; the window grows for targets that need more.
    return iconv_.feed(units.data(), units.size(), out, uint64_t{units.size()} / 2 * 3) ? EncodeResult::Ok
                                                                                      : EncodeResult::CannotMeasure;
}

bool Utf16Writer::finish(DataBuffer& out) { return system_ || iconv_.finish(out); }

}  // namespace quorvel
