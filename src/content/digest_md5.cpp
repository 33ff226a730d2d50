#include "content/digest_md5.h"

#include <new>

#include <openssl/evp.h>

#include "core/data_buffer.h"
#include "core/string_buffer.h"

namespace quorvel {

HmacMD5::HmacMD5() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_) throw std::bad_alloc();
    init();
}

HmacMD5::~HmacMD5() { EVP_MD_CTX_free(ctx_); }

void HmacMD5::init() {
    if (EVP_DigestInit_ex(ctx_, EVP_md5(), nullptr) != 1) throw std::bad_alloc();
}

void HmacMD5::update(const void* p, size_t n) {
    if (n) EVP_DigestUpdate(ctx_, p, n);
}

void HmacMD5::final(uint8_t out[kDigestSize]) {
    unsigned int n = 0;
    EVP_DigestFinal_ex(ctx_, out, &n);
    init();
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
