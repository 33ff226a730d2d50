#include "tree/view_copies.h"

#include <cstring>

#include "core/system/utf8.h"

namespace quorvel {

std::string_view ViewCopies::copyOf(const TreeNode* node, uint32_t which, std::string_view stored) {
    std::vector<Copy>& mine = copies_[node];
    Copy* slot = nullptr;
    for (Copy& c : mine) {
        if (c.which != which) continue;
        if (c.stored == stored) return {c.text.get(), c.size};
        slot = &c;
        break;
    }
    std::string text;
    if (sys::wellFormedUtf8Length(stored.data(), stored.size()) == stored.size()) {
        text.assign(stored);
    } else {
        text = sys::toUtf8(sys::fromUtf8(stored));
    }
    Copy fresh{which, std::string(stored), std::make_unique<char[]>(text.size() + 1), text.size()};
    std::memcpy(fresh.text.get(), text.data(), text.size());
    if (slot) {
        *slot = std::move(fresh);  // the old copy is freed: a view of it was of a changed text
    } else {
        mine.push_back(std::move(fresh));
        slot = &mine.back();
    }
    return {slot->text.get(), slot->size};
}

void ViewCopies::moveTo(ViewCopies& other, const TreeNode* node) {
    auto it = copies_.find(node);
    if (it == copies_.end()) return;
    std::vector<Copy>& theirs = other.copies_[node];
    for (Copy& c : it->second) theirs.push_back(std::move(c));
    copies_.erase(it);
}

}  // namespace quorvel
