#include "tree/tag_pool.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace quorvel {

namespace {

constexpr int kShardBits = 5;
constexpr int kShardCount = 1 << kShardBits;
constexpr uint32_t kMinCapacity = 16;

uint64_t mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

uint64_t hashBytes(const char* p, size_t n) {
    uint64_t h = (n + 1) * 0x9E3779B97F4A7C15ULL;
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xbf58476d1ce4e5b9ULL;
        h ^= h >> 31;
        p += 8;
        n -= 8;
    }
    if (n) {
        uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * 0xbf58476d1ce4e5b9ULL;
    }
    return mix(h);
}

// An open-addressing table with linear probing and backward-shift deletion, so removals leave
// no tombstones behind and a pool that has shrunk probes as fast as a fresh one.
struct alignas(64) Shard {
    std::mutex lock;
    TagEntry** slots = nullptr;
    uint32_t capacity = 0;  // a power of two, or 0 before the first insert
    uint32_t size = 0;
};

Shard* shards() {
    static Shard* s = new Shard[kShardCount];  // never destroyed: nodes may die during static teardown
    return s;
}

inline Shard& shardFor(uint64_t hash) { return shards()[hash >> (64 - kShardBits)]; }

}  // namespace

namespace {

// False when memory runs out; the table is then unchanged.
bool rehash(Shard& s, uint32_t capacity, uint64_t (*hashOf)(const TagEntry*)) {
    auto** fresh = static_cast<TagEntry**>(std::calloc(capacity, sizeof(TagEntry*)));
    if (!fresh) return false;
    uint32_t mask = capacity - 1;
    for (uint32_t i = 0; i < s.capacity; ++i) {
        TagEntry* e = s.slots[i];
        if (!e) continue;
        uint32_t j = static_cast<uint32_t>(hashOf(e)) & mask;
        while (fresh[j]) j = (j + 1) & mask;
        fresh[j] = e;
    }
    std::free(s.slots);
    s.slots = fresh;
    s.capacity = capacity;
    return true;
}

}  // namespace

TagEntry* CommonStrings::intern(const char* bytes, size_t length) {
    if (!bytes) {
        bytes = "";
        length = 0;
    }
    if (length >= UINT32_MAX) throw std::bad_alloc();
    uint64_t h = hashBytes(bytes, length);
    Shard& s = shardFor(h);
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.capacity) {
        uint32_t mask = s.capacity - 1;
        for (uint32_t i = static_cast<uint32_t>(h) & mask;; i = (i + 1) & mask) {
            TagEntry* e = s.slots[i];
            if (!e) break;
            if (e->hash_ == h && e->length_ == length && std::memcmp(e->text(), bytes, length) == 0) {
                e->refs_.fetch_add(1, std::memory_order_relaxed);
                return e;
            }
        }
    }
    if ((s.size + 1) * 2 > s.capacity) {
        if (!rehash(s, s.capacity ? s.capacity * 2 : kMinCapacity, [](const TagEntry* e) { return e->hash_; })) {
            throw std::bad_alloc();
        }
    }
    const size_t room = length + 1 < 8 ? 8 : length + 1;
    void* block = std::malloc(sizeof(TagEntry) + room);
    if (!block) throw std::bad_alloc();
    auto* e = new (block) TagEntry(static_cast<uint32_t>(length), h);
    char* text = reinterpret_cast<char*>(e + 1);
    if (length) std::memcpy(text, bytes, length);
    std::memset(text + length, 0, room - length);
    e->refs_.store(1, std::memory_order_relaxed);
    uint32_t mask = s.capacity - 1;
    uint32_t i = static_cast<uint32_t>(h) & mask;
    while (s.slots[i]) i = (i + 1) & mask;
    s.slots[i] = e;
    ++s.size;
    return e;
}

TagEntry* CommonStrings::retain(TagEntry* entry, int32_t n) {
    if (entry && n > 0) entry->refs_.fetch_add(n, std::memory_order_relaxed);
    return entry;
}

void CommonStrings::release(TagEntry* entry, int32_t n) {
    if (!entry || n < 1) return;
    // Only dropping the last references must exclude a concurrent lookup of the same tag.
    int32_t refs = entry->refs_.load(std::memory_order_relaxed);
    while (refs > n) {
        if (entry->refs_.compare_exchange_weak(refs, refs - n, std::memory_order_release, std::memory_order_relaxed)) return;
    }
    Shard& s = shardFor(entry->hash_);
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (entry->refs_.fetch_sub(n, std::memory_order_acq_rel) != n) return;
        uint32_t mask = s.capacity - 1;
        uint32_t i = static_cast<uint32_t>(entry->hash_) & mask;
        while (s.slots[i] != entry) i = (i + 1) & mask;
        for (uint32_t j = (i + 1) & mask; s.slots[j]; j = (j + 1) & mask) {
            uint32_t home = static_cast<uint32_t>(s.slots[j]->hash_) & mask;
            // Move j back into the hole unless its home lies cyclically in (i, j].
            bool stays = (i <= j) ? (home > i && home <= j) : (home > i || home <= j);
            if (!stays) {
                s.slots[i] = s.slots[j];
                i = j;
            }
        }
        s.slots[i] = nullptr;
        --s.size;
        if (s.capacity > kMinCapacity && s.size * 8 < s.capacity) {
            rehash(s, s.capacity / 2, [](const TagEntry* e) { return e->hash_; });  // a failure just keeps it large
        }
    }
    entry->~TagEntry();
    std::free(entry);
}

size_t CommonStrings::entryCount() {
    size_t total = 0;
    for (int k = 0; k < kShardCount; ++k) {
        Shard& s = shards()[k];
        std::lock_guard<std::mutex> guard(s.lock);
        total += s.size;
    }
    return total;
}

int32_t CommonStrings::refCount(std::string_view text) {
    uint64_t h = hashBytes(text.data(), text.size());
    Shard& s = shardFor(h);
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.capacity) return 0;
    uint32_t mask = s.capacity - 1;
    for (uint32_t i = static_cast<uint32_t>(h) & mask; s.slots[i]; i = (i + 1) & mask) {
        TagEntry* e = s.slots[i];
        if (e->hash_ == h && e->length_ == text.size() && std::memcmp(e->text(), text.data(), text.size()) == 0) {
            return e->refs_.load(std::memory_order_relaxed);
        }
    }
    return 0;
}

}  // namespace quorvel
