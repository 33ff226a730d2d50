#include "content/data_sink.h"

#include <algorithm>

#include "core/data_buffer.h"
#include "core/progress_monitor.h"

namespace quorvel {

void DataSink::taken(uint32_t n) {
    total_ += n;
    if (progress_ && n) progress_->Advance(n);
}

bool NullDataSink::write(const uint8_t*, uint32_t n) {
    taken(n);
    return true;
}

bool NullDataSink::freeSpace(uint32_t* count) {
    *count = kReportedRoom;
    return true;
}

bool DataBufferSink::write(const uint8_t* bytes, uint32_t n) {
    if (!buffer_) return false;
    if (n == 0) return true;
    const uint64_t needed = uint64_t{buffer_->size()} + n;
    if (needed > buffer_->capacity()) {
        buffer_->reserve(static_cast<uint32_t>(std::min<uint64_t>(UINT32_MAX, std::max(needed, uint64_t{buffer_->capacity()} * 2))));
    }
    buffer_->append(bytes, n);
    taken(n);
    return true;
}

bool DataBufferSink::freeSpace(uint32_t* count) {
    *count = kReportedRoom;
    return true;
}

bool MemoryDataSink::write(const uint8_t* bytes, uint32_t n) {
    const uint32_t stored = ring_.write(bytes, n);
    taken(stored);
    return stored == n;
}

bool MemoryDataSink::freeSpace(uint32_t* count) {
    *count = ring_.freeBytes();
    return *count > 0;
}

}  // namespace quorvel
