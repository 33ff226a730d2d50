// The parts of StringBuffer that meet the host: UTF-16 through the ANSI code page, host strings,
// and the system's error texts.
#include <cstring>
#include <string>

#include "core/string_buffer.h"
#include "core/system/code_page.h"
#include "core/system/error_text.h"
#include "quorvel/automation.hpp"

namespace quorvel {

namespace {

std::string ansiBytes(const char16_t* w) {
    size_t n = 0;
    while (w[n]) ++n;
    if (n > static_cast<size_t>(INT32_MAX / 2)) throw std::bad_alloc();
    std::string narrow(n, '\0');
    narrow.resize(sys::encodeAnsi(w, n, narrow.data()));
    return narrow;
}

}  // namespace

StringBuffer::StringBuffer(const char16_t* w) : StringBuffer(static_cast<const char*>(nullptr)) {
    if (!w) return;
    std::string narrow = ansiBytes(w);
    // The block fits the converted text exactly, as for a terminated string.
    StringBuffer exact(narrow.data(), static_cast<int32_t>(narrow.size()), kDefaultGrowth);
    std::swap(data_, exact.data_);
    std::swap(capacity_, exact.capacity_);
    std::swap(length_, exact.length_);
}

void StringBuffer::appendWide(const char16_t* w) {
    if (!w) return;
    std::string narrow = ansiBytes(w);
    appendBytes(narrow.data(), static_cast<int32_t>(narrow.size()));
}

char16_t* StringBuffer::toBstr() const {
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(length_));
    if (!b) throw std::bad_alloc();
    size_t k = sys::decodeAnsi(data_, static_cast<size_t>(length_), b);
    b[k] = 0;
    return b;
}

void StringBuffer::appendErrorText(int code) {
    std::string text = sys::errorText(code);
    if (text.empty()) return;
    append(text.c_str());
    trim();
}

void StringBuffer::appendLastError() { appendErrorText(sys::lastError()); }

}  // namespace quorvel
