#include "core/system/thread_id.h"

#include <unistd.h>

namespace quorvel::sys {

uint32_t currentThreadId() { return static_cast<uint32_t>(::gettid()); }

}  // namespace quorvel::sys
