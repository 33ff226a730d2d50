#include "content/digest_md5.h"

#include "content/secure_wipe.h"
#include "core/data_buffer.h"
#include "core/string_buffer.h"

namespace quorvel {

HmacMD5::~HmacMD5() { secureWipe(&ctx_, sizeof ctx_); }

void HmacMD5::update(const void* p, size_t n) {
    if (n) md5_update(&ctx_, n, static_cast<const uint8_t*>(p));
}

void DigestMD5::digest(const void* p, size_t n, uint8_t out[HmacMD5::kDigestSize]) {
    HmacMD5 md5;
    md5.update(p, n);
    md5.final(out);
}

void DigestMD5::digest(const DataBuffer& in, uint8_t out[HmacMD5::kDigestSize]) {
    digest(in.data(), in.size(), out);
}

void DigestMD5::digest(const StringBuffer& in, uint8_t out[HmacMD5::kDigestSize]) {
    digest(in.data(), static_cast<size_t>(in.length()), out);
}

}  // namespace quorvel
