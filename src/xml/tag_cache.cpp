#include "xml/tag_cache.h"

namespace quorvel {

namespace {

constexpr int32_t kFirstBatch = 16;
constexpr int32_t kLargestBatch = 1 << 16;

}  // namespace

TagCache::~TagCache() {
    for (Slot& s : slots_) {
        if (s.entry) CommonStrings::release(s.entry, s.prepaid + 1);
    }
}

void TagCache::countHandedOut(std::vector<std::pair<TagEntry*, int64_t>>& out) const {
    for (const Slot& s : slots_) {
        if (!s.entry) continue;
        // The batches double from the first up to the largest, as refill takes them.
        int64_t retained = 0;
        int64_t batch = kFirstBatch;
        for (int32_t i = 0; i < s.refills; ++i) {
            retained += batch;
            if (batch < kLargestBatch) batch *= 2;
        }
        if (retained > s.prepaid) out.emplace_back(s.entry, retained - s.prepaid);
    }
}

TagCache::Slot* TagCache::find(const char* bytes, size_t length, uint64_t hash) {
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& s = slots_[i];
        if (!s.entry) return &s;
        if (s.hash == hash && s.length == length && std::memcmp(s.entry->text(), bytes, length) == 0) return &s;
    }
}

void TagCache::grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{nullptr, 0, 0, 0, 0, 0, 0, 0, nullptr});
    for (Slot& s : old) {
        if (!s.entry) continue;
        Slot* to = find(s.entry->text(), s.entry->length(), s.hash);
        *to = s;
        to->next = nullptr;  // slots moved: the guesses start over
    }
    last_ = nullptr;
    expected_ = nullptr;
}

void TagCache::refill(Slot& s) {
    CommonStrings::retain(s.entry, s.batch);
    s.prepaid = s.batch;
    ++s.refills;
    if (s.batch < kLargestBatch) s.batch *= 2;
}

TagEntry* TagCache::take(const char* bytes, size_t length) {
    uint64_t head = headOf(bytes, length);
    if (!slots_.empty()) {
        uint64_t hash = hashTag(bytes, length);
        size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (!s.entry) break;
            if (s.hash == hash && matches(s, bytes, length, head)) return handOut(static_cast<uint32_t>(i));
        }
    }
    return takeNew(bytes, length);
}

TagEntry* TagCache::takeNew(const char* bytes, size_t length) {
    if ((used_ + 1) * 2 > slots_.size()) grow();
    uint64_t hash = hashTag(bytes, length);
    Slot* s = find(bytes, length, hash);
    if (!s->entry) {
        s->entry = CommonStrings::intern(bytes, length);
        s->hash = hash;
        s->head = headOf(bytes, length);
        s->headMask = firstBytesMask(length);
        s->length = static_cast<uint32_t>(length);
        s->prepaid = 0;  // the reference from intern is the cache's own, kept to the end
        s->batch = kFirstBatch;
        s->refills = 0;
        ++used_;
    }
    return handOut(static_cast<uint32_t>(s - slots_.data()));
}

}  // namespace quorvel
