#include "content/zip_crc.h"

#include <zlib.h>

namespace quorvel {

void ZipCRC::update(const void* bytes, uint32_t n) {
    if (bytes && n) crc_ = static_cast<uint32_t>(crc32(crc_, static_cast<const Bytef*>(bytes), n));
}

uint32_t ZipCRC::of(const void* bytes, uint32_t n) {
    ZipCRC crc;
    crc.update(bytes, n);
    return crc.value();
}

}  // namespace quorvel
