#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
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

    // Documents repeat their sequences of tags (record, name, email, ..., record, name, ...), so
    // each tag remembers the tag taken after it last time. A reader tries that guess against the
    // text with takeIfNext and, when it misses, scans the tag and takes it with take.

    // The pooled tag for these bytes, looked up by its hash, with one reference that passes to
    // the caller.
    TagEntry* take(const char* bytes, size_t length);

    // The tag expected next (the one taken after the last one, last time), with a reference
    // that passes to the caller and its length in length, when the text at p spells it and the
    // byte after it ends a name by endsName; else none, and nothing is taken. Only as many bytes
    // as the tag has, and the one after, are read, and only while before end. A guess whose
    // prepaid references are used up is left to take, which refills them.
    template <class EndsName>
    TagEntry* takeIfNext(const char* p, const char* end, EndsName endsName, size_t& length) {
        Slot* const guess = expected_;
        if (!guess) return nullptr;
        Slot& s = *guess;
        const size_t n = s.length;
        const size_t room = static_cast<size_t>(end - p);
        if (room <= n) return nullptr;
        // With a word at hand, the head is one load and a mask instead of headOf's steps.
        uint64_t head;
        if (room >= 8) {
            std::memcpy(&head, p, 8);
            head &= s.headMask;
        } else {
            head = headOf(p, n);
        }
        // matches() without its length test, which is the slot's own here: with it, chain and
        // nested parse 4% slower.
        if (s.head != head || !endsName(p[n]) || s.prepaid == 0 || (n > 8 && !sameBytes(s.entry->text() + 8, p + 8, n - 8))) {
            return nullptr;
        }
        last_ = guess;
        expected_ = s.next;
        --s.prepaid;
        length = n;
        TagEntry* const entry = s.entry;
        if (!entry) __builtin_unreachable();  // a slot in use has its tag; a caller's test of it is dropped
        return entry;
    }

    // Adds to out each tag with the number of references handed out to callers so far.
    void countHandedOut(std::vector<std::pair<TagEntry*, int64_t>>& out) const;

    // The bits of a word's first min(8, n) bytes.
    static constexpr uint64_t firstBytesMask(size_t n) { return n >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * n)) - 1; }
    // The first min(8, n) bytes as a number (zeros after them), read without going past n.
    static uint64_t headOf(const char* p, size_t n) {
        uint64_t h = 0;
        if (n >= 8) {
            std::memcpy(&h, p, 8);
        } else if (n >= 4) {
            uint32_t lo, hi;
            std::memcpy(&lo, p, 4);
            std::memcpy(&hi, p + n - 4, 4);
            h = lo | (static_cast<uint64_t>(hi) << ((n - 4) * 8));  // the overlap holds the same bytes
        } else {
            for (size_t i = 0; i < n; ++i) h |= static_cast<uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
        }
        return h;
    }

    // A hash of the whole tag that reads it in at most a few word loads for the usual lengths.
    static uint64_t hashTag(const char* p, size_t n) {
        uint64_t a, b;
        if (n >= 8) {
            std::memcpy(&a, p, 8);
            std::memcpy(&b, p + n - 8, 8);
            for (size_t i = 8; i + 8 < n; i += 8) {
                uint64_t w;
                std::memcpy(&w, p + i, 8);
                a = (a ^ w) * 0x9E3779B97F4A7C15ULL;
                a ^= a >> 29;
            }
        } else if (n >= 4) {
            uint32_t x, y;
            std::memcpy(&x, p, 4);
            std::memcpy(&y, p + n - 4, 4);
            a = x;
            b = y;
        } else {
            a = n ? static_cast<unsigned char>(p[0]) | static_cast<unsigned>(static_cast<unsigned char>(p[n / 2])) << 8 |
                        static_cast<unsigned>(static_cast<unsigned char>(p[n - 1])) << 16
                  : 0;
            b = 0;
        }
        uint64_t h = (a ^ 0x243F6A8885A308D3ULL) * 0xbf58476d1ce4e5b9ULL + (b ^ n);
        h = (h ^ (h >> 31)) * 0x94d049bb133111ebULL;
        return h ^ (h >> 29);
    }

private:
    // Equality of two n-byte strings (sizeof(Word) <= n <= 2 * sizeof(Word)) by their first and
    // last words, which overlap to cover every byte.
    template <class Word>
    static bool sameByEnds(const char* a, const char* b, size_t n) {
        Word a0, a1, b0, b1;
        std::memcpy(&a0, a, sizeof(Word));
        std::memcpy(&b0, b, sizeof(Word));
        std::memcpy(&a1, a + n - sizeof(Word), sizeof(Word));
        std::memcpy(&b1, b + n - sizeof(Word), sizeof(Word));
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }

    // Equality of two n-byte strings, in word compares for the usual short tags.
    static bool sameBytes(const char* a, const char* b, size_t n) {
        if (n > 16) return std::memcmp(a, b, n) == 0;
        if (n >= 8) return sameByEnds<uint64_t>(a, b, n);
        if (n >= 4) return sameByEnds<uint32_t>(a, b, n);
        for (size_t i = 0; i < n; ++i) {
            if (a[i] != b[i]) return false;
        }
        return true;
    }

    struct Slot {
        TagEntry* entry;
        uint64_t hash;
        uint64_t head;      // headOf the tag, so that short tags compare without reading the entry
        uint64_t headMask;  // the bits of a word's first min(8, length) bytes
        uint32_t length;
        int32_t prepaid;  // references held for elements still to come
        int32_t batch;    // size of the next batch taken from the pool
        int32_t refills;  // batches taken so far
        Slot* next;       // the slot taken right after this one last time, if any
    };
    static bool matches(const Slot& s, const char* bytes, size_t length, uint64_t head) {
        return s.length == length && s.head == head && (length <= 8 || sameBytes(s.entry->text() + 8, bytes + 8, length - 8));
    }
    TagEntry* handOut(uint32_t i) {
        Slot& s = slots_[i];
        if (last_) last_->next = &s;
        last_ = &s;
        expected_ = s.next;
        if (s.prepaid == 0) refill(s);
        --s.prepaid;
        return s.entry;
    }
    TagEntry* takeNew(const char* bytes, size_t length);
    void refill(Slot& s);
    Slot* find(const char* bytes, size_t length, uint64_t hash);
    void grow();

    std::vector<Slot> slots_;
    // The slot taken after the last one, last time: the guess, found without reading the slots
    // on the way.
    Slot* expected_ = nullptr;
    size_t used_ = 0;
    // The slot taken last. Kept apart from expected_: written together as one wide store, they
    // would make the next guess wait for that store to reach memory instead of being forwarded.
    Slot* last_ = nullptr;
};

}  // namespace quorvel
