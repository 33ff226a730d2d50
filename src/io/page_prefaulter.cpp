#include "io/page_prefaulter.h"

#include <sys/mman.h>

#include <algorithm>
#include <system_error>

namespace quorvel {

void PagePrefaulter::start(void* block, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    constexpr uintptr_t kPage = 4096;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kPage - 1);
    if (end <= first) return;
    stopping_ = false;
    written_ = 0;
    try {
        thread_ = std::thread([this, first, end] { run(first, end); });
    } catch (const std::system_error&) {
        // No thread: the writer takes the faults itself, as it would anyway.
    }
#else
    (void)block;
    (void)bytes;
#endif
}

void PagePrefaulter::run(uintptr_t first, uintptr_t end) {
#ifdef MADV_POPULATE_WRITE
    // Steps of one huge page, so that a stop waits for little.
    constexpr uintptr_t kStep = uintptr_t{2} << 20;
    uintptr_t at = first;
    while (at < end) {
        const std::size_t seen = written_.load(std::memory_order_relaxed);
        const uintptr_t bound = std::min(end, first + seen + kAhead);
        for (; at < bound; at += kStep) {
            if (stopping_.load(std::memory_order_relaxed)) return;
            if (madvise(reinterpret_cast<void*>(at), std::min(kStep, end - at), MADV_POPULATE_WRITE) != 0) return;
        }
        if (at >= end || stopping_.load(std::memory_order_relaxed)) return;
        written_.wait(seen, std::memory_order_relaxed);
    }
#else
    (void)first;
    (void)end;
#endif
}

void PagePrefaulter::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    written_.fetch_add(1, std::memory_order_relaxed);  // wakes a wait for the writer
    written_.notify_one();
    thread_.join();
}

}  // namespace quorvel
