#pragma once
#include <cstddef>
#include <cstdint>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace quorvel {

class DataBuffer;
class StringBuffer;

// The MD5 state of RFC 1321 (four chaining words, the bit count, a 64-byte block), kept by
// libcrypto's EVP interface, whose assembly runs faster here than Nettle's. No keyed HMAC is
// computed anywhere; the name is the stored format's. libcrypto wipes the state when the object
// goes, as it may have hashed a password. Allocation failure throws std::bad_alloc.
class HmacMD5 {
public:
    static constexpr size_t kDigestSize = 16;

    HmacMD5();
    ~HmacMD5();
    HmacMD5(const HmacMD5&) = delete;
    HmacMD5& operator=(const HmacMD5&) = delete;

    void init();
    void update(const void* p, size_t n);
    // Writes the digest of everything updated since init, and starts over.
    void final(uint8_t out[kDigestSize]);

private:
    EVP_MD_CTX* ctx_;
};

// The MD5 digest of a whole buffer, into a 16-byte result.
class DigestMD5 {
public:
    static void digest(const void* p, size_t n, uint8_t out[HmacMD5::kDigestSize]);
    static void digest(const DataBuffer& in, uint8_t out[HmacMD5::kDigestSize]);
    static void digest(const StringBuffer& in, uint8_t out[HmacMD5::kDigestSize]);
};

}  // namespace quorvel
