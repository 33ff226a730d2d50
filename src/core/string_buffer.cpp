#include "core/string_buffer.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "core/ext_ptr_array.h"

namespace quorvel {

namespace {

// The process-wide pool of 200-byte blocks: a small stack guarded by a mutex, since hosts on
// Linux may use different documents from different threads at once.
struct BlockPool {
    std::mutex lock;
    char* blocks[StringBuffer::kPoolLimit];
    int32_t count = 0;
};

BlockPool& pool() {
    static BlockPool* p = new BlockPool();  // never destroyed: buffers may die during static teardown
    return *p;
}

char* allocBlock(int64_t size) {
    if (size > INT32_MAX || size < 1) throw std::bad_alloc();
    if (size == StringBuffer::kPoolBlockSize) {
        BlockPool& p = pool();
        std::lock_guard<std::mutex> g(p.lock);
        if (p.count > 0) return p.blocks[--p.count];
    }
    char* b = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
    if (!b) throw std::bad_alloc();
    return b;
}

void freeBlockOfCapacity(char* block, int32_t capacity) {
    if (!block) return;
    if (capacity == StringBuffer::kPoolBlockSize) {
        BlockPool& p = pool();
        std::lock_guard<std::mutex> g(p.lock);
        if (p.count < StringBuffer::kPoolLimit) {
            p.blocks[p.count++] = block;
            return;
        }
    }
    std::free(block);
}

inline unsigned char lowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

int32_t clampedLength(size_t n) {
    if (n > static_cast<size_t>(INT32_MAX) - 1) throw std::bad_alloc();
    return static_cast<int32_t>(n);
}

}  // namespace

StringBuffer::StringBuffer() : data_(allocBlock(kPoolBlockSize)), capacity_(kPoolBlockSize), length_(0), growth_(kDefaultGrowth) {
    data_[0] = 0;
}

StringBuffer::StringBuffer(int32_t capacity) : growth_(capacity < 1 ? kDefaultGrowth : capacity) {
    data_ = allocBlock(growth_);
    capacity_ = growth_;
    length_ = 0;
    data_[0] = 0;
}

StringBuffer::StringBuffer(const char* bytes, int32_t n, int32_t growth) : growth_(growth < 1 ? kDefaultGrowth : growth) {
    if (!bytes || n < 0) n = 0;
    data_ = allocBlock(static_cast<int64_t>(n) + 1);
    capacity_ = n + 1;
    length_ = n;
    if (n) std::memcpy(data_, bytes, static_cast<size_t>(n));
    data_[n] = 0;
}

StringBuffer::StringBuffer(const char* s) : growth_(kDefaultGrowth) {
    if (!s) {
        data_ = allocBlock(4);
        capacity_ = 4;
        length_ = 0;
        data_[0] = 0;
        return;
    }
    int32_t n = clampedLength(std::strlen(s));
    data_ = allocBlock(static_cast<int64_t>(n) + 1);
    capacity_ = n + 1;
    length_ = n;
    std::memcpy(data_, s, static_cast<size_t>(n) + 1);
}

StringBuffer::StringBuffer(const StringBuffer& other)
    : QuorvelObject(other), growth_(other.growth_) {
    data_ = allocBlock(static_cast<int64_t>(other.length_) + 1);
    capacity_ = other.length_ + 1;
    length_ = other.length_;
    std::memcpy(data_, other.data_, static_cast<size_t>(length_) + 1);
}

StringBuffer& StringBuffer::operator=(const StringBuffer& other) {
    if (this != &other) {
        clear();
        appendBytes(other.data_, other.length_);
    }
    return *this;
}

StringBuffer::~StringBuffer() { releaseBlock(); }

void StringBuffer::releaseBlock() {
    freeBlockOfCapacity(data_, capacity_);
    data_ = nullptr;
}

void StringBuffer::freeBlock(char* block) { std::free(block); }

int32_t StringBuffer::pooledBlockCount() {
    BlockPool& p = pool();
    std::lock_guard<std::mutex> g(p.lock);
    return p.count;
}

void StringBuffer::freeBlockPool() {
    BlockPool& p = pool();
    std::lock_guard<std::mutex> g(p.lock);
    for (int32_t i = 0; i < p.count; ++i) std::free(p.blocks[i]);
    p.count = 0;
}

// Moves the text into a new block of `size` bytes; the growing appends then adapt growth
// so that a buffer that keeps growing roughly doubles, in steps of at most 500000 bytes.
void StringBuffer::adoptNewBlock(int64_t size, bool adaptGrowth) {
    if (size > INT32_MAX) throw std::bad_alloc();
    if (capacity_ != kPoolBlockSize && size != kPoolBlockSize) {
        // A block outside the pool goes through realloc, which can remap a large one's pages
        // instead of copying them.
        char* moved = static_cast<char*>(std::realloc(data_, static_cast<size_t>(size)));
        if (!moved) throw std::bad_alloc();
        data_ = moved;
    } else {
        char* fresh = allocBlock(size);
        std::memcpy(fresh, data_, static_cast<size_t>(length_) + 1);
        freeBlockOfCapacity(data_, capacity_);
        data_ = fresh;
    }
    capacity_ = static_cast<int32_t>(size);
    if (adaptGrowth && growth_ < kGrowthCap) {
        growth_ = capacity_ / 2;
        if (growth_ > kGrowthCap) growth_ = kGrowthCap;
        if (growth_ < 1) growth_ = 1;
    }
}

void StringBuffer::append(const char* s) {
    if (!s) return;
    size_t n = std::strlen(s);
    if (n == 0) {
        data_[length_] = 0;
        return;
    }
    int32_t len = clampedLength(n);
    if (static_cast<int64_t>(length_) + len >= capacity_) {
        appendGrowing(s, len, static_cast<int64_t>(length_) + len + growth_ + 1);
    } else {
        std::memmove(data_ + length_, s, n);
    }
    length_ += len;
    data_[length_] = 0;
}

void StringBuffer::appendBytes(const void* p, int32_t n) {
    if (!p || n < 1) return;
    if (capacity_ <= static_cast<int64_t>(length_) + n) {
        appendGrowing(static_cast<const char*>(p), n, static_cast<int64_t>(length_) + n + growth_);
    } else {
        std::memmove(data_ + length_, p, static_cast<size_t>(n));
    }
    length_ += n;
    data_[length_] = 0;
}

void StringBuffer::appendGrowing(const char* src, int32_t n, int64_t size) {
    const auto from = reinterpret_cast<uintptr_t>(src);
    const auto start = reinterpret_cast<uintptr_t>(data_);
    if (from >= start && from < start + static_cast<uintptr_t>(capacity_)) {
        // The bytes lie in this block, which growing moves or frees.
        std::string copy(src, static_cast<size_t>(n));
        adoptNewBlock(size, true);
        std::memcpy(data_ + length_, copy.data(), copy.size());
        return;
    }
    adoptNewBlock(size, true);
    std::memcpy(data_ + length_, src, static_cast<size_t>(n));
}

void StringBuffer::appendInt(int32_t n) {
    char tmp[16];
    int k = std::snprintf(tmp, sizeof tmp, "%d", n);
    appendBytes(tmp, k);
}

void StringBuffer::appendHexDump(const void* p, int32_t n) {
    if (!p || n < 1) return;
    static const char kHex[] = "0123456789ABCDEF";
    const unsigned char* b = static_cast<const unsigned char*>(p);
    reserve(n * 3 + n / 16 + 1);
    for (int32_t i = 0; i < n; ++i) {
        char two[2] = {kHex[b[i] >> 4], kHex[b[i] & 15]};
        appendBytes(two, 2);
        if ((i + 1) % 2 == 0) appendChar(' ');
        if ((i + 1) % 16 == 0) appendChar('\n');
    }
}

void StringBuffer::appendEscaped(const char* s, int32_t n) {
    if (!s || n < 1) return;
    const char* run = s;
    int32_t i = 0;
    for (; i < n && s[i]; ++i) {
        const char* rep;
        switch (s[i]) {
            case '&': rep = "&amp;"; break;
            case '<': rep = "&lt;"; break;
            case '>': rep = "&gt;"; break;
            case '"': rep = "&quot;"; break;
            default: continue;
        }
        appendBytes(run, static_cast<int32_t>(s + i - run));
        append(rep);
        run = s + i + 1;
    }
    appendBytes(run, static_cast<int32_t>(s + i - run));
}

void StringBuffer::prepend(const char* s) {
    if (!s) return;
    size_t n = std::strlen(s);
    if (n == 0) {
        data_[length_] = 0;
        return;
    }
    int32_t len = clampedLength(n);
    StringBuffer copy(s, len, 1);  // s may point into our own block
    if (static_cast<int64_t>(length_) + len >= capacity_) adoptNewBlock(static_cast<int64_t>(length_) + len + growth_ + 1, false);
    std::memmove(data_ + len, data_, static_cast<size_t>(length_) + 1);
    std::memcpy(data_, copy.data_, n);
    length_ += len;
}

void StringBuffer::setString(const char* s) {
    if (!s) {
        clear();
        return;
    }
    if (s >= data_ && s < data_ + capacity_) {
        StringBuffer copy(s);
        clear();
        append(copy.data_);
    } else {
        clear();
        append(s);
    }
}

void StringBuffer::setBuffer(const StringBuffer& b) {
    if (&b == this) return;
    clear();
    append(b.data_);
}

void StringBuffer::clear() {
    length_ = 0;
    data_[0] = 0;
}

void StringBuffer::reserve(int32_t n) {
    if (n < 0) return;
    if (static_cast<int64_t>(length_) + n >= capacity_) adoptNewBlock(static_cast<int64_t>(length_) + n + growth_ + 1, false);
}

char* StringBuffer::takeBuffer(int32_t* outLength) {
    if (outLength) *outLength = length_;
    char* block = data_;  // pool blocks come from malloc too, so the caller frees any block alike
    data_ = allocBlock(growth_);
    capacity_ = growth_;
    length_ = 0;
    data_[0] = 0;
    return block;
}

void StringBuffer::trim() {
    int32_t end = length_;
    while (end > 0 && isWhiteByte(static_cast<unsigned char>(data_[end - 1]))) --end;
    int32_t start = 0;
    while (start < end && isWhiteByte(static_cast<unsigned char>(data_[start]))) ++start;
    if (start > 0) std::memmove(data_, data_ + start, static_cast<size_t>(end - start));
    data_[end - start] = 0;
    length_ = static_cast<int32_t>(std::strlen(data_));
}

void StringBuffer::removeChar(char c) { removeCharFrom(c, 0); }

void StringBuffer::removeCharFrom(char c, int32_t i) {
    if (i < 0 || i >= length_) return;
    int32_t w = i;
    for (int32_t r = i; r < length_; ++r) {
        if (data_[r] != c) data_[w++] = data_[r];
    }
    length_ = w;
    data_[length_] = 0;
}

void StringBuffer::replaceChar(char a, char b) {
    for (int32_t i = 0; i < length_; ++i) {
        if (data_[i] == a) data_[i] = b;
    }
}

bool StringBuffer::replaceFirst(const char* find, const char* repl) {
    if (!find || !*find || !repl || length_ == 0) return false;
    const char* hit = std::strstr(data_, find);
    if (!hit) return false;
    int32_t at = static_cast<int32_t>(hit - data_);
    int32_t findLen = static_cast<int32_t>(std::strlen(find));
    StringBuffer rest(data_ + at + findLen, length_ - at - findLen, 1);
    StringBuffer replacement(repl);
    length_ = at;
    data_[at] = 0;
    appendBytes(replacement.data_, replacement.length_);
    appendBytes(rest.data_, rest.length_);
    return true;
}

int32_t StringBuffer::replaceAll(const char* find, const char* repl) {
    if (!find || !*find || length_ == 0) return 0;
    const char* first = std::strstr(data_, find);
    if (!first) return 0;
    size_t findLen = std::strlen(find);
    size_t replLen = repl ? std::strlen(repl) : 0;
    char* old = data_;
    int32_t oldCap = capacity_;
    int32_t oldLen = length_;
    data_ = allocBlock(growth_);
    capacity_ = growth_;
    length_ = 0;
    data_[0] = 0;
    int32_t count = 0;
    const char* pos = old;
    const char* end = old + oldLen;
    const char* hit = first;
    while (hit) {
        appendBytes(pos, static_cast<int32_t>(hit - pos));
        if (replLen) appendBytes(repl, static_cast<int32_t>(replLen));
        ++count;
        pos = hit + findLen;
        hit = pos < end ? std::strstr(pos, find) : nullptr;
    }
    appendBytes(pos, static_cast<int32_t>(end - pos));
    freeBlockOfCapacity(old, oldCap);
    return count;
}

void StringBuffer::removeRange(int32_t i, int32_t n) {
    if (i < 0 || n < 0 || i >= length_ || static_cast<int64_t>(i) + n > length_) return;
    std::memmove(data_ + i, data_ + i + n, static_cast<size_t>(length_ - i - n) + 1);
    length_ -= n;
}

void StringBuffer::shorten(int32_t n) {
    if (n < 0) return;
    length_ = n >= length_ ? 0 : length_ - n;
    data_[length_] = 0;
}

bool StringBuffer::contains(const char* s) const { return s && std::strstr(data_, s) != nullptr; }

bool StringBuffer::containsNoCase(const char* s) const { return s && *s && findNoCase(data_, s) != nullptr; }

bool StringBuffer::equals(const char* s) const {
    if (!s) return length_ == 0;
    size_t n = std::strlen(s);
    return n == static_cast<size_t>(length_) && std::memcmp(data_, s, n) == 0;
}

bool StringBuffer::equalsNoCase(const char* s) const {
    if (!s) return length_ == 0;
    size_t n = std::strlen(s);
    if (n != static_cast<size_t>(length_)) return false;
    for (size_t i = 0; i < n; ++i) {
        if (lowerAscii(static_cast<unsigned char>(data_[i])) != lowerAscii(static_cast<unsigned char>(s[i]))) return false;
    }
    return true;
}

int StringBuffer::compare(const char* s) const {
    int r = std::strcmp(data_, s ? s : "");  // strcmp compares as unsigned char
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

void StringBuffer::toLower() {
    for (int32_t i = 0; i < length_; ++i) data_[i] = static_cast<char>(lowerAscii(static_cast<unsigned char>(data_[i])));
}

void StringBuffer::entityEncode() {
    entityEncodeNoQuotes();
    replaceAll("\"", "&quot;");
}

void StringBuffer::entityEncodeNoQuotes() {
    replaceAll("&", "&amp;");
    replaceAll("<", "&lt;");
    replaceAll(">", "&gt;");
}

void StringBuffer::split(ExtPtrArray& out, const char* delimiters, bool quoteAware, bool backslashEscape) const {
    if (length_ == 0) return;
    const char* delims = delimiters ? delimiters : "";
    StringBuffer* token = new StringBuffer();
    bool escaped = false;
    bool inQuotes = false;
    for (int32_t i = 0; i < length_; ++i) {
        char c = data_[i];
        if (backslashEscape) {
            if (escaped) {
                token->appendChar(c);
                escaped = false;
                continue;
            }
            if (c == '\\') {
                token->appendChar(c);
                escaped = true;
                continue;
            }
        }
        if (quoteAware) {
            if (c == '"') {
                token->appendChar(c);
                inQuotes = !inQuotes;
                continue;
            }
            if (inQuotes) {
                token->appendChar(c);
                continue;
            }
        }
        if (c != 0 && std::strchr(delims, c)) {
            out.append(token);
            token = new StringBuffer();
        } else {
            token->appendChar(c);
        }
    }
    out.append(token);
}

void StringBuffer::toFileName() {
    int32_t limit = length_ < 260 ? length_ : 260;
    int32_t lastSep = -1;
    for (int32_t i = 0; i < limit; ++i) {
        if (data_[i] == '/' || data_[i] == '\\') lastSep = i;
    }
    if (lastSep >= 0) removeRange(0, lastSep + 1);
}

const char* findNoCase(const char* text, size_t textLen, const char* pattern, size_t patternLen) {
    if (!text || !pattern || textLen == 0 || patternLen == 0 || patternLen > textLen) return nullptr;
    unsigned char first = lowerAscii(static_cast<unsigned char>(pattern[0]));
    unsigned char firstUpper = (first >= 'a' && first <= 'z') ? first - 32 : first;
    const char* last = text + (textLen - patternLen);
    for (const char* p = text; p <= last; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c != first && c != firstUpper) continue;
        size_t k = 1;
        while (k < patternLen && lowerAscii(static_cast<unsigned char>(p[k])) == lowerAscii(static_cast<unsigned char>(pattern[k]))) ++k;
        if (k == patternLen) return p;
    }
    return nullptr;
}

const char* findNoCase(const char* text, const char* pattern) {
    if (!text || !pattern) return nullptr;
    return findNoCase(text, std::strlen(text), pattern, std::strlen(pattern));
}

namespace {

bool bytesEqual(const char* a, const char* b, size_t n, bool caseSensitive) {
    if (caseSensitive) return std::memcmp(a, b, n) == 0;
    for (size_t i = 0; i < n; ++i) {
        if (lowerAscii(static_cast<unsigned char>(a[i])) != lowerAscii(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

const char* findSegment(const char* text, size_t textLen, const char* seg, size_t segLen, bool caseSensitive) {
    if (caseSensitive) return static_cast<const char*>(memmem(text, textLen, seg, segLen));
    return findNoCase(text, textLen, seg, segLen);
}

}  // namespace

bool wildcardMatch(const char* text, const char* pattern, bool caseSensitive) {
    size_t textLen = text ? std::strlen(text) : 0;
    size_t patLen = pattern ? std::strlen(pattern) : 0;
    if (textLen == 0) {
        for (size_t i = 0; i < patLen; ++i) {
            if (pattern[i] != '*') return false;
        }
        return true;
    }
    if (patLen == 0) return false;
    const char* star = static_cast<const char*>(std::memchr(pattern, '*', patLen));
    if (!star) return textLen == patLen && bytesEqual(text, pattern, patLen, caseSensitive);
    size_t head = static_cast<size_t>(star - pattern);
    if (head > textLen || !bytesEqual(text, pattern, head, caseSensitive)) return false;
    const char* t = text + head;
    const char* tEnd = text + textLen;
    const char* p = star;
    const char* pEnd = pattern + patLen;
    for (;;) {
        while (p < pEnd && *p == '*') ++p;
        if (p == pEnd) return true;
        const char* next = static_cast<const char*>(std::memchr(p, '*', static_cast<size_t>(pEnd - p)));
        if (!next) break;
        size_t segLen = static_cast<size_t>(next - p);
        const char* hit = findSegment(t, static_cast<size_t>(tEnd - t), p, segLen, caseSensitive);
        if (!hit) return false;
        t = hit + segLen;
        p = next;
    }
    size_t tailLen = static_cast<size_t>(pEnd - p);
    size_t remaining = static_cast<size_t>(tEnd - t);
    return remaining >= tailLen && bytesEqual(tEnd - tailLen, p, tailLen, caseSensitive);
}

const char* intToString(int32_t n) {
    thread_local char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", n);
    return buffer;
}

}  // namespace quorvel
