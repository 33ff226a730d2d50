#include "content/aes_interop.h"

#include <memory>

#include "content/blow_fish.h"
#include "content/crypt_header.h"
#include "content/rijndael.h"
#include "content/secure_wipe.h"
#include "content/two_fish.h"

namespace quorvel {

ClsAesInterop::ClsAesInterop() {
    static constexpr uint8_t kZero[16] = {};
    key_.append(kZero, sizeof kZero);
    iv_.append(kZero, sizeof kZero);
}

ClsAesInterop::~ClsAesInterop() {
    wipeBuffer(password_);
    wipeBuffer(key_);
}

void ClsAesInterop::SetPassword(const void* password, size_t n) {
    wipeBuffer(password_);
    Rijndael2 scratch;
    scratch.setPassword(password, n);
    const DataBuffer& text = scratch.keyText();
    password_.appendBytes(text.data(), static_cast<int32_t>(text.size()));
    if (text.empty()) return;
    wipeBuffer(key_);
    key_.append(scratch.keyMaterial().data(), scratch.keyMaterial().size());
}

void ClsAesInterop::setUp(Rijndael2& aes) const {
    aes.setKeyLength(keyLength_);
    aes.setPaddingScheme(paddingScheme_);
    aes.setMode(mode_);
    aes.setKeyMaterial(key_.data(), key_.size());
    aes.setIv(iv_.data());
}

bool ClsAesInterop::EncryptBytes(const DataBuffer& in, DataBuffer& out) {
    Rijndael2 aes;
    setUp(aes);
    return aes.encryptBuffer(in, out);
}

bool ClsAesInterop::DecryptBytes(const DataBuffer& in, DataBuffer& out) {
    if (CryptHeader::framed(in.data(), in.size())) return decryptFramed(in, out);
    Rijndael2 aes;
    setUp(aes);
    return aes.decryptBuffer(in, out);
}

bool ClsAesInterop::decryptFramed(const DataBuffer& in, DataBuffer& out) {
    out.clear();
    CryptHeader header;
    if (!header.read(in.data(), in.size())) return true;
    std::unique_ptr<SymmetricAlgorithm2> cipher;
    switch (header.algorithm) {
        case CryptHeader::kAes:
            cipher = std::make_unique<Rijndael2>();
            cipher->setMode(CipherMode::Cbc);
            break;
        case CryptHeader::kBlowfish:
            cipher = std::make_unique<BlowFish>();
            break;
        case CryptHeader::kTwofish:
            cipher = std::make_unique<TwoFish>();
            break;
        default:
            return true;
    }
    cipher->setKeyLength(header.keyBits);
    cipher->setKeyMaterial(key_.data(), key_.size());
    const uint32_t cipherLength = in.size() - static_cast<uint32_t>(CryptHeader::kSize);
    if (!cipher->decryptRaw(in.data() + CryptHeader::kSize, cipherLength, out)) return false;
    // The plain length says how much of the last blocks was padding; it never lengthens the output.
    out.shrinkTo(header.plainLength);
    return true;
}

}  // namespace quorvel
