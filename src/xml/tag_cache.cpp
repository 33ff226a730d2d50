#include "xml/tag_cache.h"

#include <cstring>

namespace quorvel {

namespace {

constexpr int32_t kFirstBatch = 16;
constexpr int32_t kLargestBatch = 1 << 16;

uint64_t hashTag(const char* p, size_t n) {
    uint64_t h = 0x9E3779B97F4A7C15ULL ^ n;
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xbf58476d1ce4e5b9ULL;
        p += 8;
        n -= 8;
    }
    if (n) {
        uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * 0xbf58476d1ce4e5b9ULL;
    }
    return h ^ (h >> 29);
}

}  // namespace

TagCache::~TagCache() {
    for (Slot& s : slots_) {
        if (s.entry) CommonStrings::release(s.entry, s.prepaid + 1);
    }
}

TagCache::Slot* TagCache::find(const char* bytes, size_t length, uint64_t hash) {
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& s = slots_[i];
        if (!s.entry) return &s;
        if (s.hash == hash && s.entry->length() == length && std::memcmp(s.entry->text(), bytes, length) == 0) return &s;
    }
}

void TagCache::grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{nullptr, 0, 0, 0});
    for (Slot& s : old) {
        if (s.entry) *find(s.entry->text(), s.entry->length(), s.hash) = s;
    }
}

TagEntry* TagCache::take(const char* bytes, size_t length) {
    if ((used_ + 1) * 2 > slots_.size()) grow();
    uint64_t hash = hashTag(bytes, length);
    Slot* s = find(bytes, length, hash);
    if (!s->entry) {
        s->entry = CommonStrings::intern(bytes, length);
        s->hash = hash;
        s->prepaid = 0;  // the reference from intern is the cache's own, kept to the end
        s->batch = kFirstBatch;
        ++used_;
    }
    if (s->prepaid == 0) {
        CommonStrings::retain(s->entry, s->batch);
        s->prepaid = s->batch;
        if (s->batch < kLargestBatch) s->batch *= 2;
    }
    --s->prepaid;
    return s->entry;
}

}  // namespace quorvel
