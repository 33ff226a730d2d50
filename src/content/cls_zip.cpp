#include "content/cls_zip.h"

#include <cstdlib>

#include "content/zip_entry.h"
#include "core/data_buffer.h"

namespace quorvel {

namespace {
constexpr const char* kNotInitialized = "Object not initialized";
}

// ---- ClsZipEntry --------------------------------------------------------------------------

ClsZipEntry::ClsZipEntry(QV_ZipEntry* entry) : entry_(entry) {
    if (entry_) {
        entry_->addObserver(this);
        entry_->setLog(&log_);
    }
}

ClsZipEntry::~ClsZipEntry() {
    if (!entry_) return;
    entry_->removeObserver(this);
    if (entry_->log() == &log_) entry_->setLog(nullptr);
}

bool ClsZipEntry::Copy(DataBuffer& out) {
    log_.EnterContext("Copy");
    bool ok = entry_ != nullptr;
    if (!ok) {
        log_.LogError(kNotInitialized);
    } else if (!(ok = entry_->copyCompressed(out))) {
        log_.LogError("Cannot copy compressed data");
        log_.LogDataLong("zip_entry", entry_->number());
    }
    log_.LeaveContext();
    return ok;
}

bool ClsZipEntry::Inflate(DataBuffer& out) {
    log_.EnterContext("Inflate");
    bool ok = entry_ != nullptr;
    if (!ok) {
        log_.LogError(kNotInitialized);
    } else if (!(ok = entry_->copyPlain(out))) {
        log_.LogError("Invalid compressed data to inflate");
        log_.LogDataLong("zip_entry", entry_->number());
    }
    log_.LeaveContext();
    return ok;
}

// ---- QV_BuildZip --------------------------------------------------------------------------

QV_BuildZip::~QV_BuildZip() {
    while (QV_ZipEntry* e = first_) {
        first_ = e->next();
        delete e;
    }
}

void QV_BuildZip::append(QV_ZipEntry* entry) {
    if (last_) {
        last_->setNext(entry);
    } else {
        first_ = entry;
    }
    last_ = entry;
    ++count_;
}

// ---- ClsZip -------------------------------------------------------------------------------

ClsZip::ClsZip() : zip_(std::make_unique<QV_BuildZip>()) {
    const char* tmp = std::getenv("TMPDIR");
    tempDir_.setString(tmp && *tmp ? tmp : "/tmp/");
    if (tempDir_.lastChar() != '/') tempDir_.appendChar('/');
}

ClsZip::~ClsZip() = default;

std::unique_ptr<ClsZipEntry> ClsZip::append(const char* context, const char* name, const void* bytes, uint32_t n,
                                            bool deflated) {
    log_.ClearLog();
    log_.EnterContext(context);
    const char* refusal = !name ? "null parameter" : n == 0 ? "Data length must be > 0" : !*name ? "No filename was provided" : nullptr;
    std::unique_ptr<ClsZipEntry> handle;
    if (refusal) {
        log_.LogError(refusal);
    } else {
        auto* entry = new QV_DataEntry(name, bytes, n, deflated);
        zip_->append(entry);
        handle = std::make_unique<ClsZipEntry>(entry);
    }
    log_.LeaveContext();
    return handle;
}

std::unique_ptr<ClsZipEntry> ClsZip::AppendData(const char* name, const void* bytes, uint32_t n) {
    return append("AppendData", name, bytes, bytes ? n : 0, false);
}

std::unique_ptr<ClsZipEntry> ClsZip::AppendCompressed(const char* name, const DataBuffer& deflated) {
    return append("AppendCompressed", name, deflated.data(), deflated.size(), true);
}

std::unique_ptr<ClsZipEntry> ClsZip::GetEntryByIndex(int32_t index) {
    log_.EnterContext("GetEntryByIndex");
    std::unique_ptr<ClsZipEntry> handle;
    if (!zip_) {
        log_.LogError("No zip file has been opened.");
    } else if (index < 0 || index >= zip_->count()) {
        log_.LogDataLong("index", index);
        log_.LogDataLong("max_index", zip_->count() - 1);
        log_.LogError("Bad index");
    } else {
        QV_ZipEntry* e = zip_->first();
        for (int32_t i = 0; e && i < index; ++i) e = e->next();
        if (e) {
            handle = std::make_unique<ClsZipEntry>(e);
        } else {
            log_.LogDataLong("index", index);
            log_.LogError("No zip entry found at the given index");
        }
    }
    log_.LeaveContext();
    return handle;
}

}  // namespace quorvel
