#include "charset/charset_names.h"

#include <algorithm>
#include <limits>

#include "charset/charset_name_tables.h"

namespace quorvel {
namespace {

constexpr bool isBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

template <std::size_t N>
const CharsetNameEntry* findName(const std::array<CharsetNameEntry, N>& table, std::string_view name) noexcept {
    auto it = std::lower_bound(table.begin(), table.end(), name,
                               [](const CharsetNameEntry& entry, std::string_view key) {
                                   return charset_tables_detail::nameLess(entry.name, key);
                               });
    return (it != table.end() && it->name == name) ? &*it : nullptr;
}

// "windows-<digits>..." names its code page directly; the number ends at the first non-digit.
// Returns false when the name does not have that shape.
bool windowsNumber(std::string_view name, uint32_t& codePage) noexcept {
    constexpr std::string_view kPrefix = "windows-";
    if (name.size() <= kPrefix.size() || !name.starts_with(kPrefix) || !isDigit(name[kPrefix.size()])) {
        return false;
    }
    constexpr uint64_t kLargest = std::numeric_limits<int32_t>::max();
    uint64_t value = 0;
    for (std::size_t i = kPrefix.size(); i < name.size() && isDigit(name[i]); ++i) {
        value = value * 10 + static_cast<uint64_t>(name[i] - '0');
        if (value > kLargest) {
            codePage = 0;
            return true;
        }
    }
    codePage = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

std::string CanonicalCharsetName(std::string_view name) {
    std::size_t first = 0;
    std::size_t last = name.size();
    while (first < last && isBlank(name[first])) ++first;
    while (last > first && isBlank(name[last - 1])) --last;
    std::string result(name.substr(first, last - first));
    if (result.empty()) return result;

    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (c == '_') {
            c = '-';
        }
    }

    for (const CharsetRewriteRule& rule : kCharsetRewriteRules) {
        switch (rule.kind) {
            case CharsetRewriteKind::ReplaceFirst: {
                const std::size_t at = result.find(rule.pattern);
                if (at != std::string::npos) result.replace(at, rule.pattern.size(), rule.result);
                break;
            }
            case CharsetRewriteKind::WholeNameEquals:
                if (result == rule.pattern) result.assign(rule.result);
                break;
            case CharsetRewriteKind::NameContains:
                if (result.find(rule.pattern) != std::string::npos) result.assign(rule.result);
                break;
        }
    }
    return result;
}

uint32_t CodePageForCharset(std::string_view canonicalName) {
    if (const CharsetNameEntry* common = findName(kCommonCharsetNames, canonicalName)) return common->codePage;
    uint32_t codePage = 0;
    if (windowsNumber(canonicalName, codePage)) return codePage;
    const CharsetNameEntry* entry = findName(kCharsetNameTable, canonicalName);
    return entry ? entry->codePage : 0;
}

}  // namespace quorvel
