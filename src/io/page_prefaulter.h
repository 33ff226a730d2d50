// Takes the page faults of a fresh block on a thread of its own, ahead of the thread writing it.
//
// The system hands out fresh memory as pages it zeroes at first touch: for a body of tens of
// megabytes that is several milliseconds the receiving thread would otherwise spend between
// reads. The prefaulter asks the system to make the block's pages present, front to back, never
// more than kAhead bytes beyond what the writer reports written (a length announced by a server
// is not trusted with more memory than that), and never writes to the block itself, so the writer
// fills it at the same time. Costs one thread per block; without the system's request it does
// nothing.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace quorvel {

class PagePrefaulter {
public:
    static constexpr std::size_t kAhead = std::size_t{16} << 20;

    PagePrefaulter() = default;
    ~PagePrefaulter() { stop(); }
    PagePrefaulter(const PagePrefaulter&) = delete;
    PagePrefaulter& operator=(const PagePrefaulter&) = delete;

    // Starts making [block, block + bytes) present. A failure to start a thread is not an error.
    // REQUIRES: not running; the block stays allocated until stop() returns.
    void start(void* block, std::size_t bytes);

    // The writer has filled the block's first `bytes`.
    void written(std::size_t bytes) {
        written_.store(bytes, std::memory_order_relaxed);
        written_.notify_one();
    }

    // Stops early if still running and waits for the thread. Safe to call when not running.
    void stop();

private:
    void run(std::uintptr_t first, std::uintptr_t end);

    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> written_{0};
};

}  // namespace quorvel
