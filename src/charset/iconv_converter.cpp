#include "charset/iconv_converter.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "charset/iconv_names.h"
#include "charset/output_room.h"
#include "core/data_buffer.h"

namespace quorvel {
namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);
constexpr size_t kFailed = static_cast<size_t>(-1);

}  // namespace

IconvConverter::~IconvConverter() { close(); }

void IconvConverter::close() {
    if (handle_ != nullptr) iconv_close(static_cast<iconv_t>(handle_));
    handle_ = nullptr;
}

bool IconvConverter::open(uint32_t sourceCodePage, uint32_t targetCodePage) {
    close();
    const char* from = iconvNameForCodePage(sourceCodePage);
    const char* to = iconvNameForCodePage(targetCodePage);
    if (from == nullptr || to == nullptr) return false;
    // Plain names only: with neither //TRANSLIT nor //IGNORE a character the target lacks fails.
    iconv_t handle = iconv_open(to, from);
    if (handle == kNoHandle) return false;
    handle_ = handle;
    return true;
}

void IconvConverter::reset() {
    if (handle_ != nullptr) iconv(static_cast<iconv_t>(handle_), nullptr, nullptr, nullptr, nullptr);
}

IconvConverter::Progress IconvConverter::step(const char** in, size_t* inLeft, uint8_t* window, size_t room,
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
    if (handle_ == nullptr) return false;
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
    if (handle_ == nullptr) return false;
    const uint32_t start = out.size();
    reset();
    if ((length == 0 || feed(bytes, length, out, room)) && finish(out)) return true;
    out.shrinkTo(start);
    return false;
}

}  // namespace quorvel
