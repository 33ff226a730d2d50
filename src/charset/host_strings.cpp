// Host strings to and from UTF-8: every string argument and result of a host call passes here, so
// these run without the platform converter and take pure ASCII in a single pass.
#include <cstring>
#include <new>

#include "charset/charset_convert.h"
#include "charset/output_room.h"
#include "core/data_buffer.h"
#include "core/system/code_page.h"
#include "core/system/utf8.h"

namespace quorvel {
namespace {

// Length of the ASCII run at the start.
std::size_t asciiUnits(const char16_t* units, std::size_t n) {
    std::size_t i = 0;
    while (i < n && units[i] < 0x80) ++i;
    return i;
}

// Writes the narrow form of the units: ASCII copied, the rest as UTF-8 or in the ANSI code
// page. `out` has room for the whole result.
std::size_t narrowUnits(const char16_t* units, std::size_t n, bool utf8, char* out) {
    const std::size_t ascii = asciiUnits(units, n);
    for (std::size_t i = 0; i < ascii; ++i) out[i] = static_cast<char>(units[i]);
    if (ascii == n) return n;
    return ascii + (utf8 ? sys::encodeUtf8(units + ascii, n - ascii, out + ascii)
                         : sys::encodeAnsi(units + ascii, n - ascii, out + ascii));
}

// Bytes the narrow form needs; the ANSI form has a byte per unit at most.
uint64_t narrowLength(const char16_t* units, std::size_t n, bool utf8) {
    const std::size_t ascii = asciiUnits(units, n);
    if (ascii == n || !utf8) return n;
    return ascii + sys::utf8Length(units + ascii, n - ascii);
}

}  // namespace

void CharsetConvert::HostStringToUtf8(const char16_t* bstr, StringBuffer& out) {
    HostStringToUtf8(bstr, out, converter_ != nullptr);
}

void CharsetConvert::HostStringToUtf8Bytes(const char16_t* bstr, DataBuffer& out) {
    HostStringToUtf8Bytes(bstr, out, converter_ != nullptr);
}

BSTR CharsetConvert::Utf8ToHostString(const StringBuffer& text) { return NewHostString(text); }

void CharsetConvert::HostStringToUtf8(const char16_t* bstr, StringBuffer& out, bool viaUtf8) {
    if (bstr == nullptr) return;
    out.clear();
    const UINT n = SysStringLen(const_cast<BSTR>(bstr));
    if (n == 0) return;
    // Without the platform converter the platform's route is the ANSI code page; so it is for a
    // text whose UTF-8 form is beyond a byte string's reach.
    bool utf8 = viaUtf8;
    uint64_t length = narrowLength(bstr, n, utf8);
    if (utf8 && length > INT32_MAX - 1) {
        utf8 = false;
        length = n;
    }
    if (length > INT32_MAX - 1) throw std::bad_alloc();

    // Small strings are narrowed on the stack, large ones in pieces that keep surrogate pairs whole.
    constexpr std::size_t kChunkUnits = 1024;
    char chunk[kChunkUnits * 3];
    out.reserve(static_cast<int32_t>(length));
    std::size_t done = 0;
    while (done < n) {
        std::size_t take = n - done < kChunkUnits ? n - done : kChunkUnits;
        if (done + take < n && bstr[done + take - 1] >= 0xD800 && bstr[done + take - 1] <= 0xDBFF) --take;
        const std::size_t bytes = narrowUnits(bstr + done, take, utf8, chunk);
        out.appendBytes(chunk, static_cast<int32_t>(bytes));
        done += take;
    }
}

void CharsetConvert::HostStringToUtf8Bytes(const char16_t* bstr, DataBuffer& out, bool viaUtf8) {
    if (bstr == nullptr) return;
    out.clear();
    const UINT n = SysStringLen(const_cast<BSTR>(bstr));
    if (n == 0) return;
    bool utf8 = viaUtf8;
    uint64_t length = narrowLength(bstr, n, utf8);
    if (utf8 && length > UINT32_MAX) {
        utf8 = false;
        length = n;
    }
    uint32_t available = 0;
    uint8_t* at = reserveOutputRoom(out, length, &available);
    if (at == nullptr || available < length) throw std::bad_alloc();
    out.commit(static_cast<uint32_t>(narrowUnits(bstr, n, utf8, reinterpret_cast<char*>(at))));
}

BSTR CharsetConvert::NewHostString(const StringBuffer& text) {
    // The system's decoder replaces malformed sequences and never fails, so the raw-units
    // fallback of a failing decoder has no occasion here.
    BSTR result = qv_SysAllocStringUtf8(text.data(), static_cast<UINT>(text.length()));
    if (result == nullptr) throw std::bad_alloc();
    return result;
}

}  // namespace quorvel
