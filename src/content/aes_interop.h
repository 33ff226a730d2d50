#pragma once
#include <cstddef>
#include <cstdint>

#include "content/cls_zip.h"
#include "content/symmetric_algorithm.h"
#include "core/data_buffer.h"
#include "core/string_buffer.h"

namespace quorvel {

class Rijndael2;

// The front end through which node content is encrypted and decrypted: AES-128 in CBC with a zero
// IV and padding scheme 0, keyed by the MD5 of the password. Data that begins with the header
// magic is read through the CryptHeader instead, by AES, Blowfish or Twofish.
//
// Invariants: key holds 16 zero bytes until a non-empty password is set, then that password's 32
// bytes of key material. The password and key are wiped when the object goes. Nothing here ever
// reaches a log: a wrong password gives other bytes, never an error.
class ClsAesInterop : public ClsBase {
public:
    ClsAesInterop();
    ~ClsAesInterop() override;

    // Stores the password (its bytes up to the first zero byte) and, when it is not empty,
    // derives the key from it. An empty password leaves the key as it was.
    void SetPassword(const void* password, size_t n);
    // out <- the input enciphered: 0 bytes give 0, n bytes give n rounded up to the next multiple
    // of 16 above n. False only when the cipher library refuses.
    bool EncryptBytes(const DataBuffer& in, DataBuffer& out);
    // out <- the input deciphered: by the header when it begins with the magic (nothing for input
    // shorter than the header or an unknown algorithm), else as EncryptBytes's inverse with the
    // padding removed as the last byte says.
    bool DecryptBytes(const DataBuffer& in, DataBuffer& out);

    const DataBuffer& key() const { return key_; }

private:
    bool decryptFramed(const DataBuffer& in, DataBuffer& out);
    // A Rijndael2 set up from the fields, for either direction of the stored form.
    void setUp(Rijndael2& aes) const;

    StringBuffer password_;
    DataBuffer key_;
    DataBuffer iv_;
    int keyLength_ = 128;
    int paddingScheme_ = 0;
    CipherMode mode_ = CipherMode::Cbc;
};

}  // namespace quorvel
