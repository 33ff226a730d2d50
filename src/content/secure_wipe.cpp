#include "content/secure_wipe.h"

#include <openssl/crypto.h>

#include "core/data_buffer.h"
#include "core/string_buffer.h"

namespace quorvel {

void secureWipe(void* p, size_t n) {
    if (p && n) OPENSSL_cleanse(p, n);
}

void wipeBuffer(DataBuffer& b) {
    // A borrowed block is somebody else's; only what we own is ours to wipe.
    if (!b.borrowed()) secureWipe(b.mutableData(), b.capacity());
    b.clear();
}

void wipeBuffer(StringBuffer& s) {
    secureWipe(s.mutableData(), static_cast<size_t>(s.capacity()));
    s.clear();
}

}  // namespace quorvel
