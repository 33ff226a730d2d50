#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tree/tag_pool.h"

namespace quorvel {

// A parser's private view of the tag pool. Each distinct tag is looked up in the shared pool
// once per parse; after that, references are taken from the pool in growing batches and handed
// to the new elements one by one, so building an element touches neither the pool's locks nor
// its counters. The cache keeps one reference of its own on each tag, so a tag stays valid even
// when every element that used it has gone; that and the references not handed out are given
// back when the cache ends.
class TagCache {
public:
    TagCache() = default;
    ~TagCache();
    TagCache(const TagCache&) = delete;
    TagCache& operator=(const TagCache&) = delete;

    // The pooled tag for these bytes with one reference that passes to the caller.
    TagEntry* take(const char* bytes, size_t length);

private:
    struct Slot {
        TagEntry* entry;
        uint64_t hash;
        int32_t prepaid;  // references held for elements still to come
        int32_t batch;    // size of the next batch taken from the pool
    };
    Slot* find(const char* bytes, size_t length, uint64_t hash);
    void grow();

    std::vector<Slot> slots_;
    size_t used_ = 0;
};

}  // namespace quorvel
