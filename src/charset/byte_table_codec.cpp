#include "charset/byte_table_codec.h"

#include <algorithm>

namespace quorvel {

const ByteTable* byteTableForCodePage(uint32_t codePage) noexcept {
    for (const ByteTable& table : byteTables()) {
        if (table.codePage == codePage) return &table;
    }
    return nullptr;
}

bool decodeTableByte(const ByteTable& table, uint8_t byte, char16_t* unit) noexcept {
    *unit = (*table.toUtf16)[byte];
    return *unit != 0 || byte == 0;
}

bool encodeTableUnit(const ByteTable& table, char16_t unit, uint8_t* byte) noexcept {
    const auto reverse = table.fromUtf16;
    auto it = std::lower_bound(reverse.begin(), reverse.end(), unit,
                               [](const QuickConvertReverseEntry& e, char16_t u) { return e.unit < u; });
    if (it == reverse.end() || it->unit != unit) return false;
    *byte = it->byte;
    return true;
}

}  // namespace quorvel
