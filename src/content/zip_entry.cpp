#include "content/zip_entry.h"

#include <algorithm>
#include <atomic>
#include <ctime>

#include "content/cls_zip.h"
#include "content/data_pipeline.h"
#include "content/data_sink.h"
#include "content/data_source.h"
#include "content/deflate_processor.h"
#include "content/inflate_state2.h"

namespace quorvel {

namespace {
std::atomic<int32_t> entryCounter{0};
}

QV_ZipEntry::QV_ZipEntry() : number_(entryCounter.fetch_add(1, std::memory_order_relaxed) + 1) {}

QV_ZipEntry::~QV_ZipEntry() {
    for (ClsZipEntry* handle : observers_) handle->entryGone();
}

void QV_ZipEntry::removeObserver(ClsZipEntry* handle) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), handle), observers_.end());
}

QV_DataEntry::QV_DataEntry(const char* name, const void* bytes, uint32_t n, bool deflated) : deflated_(deflated) {
    this->name().setString(name);
    data_.assign(bytes, n);
    // DOS time and date of the local time, as zip headers carry them.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local)) {
        dosTime_ = static_cast<uint16_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
        dosDate_ = static_cast<uint16_t>(std::max(0, local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    }
}

bool QV_DataEntry::copyCompressed(DataBuffer& out) {
    if (data_.empty()) return true;
    if (deflated_ || method() == 0) {
        out.append(data_.data(), data_.size());
        return true;
    }
    MemoryDataSource source(data_.data(), data_.size());
    DeflateProcessor deflater;
    DataBufferSink sink(&out);
    deflater.setSource(&source);
    deflater.setSink(&sink);
    deflater.allocateInputChunk(DeflateProcessor::kZipInputChunk);
    DataPipeline pipeline;
    pipeline.setLog(log());
    pipeline.addProcessor(&deflater);
    return pipeline.run() && deflater.finished();
}

bool QV_DataEntry::copyPlain(DataBuffer& out) {
    if (data_.empty()) return true;
    if (!deflated_) {
        out.append(data_.data(), data_.size());
        return true;
    }
    const uint32_t before = out.size();
    DataBufferSink sink(&out);
    InflateState2 inflater;
    inflater.setSink(&sink);
    if (inflater.feed(data_.data(), data_.size(), true) >= 0 && inflater.finished()) return true;
    out.shrinkTo(before);  // what came before the error is not the entry's content
    return false;
}

}  // namespace quorvel
