#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quorvel {

// One pooled tag: reference count, length and the 0-terminated bytes in a single allocation.
// Nodes point at the entry, so reading a tag never follows another pointer. Zeros follow the
// bytes up to at least 8, so that a short tag is read whole in one word.
class TagEntry {
public:
    const char* text() const { return reinterpret_cast<const char*>(this + 1); }
    // The first 8 bytes of the text, as they lie in memory; past a short tag's end, zeros.
    uint64_t firstWord() const {
        uint64_t w;
        std::memcpy(&w, text(), 8);
        return w;
    }
    uint32_t length() const { return length_; }
    std::string_view view() const { return {text(), length_}; }
    int32_t refCount() const { return refs_.load(std::memory_order_relaxed); }

private:
    friend class CommonStrings;
    TagEntry(uint32_t length, uint64_t hash) : refs_(0), length_(length), hash_(hash) {}

    std::atomic<int32_t> refs_;
    uint32_t length_;
    uint64_t hash_;
};
static_assert(sizeof(TagEntry) == 16, "tag bytes follow the header directly");

// The process-wide tag pool. Each distinct tag is stored once and counted by the nodes that use
// it; an entry disappears with its last user. Safe for different threads building different
// documents: lookups take one of several shard locks, and dropping a reference that is not the
// last one takes none.
class CommonStrings {
public:
    // The entry for these bytes with one more reference, created when absent.
    static TagEntry* intern(const char* bytes, size_t length);
    static TagEntry* intern(std::string_view text) { return intern(text.data(), text.size()); }
    // n more references on an entry the caller already holds a reference on. A builder may take
    // references in batches and hand them to nodes one by one (TreeNode::newChildAdoptingTag).
    static TagEntry* retain(TagEntry* entry, int32_t n = 1);
    // Drops n references; the entry is removed and freed with its last one. Null is ignored.
    static void release(TagEntry* entry, int32_t n = 1);

    // Inspection, for tests and statistics.
    static size_t entryCount();
    // Number of references on the entry for text, 0 when the pool does not hold it.
    static int32_t refCount(std::string_view text);
};

}  // namespace quorvel
