#include "content/crypt_header.h"

#include <cstring>

namespace quorvel {

namespace {

uint32_t readLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void writeLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool CryptHeader::framed(const void* p, size_t n) {
    return p && n >= kMagicLength && std::memcmp(p, kKeyString, kMagicLength) == 0;
}

bool CryptHeader::read(const void* p, size_t n) {
    if (n < kSize || !framed(p, n)) return false;
    const uint8_t* b = static_cast<const uint8_t*>(p);
    algorithm = b[8];
    mode = b[9] == kStoredEcb ? CipherMode::Ecb : CipherMode::Cbc;
    plainLength = readLe32(b + 12);
    keyBits = static_cast<int32_t>(readLe32(b + 16));
    return true;
}

void CryptHeader::write(uint8_t out[kSize]) const {
    std::memset(out, 0, kSize);
    std::memcpy(out, kKeyString, kMagicLength);
    out[8] = algorithm;
    out[9] = mode == CipherMode::Ecb ? kStoredEcb : kStoredCbc;
    out[10] = 1;
    writeLe32(out + 12, plainLength);
    writeLe32(out + 16, static_cast<uint32_t>(keyBits));
}

}  // namespace quorvel
