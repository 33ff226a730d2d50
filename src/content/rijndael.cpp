#include "content/rijndael.h"

#include <climits>
#include <cstring>

#include <openssl/evp.h>

#include "content/crypt_header.h"
#include "content/secure_wipe.h"
#include "core/log_base.h"

namespace quorvel {

void Rijndael2::FreeContext::operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }

Rijndael2::Rijndael2(LogBase* log) : SymmetricAlgorithm2(log) {}

Rijndael2::~Rijndael2() { finish(); }

bool Rijndael2::setMode(CipherMode mode) {
    mode_ = mode;
    return true;
}

int Rijndael2::setKeyLength(int bits) {
    keySizeIndex_ = bits >= 193 ? 2 : bits < 129 ? 0 : 1;
    return keyLength();
}

void Rijndael2::setIv(const uint8_t iv[16]) { std::memcpy(iv_, iv, sizeof iv_); }

void Rijndael2::fillHeader(CryptHeader& header) const {
    SymmetricAlgorithm2::fillHeader(header);
    header.algorithm = CryptHeader::kAes;
}

bool Rijndael2::decryptBuffer(const DataBuffer& in, DataBuffer& out) {
    if (in.empty()) {
        if (log_) log_->LogInfo("No data to decrypt using Rijndael");
        out.clear();
        return true;
    }
    return SymmetricAlgorithm2::decryptBuffer(in, out);
}

bool Rijndael2::initialize(Direction direction) {
    finish();
    static const EVP_CIPHER* (*const kCiphers[2][3])() = {  // [ECB, CBC][key size]
        {EVP_aes_128_ecb, EVP_aes_192_ecb, EVP_aes_256_ecb},
        {EVP_aes_128_cbc, EVP_aes_192_cbc, EVP_aes_256_cbc},
    };
    ctx_.reset(EVP_CIPHER_CTX_new());
    if (!ctx_) return false;
    uint8_t key[32];
    keyBytes(key, static_cast<size_t>(keyLength() / 8));
    const bool ok = EVP_CipherInit_ex(ctx_.get(), kCiphers[mode_ == CipherMode::Cbc][keySizeIndex_](), nullptr, key, iv_,
                                      direction == kEncrypt ? 1 : 0) == 1 &&
                    EVP_CIPHER_CTX_set_padding(ctx_.get(), 0) == 1;
    secureWipe(key, sizeof key);
    if (!ok) {
        finish();
        return false;
    }
    direction_ = direction;
    notInitialised_ = false;
    return true;
}

bool Rijndael2::start(bool decrypt) { return initialize(decrypt ? kDecrypt : kEncrypt); }

bool Rijndael2::process(const uint8_t* in, size_t n, uint8_t* out) {
    if (notInitialised_) return false;
    // EVP counts in int; a block-aligned step keeps the chain whole across steps.
    constexpr size_t kStep = size_t{1} << 30;
    while (n) {
        const size_t take = n < kStep ? n : kStep;
        int written = 0;
        if (EVP_CipherUpdate(ctx_.get(), out, &written, in, static_cast<int>(take)) != 1 ||
            static_cast<size_t>(written) != take) {
            return false;
        }
        in += take;
        out += take;
        n -= take;
    }
    return true;
}

void Rijndael2::finish() {
    ctx_.reset();  // EVP_CIPHER_CTX_free cleanses the schedule
    notInitialised_ = true;
}

bool Rijndael2::chunk(Direction direction, const uint8_t* in, uint8_t* out) {
    if (notInitialised_) {
        if (log_) log_->LogError("Rijndael not initialized");
        return false;
    }
    if (direction != direction_) {
        if (log_) log_->LogError("Bad direction for Rijndael encryption");
        return false;
    }
    return process(in, 16, out);
}

bool Rijndael2::encryptChunk(const uint8_t in[16], uint8_t out[16]) { return chunk(kEncrypt, in, out); }

bool Rijndael2::decryptChunk(const uint8_t in[16], uint8_t out[16]) { return chunk(kDecrypt, in, out); }

}  // namespace quorvel
