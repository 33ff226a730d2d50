#include "content/blow_fish.h"

#include <cstring>

#include "content/crypt_header.h"
#include "content/secure_wipe.h"

namespace quorvel {

namespace {

// Copies n bytes (a multiple of 4) from in to out, reversing the bytes of each 32-bit word.
// in == out is allowed.
void swapWords(const uint8_t* in, size_t n, uint8_t* out) {
    for (size_t i = 0; i < n; i += 4) {
        uint32_t w;
        std::memcpy(&w, in + i, 4);
        w = __builtin_bswap32(w);
        std::memcpy(out + i, &w, 4);
    }
}

}  // namespace

BlowFish::BlowFish(LogBase* log) : SymmetricAlgorithm2(log) { secureWipe(&ctx_, sizeof ctx_); }

BlowFish::~BlowFish() { finish(); }

int BlowFish::setKeyLength(int bits) {
    if (bits < 40) bits = 40;
    if (bits > 448) bits = 448;
    keyBits_ = bits / 8 * 8;
    return keyBits_;
}

void BlowFish::fillHeader(CryptHeader& header) const {
    SymmetricAlgorithm2::fillHeader(header);
    header.algorithm = CryptHeader::kBlowfish;
}

bool BlowFish::start(bool decrypt) {
    uint8_t key[BLOWFISH_MAX_KEY_SIZE];
    const size_t n = static_cast<size_t>(keyBits_ / 8);
    keyBytes(key, n);
    size_t given = n;
    while (given < BLOWFISH_MIN_KEY_SIZE) {
        std::memcpy(key + given, key, n);
        given += n;
    }
    (void)blowfish_set_key(&ctx_, given, key);
    secureWipe(key, sizeof key);
    decrypt_ = decrypt;
    return true;
}

bool BlowFish::process(const uint8_t* in, size_t n, uint8_t* out) {
    if (n == 0) return true;
    swapWords(in, n, out);
    (decrypt_ ? blowfish_decrypt : blowfish_encrypt)(&ctx_, n, out, out);
    swapWords(out, n, out);
    return true;
}

void BlowFish::finish() { secureWipe(&ctx_, sizeof ctx_); }

}  // namespace quorvel
