#pragma once
#include <cstdint>

#include <nettle/blowfish.h>

#include "content/symmetric_algorithm.h"

namespace quorvel {

// Blowfish (16 rounds, always ECB) with 40 to 448-bit keys, over Nettle's. The key schedule is the
// published one; each 8-byte data block, however, is read as two little-endian 32-bit words (the
// first the left half), so every word is byte-swapped around Nettle's big-endian rounds and the
// ciphertext differs from the published vectors by that swap. Padding is scheme 0 (16 bytes), so
// a padded input is always whole 8-byte blocks.
//
// Nettle takes keys of 8 bytes and more; a shorter key is handed over repeated to the first length
// of 8 or more it divides, which the schedule's cycling over the key bytes cannot tell apart. Its
// weak-key report is ignored: the schedule it sets up is complete, weak or not.
class BlowFish final : public SymmetricAlgorithm2 {
public:
    explicit BlowFish(LogBase* log = nullptr);
    ~BlowFish() override;

    // One mode only: either choice succeeds and changes nothing.
    bool setMode(CipherMode) override { return true; }
    // Clamped to 40..448 and rounded down to a multiple of 8.
    int setKeyLength(int bits) override;
    int keyLength() const override { return keyBits_; }
    void fillHeader(CryptHeader& header) const override;
    size_t blockSize() const override { return BLOWFISH_BLOCK_SIZE; }

protected:
    bool start(bool decrypt) override;
    bool process(const uint8_t* in, size_t n, uint8_t* out) override;
    void finish() override;

private:
    int keyBits_ = 128;
    bool decrypt_ = false;
    blowfish_ctx ctx_;
};

}  // namespace quorvel
