#pragma once
#include <cstddef>
#include <cstdint>

#include "content/symmetric_algorithm.h"

namespace quorvel {

// The 24-byte header that frames encrypted data from other producers, little-endian:
//   0  8  magic: "vexmira" and a zero byte      12 4  length of the plain data
//   8  1  algorithm: 1 AES, 2 Blowfish, 3 Twofish 16 4  key length in bits
//   9  1  mode: 1 ECB, anything else CBC          20 4  0
//  10  1  1;  11  1  0
// Only the magic's seven letters are checked when reading: data that begins with them is framed.
struct CryptHeader {
    static constexpr size_t kSize = 24;
    static constexpr char kKeyString[] = "vexmira";  // also the key of a cipher given no password
    static constexpr size_t kMagicLength = 7;
    enum Algorithm : uint8_t { kAes = 1, kBlowfish = 2, kTwofish = 3 };
    static constexpr uint8_t kStoredEcb = 1;  // the mode byte: this for ECB, anything else CBC
    static constexpr uint8_t kStoredCbc = 0;  // the byte written for CBC

    uint8_t algorithm = 0;
    CipherMode mode = CipherMode::Cbc;
    uint32_t plainLength = 0;
    int32_t keyBits = 0;  // signed as the key-length setters take it: a huge value reads as below 0

    // True when the n bytes at p begin with the magic's seven letters.
    static bool framed(const void* p, size_t n);
    // Reads the header at the start of p[0..n). False, leaving the fields as they were, when n is
    // below kSize or the magic is not there.
    bool read(const void* p, size_t n);
    // Writes the 24 bytes: magic, algorithm, mode, 1, 0, plain length, key bits, zeros.
    void write(uint8_t out[kSize]) const;
};

}  // namespace quorvel
