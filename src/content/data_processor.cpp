#include "content/data_processor.h"

#include <atomic>

namespace quorvel {

namespace {
std::atomic<int32_t> processorCounter{0};
}

DataProcessor::DataProcessor() : MemoryDataSink(kRingSize) {
    name_.append("processor_");
    name_.appendInt(processorCounter.fetch_add(1, std::memory_order_relaxed) + 1);
}

DataProcessor::~DataProcessor() { releaseInputChunk(); }

void DataProcessor::allocateInputChunk(uint32_t size) {
    releaseInputChunk();
    chunk_ = new uint8_t[size ? size : 1];
    chunkSize_ = size;
    ownsChunk_ = true;
}

void DataProcessor::borrowInputChunk(uint8_t* block, uint32_t size) {
    releaseInputChunk();
    chunk_ = block;
    chunkSize_ = block ? size : 0;
}

void DataProcessor::releaseInputChunk() {
    if (ownsChunk_) delete[] chunk_;
    chunk_ = nullptr;
    chunkSize_ = 0;
    ownsChunk_ = false;
}

}  // namespace quorvel
