#include "charset/byte_table_codec.h"

#include <algorithm>

#include "charset/quick_convert_tables.h"

namespace quorvel {

const QuickConvertTable* byteTableForCodePage(uint32_t codePage) noexcept {
    return codePage == 1255 || codePage == 1258 ? findQuickConvertTable(codePage) : nullptr;
}

bool decodeTableByte(const QuickConvertTable& table, uint8_t byte, char16_t* unit) noexcept {
    *unit = (*table.toUtf16)[byte];
    return *unit != 0 || byte == 0;
}

bool encodeTableUnit(const QuickConvertTable& table, char16_t unit, uint8_t* byte) noexcept {
    if (unit < 0x80) {
        *byte = static_cast<uint8_t>(unit);
        return true;
    }
    if (unit < 0xFF) {  // the sorted reverse map starts at 0xFF
        const auto& toUtf16 = *table.toUtf16;
        for (int b = 0x80; b < 0x100; ++b) {
            if (toUtf16[b] == unit) {
                *byte = static_cast<uint8_t>(b);
                return true;
            }
        }
        return false;
    }
    const auto reverse = table.fromUtf16;
    auto it = std::lower_bound(reverse.begin(), reverse.end(), unit,
                               [](const QuickConvertReverseEntry& e, char16_t u) { return e.unit < u; });
    if (it == reverse.end() || it->unit != unit) return false;
    *byte = it->byte;
    return true;
}

}  // namespace quorvel
