#pragma once
#include <cstdint>
#include <memory>

#include "content/symmetric_algorithm.h"

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;

namespace quorvel {

// AES (FIPS-197) with 128, 192 or 256-bit keys in ECB or CBC, over libcrypto's EVP interface,
// which uses the processor's AES instructions where it has them.
//
// Invariants: the key size index is 0, 1 or 2 (128, 192, 256 bits; default 2), the mode CBC
// unless ECB is chosen, the IV 16 bytes (default zero). CBC chains from the IV anew on every
// buffer call. The chunk calls work on the schedule that initialize set up and report
// "Rijndael not initialized" before it and "Bad direction for Rijndael encryption" against it.
class Rijndael2 final : public SymmetricAlgorithm2 {
public:
    enum Direction { kEncrypt = 0, kDecrypt = 1 };

    explicit Rijndael2(LogBase* log = nullptr);
    ~Rijndael2() override;

    bool setMode(CipherMode mode) override;
    // 193 bits or more give 256, below 129 give 128, the rest 192.
    int setKeyLength(int bits) override;
    int keyLength() const override { return 128 + 64 * keySizeIndex_; }
    // As the base, logging "No data to decrypt using Rijndael" for an empty input.
    bool decryptBuffer(const DataBuffer& in, DataBuffer& out) override;
    void fillHeader(CryptHeader& header) const override;
    int paddingScheme() const override { return padding_; }

    void setPaddingScheme(int scheme) { padding_ = scheme; }
    void setIv(const uint8_t iv[16]);
    CipherMode mode() const { return mode_; }
    int rounds() const { return 10 + 2 * keySizeIndex_; }

    // Expands the key from the key material for one direction; the chunk calls then use it.
    bool initialize(Direction direction);
    // One 16-byte block in the initialised direction, continuing the chain. False, with a log
    // message, when not initialised or initialised the other way.
    bool encryptChunk(const uint8_t in[16], uint8_t out[16]);
    bool decryptChunk(const uint8_t in[16], uint8_t out[16]);

protected:
    bool start(bool decrypt) override;
    bool process(const uint8_t* in, size_t n, uint8_t* out) override;
    void finish() override;

private:
    bool chunk(Direction direction, const uint8_t* in, uint8_t* out);

    struct FreeContext {
        void operator()(EVP_CIPHER_CTX* ctx) const;
    };

    int padding_ = 0;
    int keySizeIndex_ = 2;
    bool notInitialised_ = true;
    CipherMode mode_ = CipherMode::Cbc;
    Direction direction_ = kEncrypt;
    uint8_t iv_[16] = {};
    std::unique_ptr<EVP_CIPHER_CTX, FreeContext> ctx_;  // the key schedule; freed (and wiped) by finish
};

}  // namespace quorvel
