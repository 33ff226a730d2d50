#pragma once
// Which iconv converter serves each Windows code page number.

#include <cstdint>
#include <span>

namespace quorvel {

struct IconvNameEntry {
    uint32_t codePage;
    const char* iconvName;
};

// The iconv name to open for a code page, nullptr when iconv has no converter for it
// (such a code page behaves as one the platform cannot create a converter for).
const char* iconvNameForCodePage(uint32_t codePage) noexcept;

// Every mapped code page, ascending.
std::span<const IconvNameEntry> iconvNameTable() noexcept;

}  // namespace quorvel
