#include "core/progress_monitor.h"

namespace quorvel {

uint32_t ProgressMonitor::percentage(uint32_t p, uint32_t t) {
    if (t == 0) return 100;
    // Scaling both down keeps p * 100 inside 32 bits.
    while (t > 1000000) {
        t /= 10;
        p /= 10;
    }
    return p * 100 / t;
}

uint32_t ProgressMonitor::SetPosition(uint32_t position, uint32_t extra) {
    uint32_t before = percentage(position_, total_);
    position_ = position > total_ ? total_ : position;
    uint32_t now = percentage(position_, total_);
    if (sink_ && now > before) sink_->FireEvent(eventId_, userValue_, now, extra);
    return now;
}

uint32_t ProgressMonitor::Advance(uint32_t amount, uint32_t extra) {
    uint64_t target = static_cast<uint64_t>(position_) + amount;
    return SetPosition(target > total_ ? total_ : static_cast<uint32_t>(target), extra);
}

void ProgressMonitor::Finish() {
    if (position_ != total_) Advance(total_ - position_);
}

}  // namespace quorvel
