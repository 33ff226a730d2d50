// Fuzzes the conversion of arbitrary bytes taken as UTF-8 into a charset, leaving out what cannot
// be converted, and the host-string conversions on the same bytes. The first byte chooses the
// target charset; the rest is the text. A long text costs a thousand short ones, so only a small
// share of the inputs whose first byte is 0xF0 or more (those whose hash says so) repeat the text
// past the length at which conversions go through UTF-16 in windows: the corpus keeps inputs
// that reached that path, but their mutations mostly take the short one again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "charset/charset_convert.h"
#include "charset/utf8_cache.h"
#include "core/data_buffer.h"
#include "core/string_buffer.h"
#include "quorvel/automation.hpp"

namespace {

const char* const kTargets[] = {
    "utf-8",     "iso-8859-1",  "shift_jis",   "windows-1252", "windows-1251", "us-ascii",   "utf-16",
    "utf-16be",  "euc-jp",      "iso-2022-jp", "utf-7",        "gb18030",      "big5",       "koi8-r",
    "ibm037",    "iso-8859-8",  "x-mac-ce",    "euc-kr",       "windows-1258", "x-iscii-de", "cp930",
    "johab",
};

void check(bool condition) {
    if (!condition) std::abort();
}

constexpr uint32_t kLongShare = 256;  // one in this many inputs that ask for the long path take it

bool takesLongPath(const uint8_t* data, size_t size) {
    if (data[0] < 0xF0 || size < 2) return false;
    uint32_t hash = 2166136261u;  // FNV-1a
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash % kLongShare == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    using namespace quorvel;
    const char* target = kTargets[data[0] % (sizeof kTargets / sizeof kTargets[0])];
    std::string repeated;
    if (takesLongPath(data, size)) {
        while (repeated.size() < 320 * 1024) repeated.append(reinterpret_cast<const char*>(data + 1), size - 1);
    }
    const uint8_t* text = repeated.empty() ? data + 1 : reinterpret_cast<const uint8_t*>(repeated.data());
    const uint32_t length = static_cast<uint32_t>(repeated.empty() ? size - 1 : repeated.size());

    // One converter and output buffers for the whole run, as a handle keeps them between calls: a
    // one-step conversion's first window is larger than the sanitizer's allocator serves without
    // mapping fresh pages, which would cost more than the conversion.
    static CharsetConvert cc;
    static DataBuffer out, whole, fromUtf16;
    out.shrinkTo(0);
    whole.shrinkTo(0);
    fromUtf16.shrinkTo(0);
    check(cc.SetFromCharset("utf-8"));
    check(cc.SetToCharset(target));

    Utf8Cache cache;
    cc.ConvertWithFallback(text, length, out, cache);
    if (cc.targetCodePage() == 65001) {
        check(out.size() == length && (length == 0 || std::memcmp(out.data(), text, length) == 0));
    }
    if (cc.targetCodePage() == 28591 || cc.targetCodePage() == 20127) check(out.size() <= length);

    // The whole text at once may fail, never crash.
    cc.Convert(text, length, whole, nullptr);

    // Host strings: UTF-8 to UTF-16 and back gives well-formed UTF-8 of the same characters.
    StringBuffer utf8(reinterpret_cast<const char*>(text), static_cast<int32_t>(length), 0);
    BSTR host = cc.Utf8ToHostString(utf8);
    check(host != nullptr);
    StringBuffer back;
    cc.HostStringToUtf8(host, back);
    DataBuffer backBytes;
    cc.HostStringToUtf8Bytes(host, backBytes);
    check(static_cast<uint32_t>(back.length()) == backBytes.size());
    check(back.length() == 0 || std::memcmp(back.data(), backBytes.data(), backBytes.size()) == 0);
    BSTR again = cc.Utf8ToHostString(back);
    check(SysStringLen(again) == SysStringLen(host));
    check(std::memcmp(again, host, SysStringLen(host) * sizeof(char16_t)) == 0);
    SysFreeString(again);
    SysFreeString(host);

    // The bytes as UTF-16 into the target.
    cc.FromUtf16(text, length, fromUtf16, nullptr);
    return 0;
}
