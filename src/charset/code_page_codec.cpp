#include "charset/code_page_codec.h"

#include <cstring>
#include <string>

#include "charset/iconv_converter.h"
#include "charset/output_room.h"
#include "core/data_buffer.h"
#include "core/system/code_page.h"
#include "core/system/utf8.h"

namespace quorvel {
namespace {

constexpr uint32_t kUtf16 = 1200;
constexpr uint32_t kUtf8 = 65001;
constexpr uint32_t kLatin1 = 28591;

// Lets `write` put at most maxUnits UTF-16 units at the end of out and counts what it wrote.
// Units are stored in their own alignment, so a buffer whose end is odd gets a copy.
template <class Write>
bool appendUnits(DataBuffer& out, uint64_t maxUnits, Write write) {
    if (maxUnits == 0) return true;
    uint32_t available = 0;
    uint8_t* at = reserveOutputRoom(out, maxUnits * 2, &available);
    if (at == nullptr || available < maxUnits * 2) return false;
    if (reinterpret_cast<uintptr_t>(at) % alignof(char16_t) == 0) {
        out.commit(static_cast<uint32_t>(write(reinterpret_cast<char16_t*>(at)) * 2));
    } else {
        std::u16string units(maxUnits, u'\0');
        const std::size_t n = write(units.data());
        std::memcpy(at, units.data(), n * 2);
        out.commit(static_cast<uint32_t>(n * 2));
    }
    return true;
}

// The whole units of UTF-16LE bytes, in their own alignment.
class Units {
public:
    Units(const void* bytes, uint32_t length) : count_(length / 2) {
        if (reinterpret_cast<uintptr_t>(bytes) % alignof(char16_t) == 0) {
            units_ = static_cast<const char16_t*>(bytes);
        } else {
            copy_.resize(count_);
            std::memcpy(copy_.data(), bytes, count_ * 2);
            units_ = copy_.data();
        }
    }
    const char16_t* data() const { return units_; }
    uint32_t count() const { return count_; }

private:
    uint32_t count_;
    const char16_t* units_ = nullptr;
    std::u16string copy_;
};

}  // namespace

bool decodeUtf8ToBuffer(const void* bytes, uint32_t length, DataBuffer& utf16) {
    // Never more units than bytes.
    return appendUnits(utf16, length, [&](char16_t* dst) {
        return sys::decodeUtf8(static_cast<const char*>(bytes), length, dst);
    });
}

bool encodeUtf8ToBuffer(const char16_t* units, uint32_t count, DataBuffer& out) {
    if (count == 0) return true;
    // Short texts take the three bytes a unit can need; long ones are measured first.
    constexpr uint32_t kMeasureFrom = 1u << 16;
    const uint64_t room = count < kMeasureFrom ? uint64_t{count} * 3 : sys::utf8Length(units, count);
    uint32_t available = 0;
    uint8_t* at = reserveOutputRoom(out, room, &available);
    if (at == nullptr || available < room) return false;
    out.commit(static_cast<uint32_t>(sys::encodeUtf8(units, count, reinterpret_cast<char*>(at))));
    return true;
}

bool decodeCodePage(uint32_t codePage, const void* bytes, uint32_t length, DataBuffer& utf16) {
    if (length == 0) return true;
    switch (codePage) {
        case kUtf16:
            return appendWithRoom(utf16, bytes, length);
        case kUtf8:
            return decodeUtf8ToBuffer(bytes, length, utf16);
        case kLatin1:
            return appendUnits(utf16, length, [&](char16_t* dst) {
                return sys::decodeLatin1(static_cast<const char*>(bytes), length, dst);
            });
        default: {
            IconvConverter converter;
            return converter.open(codePage, kUtf16) &&
                   converter.convert(bytes, length, utf16, uint64_t{length} * 2 + 16);
        }
    }
}

EncodeResult encodeCodePage(uint32_t codePage, const void* utf16, uint32_t length, DataBuffer& out) {
    length &= ~1u;
    if (length == 0) return EncodeResult::Ok;
    if (codePage == kUtf16) return appendWithRoom(out, utf16, length) ? EncodeResult::Ok : EncodeResult::CannotWrite;
    if (codePage == kUtf8 || codePage == kLatin1) {
        const Units units(utf16, length);
        if (codePage == kUtf8) {
            return encodeUtf8ToBuffer(units.data(), units.count(), out) ? EncodeResult::Ok : EncodeResult::CannotWrite;
        }
        uint32_t available = 0;
        uint8_t* at = reserveOutputRoom(out, units.count(), &available);
        if (at == nullptr || available < units.count()) return EncodeResult::CannotWrite;
        out.commit(static_cast<uint32_t>(sys::encodeLatin1(units.data(), units.count(), reinterpret_cast<char*>(at))));
        return EncodeResult::Ok;
    }
    IconvConverter converter;
    if (!converter.open(kUtf16, codePage)) return EncodeResult::CannotMeasure;
    return converter.convert(utf16, length, out, uint64_t{length} / 2 * 3) ? EncodeResult::Ok
                                                                            : EncodeResult::CannotMeasure;
}

}  // namespace quorvel
