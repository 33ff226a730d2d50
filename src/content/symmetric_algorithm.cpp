#include "content/symmetric_algorithm.h"

#include <algorithm>
#include <cstring>

#include "content/content_coding.h"
#include "content/crypt_header.h"
#include "content/digest_md5.h"
#include "content/secure_wipe.h"
#include "core/string_buffer.h"

namespace quorvel {

SymmetricAlgorithm2::SymmetricAlgorithm2(LogBase* log) : log_(log) {
    setPassword(CryptHeader::kKeyString, CryptHeader::kMagicLength);
}

SymmetricAlgorithm2::~SymmetricAlgorithm2() {
    wipeBuffer(keyText_);
    wipeBuffer(keyMaterial_);
}

int SymmetricAlgorithm2::setKeyLength(int) { return 128; }

void SymmetricAlgorithm2::setPassword(const void* password, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(password);
    if (!p) n = 0;
    if (const void* nul = n ? std::memchr(p, 0, n) : nullptr) n = static_cast<const uint8_t*>(nul) - p;
    wipeBuffer(keyText_);
    keyText_.append(p, static_cast<uint32_t>(n));

    uint8_t material[2 * HmacMD5::kDigestSize];
    DigestMD5::digest(p, n, material);
    // The base64 of the password is as secret as the password: it is written into a block made
    // big enough beforehand, so that no copy is left behind by growing, and wiped here.
    StringBuffer base64;
    base64.reserve(static_cast<int32_t>(4 * ((n + 2) / 3) + 1));
    ContentCoding().encodeBase64(p, static_cast<uint32_t>(n), base64);
    DigestMD5::digest(base64, material + HmacMD5::kDigestSize);
    wipeBuffer(base64);
    setKeyMaterial(material, sizeof material);
    secureWipe(material, sizeof material);
}

void SymmetricAlgorithm2::setKeyMaterial(const void* p, size_t n) {
    wipeBuffer(keyMaterial_);
    keyMaterial_.append(p, static_cast<uint32_t>(n));
}

void SymmetricAlgorithm2::keyBytes(uint8_t* key, size_t n) const {
    const size_t have = std::min<size_t>(n, keyMaterial_.size());
    if (have) std::memcpy(key, keyMaterial_.data(), have);
    std::memset(key + have, 0, n - have);
}

bool SymmetricAlgorithm2::encryptBuffer(const DataBuffer& in, DataBuffer& out) {
    out.shrinkTo(0);  // a block big enough already is written over, not freed and faulted in afresh
    const uint32_t n = in.size();
    if (n == 0) return true;
    const size_t bs = blockSize();
    // The padding is worked out on the last partial 16 bytes alone, so a large input is neither
    // copied nor grown.
    const uint32_t whole = n - n % 16;
    DataBuffer tail;
    tail.append(in.data() + whole, n - whole);
    tail.appendPadding(paddingScheme());
    // With no padding a partial block is filled with zero bytes.
    const uint32_t tailLength = static_cast<uint32_t>((tail.size() + bs - 1) / bs * bs);
    const uint64_t total = static_cast<uint64_t>(whole) + tailLength;
    if (total > UINT32_MAX) return false;
    uint8_t* dst = out.appendSpace(static_cast<uint32_t>(total));
    std::memcpy(dst + whole, tail.data(), tail.size());
    std::memset(dst + whole + tail.size(), 0, tailLength - tail.size());
    wipeBuffer(tail);

    FinishOnExit done{this};
    if (!start(false)) return false;
    if (!process(in.data(), whole, dst) || !process(dst + whole, tailLength, dst + whole)) {
        secureWipe(dst, static_cast<size_t>(total));
        return false;
    }
    out.commit(static_cast<uint32_t>(total));
    return true;
}

bool SymmetricAlgorithm2::decryptRaw(const uint8_t* in, uint32_t n, DataBuffer& out) {
    out.shrinkTo(0);  // a block big enough already is written over, not freed and faulted in afresh
    if (n == 0) return true;
    const uint32_t whole = static_cast<uint32_t>(n - n % blockSize());
    uint8_t* dst = out.appendSpace(n);
    std::memset(dst + whole, 0, n - whole);
    FinishOnExit done{this};
    if (!start(true) || !process(in, whole, dst)) return false;
    out.commit(n);
    return true;
}

bool SymmetricAlgorithm2::decryptBuffer(const DataBuffer& in, DataBuffer& out) {
    if (!decryptRaw(in.data(), in.size(), out)) return false;
    out.removePadding(paddingScheme());
    return true;
}

void SymmetricAlgorithm2::fillHeader(CryptHeader& header) const {
    header.mode = CipherMode::Cbc;
    header.plainLength = 0;
    header.keyBits = keyLength();
}

void SymmetricAlgorithm2::applyHeader(const CryptHeader& header) {
    setKeyLength(header.keyBits);
    setMode(header.mode);
}

}  // namespace quorvel
