#pragma once
// Helpers shared by the conversion tests: iconv as the reference, byte strings of buffers.

#include <iconv.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/data_buffer.h"
#include "core/log_base.h"
#include "core/string_buffer.h"
#include "recording_log.h"

namespace quorvel::test {

inline std::string bytesOf(const DataBuffer& b) {
    return b.size() ? std::string(reinterpret_cast<const char*>(b.data()), b.size()) : std::string();
}

// iconv from one name to another, nothing approximated; false on any failure.
inline bool iconvConvert(const char* to, const char* from, const std::string& in, std::string& out) {
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string buffer(in.size() * 8 + 64, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == 0 &&
                    iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == 0;
    iconv_close(cd);
    if (ok) out.assign(buffer.data(), buffer.size() - outLeft);
    return ok;
}

// The machine is little-endian, as every target of the component is.
inline std::string utf16le(const std::u16string& s) {
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

}  // namespace quorvel::test
