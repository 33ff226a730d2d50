#pragma once
#include <cstdint>

namespace quorvel {

// Receives progress events; the node handle object raises ParsePercentDone from it.
class FireComEvent {
public:
    virtual ~FireComEvent() = default;
    virtual void FireEvent(uint32_t eventId, uint32_t userValue, uint32_t percent, uint32_t extra) = 0;
};

// Total and position of a long operation; fires each time the whole-number percentage grows,
// so a run fires at most 100 times with strictly increasing values.
class ProgressMonitor {
public:
    ProgressMonitor(uint32_t eventId, uint32_t userValue, FireComEvent* sink, uint32_t total)
        : total_(total), eventId_(eventId), userValue_(userValue), sink_(sink) {}

    void Reset(uint32_t total) {
        position_ = 0;
        total_ = total;
    }
    uint32_t SetPosition(uint32_t position, uint32_t extra = 0);
    uint32_t Advance(uint32_t amount, uint32_t extra = 0);
    void Finish();

    uint32_t total() const { return total_; }
    uint32_t position() const { return position_; }
    static uint32_t percentage(uint32_t position, uint32_t total);

private:
    uint32_t total_;
    uint32_t position_ = 0;
    uint32_t eventId_;
    uint32_t userValue_;
    FireComEvent* sink_;
};

}  // namespace quorvel
