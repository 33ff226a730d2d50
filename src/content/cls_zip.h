#pragma once
#include <cstdint>
#include <memory>

#include "core/string_buffer.h"
#include "log/logger.h"

namespace quorvel {

class DataBuffer;
class QV_ZipEntry;

// Base of the content layer's outward objects: each keeps a private log, which never reaches a
// node handle's log.
class ClsBase {
public:
    ClsBase() = default;
    virtual ~ClsBase() = default;
    ClsBase(const ClsBase&) = delete;
    ClsBase& operator=(const ClsBase&) = delete;
    Logger& log() { return log_; }

protected:
    Logger log_;
};

// A handle on one entry of a ClsZip. The link is weak: when the container (and so the entry) goes
// first, the handle stays valid and its operations fail with "Object not initialized". Two
// handles may refer to one entry. Used on one thread with its container.
class ClsZipEntry : public ClsBase {
public:
    explicit ClsZipEntry(QV_ZipEntry* entry);
    ~ClsZipEntry() override;

    // Appends the entry's raw DEFLATE bytes to out: a compressed entry's as they are, a plain
    // entry's deflated afresh on every call (level 6). Context "Copy".
    bool Copy(DataBuffer& out);
    // Appends the entry's plain bytes to out: a compressed entry's inflated, a plain entry's as
    // they are. Invalid DEFLATE data fails and appends nothing. Context "Inflate".
    bool Inflate(DataBuffer& out);

    bool hasEntry() const { return entry_ != nullptr; }
    // Called by the entry as it is destroyed.
    void entryGone() { entry_ = nullptr; }

private:
    QV_ZipEntry* entry_;
};

// The list of a container's entries, in the order appended; owns them.
class QV_BuildZip {
public:
    QV_BuildZip() = default;
    ~QV_BuildZip();
    QV_BuildZip(const QV_BuildZip&) = delete;
    QV_BuildZip& operator=(const QV_BuildZip&) = delete;

    void append(QV_ZipEntry* entry);
    QV_ZipEntry* first() const { return first_; }
    int32_t count() const { return count_; }

private:
    QV_ZipEntry* first_ = nullptr;
    QV_ZipEntry* last_ = nullptr;
    int32_t count_ = 0;
};

// An in-memory zip container: named entries from plain bytes or from raw DEFLATE streams. Every
// operation opens a context named after itself in the container's log. The handles returned are
// the caller's to destroy; they may outlive the container.
class ClsZip : public ClsBase {
public:
    ClsZip();
    ~ClsZip() override;

    // A copy of bytes[0..n) as a plain entry named name. None, with "null parameter", "Data length
    // must be > 0" or "No filename was provided" in the log, for a null name, n == 0 or "".
    std::unique_ptr<ClsZipEntry> AppendData(const char* name, const void* bytes, uint32_t n);
    // A copy of a raw DEFLATE stream as an entry; the same three refusals.
    std::unique_ptr<ClsZipEntry> AppendCompressed(const char* name, const DataBuffer& deflated);
    // The entry at index (0 is the first appended), or none with "Bad index" and the data items
    // "index" and "max_index".
    std::unique_ptr<ClsZipEntry> GetEntryByIndex(int32_t index);

    int32_t entryCount() const { return zip_ ? zip_->count() : 0; }
    const char* tempDirectory() const { return tempDir_.data(); }

private:
    std::unique_ptr<ClsZipEntry> append(const char* context, const char* name, const void* bytes, uint32_t n,
                                        bool deflated);

    std::unique_ptr<QV_BuildZip> zip_;
    StringBuffer tempDir_;
};

}  // namespace quorvel
