#include "charset/output_room.h"

#include <algorithm>
#include <cstring>

#include "core/data_buffer.h"

namespace quorvel {

uint8_t* reserveOutputRoom(DataBuffer& out, uint64_t room, uint32_t* available) {
    constexpr uint64_t kLimit = UINT32_MAX;
    const uint64_t size = out.size();
    if (room == 0) room = 1;
    if (size + room > kLimit) {
        if (size >= kLimit) return nullptr;
        room = kLimit - size;
    }
    if (out.capacity() - size < room) {
        const uint64_t grown = std::min(kLimit, static_cast<uint64_t>(out.capacity()) + out.capacity() / 2);
        out.reserve(static_cast<uint32_t>(std::max(size + room, grown)));
    }
    // A borrowed block is copied into one of our own here; an owned one already has the room.
    uint8_t* at = out.appendSpace(static_cast<uint32_t>(room));
    *available = out.capacity() - out.size();
    return at;
}

bool appendWithRoom(DataBuffer& out, const void* bytes, uint32_t n) {
    if (n == 0) return true;
    uint32_t available = 0;
    uint8_t* at = reserveOutputRoom(out, n, &available);
    if (at == nullptr || available < n) return false;
    std::memcpy(at, bytes, n);
    out.commit(n);
    return true;
}

}  // namespace quorvel
