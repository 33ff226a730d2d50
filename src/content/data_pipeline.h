#pragma once
#include <cstdint>

#include "core/ext_ptr_array.h"
#include "core/string_buffer.h"

namespace quorvel {

class DataProcessor;
class LogBase;

// Drives a list of stages (not owned) in passes until the first stage's source is exhausted and no
// stage holds pending bytes. Named "DataPipeline_N" from a process-wide count.
//
// A stage whose step throws is logged once per throw ("Exception occured in data pipeline time
// slice.") and is not stepped again in that run: it counts as finished, so a stage that would keep
// throwing cannot keep the run going. A run in which no stage moves any byte for kStallLimit
// passes in a row also ends (a sink that never takes anything cannot hang it).
class DataPipeline {
public:
    DataPipeline();
    DataPipeline(const DataPipeline&) = delete;
    DataPipeline& operator=(const DataPipeline&) = delete;

    void addProcessor(DataProcessor* stage);
    void setLog(LogBase* log) { log_ = log; }
    // begin on every stage, passes until done, end on every stage; true unless a stage threw or
    // the run stalled.
    bool run();

    const char* name() const { return name_.data(); }
    int32_t stageCount() const { return stages_.count(); }

    static constexpr int32_t kStallLimit = 1000;
    static constexpr const char* kStepFailure = "Exception occured in data pipeline time slice.";

private:
    StringBuffer name_;
    ExtPtrArray stages_;
    LogBase* log_ = nullptr;
};

}  // namespace quorvel
