#pragma once
#include <cstdint>
#include <vector>

#include "core/data_buffer.h"
#include "core/string_buffer.h"

namespace quorvel {

class ClsZipEntry;
class LogBase;

// One entry of an in-memory zip container: a name, the compression method (8, deflate) and
// level (6), and a process-wide entry number (from 1). The handles that refer to it are told when
// it goes, so that a surviving handle answers "Object not initialized" instead of reaching freed
// memory. Entries are linked in a list owned by their container.
class QV_ZipEntry {
public:
    QV_ZipEntry();
    virtual ~QV_ZipEntry();
    QV_ZipEntry(const QV_ZipEntry&) = delete;
    QV_ZipEntry& operator=(const QV_ZipEntry&) = delete;

    // Appends the entry's raw DEFLATE bytes to out; false when they could not be made.
    virtual bool copyCompressed(DataBuffer& out) = 0;
    // Appends the entry's plain bytes to out; false when its stream is not valid DEFLATE data.
    virtual bool copyPlain(DataBuffer& out) = 0;

    StringBuffer& name() { return name_; }
    int32_t method() const { return method_; }
    void setMethod(int32_t method) { method_ = method; }
    int32_t level() const { return level_; }
    int32_t number() const { return number_; }
    QV_ZipEntry* next() const { return next_; }
    void setNext(QV_ZipEntry* next) { next_ = next; }
    LogBase* log() const { return log_; }
    void setLog(LogBase* log) { log_ = log; }

    // The weak link: a handle enters itself on creation and leaves on destruction.
    void addObserver(ClsZipEntry* handle) { observers_.push_back(handle); }
    void removeObserver(ClsZipEntry* handle);

private:
    StringBuffer name_;
    int32_t method_ = 8;
    int32_t level_ = 6;
    int32_t number_;
    QV_ZipEntry* next_ = nullptr;
    LogBase* log_ = nullptr;
    std::vector<ClsZipEntry*> observers_;
};

// An entry whose bytes are held in memory, either plain (compressed on every copyCompressed) or
// already a raw DEFLATE stream (inflated on every copyPlain).
class QV_DataEntry : public QV_ZipEntry {
public:
    QV_DataEntry(const char* name, const void* bytes, uint32_t n, bool deflated);

    bool copyCompressed(DataBuffer& out) override;
    bool copyPlain(DataBuffer& out) override;
    bool deflated() const { return deflated_; }
    const DataBuffer& bytes() const { return data_; }
    uint16_t dosTime() const { return dosTime_; }
    uint16_t dosDate() const { return dosDate_; }

private:
    DataBuffer data_;
    bool deflated_;
    uint16_t dosTime_ = 0;
    uint16_t dosDate_ = 0;
};

}  // namespace quorvel
