#include "charset/utf8_cache.h"

namespace quorvel {

const Utf8Result* Utf8Cache::find(const MbChar& key) const {
    if (key.count == 0) return nullptr;
    const Utf8Tree* node = &root_;
    for (uint32_t i = 0;; ++i) {
        const Utf8Base* slot = node->slots[key.bytes[i]].get();
        if (slot == nullptr) return nullptr;
        const bool last = i + 1 == key.count;
        if (slot->isResult() != last) return nullptr;
        if (last) return static_cast<const Utf8Result*>(slot);
        node = static_cast<const Utf8Tree*>(slot);
    }
}

// The result slot for the key, created on the way; nullptr when the key clashes with the tree.
Utf8Result* Utf8Cache::slotFor(const MbChar& key) {
    if (key.count == 0) return nullptr;
    Utf8Tree* node = &root_;
    for (uint32_t i = 0;; ++i) {
        std::unique_ptr<Utf8Base>& slot = node->slots[key.bytes[i]];
        const bool last = i + 1 == key.count;
        if (slot == nullptr) {
            if (last) {
                slot = std::make_unique<Utf8Result>();
                ++resultCount_;
            } else {
                slot = std::make_unique<Utf8Tree>();
            }
        }
        if (slot->isResult() != last) return nullptr;
        if (last) return static_cast<Utf8Result*>(slot.get());
        node = static_cast<Utf8Tree*>(slot.get());
    }
}

void Utf8Cache::storeResult(const MbChar& key, const void* converted, uint32_t n) {
    if (n > MbChar::kMaxBytes) return;
    if (Utf8Result* r = slotFor(key)) {
        r->set(converted, n);
        r->failed = false;
    }
}

void Utf8Cache::storeFailure(const MbChar& key) {
    if (Utf8Result* r = slotFor(key)) {
        r->count = 0;
        r->failed = true;
    }
}

}  // namespace quorvel
