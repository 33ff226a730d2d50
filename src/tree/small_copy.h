#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quorvel {

// Copies n bytes between buffers that do not overlap. Tags, names, values and short contents are
// mostly a few bytes long, where a library call costs more than the copy: up to 32 bytes are
// moved with two overlapping loads and stores that stay inside both ranges, fewer than 4 one by
// one.
inline void copySmall(char* to, const char* from, size_t n) {
    if (n >= 8) {
        if (n > 16) {
            if (n > 32) {
                std::memcpy(to, from, n);
                return;
            }
            char a[16], b[16];
            std::memcpy(a, from, 16);
            std::memcpy(b, from + n - 16, 16);
            std::memcpy(to, a, 16);
            std::memcpy(to + n - 16, b, 16);
            return;
        }
        uint64_t a, b;
        std::memcpy(&a, from, 8);
        std::memcpy(&b, from + n - 8, 8);
        std::memcpy(to, &a, 8);
        std::memcpy(to + n - 8, &b, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        std::memcpy(&a, from, 4);
        std::memcpy(&b, from + n - 4, 4);
        std::memcpy(to, &a, 4);
        std::memcpy(to + n - 4, &b, 4);
    } else {
        for (size_t i = 0; i < n; ++i) to[i] = from[i];
    }
}

}  // namespace quorvel
