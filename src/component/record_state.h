// What a node handle keeps for record reading: as a reader, the reader and its progress monitor;
// as a record it returned, the record's ancestors. Absent on every other handle.
#pragma once
#include <memory>

#include "core/progress_monitor.h"
#include "stream/record_reader.h"

namespace quorvel {

struct RecordState {
    static constexpr uint64_t kDefaultSizeLimit = uint64_t{64} << 20;
    std::unique_ptr<RecordReader> reader;
    std::unique_ptr<ProgressMonitor> monitor;
    uint64_t sizeLimit = kDefaultSizeLimit;
    std::shared_ptr<const RecordAncestry> ancestry;  // on a record
};

}  // namespace quorvel
