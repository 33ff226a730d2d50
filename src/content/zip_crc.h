#pragma once
#include <cstdint>

namespace quorvel {

// CRC-32 of ISO-HDLC (zip, PNG, gzip): reflected 0x04C11DB7, register starting at all ones, result
// complemented. Computed by zlib's crc32, whose tables are built once per process.
class ZipCRC {
public:
    void update(const void* bytes, uint32_t n);
    // The CRC of every byte given so far (0 for none).
    uint32_t value() const { return crc_; }
    void reset() { crc_ = 0; }

    // The CRC of one block of bytes.
    static uint32_t of(const void* bytes, uint32_t n);

private:
    uint32_t crc_ = 0;  // zlib keeps the complemented register between calls
};

}  // namespace quorvel
