#include "content/two_fish.h"

#include <cstring>

#include <nettle/cbc.h>

#include "content/crypt_header.h"
#include "content/secure_wipe.h"

namespace quorvel {

namespace {

// Nettle's chaining calls take the block function in its generic form.
void encryptBlocks(const void* ctx, size_t n, uint8_t* out, const uint8_t* in) {
    twofish_encrypt(static_cast<const twofish_ctx*>(ctx), n, out, in);
}

void decryptBlocks(const void* ctx, size_t n, uint8_t* out, const uint8_t* in) {
    twofish_decrypt(static_cast<const twofish_ctx*>(ctx), n, out, in);
}

}  // namespace

TwoFish::TwoFish(LogBase* log) : SymmetricAlgorithm2(log) { secureWipe(&ctx_, sizeof ctx_); }

TwoFish::~TwoFish() { finish(); }

bool TwoFish::setMode(CipherMode mode) {
    mode_ = mode;
    return true;
}

int TwoFish::setKeyLength(int bits) {
    keyBits_ = bits >= 193 ? 256 : bits < 129 ? 128 : 192;
    return keyBits_;
}

void TwoFish::fillHeader(CryptHeader& header) const {
    SymmetricAlgorithm2::fillHeader(header);
    header.algorithm = CryptHeader::kTwofish;
}

bool TwoFish::start(bool decrypt) {
    uint8_t key[TWOFISH_MAX_KEY_SIZE];
    const size_t n = static_cast<size_t>(keyBits_ / 8);
    keyBytes(key, n);
    twofish_set_key(&ctx_, n, key);
    secureWipe(key, sizeof key);
    std::memcpy(chain_, kBuiltInIv, sizeof chain_);
    decrypt_ = decrypt;
    return true;
}

bool TwoFish::process(const uint8_t* in, size_t n, uint8_t* out) {
    if (n == 0) return true;
    if (mode_ == CipherMode::Ecb) {
        (decrypt_ ? decryptBlocks : encryptBlocks)(&ctx_, n, out, in);
    } else if (decrypt_) {
        cbc_decrypt(&ctx_, decryptBlocks, TWOFISH_BLOCK_SIZE, chain_, n, out, in);
    } else {
        cbc_encrypt(&ctx_, encryptBlocks, TWOFISH_BLOCK_SIZE, chain_, n, out, in);
    }
    return true;
}

void TwoFish::finish() {
    secureWipe(&ctx_, sizeof ctx_);
    secureWipe(chain_, sizeof chain_);
}

}  // namespace quorvel
