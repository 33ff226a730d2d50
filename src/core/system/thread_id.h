// The calling thread's id as the kernel knows it; used in temporary names.
#pragma once

#include <cstdint>

namespace quorvel::sys {

uint32_t currentThreadId();

}  // namespace quorvel::sys
