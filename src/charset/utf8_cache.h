#pragma once
// Converted forms of single UTF-8 characters, remembered for the length of one conversion call.

#include <array>
#include <cstdint>
#include <memory>

#include "charset/mb_string.h"

namespace quorvel {

class Utf8Base {
public:
    virtual ~Utf8Base() = default;
    virtual bool isResult() const = 0;
};

// What one character converted to (at most six bytes), or the mark that it cannot be converted.
class Utf8Result final : public Utf8Base, public MbChar {
public:
    bool isResult() const override { return true; }
    bool failed = false;
};

// One level of the tree: a slot per byte value. The slot of a character's last byte holds its
// Utf8Result; the slots of the bytes before lead to deeper nodes.
class Utf8Tree final : public Utf8Base {
public:
    bool isResult() const override { return false; }
    std::array<std::unique_ptr<Utf8Base>, 256> slots;
};

// Keyed by the bytes of a character. A key that clashes with the shape of the tree (a
// character cut short at the end of a text, whose bytes begin a longer one) is not kept.
class Utf8Cache {
public:
    Utf8Cache() = default;
    Utf8Cache(const Utf8Cache&) = delete;
    Utf8Cache& operator=(const Utf8Cache&) = delete;

    // The stored result for the character, nullptr when there is none.
    const Utf8Result* find(const MbChar& key) const;
    // Remembers what the character converted to; results of more than six bytes are not kept.
    void storeResult(const MbChar& key, const void* converted, uint32_t n);
    void storeFailure(const MbChar& key);

    uint32_t resultCount() const { return resultCount_; }

private:
    Utf8Result* slotFor(const MbChar& key);

    Utf8Tree root_;
    uint32_t resultCount_ = 0;
};

}  // namespace quorvel
