#include "charset/iconv_converter.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "charset/byte_table_codec.h"
#include "charset/code_page_patch.h"
#include "charset/iconv_names.h"
#include "charset/output_room.h"
#include "core/data_buffer.h"
#include "core/system/utf8.h"

namespace quorvel {
namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);
constexpr size_t kFailed = static_cast<size_t>(-1);
constexpr const char* kUtf16Le = "UTF-16LE";
constexpr uint32_t kUtf16CodePage = 1200;
constexpr uint32_t kUtf8CodePage = 65001;
// Units a table side converts at a time.
constexpr size_t kTableChunk = 512;
// UTF-16LE bytes a converter through UTF-16LE decodes at a time.
constexpr size_t kUnitsChunk = 16384;
// Input bytes an encoder of a patched code page looks at before iconv converts them.
constexpr size_t kLookAhead = 8192;

char16_t unitAt(const char* bytes) {
    char16_t unit;
    std::memcpy(&unit, bytes, 2);
    return unit;
}

}  // namespace

IconvConverter::~IconvConverter() { close(); }

void IconvConverter::close() {
    if (handle_ != nullptr) iconv_close(static_cast<iconv_t>(handle_));
    handle_ = nullptr;
    decodeTable_ = encodeTable_ = nullptr;
    decodePatch_ = encodePatch_ = nullptr;
    toUnits_.reset();
    fromUnits_.reset();
    unitsSize_ = unitsDone_ = 0;
    open_ = plain_ = false;
}

bool IconvConverter::open(uint32_t sourceCodePage, uint32_t targetCodePage) {
    close();
    const CodePagePatch* decodePatch = codePagePatch(sourceCodePage);
    const CodePagePatch* encodePatch = codePagePatch(targetCodePage);
    // A patch works beside UTF-16LE, and beside UTF-8 unless iconv's decoded characters need
    // rewriting; anything else goes through UTF-16LE.
    const uint32_t other = decodePatch ? targetCodePage : sourceCodePage;
    const bool rewrites = decodePatch && decodePatch->rewriteLow <= decodePatch->rewriteHigh;
    if ((decodePatch && encodePatch) || ((decodePatch || encodePatch) && other != kUtf16CodePage &&
                                         (other != kUtf8CodePage || rewrites))) {
        toUnits_ = std::make_unique<IconvConverter>();
        fromUnits_ = std::make_unique<IconvConverter>();
        if (!toUnits_->open(sourceCodePage, kUtf16CodePage) || !fromUnits_->open(kUtf16CodePage, targetCodePage)) {
            close();
            return false;
        }
        open_ = true;
        return true;
    }
    const ByteTable* decodeTable = byteTableForCodePage(sourceCodePage);
    const ByteTable* encodeTable = byteTableForCodePage(targetCodePage);
    const char* from = decodeTable ? kUtf16Le : iconvNameForCodePage(sourceCodePage);
    const char* to = encodeTable ? kUtf16Le : iconvNameForCodePage(targetCodePage);
    if (from == nullptr || to == nullptr) return false;
    const bool tableOnly = (decodeTable || encodeTable) && std::strcmp(from, to) == 0;
    if (!tableOnly) {
        // Plain names only: with neither //TRANSLIT nor //IGNORE a character the target lacks fails.
        iconv_t handle = iconv_open(to, from);
        if (handle == kNoHandle) return false;
        handle_ = handle;
    }
    decodeTable_ = decodeTable;
    encodeTable_ = encodeTable;
    decodePatch_ = decodePatch;
    encodePatch_ = encodePatch;
    patchUtf8_ = other == kUtf8CodePage;
    plain_ = !decodeTable && !encodeTable && !decodePatch && !encodePatch;
    open_ = true;
    return true;
}

void IconvConverter::reset() {
    if (handle_ != nullptr) iconv(static_cast<iconv_t>(handle_), nullptr, nullptr, nullptr, nullptr);
    if (toUnits_) {
        toUnits_->reset();
        fromUnits_->reset();
        unitsSize_ = unitsDone_ = 0;
    }
}

IconvConverter::Progress IconvConverter::step(const char** in, size_t* inLeft, uint8_t* window, size_t room,
                                              size_t* written) {
    if (plain_) return iconvStep(in, inLeft, window, room, written);
    if (toUnits_) return stepThroughUtf16(in, inLeft, window, room, written);
    if (decodePatch_ != nullptr || encodePatch_ != nullptr) {
        if (*inLeft == 0) return iconvStep(in, inLeft, window, room, written);
        return decodePatch_ != nullptr ? stepFromPatched(in, inLeft, window, room, written)
                                       : stepToPatched(in, inLeft, window, room, written);
    }
    *written = 0;
    if (*inLeft > 0) {
        return decodeTable_ != nullptr ? stepFromTable(in, inLeft, window, room, written)
                                       : stepToTable(in, inLeft, window, room, written);
    }
    // Only iconv's side can have a shift state to close.
    if (decodeTable_ != nullptr && handle_ != nullptr) return iconvStep(in, inLeft, window, room, written);
    return Progress::Done;
}

// Table bytes to units, then to the window as they are, through the target's table, or through
// iconv. Each byte is one unit, so the units iconv takes tell how far the input has gone.
IconvConverter::Progress IconvConverter::stepFromTable(const char** in, size_t* inLeft, uint8_t* window,
                                                       size_t room, size_t* written) {
    char16_t units[kTableChunk];
    while (*inLeft > 0) {
        size_t n = std::min(*inLeft, kTableChunk);
        if (encodeTable_ != nullptr) n = std::min(n, room - *written);
        if (encodeTable_ == nullptr && handle_ == nullptr) n = std::min(n, (room - *written) / 2);
        if (n == 0) return Progress::Full;
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(*in);
        size_t good = 0;
        while (good < n && decodeTableByte(*decodeTable_, bytes[good], &units[good])) ++good;
        size_t used = good;
        Progress progress = Progress::Done;
        if (encodeTable_ != nullptr) {
            for (used = 0; used < good && encodeTableUnit(*encodeTable_, units[used], window + *written); ++used) {
                ++*written;
            }
        } else if (handle_ == nullptr) {
            std::memcpy(window + *written, units, good * 2);
            *written += good * 2;
        } else if (good > 0) {
            size_t step = 0;
            const char* unitBytes = reinterpret_cast<const char*>(units);
            size_t unitsLeft = good * 2;
            progress = iconvStep(&unitBytes, &unitsLeft, window + *written, room - *written, &step);
            *written += step;
            used = good - unitsLeft / 2;
        }
        *in += used;
        *inLeft -= used;
        if (progress != Progress::Done) return progress;
        if (used < n) return Progress::Failed;  // a byte without a character, or a character without a byte
    }
    return Progress::Done;
}

// Source to units by iconv (or as they are, from UTF-16LE), then each unit to its table byte.
IconvConverter::Progress IconvConverter::stepToTable(const char** in, size_t* inLeft, uint8_t* window, size_t room,
                                                     size_t* written) {
    char16_t units[kTableChunk];
    while (*inLeft > 0) {
        const size_t capacity = std::min(room - *written, kTableChunk);
        if (capacity == 0) return Progress::Full;
        size_t count = 0;
        Progress progress = Progress::Done;
        if (handle_ == nullptr) {
            count = std::min(*inLeft / 2, capacity);
            if (count == 0) return Progress::Failed;  // half a unit
            std::memcpy(units, *in, count * 2);
            *in += count * 2;
            *inLeft -= count * 2;
        } else {
            size_t bytes = 0;
            progress = iconvStep(in, inLeft, reinterpret_cast<uint8_t*>(units), capacity * 2, &bytes);
            count = bytes / 2;
            // Room for one unit but a pair to come: no table has a byte for it anyway.
            if (progress == Progress::Full && count == 0) return Progress::Failed;
        }
        for (size_t i = 0; i < count; ++i) {
            if (!encodeTableUnit(*encodeTable_, units[i], window + *written)) return Progress::Failed;
            ++*written;
        }
        if (progress == Progress::Failed) return progress;
    }
    return Progress::Done;
}

// Patched bytes to units: iconv's units, each looked at where iconv may differ from the platform,
// and the platform's unit where iconv stops at bytes it rejects.
IconvConverter::Progress IconvConverter::stepFromPatched(const char** in, size_t* inLeft, uint8_t* window,
                                                         size_t room, size_t* written) {
    *written = 0;
    for (;;) {
        size_t step = 0;
        const Progress progress = iconvStep(in, inLeft, window + *written, room - *written, &step);
        for (size_t i = *written; decodePatch_->rewriteLow <= decodePatch_->rewriteHigh && i + 1 < *written + step; i += 2) {
            char16_t unit = unitAt(reinterpret_cast<const char*>(window + i));
            if (!fixDecoded(*decodePatch_, &unit)) return Progress::Failed;
            std::memcpy(window + i, &unit, 2);
        }
        *written += step;
        if (progress != Progress::Failed || *inLeft == 0) return progress;
        char16_t unit;
        const size_t length = decodeRejected(*decodePatch_, reinterpret_cast<const uint8_t*>(*in), *inLeft, &unit);
        if (length == 0) return Progress::Failed;
        if (room - *written < (patchUtf8_ ? 3 : 2)) return Progress::Full;
        if (patchUtf8_) {
            *written += sys::encodeUtf8(&unit, 1, reinterpret_cast<char*>(window + *written));
        } else {
            std::memcpy(window + *written, &unit, 2);
            *written += 2;
        }
        *in += length;
        *inLeft -= length;
        if (*inLeft == 0) return Progress::Done;
    }
}

// Units to patched bytes: iconv up to a unit the platform lacks, and the platform's bytes where
// iconv stops at a unit it rejects.
IconvConverter::Progress IconvConverter::stepToPatched(const char** in, size_t* inLeft, uint8_t* window,
                                                       size_t room, size_t* written) {
    *written = 0;
    for (;;) {
        if (*written == room) return Progress::Full;
        // iconv may go as far as the first character the platform lacks, looked for a stretch at a
        // time so that a text that fails early is not read to its end, and no further than the
        // window can take (a character is at least a byte there, and at most three bytes here).
        // Where the platform lacks none of iconv's characters, iconv goes as far as it can.
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(*in);
        const bool looks = encodePatch_->lackLow <= encodePatch_->lackHigh;
        size_t look = looks ? std::min({*inLeft, (room - *written) * (patchUtf8_ ? 3 : 2), kLookAhead}) : *inLeft;
        // Never between the parts of a character, which iconv would take for an incomplete one.
        if (patchUtf8_) {
            while (look < *inLeft && (bytes[look] & 0xC0) == 0x80) ++look;
        } else if (look >= 2 && look + 1 < *inLeft && (unitAt(*in + look - 2) & 0xFC00) == 0xD800) {
            look += 2;
        }
        const size_t take = firstLacked(*encodePatch_, bytes, look, patchUtf8_);
        size_t left = take;
        size_t step = 0;
        Progress progress = Progress::Done;
        if (take > 0) progress = iconvStep(in, &left, window + *written, room - *written, &step);
        *written += step;
        *inLeft -= take - left;
        if (progress == Progress::Full || *inLeft == 0) return progress;
        if (progress == Progress::Done && take == look) continue;
        char16_t unit = 0;
        const size_t used = patchUtf8_ ? readUtf8Unit(reinterpret_cast<const uint8_t*>(*in), *inLeft, &unit)
                                       : (*inLeft < 2 ? 0 : (unit = unitAt(*in), 2));
        uint8_t out[2];
        const size_t length = used == 0 || lacksUnit(*encodePatch_, unit) ? 0 : encodeRejected(*encodePatch_, unit, out);
        if (length == 0) return Progress::Failed;
        if (room - *written < length) return Progress::Full;
        std::memcpy(window + *written, out, length);
        *written += length;
        *in += used;
        *inLeft -= used;
        if (*inLeft == 0) return Progress::Done;
    }
}

// Source to units, then units to target, keeping what the window had no room for. With no input
// left, returns the target to its initial state.
IconvConverter::Progress IconvConverter::stepThroughUtf16(const char** in, size_t* inLeft, uint8_t* window,
                                                          size_t room, size_t* written) {
    *written = 0;
    const bool closing = *inLeft == 0;
    for (;;) {
        if (unitsDone_ < unitsSize_) {
            const char* units = reinterpret_cast<const char*>(units_.get()) + unitsDone_;
            size_t left = unitsSize_ - unitsDone_;
            size_t step = 0;
            const Progress progress = fromUnits_->step(&units, &left, window + *written, room - *written, &step);
            *written += step;
            unitsDone_ = unitsSize_ - left;
            if (progress != Progress::Done) return progress;
        }
        if (*inLeft == 0) {
            if (!closing) return Progress::Done;
            // Decoding to UTF-16LE leaves no shift state to write.
            toUnits_->reset();
            size_t step = 0;
            const Progress progress = fromUnits_->step(in, inLeft, window + *written, room - *written, &step);
            *written += step;
            return progress;
        }
        // No more than two units a byte, and room for a character whatever it is.
        const size_t unitRoom = std::min(kUnitsChunk, *inLeft * 4 + 8);
        if (!units_) units_ = std::make_unique_for_overwrite<uint8_t[]>(kUnitsChunk);
        size_t decoded = 0;
        const Progress progress = toUnits_->step(in, inLeft, units_.get(), unitRoom, &decoded);
        unitsSize_ = decoded;
        unitsDone_ = 0;
        if (progress == Progress::Failed || (progress == Progress::Full && decoded == 0)) return Progress::Failed;
    }
}

IconvConverter::Progress IconvConverter::iconvStep(const char** in, size_t* inLeft, uint8_t* window, size_t room,
                                                   size_t* written) {
    char* outPtr = reinterpret_cast<char*>(window);
    size_t outLeft = room;
    // With no input left, this writes the sequence that returns a stateful target to its initial state.
    const size_t result = *inLeft > 0 ? iconv(static_cast<iconv_t>(handle_), const_cast<char**>(in), inLeft,
                                              &outPtr, &outLeft)
                                      : iconv(static_cast<iconv_t>(handle_), nullptr, nullptr, &outPtr, &outLeft);
    const int error = errno;
    *written = room - outLeft;
    if (result == kFailed) return error == E2BIG ? Progress::Full : Progress::Failed;
    // A count of irreversible conversions means something was approximated.
    return result == 0 ? Progress::Done : Progress::Failed;
}

// Runs the input (or, with length 0 and bytes null, the closing sequence) through the
// converter into out, enlarging the window while it proves short.
bool IconvConverter::feed(const void* bytes, uint32_t length, DataBuffer& out, uint64_t room) {
    if (!open_) return false;
    const char* in = static_cast<const char*>(bytes);
    size_t inLeft = length;
    for (;;) {
        if (in != nullptr && inLeft == 0) return true;
        uint32_t available = 0;
        uint8_t* window = reserveOutputRoom(out, room, &available);
        if (window == nullptr) return false;
        size_t written = 0;
        const Progress progress = step(&in, &inLeft, window, available, &written);
        out.commit(static_cast<uint32_t>(written));
        if (progress == Progress::Done) return true;
        if (progress == Progress::Failed) return false;
        // Short of room that the buffer cannot give.
        if (written == 0 && available < room) return false;
        room = std::max<uint64_t>(static_cast<uint64_t>(inLeft) * 4 + 64, out.size() / 2);
    }
}

bool IconvConverter::finish(DataBuffer& out) { return feed(nullptr, 0, out, 64); }

bool IconvConverter::convert(const void* bytes, uint32_t length, DataBuffer& out, uint64_t room) {
    if (!open_) return false;
    const uint32_t start = out.size();
    reset();
    if ((length == 0 || feed(bytes, length, out, room)) && finish(out)) return true;
    out.shrinkTo(start);
    return false;
}

}  // namespace quorvel
