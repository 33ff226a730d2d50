#include "content/data_pipeline.h"

#include <atomic>
#include <vector>

#include "content/data_processor.h"
#include "content/data_source.h"
#include "core/log_base.h"

namespace quorvel {

namespace {
std::atomic<int32_t> pipelineCounter{0};
}

DataPipeline::DataPipeline() {
    name_.append("DataPipeline_");
    name_.appendInt(pipelineCounter.fetch_add(1, std::memory_order_relaxed) + 1);
}

void DataPipeline::addProcessor(DataProcessor* stage) {
    if (stage) stages_.append(stage);
}

bool DataPipeline::run() {
    const int32_t n = stages_.count();
    for (int32_t i = 0; i < n; ++i) stages_.atAs<DataProcessor>(i)->begin();
    std::vector<bool> failed(static_cast<size_t>(n), false);
    bool ok = true;
    uint64_t lastMotion = UINT64_MAX;
    int32_t stalled = 0;
    for (;;) {
        uint64_t pendingTotal = 0;
        uint64_t motion = 0;  // grows whenever any byte moves anywhere
        bool firstAtEnd = true;
        for (int32_t i = 0; i < n; ++i) {
            auto* stage = stages_.atAs<DataProcessor>(i);
            if (!failed[static_cast<size_t>(i)]) {
                stage->setLog(log_);
                try {
                    stage->step();
                } catch (...) {
                    if (log_) log_->LogError(kStepFailure);
                    failed[static_cast<size_t>(i)] = true;
                    ok = false;
                }
            }
            DataSource* source = stage->source();
            if (i == 0) firstAtEnd = failed[0] || !source || source->atEnd();
            if (!failed[static_cast<size_t>(i)]) pendingTotal += stage->pending();
            motion += stage->total() + (source ? source->total() : 0) + (stage->sink() ? stage->sink()->total() : 0);
        }
        if (pendingTotal == 0 && firstAtEnd) break;
        stalled = motion == lastMotion ? stalled + 1 : 0;
        lastMotion = motion;
        if (stalled >= kStallLimit) {
            ok = false;
            break;
        }
    }
    for (int32_t i = 0; i < n; ++i) stages_.atAs<DataProcessor>(i)->end();
    return ok;
}

}  // namespace quorvel
