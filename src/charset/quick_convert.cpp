#include "charset/quick_convert.h"

#include <algorithm>

#include "charset/quick_convert_tables.h"

namespace quorvel {

bool quickConvertFromUtf16(uint32_t targetCodePage, const char16_t* units, std::size_t count, std::string& out) {
    const QuickConvertTable* table = findQuickConvertTable(targetCodePage);
    if (table == nullptr) return false;
    if (count == 0) return true;

    const auto reverse = table->fromUtf16;
    out.reserve(out.size() + count);
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t unit = units[i];
        if (unit < 0xFF) {
            out.push_back(static_cast<char>(unit));
            continue;
        }
        auto it = std::lower_bound(reverse.begin(), reverse.end(), unit,
                                   [](const QuickConvertReverseEntry& e, char16_t u) { return e.unit < u; });
        if (it != reverse.end() && it->unit == unit) out.push_back(static_cast<char>(it->byte));
    }
    return true;
}

}  // namespace quorvel
