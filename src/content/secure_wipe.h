#pragma once
#include <cstddef>

namespace quorvel {

class DataBuffer;
class StringBuffer;

// Passwords and keys are wiped when a call is done with them, so that they do not linger in freed
// memory where a later allocation, a core file or a swap page would show them.

// Overwrites n bytes at p with zeros by a call the compiler cannot drop as a dead store.
void secureWipe(void* p, size_t n);
// Wipes the buffer's whole block (its capacity, not only its size), then empties it.
void wipeBuffer(DataBuffer& b);
void wipeBuffer(StringBuffer& s);

}  // namespace quorvel
