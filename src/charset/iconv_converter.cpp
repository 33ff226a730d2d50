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

bool IconvConverter::convert(const void* bytes, uint32_t length, DataBuffer& out, uint64_t room) {
    if (handle_ == nullptr) return false;
    iconv_t cd = static_cast<iconv_t>(handle_);
    const uint32_t start = out.size();
    auto fail = [&] {
        out.shrinkTo(start);
        return false;
    };

    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(static_cast<const char*>(bytes));
    size_t inLeft = length;
    // The input first, then the sequence that returns a stateful target to its initial state.
    bool inputDone = length == 0;
    for (;;) {
        uint32_t available = 0;
        uint8_t* window = reserveOutputRoom(out, room, &available);
        if (window == nullptr) return fail();
        char* outPtr = reinterpret_cast<char*>(window);
        size_t outLeft = available;
        const size_t result = inputDone ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                        : iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        const uint32_t written = static_cast<uint32_t>(available - outLeft);
        out.commit(written);
        if (result == kFailed) {
            if (error != E2BIG) return fail();
            // Short of room that the buffer cannot give.
            if (written == 0 && available < room) return fail();
            room = std::max<uint64_t>(static_cast<uint64_t>(inLeft) * 4 + 64, out.size() / 2);
            continue;
        }
        // A count of irreversible conversions means something was approximated.
        if (result != 0) return fail();
        if (inputDone) break;
        inputDone = true;
    }
    return true;
}

}  // namespace quorvel
