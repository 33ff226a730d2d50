#include "component/module_lock.h"

#include <atomic>

namespace quorvel {

namespace {
std::atomic<int32_t> lockCount{0};
}

void lockModule() { lockCount.fetch_add(1, std::memory_order_relaxed); }

void unlockModule() { lockCount.fetch_sub(1, std::memory_order_acq_rel); }

int32_t moduleLockCount() { return lockCount.load(std::memory_order_acquire); }

}  // namespace quorvel
