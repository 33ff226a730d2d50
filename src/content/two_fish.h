#pragma once
#include <cstdint>

#include <nettle/twofish.h>

#include "content/symmetric_algorithm.h"

namespace quorvel {

// Twofish with 128, 192 or 256-bit keys in ECB or CBC, over Nettle's.
//
// Invariants: the mode is CBC unless ECB is chosen, the key length 128, 192 or 256 bits
// (default 256); CBC chains from the built-in IV, 16 zero bytes, anew on every buffer call. (Any
// fixed IV serves new data; zero makes a CBC block from the IV the published ECB vector of the
// same key and block, which is how header-framed data is checked.) Padding is scheme 0.
class TwoFish final : public SymmetricAlgorithm2 {
public:
    static constexpr uint8_t kBuiltInIv[16] = {};

    explicit TwoFish(LogBase* log = nullptr);
    ~TwoFish() override;

    bool setMode(CipherMode mode) override;
    // As AES: 193 bits or more give 256, below 129 give 128, the rest 192.
    int setKeyLength(int bits) override;
    int keyLength() const override { return keyBits_; }
    void fillHeader(CryptHeader& header) const override;
    CipherMode mode() const { return mode_; }

protected:
    bool start(bool decrypt) override;
    bool process(const uint8_t* in, size_t n, uint8_t* out) override;
    void finish() override;

private:
    CipherMode mode_ = CipherMode::Cbc;
    int keyBits_ = 256;
    bool decrypt_ = false;
    uint8_t chain_[16] = {};
    twofish_ctx ctx_;
};

}  // namespace quorvel
