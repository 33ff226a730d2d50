#include "content/data_source.h"

#include <algorithm>
#include <cstring>

#include "core/progress_monitor.h"

namespace quorvel {

void DataSource::delivered(uint32_t n) {
    total_ += n;
    if (progress_ && n) progress_->Advance(n);
}

bool MemoryDataSource::read(uint8_t* buffer, uint32_t max, uint32_t* count) {
    *count = 0;
    if (position_ >= count_) return false;
    if (buffer == bytes_ && max == count_ && position_ == 0) {
        position_ = count_;
        *count = count_;
        delivered(count_);
        return true;
    }
    const uint32_t n = std::min(max, count_ - position_);
    if (n == 0 || !buffer) return false;
    std::memcpy(buffer, bytes_ + position_, n);
    position_ += n;
    *count = n;
    delivered(n);
    return true;
}

}  // namespace quorvel
