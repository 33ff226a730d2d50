#pragma once
#include <cstddef>
#include <cstdint>

#include "core/data_buffer.h"

namespace quorvel {

class LogBase;
struct CryptHeader;

// The chaining of a block cipher. Stored forms number it their own way (CryptHeader's mode byte);
// they translate where they are read or written, and nothing else sees their numbers.
enum class CipherMode : uint8_t { Ecb, Cbc };

// The abstract block cipher: AES (Rijndael2), Twofish (TwoFish) and Blowfish (BlowFish) over
// vetted libraries, with the stored format's key derivation and padding around them.
//
// Invariants: keyMaterial holds the bytes the key is taken from, 32 of them after any password
// (MD5 of the password, then MD5 of its base64) and after construction (from the built-in key
// string "vexmira"), so a cipher given no password still has a definite key. A key shorter than
// the cipher needs is filled with zero bytes. keyText, keyMaterial and every key schedule are
// wiped when the object goes and when a buffer call ends.
// Costs: a key set-up per buffer call, then one pass over the bytes.
class SymmetricAlgorithm2 {
public:
    explicit SymmetricAlgorithm2(LogBase* log = nullptr);
    virtual ~SymmetricAlgorithm2();
    SymmetricAlgorithm2(const SymmetricAlgorithm2&) = delete;
    SymmetricAlgorithm2& operator=(const SymmetricAlgorithm2&) = delete;

    // Chooses the chaining; false when the cipher has no such choice to make.
    virtual bool setMode(CipherMode) { return false; }
    // Sets the key length from bits by the cipher's own rule and returns the length chosen.
    virtual int setKeyLength(int bits);
    virtual int keyLength() const { return 128; }

    // out <- the input with the cipher's padding appended, enciphered. An empty input gives an
    // empty out. The input is left as it was. False when the cipher library refuses.
    virtual bool encryptBuffer(const DataBuffer& in, DataBuffer& out);
    // out <- the input deciphered, its padding removed as its last byte says (never below zero
    // bytes). Only whole blocks are deciphered; a trailing partial block comes out as zero bytes.
    virtual bool decryptBuffer(const DataBuffer& in, DataBuffer& out);
    // As decryptBuffer, without removing any padding (the header route).
    bool decryptRaw(const uint8_t* in, uint32_t n, DataBuffer& out);

    // The header of data this cipher would write: algorithm, CBC (whatever the cipher's own
    // mode; what the stored form has always said), key length.
    virtual void fillHeader(CryptHeader& header) const;
    // Takes the key length and the mode from a header.
    virtual void applyHeader(const CryptHeader& header);

    // Key derivation from the password bytes up to the first zero byte (or n).
    void setPassword(const void* password, size_t n);
    // Replaces the key material itself (the interop object's key).
    void setKeyMaterial(const void* p, size_t n);
    const DataBuffer& keyText() const { return keyText_; }
    const DataBuffer& keyMaterial() const { return keyMaterial_; }

    void setLog(LogBase* log) { log_ = log; }
    // The padding scheme appended by encryptBuffer and removed by decryptBuffer (DataBuffer's).
    virtual int paddingScheme() const { return 0; }
    virtual size_t blockSize() const { return 16; }

protected:
    // Copies the first n bytes of key material into key, filling past its end with zeros.
    void keyBytes(uint8_t* key, size_t n) const;
    // Expands the key for one direction and starts the chain from the IV.
    virtual bool start(bool decrypt) = 0;
    // Enciphers or deciphers n bytes, a whole number of blocks, continuing the chain. in == out
    // is allowed.
    virtual bool process(const uint8_t* in, size_t n, uint8_t* out) = 0;
    // Wipes the key schedule and chain.
    virtual void finish() = 0;

    LogBase* log_;

private:
    // Ends a cipher call on every path: the key schedule is wiped however the call leaves.
    struct FinishOnExit {
        SymmetricAlgorithm2* cipher;
        ~FinishOnExit() { cipher->finish(); }
    };

    DataBuffer keyText_;
    DataBuffer keyMaterial_;
};

}  // namespace quorvel
