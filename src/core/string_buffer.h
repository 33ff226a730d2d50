#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/quorvel_object.h"

namespace quorvel {

class ExtPtrArray;

// Growable, always 0-terminated byte string. Knows nothing of UTF-8: lengths are byte counts and
// case folding touches only ASCII letters. Blocks of exactly 200 bytes are recycled through a
// process-wide pool of at most 100 blocks.
class StringBuffer : public QuorvelObject {
public:
    StringBuffer();
    explicit StringBuffer(int32_t capacity);
    StringBuffer(const char* bytes, int32_t n, int32_t growth);
    explicit StringBuffer(const char* s);
    explicit StringBuffer(const char16_t* w);  // through the ANSI code page
    StringBuffer(const StringBuffer& other);
    StringBuffer& operator=(const StringBuffer& other);
    ~StringBuffer() override;

    // Reads.
    const char* data() const { return data_; }
    char* mutableData() { return data_; }
    int32_t length() const { return length_; }
    int32_t capacity() const { return capacity_; }
    int32_t growth() const { return growth_; }
    bool empty() const { return length_ == 0; }
    std::string_view view() const { return {data_, static_cast<size_t>(length_)}; }
    char lastChar() const { return length_ > 0 ? data_[length_ - 1] : 0; }
    char charAt(int32_t i) const { return (i >= 0 && i < length_) ? data_[i] : 0; }
    bool contains(const char* s) const;
    bool containsNoCase(const char* s) const;
    bool equals(const char* s) const;
    bool equalsNoCase(const char* s) const;
    int compare(const char* s) const;

    // Appends.
    void append(const char* s);
    void appendChar(char c) {  // inline: callers append byte by byte in their inner loops
        if (length_ + 1 >= capacity_) adoptNewBlock(static_cast<int64_t>(length_) + growth_ + 1, true);
        data_[length_++] = c;
        data_[length_] = 0;
    }
    void appendBytes(const void* p, int32_t n);
    void appendBuffer(const StringBuffer& b) { appendBytes(b.data_, b.length_); }
    void appendWide(const char16_t* w);  // through the ANSI code page
    void appendInt(int32_t n);
    void appendHexDump(const void* p, int32_t n);
    void appendEscaped(const char* s, int32_t n);
    void appendLastError();
    void appendErrorText(int code);
    void prepend(const char* s);

    // Replacing and editing.
    void setString(const char* s);
    void setBuffer(const StringBuffer& b);
    void clear();
    void reserve(int32_t n);
    // Counts in n bytes written straight into the room past length(); they must fit before capacity() - 1.
    void extendBy(int32_t n) {
        length_ += n;
        data_[length_] = 0;
    }
    char* takeBuffer(int32_t* outLength = nullptr);
    void trim();
    void removeChar(char c);
    void removeCharFrom(char c, int32_t i);
    void replaceChar(char a, char b);
    bool replaceFirst(const char* find, const char* repl);
    int32_t replaceAll(const char* find, const char* repl);
    void removeRange(int32_t i, int32_t n);
    void shorten(int32_t n);
    void toLower();
    void entityEncode();
    void entityEncodeNoQuotes();
    void split(ExtPtrArray& out, const char* delimiters, bool quoteAware, bool backslashEscape) const;
    void toFileName();
    char16_t* toBstr() const;  // a new host string through the ANSI code page; caller frees it

    // Frees a block handed out by takeBuffer.
    static void freeBlock(char* block);
    // The process-wide 200-byte block pool.
    static int32_t pooledBlockCount();
    static void freeBlockPool();

    static constexpr int32_t kDefaultGrowth = 200;
    static constexpr int32_t kPoolBlockSize = 200;
    static constexpr int32_t kPoolLimit = 100;
    static constexpr int32_t kGrowthCap = 500000;

private:
    void adoptNewBlock(int64_t size, bool adaptGrowth);
    // Grows the block to `size` and copies n bytes from src past the text, leaving the length as it is.
    void appendGrowing(const char* src, int32_t n, int64_t size);
    void releaseBlock();

    char* data_;
    int32_t capacity_;
    int32_t length_;
    int32_t growth_;
};

// First occurrence of pattern in text with ASCII case folding; none for null/empty text or pattern.
const char* findNoCase(const char* text, const char* pattern);
const char* findNoCase(const char* text, size_t textLen, const char* pattern, size_t patternLen);

// `*` matches any run of bytes; there is no single-byte wildcard.
bool wildcardMatch(const char* text, const char* pattern, bool caseSensitive);

// n formatted with "%d" into a buffer shared by every call on this thread, valid until the next one.
const char* intToString(int32_t n);

inline bool isWhiteByte(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace quorvel
