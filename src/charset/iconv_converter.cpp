#include "charset/iconv_converter.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "charset/byte_table_codec.h"
#include "charset/iconv_names.h"
#include "charset/output_room.h"
#include "core/data_buffer.h"

namespace quorvel {
namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);
constexpr size_t kFailed = static_cast<size_t>(-1);
constexpr const char* kUtf16Le = "UTF-16LE";
// Units a table side converts at a time.
constexpr size_t kTableChunk = 512;

}  // namespace

IconvConverter::~IconvConverter() { close(); }

void IconvConverter::close() {
    if (handle_ != nullptr) iconv_close(static_cast<iconv_t>(handle_));
    handle_ = nullptr;
    decodeTable_ = encodeTable_ = nullptr;
    open_ = false;
}

bool IconvConverter::open(uint32_t sourceCodePage, uint32_t targetCodePage) {
    close();
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
    open_ = true;
    return true;
}

void IconvConverter::reset() {
    if (handle_ != nullptr) iconv(static_cast<iconv_t>(handle_), nullptr, nullptr, nullptr, nullptr);
}

IconvConverter::Progress IconvConverter::step(const char** in, size_t* inLeft, uint8_t* window, size_t room,
                                              size_t* written) {
    if (decodeTable_ == nullptr && encodeTable_ == nullptr) return iconvStep(in, inLeft, window, room, written);
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
