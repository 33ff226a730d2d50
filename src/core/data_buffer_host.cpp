// The parts of DataBuffer that meet the host: variants in and out, and whole-file loads.
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/data_buffer.h"
#include "core/log_base.h"
#include "core/string_buffer.h"
#include "core/system/directories.h"
#include "core/system/error_text.h"
#include "core/system/file.h"
#include "core/system/utf8.h"
#include "quorvel/automation.hpp"

namespace quorvel {

DataBuffer::Bytes DataBuffer::variantBytes(const VARIANT* variant) {
    if (!variant) return {};
    if (variant->vt == (VT_BYREF | VT_VARIANT)) {
        variant = variant->pvarVal;
        if (!variant) return {};
    }
    VARTYPE vt = variant->vt;
    if ((vt & ~VT_BYREF) == VT_BSTR) {
        BSTR s = (vt & VT_BYREF) ? (variant->pbstrVal ? *variant->pbstrVal : nullptr) : variant->bstrVal;
        UINT units = SysStringLen(s);
        // Host strings are UTF-16 little-endian, as this machine stores char16_t.
        return {s, units * 2};
    }
    if (vt & VT_ARRAY) {
        SAFEARRAY* sa = (vt & VT_BYREF) ? (variant->pparray ? *variant->pparray : nullptr) : variant->parray;
        if (!sa || sa->cDims == 0 || sa->cbElements == 0 || !sa->pvData) return {};
        uint64_t bytes = sa->cbElements;
        for (USHORT d = 0; d < sa->cDims; ++d) bytes *= sa->rgsabound[d].cElements;
        if (bytes > UINT32_MAX) throw std::bad_alloc();
        return {sa->pvData, static_cast<uint32_t>(bytes)};
    }
    return {};
}

void DataBuffer::appendVariant(const VARIANT* variant) {
    Bytes bytes = variantBytes(variant);
    append(bytes.data, bytes.size);
}

void DataBuffer::toVariant(VARIANT* out) const {
    if (!out) return;
    VariantInit(out);
    if (size_ == 0) {
        out->vt = VT_NULL;
        return;
    }
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, size_);
    if (!sa) throw std::bad_alloc();
    std::memcpy(sa->pvData, data_, size_);
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = sa;
}

void DataBuffer::moveToVariant(VARIANT* out) {
    if (!out) return;
    if (borrowed_ || size_ == 0) {
        toVariant(out);
        return;
    }
    VariantInit(out);
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, 0);
    if (!sa) throw std::bad_alloc();
    std::free(sa->pvData);
    sa->pvData = data_;
    sa->rgsabound[0].cElements = size_;
    data_ = nullptr;
    size_ = capacity_ = 0;
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = sa;
}

bool DataBuffer::loadFile(const char16_t* path, LogBase* log) {
    if (!path || !*path) return loadFileImpl(nullptr, false, log);
    size_t n = 0;
    while (path[n]) ++n;
    std::string narrow = sys::toUtf8(std::u16string_view(path, n));
    return loadFileImpl(narrow.c_str(), false, log);
}

bool DataBuffer::loadFile(const char* path, LogBase* log) { return loadFileImpl(path, true, log); }

bool DataBuffer::loadFileImpl(const char* path, bool narrowForm, LogBase* log) {
    clear();
    if (!path || !*path) {
        if (log) log->LogError("Cannot load binary data file, filename is NULL or empty");
        return false;
    }
    // The 8-bit form also names the file and the current directory, as its callers expect.
    auto logSystemError = [&](bool withPlace) {
        if (!log) return;
        StringBuffer text;
        text.appendLastError();
        log->LogError(text.data());
        if (withPlace && narrowForm) {
            log->LogData("filename", path);
            log->LogData("current_dir", sys::currentDirectory().c_str());
        }
    };
    sys::File file = sys::File::openForReading(path);
    if (!file) {
        logSystemError(true);
        return false;
    }
    uint32_t fileSize = file.size();
    if (fileSize == sys::kInvalidFileSize) {
        logSystemError(false);
        return false;
    }
    if (fileSize == 0) return true;
    reallocate(fileSize);
    uint32_t got = 0;
    bool ok = file.read(data_, fileSize, &got);
    size_ = got;
    if (!ok) {
        logSystemError(true);
        return false;
    }
    if (got < fileSize) {
        if (log) log->LogError("Failed to read the entire file");
        return false;
    }
    return true;
}

}  // namespace quorvel
