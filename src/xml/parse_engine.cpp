#include "xml/parse_engine.h"

#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/data_buffer.h"
#include "core/log_base.h"
#include "core/progress_monitor.h"
#include "tree/attribute_image.h"
#include "tree/tree_builder.h"
#include "tree/tree_node.h"
#include "xml/tag_cache.h"
#include "xml/xml_entities.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quorvel {

namespace {

// Byte classes: each bit is one set of stop bytes of the grammar.
enum : uint16_t {
    kWhite = 1 << 0,          // SP TAB CR LF
    kTagStop = 1 << 1,        // white, '/', '>'
    kAttrNameStop = 1 << 2,   // white, '=', '/', '>'
    kDeclNameStop = 1 << 3,   // white, '=', '?', '>'
    kBareValueStop = 1 << 4,  // '\'', '"', '>'
    kQuotedStop = 1 << 5,     // '"', '>'
    kApostStop = 1 << 6,      // '\'', '>'
    kDeclValueStop = 1 << 7,  // '"', '\'', CR, LF, '>'
    kNameJunk = 1 << 8,       // '"', '\'', '<': removed from attribute names
    kLessThan = 1 << 9,       // '<': removed from tags
    kAmpersand = 1 << 10,     // '&': a value that holds one needs decoding
    kZero = 1 << 11,          // 0: every scan stops there (see zeroByteAt)
};

struct ByteClasses {
    uint16_t of[256] = {};
    constexpr void add(char c, uint16_t bits) { of[static_cast<unsigned char>(c)] |= bits; }
    constexpr ByteClasses() {
        for (unsigned char c : {' ', '\t', '\r', '\n'}) of[c] |= kWhite | kTagStop | kAttrNameStop | kDeclNameStop;
        add('/', kTagStop | kAttrNameStop);
        add('>', kTagStop | kAttrNameStop | kDeclNameStop | kBareValueStop | kQuotedStop | kApostStop | kDeclValueStop);
        add('=', kAttrNameStop | kDeclNameStop);
        add('?', kDeclNameStop);
        add('\'', kBareValueStop | kApostStop | kDeclValueStop | kNameJunk);
        add('"', kBareValueStop | kQuotedStop | kDeclValueStop | kNameJunk);
        add('\r', kDeclValueStop);
        add('\n', kDeclValueStop);
        add('<', kNameJunk | kLessThan);
        add('&', kAmpersand);
        add('\0', kZero);
    }
};
constexpr ByteClasses kClasses;

inline bool inClass(char c, uint16_t mask) { return kClasses.of[static_cast<unsigned char>(c)] & mask; }

// The text ends at its first 0 byte, but a parse does not look for it beforehand: that would be
// a pass of its own over the whole text, which a large one has to fetch from memory twice. Every
// scan stops at a 0 byte as well, and the byte is reported here before anything reads past it or
// logs on its account; the parse then starts again with the end where the 0 byte is (see parse).
struct ZeroByte {
    const char* at;
};
[[noreturn, gnu::cold, gnu::noinline]] void zeroByteAt(const char* at) { throw ZeroByte{at}; }

// A scan's stop, which is in the class it looked for or else a 0 byte.
inline const char* stopAt(const char* p) {
    if (*p == 0) [[unlikely]]
        zeroByteAt(p);
    return p;
}

inline const char* stopOrEnd(const char* p, const char* end) { return p < end ? stopAt(p) : p; }

inline const char* scanUntil(const char* p, const char* end, uint16_t mask) {
    mask |= kZero;
    while (end - p >= 4) {
        if (inClass(p[0], mask)) return stopAt(p);
        if (inClass(p[1], mask)) return stopAt(p + 1);
        if (inClass(p[2], mask)) return stopAt(p + 2);
        if (inClass(p[3], mask)) return stopAt(p + 3);
        p += 4;
    }
    while (p < end && !inClass(*p, mask)) ++p;
    return stopOrEnd(p, end);
}

inline const char* scanWhile(const char* p, const char* end, uint16_t mask) {
    while (end - p >= 4) {
        if (!inClass(p[0], mask)) return stopAt(p);
        if (!inClass(p[1], mask)) return stopAt(p + 1);
        if (!inClass(p[2], mask)) return stopAt(p + 2);
        if (!inClass(p[3], mask)) return stopAt(p + 3);
        p += 4;
    }
    while (p < end && inClass(*p, mask)) ++p;
    return stopOrEnd(p, end);
}

// The bytes of a class set, for comparing sixteen bytes at a time.
struct ClassBytes {
    std::array<char, 12> bytes{};
    int count = 0;
};
constexpr ClassBytes classBytes(uint16_t mask) {
    ClassBytes set;
    for (int c = 0; c < 256; ++c) {
        if (kClasses.of[c] & mask) set.bytes[static_cast<size_t>(set.count++)] = static_cast<char>(c);
    }
    return set;
}

// As scanUntil for a mask known when compiling: sixteen bytes a step while that many remain, so a
// scan ends with one hard-to-predict branch instead of one per byte. A 0 byte it stops at is left
// to the caller to report: every caller first looks for a byte of the class there, and only
// where that fails does a check pay, as in skipWhiteAt's slow path.
template <uint16_t mask, int direct = 3, bool unrolled = false>
inline const char* scanUntilFast(const char* p, const char* end) {
#ifdef __SSE2__
    static constexpr ClassBytes set = classBytes(mask | kZero);
    static_assert(set.count >= 2 && set.count <= 12);
    // A vector compare finds the end of a value or text without a branch per byte, but costs
    // more than looking at the next byte or two when the end is right there (an empty run
    // between tags): the first `direct` bytes are looked at one by one. A class of many bytes
    // costs a compare each, so names and tags, short as they are, get twelve.
    constexpr int kDirect = set.count > 5 ? 12 : direct;
    if (unrolled && end - p >= kDirect) {
        // Room for all of them: no test of the end between them. Worth its size where names
        // come one after the other, as in a start tag's attributes.
        for (int i = 0; i < kDirect; ++i) {
            if (inClass(p[i], mask | kZero)) return p + i;
        }
        p += kDirect;
    } else {
        for (int i = 0; i < kDirect && p < end; ++i, ++p) {
            if (inClass(*p, mask | kZero)) return p;
        }
    }
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hits = _mm_cmpeq_epi8(v, _mm_set1_epi8(set.bytes[0]));
        for (int i = 1; i < set.count; ++i) {
            hits = _mm_or_si128(hits, _mm_cmpeq_epi8(v, _mm_set1_epi8(set.bytes[static_cast<size_t>(i)])));
        }
        if (const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hits))) return p + __builtin_ctz(bits);
        p += 16;
    }
#endif
    return scanUntil(p, end, mask);
}

// The first c or d in [p, end), or end; scanned as scanUntilFast scans a class of two bytes.
inline const char* findEither(const char* p, const char* end, char c, char d) {
#ifdef __SSE2__
    for (int i = 0; i < 3 && p < end; ++i, ++p) {
        if (*p == c || *p == d || *p == 0) return stopAt(p);
    }
    const __m128i vc = _mm_set1_epi8(c);
    const __m128i vd = _mm_set1_epi8(d);
    const __m128i vz = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, vc), _mm_cmpeq_epi8(v, vd)), _mm_cmpeq_epi8(v, vz));
        if (const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hits))) return stopAt(p + __builtin_ctz(bits));
        p += 16;
    }
#endif
    while (p < end && *p != c && *p != d && *p != 0) ++p;
    return stopOrEnd(p, end);
}

// The next c in [p, end), or end.
inline const char* findByte(const char* p, const char* end, char c) { return findEither(p, end, c, c); }

// As scanUntilFast, also telling whether a byte of the flag class came before the stop.
template <uint16_t mask, uint16_t flag, int direct = 3>
inline const char* scanUntilNoting(const char* p, const char* end, bool& seen) {
    p = scanUntilFast<mask | flag, direct>(p, end);
    seen = p < end && inClass(*p, flag) && !inClass(*p, mask);
    return seen ? scanUntilFast<mask, direct>(p, end) : p;
}

inline unsigned char lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

// Most calls find no white space at all: one compare settles them. Most of the others find a
// single space, as between attributes.
inline const char* skipWhiteAt(const char* p, const char* end) {
    if (p >= end || static_cast<unsigned char>(*p) > ' ') return p;
    if (*p == ' ' && end - p > 1 && static_cast<unsigned char>(p[1]) > ' ') return p + 1;
    return scanWhile(p, end, kWhite);
}

// The closing quote of a value whose opening quote is right before p, as plainAttributeAt finds
// it; null for any other shape.
inline const char* plainValueAt(const char* p, const char* end, bool* ampersand) {
    // Values vary in length from one attribute to the next: a byte-by-byte look would end in a
    // mispredicted branch for most of them.
    const char* quote = scanUntilFast<kQuotedStop | kAmpersand, 1>(p, end);
    if (quote >= end) return nullptr;
    if (*quote == '"') return quote;
    if (!ampersand || *quote != '&') return nullptr;
    *ampersand = true;
    quote = scanUntilFast<kQuotedStop, 1>(quote, end);
    return quote < end && *quote == '"' ? quote : nullptr;
}

// An attribute written name="value" at p, with nothing in the name to remove and no entity in
// the value, as most are: the value's closing quote, or null for any other shape. nameEnd is
// where the name scan stopped either way. With ampersand, a value with an '&' is taken too, and
// *ampersand is set when it has one (and left alone when not).
template <bool unrolled = false>
inline const char* plainAttributeAt(const char* p, const char* end, const char*& nameEnd, bool* ampersand = nullptr) {
    nameEnd = scanUntilFast<kAttrNameStop | kNameJunk, 3, unrolled>(p, end);
    // '=' and '"' are read and compared together.
    constexpr uint16_t kOpening = std::bit_cast<uint16_t>(std::array<char, 2>{'=', '"'});
    uint16_t opening;
    if (end - nameEnd <= 2 || (std::memcpy(&opening, nameEnd, 2), opening != kOpening)) return nullptr;
    return plainValueAt(nameEnd + 2, end, ampersand);
}

// An attribute name as expected at one place in a start tag, with the '="' after it, as two
// words to compare sixteen bytes of text against. Names found by a scan hold no byte that ends
// or is removed from one, so text that matches is exactly what plainAttributeAt would find.
struct NameGuess {
    uint64_t head = 0, headMask = 0, tail = 0, tailMask = 0;
    size_t length = 0;  // 0: none

    void set(const char* name, size_t n) {
        length = 0;
        if (n + 2 > 16) return;
        char bytes[16] = {};
        std::memcpy(bytes, name, n);
        bytes[n] = '=';
        bytes[n + 1] = '"';
        std::memcpy(&head, bytes, 8);
        std::memcpy(&tail, bytes + 8, 8);
        const size_t k = n + 2;
        headMask = TagCache::firstBytesMask(k);
        tailMask = k <= 8 ? 0 : TagCache::firstBytesMask(k - 8);
        length = n;
    }
    // Where the name ends when the text at p spells it with '="' after it; else null.
    const char* match(const char* p, const char* end) const {
        if (end - p < 16) return nullptr;
        uint64_t a, b;
        std::memcpy(&a, p, 8);
        std::memcpy(&b, p + 8, 8);
        return length && (((a & headMask) ^ head) | ((b & tailMask) ^ tail)) == 0 ? p + length : nullptr;
    }
};

inline bool hasPrefix(const char* p, const char* end, std::string_view s) {
    return static_cast<size_t>(end - p) >= s.size() && std::memcmp(p, s.data(), s.size()) == 0;
}

const char* findBytes(const char* p, const char* end, std::string_view s) {
    const char* hit = static_cast<size_t>(end - p) < s.size()
                          ? nullptr
                          : static_cast<const char*>(memmem(p, static_cast<size_t>(end - p), s.data(), s.size()));
    // What the search passed over is looked at again for the 0 byte that it does not stop at.
    const char* through = hit ? hit + s.size() : end;
    if (const void* zero = std::memchr(p, 0, static_cast<size_t>(through - p))) zeroByteAt(static_cast<const char*>(zero));
    return hit;
}

// Copies the bytes of [p, end) to `to` with every byte of the junk class removed; returns how
// many were copied.
size_t copyWithout(char* to, const char* p, const char* end, uint16_t junk) {
    size_t n = 0;
    while (p < end) {
        const char* stop = scanUntil(p, end, junk);
        std::memcpy(to + n, p, static_cast<size_t>(stop - p));
        n += static_cast<size_t>(stop - p);
        p = stop < end ? stop + 1 : end;
    }
    return n;
}

int32_t checkedLength(size_t n) {
    if (n > static_cast<size_t>(INT32_MAX) - 1) throw std::bad_alloc();
    return static_cast<int32_t>(n);
}

// Replaces out by the n bytes at in, decoded on the way rather than copied and read back;
// returns the decoded length.
size_t decodeInto(StringBuffer& out, const char* in, size_t n) {
    out.clear();
    out.reserve(checkedLength(n));
    const size_t decoded = decodeEntitiesCopy(out.mutableData(), in, n);
    out.extendBy(static_cast<int32_t>(decoded));
    return decoded;
}

}  // namespace

ParseEngine::ParseEngine(const char* bytes, size_t length) : ParseEngine(bytes, length, length) {
    const void* zero = fullLength_ ? std::memchr(begin_, 0, fullLength_) : nullptr;
    if (zero) end_ = static_cast<const char*>(zero);
}

ParseEngine::ParseEngine(const char* bytes, size_t length, size_t end)
    : begin_(bytes ? bytes : ""), pos_(begin_), end_(begin_ + (bytes ? end : 0)), fullLength_(bytes ? length : 0) {}

void ParseEngine::skipWhite() { pos_ = skipWhiteAt(pos_, end_); }

void ParseEngine::skipToByte(char c) { pos_ = findByte(pos_, end_, c); }

bool ParseEngine::skipToByteUnless(char c, char d) {
    pos_ = findEither(pos_, end_, c, d);
    return pos_ >= end_ || *pos_ == c;
}

void ParseEngine::collectUntilAny(const char* set, StringBuffer& out) {
    const char* start = pos_;
    while (pos_ < end_ && !std::strchr(set, *pos_)) ++pos_;  // strchr finds a 0 byte too
    pos_ = stopOrEnd(pos_, end_);
    out.appendBytes(start, checkedLength(static_cast<size_t>(pos_ - start)));
}

bool ParseEngine::collectBalanced(char open, char close, StringBuffer& out) {
    const char* start = pos_;
    int64_t depth = 1;
    bool balanced = false;
    while (pos_ < end_) {
        char c = *pos_++;
        if (c == 0) zeroByteAt(pos_ - 1);
        if (c == open) {
            ++depth;
        } else if (c == close && --depth == 0) {
            balanced = true;
            break;
        }
    }
    out.appendBytes(start, checkedLength(static_cast<size_t>(pos_ - start)));
    return balanced;
}

bool ParseEngine::collectThroughNoCase(const char* s, StringBuffer& out) {
    size_t n = std::strlen(s);
    if (n == 0) return true;
    bool letters = false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char folded = lower(static_cast<unsigned char>(s[i]));
        letters |= folded >= 'a' && folded <= 'z';
    }
    if (!letters) {  // nothing to fold: an exact search finds the same place
        const char* hit = findBytes(pos_, end_, std::string_view(s, n));
        if (!hit) return false;
        out.appendBytes(pos_, checkedLength(static_cast<size_t>(hit + n - pos_)));
        pos_ = hit + n;
        return true;
    }
    const char* p = pos_;
    for (; static_cast<size_t>(end_ - p) >= n; ++p) {
        if (*p == 0) zeroByteAt(p);
        size_t i = 0;
        while (i < n && lower(static_cast<unsigned char>(p[i])) == lower(static_cast<unsigned char>(s[i]))) ++i;
        if (i == n) {
            out.appendBytes(pos_, checkedLength(static_cast<size_t>(p + n - pos_)));
            pos_ = p + n;
            return true;
        }
    }
    if (const void* zero = std::memchr(p, 0, static_cast<size_t>(end_ - p))) zeroByteAt(static_cast<const char*>(zero));
    return false;
}

bool ParseEngine::skipPast(const char* s) {
    const char* hit = findBytes(pos_, end_, s);
    if (!hit) return false;
    pos_ = hit + std::strlen(s);
    return true;
}

bool ParseEngine::startsWith(std::string_view s) const { return hasPrefix(pos_, end_, s); }

bool ParseEngine::startsWithNoCase(std::string_view s) const {
    if (static_cast<size_t>(end_ - pos_) < s.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (lower(static_cast<unsigned char>(pos_[i])) != lower(static_cast<unsigned char>(s[i]))) return false;
    }
    return true;
}

namespace {

// The state of one parse over an engine's text.
class DocumentParser final : public ParseEngine {
public:
    // A parse that starts again (see parse) with the end at the text's first 0 byte goes on
    // from the first attempt's progress and leaves out its first `logged` log entries, which
    // that attempt has made already.
    struct Again {
        size_t logged = 0;
        bool resume = false;
    };

    DocumentParser(const char* bytes, size_t length, size_t end, LogBase* log, ProgressMonitor* progress, Again again)
        : ParseEngine(bytes, length, end),
          log_(log),
          progress_(progress),
          unlogged_(again.logged),
          resume_(again.resume),
          noInstructionEndFrom_(end_),
          prolog_(2000) {}

    ~DocumentParser() {
        // Whatever was not handed out as the result ends here.
        TreeNode* open = builder_.current();
        TreeNode* openRoot = open ? open->root() : nullptr;
        builder_.closeAll();
        TreeNode::destroyTree(openRoot);
        TreeNode::destroyTree(pendingDeclaration_);
        TreeNode::destroyTree(finished_);
    }

    TreeNode* run();
    size_t logged() const { return logged_; }

private:
    enum class Step { kGoOn, kStop };

    // Steps over the byte a skip stopped at, if the text has not ended there. The skip has
    // reported it already if it was a 0 byte.
    void stepPast() {
        if (pos_ < end_) ++pos_;
    }
    void stepOver(char c) {
        if (pos_ < end_ && *pos_ == c) ++pos_;
    }

    // The hot path passes the position along in a register: the member would be stored and
    // loaded again around every write the compiler cannot tell apart from it. Each of these takes
    // the position and returns where it stopped, or null when the text has ended. The steps of
    // every element are built into the loop that calls them, which saves a call and its saved
    // registers per step.
    [[gnu::always_inline]] inline const char* readTextRun(const char* p);
    [[gnu::always_inline]] inline const char* readStartTag(const char* p);
    // The attributes from p to the end of the start tag. With firstQuote, the first of them has
    // been found plain (plainAttributeAt), its name ending at firstNameEnd.
    const char* readAttributes(const char* p, TreeNode* e, bool& selfClosing, const char* firstNameEnd,
                               const char* firstQuote);
    [[gnu::always_inline]] inline const char* readEndTag(const char* p);
    // Adds a pair to image_ with junk taken out of its name and entities decoded in its value,
    // as the flags ask; kept out of the attribute loop, which most pairs pass without.
    [[gnu::noinline]] void addChangedPair(const char* name, const char* nameEnd, bool junk, const char* value,
                                          const char* valueEnd, bool ampersand);

    void readCdata();
    Step readMarkup();
    void readQuestionMark();
    void readDeclaration();
    void reportProgress(const char* at);  // for an end tag at or past reportFrom_
    void scheduleNextReport();
    // The next report is due from this position of the text on.
    void setNextReport(uint32_t position) {
        reportFrom_ = position < static_cast<size_t>(end_ - begin_) ? begin_ + position : end_;
    }

    void appendRun(TreeNode* e, const char* run, size_t n, bool ampersand);
    void decodeContent(TreeNode* e, size_t from);
    void noteFrontier(TreeNode* e, const char* text, size_t from, size_t length);
    // Notes the frontier of unsettled_, whose content is still its one decoded run.
    void settleFrontier() {
        TreeNode* e = unsettled_;
        unsettled_ = nullptr;
        noteFrontier(e, e->contentData(), 0, static_cast<size_t>(e->contentLength()));
    }
    [[gnu::always_inline]] inline void closeCurrent();
    void closeTopLevel(TreeNode* root);
    // Whether the next log entry is made, or left out as made already; counts it either way.
    bool logsNext() { return log_ && logged_++ >= unlogged_; }

    LogBase* log_;
    ProgressMonitor* progress_;
    size_t unlogged_;  // entries left out, as made already
    size_t logged_ = 0;
    bool resume_;
    // The first place in the text whose percentage beats the last one reported; the end when no
    // position before it reaches that, or when nothing is reported, so that an end tag asks with
    // one compare. Places before it cannot raise the percentage, so the monitor is asked only
    // about those that can; what it reports is the same.
    const char* reportFrom_ = end_;
    const char* noInstructionEndFrom_;

    TreeBuilder builder_;  // its open element is the current element
    // The current element was just made and holds nothing yet. Knowing it spares reading a node
    // whose memory may still be on its way.
    bool currentFresh_ = false;
    TreeNode* pendingDeclaration_ = nullptr;
    StringBuffer prolog_;
    TreeNode* finished_ = nullptr;
    int32_t finishedPrologLength_ = 0;
    TagCache tags_;
    StringBuffer scratch_;
    StringBuffer name_;
    StringBuffer value_;
    AttributeImage image_;  // one start tag's attributes
    // The names of the last start tag that had these places plain, expected again at theirs.
    // Not the first: its name, mostly short, is scanned in less time than a compare takes.
    std::array<NameGuess, 16> nameGuesses_;
    // Elements still open whose content holds an '&' that a later decode may replace, with the
    // first such position. Everything before it is final, so decoding resumes there.
    std::unordered_map<TreeNode*, size_t> entityFrontiers_;
    // An open element whose content is one run with an entity, decoded, and whose frontier is
    // not looked for until a second run or section comes: most elements get none.
    TreeNode* unsettled_ = nullptr;
};

TreeNode* DocumentParser::run() {
    if (fullLength_ == 0) return nullptr;
    if (progress_) {
        if (!resume_) progress_->Reset(fullLength_ > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(fullLength_));
        scheduleNextReport();
    }
    const char* p = pos_;
    const char* const end = end_;
    // A '<' that opens a tag or a processing instruction at p, which then needs nothing looked at
    // before it, as between most tags.
    auto tagAt = [end](const char* at) { return end - at > 1 && *at == '<' && at[1] != '!'; };
    while (p < end) {
        char c;
        if (tagAt(p)) {
            c = *++p;  // tagAt saw that there is a byte after the '<'
        } else {
            if (!builder_.current()) {
                p = skipWhiteAt(p, end);
                if (p >= end) break;
                p = findByte(p, end, '<');
                if (p >= end) break;
                ++p;
            } else {
                p = skipWhiteAt(p, end);
                if (tagAt(p)) {
                    ++p;  // after white space only: no run of text to look at
                } else if (end - p > 2 && p[1] == '!' && p[2] == '[' && hasPrefix(p, end, "<![CDATA[")) {
                    pos_ = p;
                    readCdata();
                    p = pos_;
                } else if (!(p = readTextRun(p))) {
                    break;
                }
            }
            c = p < end ? *p : 0;
        }
        if (static_cast<unsigned char>(c) <= ' ') {  // white space after the '<', or the end
            p = skipWhiteAt(p, end);
            if (p >= end) break;
        }
        if (c == '/') {
            p = readEndTag(p);
        } else if (static_cast<unsigned char>(c) < '@' && (c == '!' || c == '?')) {  // names mostly start above '@'
            pos_ = p;
            bool stop = false;
            if (c == '!') {
                stop = readMarkup() == Step::kStop;
            } else {
                readQuestionMark();
            }
            if (stop) break;
            p = pos_;
        } else {
            p = readStartTag(p);
        }
        if (!p) break;
    }
    if (TreeNode* open = builder_.current()) {
        TreeNode* root = open->root();
        builder_.closeAll();
        if (finished_) {
            TreeNode::destroyTree(root);  // an unfinished tree loses to a finished one
        } else {
            closeTopLevel(root);
        }
    }
    if (finished_ && finishedPrologLength_ > 0) {
        finished_->tree()->setDoctype(TextRef(prolog_.data(), static_cast<size_t>(finishedPrologLength_)));
    }
    if (finished_) {
        // The tree as built can end without its elements being visited again (see finish).
        try {
            std::vector<std::pair<TagEntry*, int64_t>> handed;
            tags_.countHandedOut(handed);
            builder_.finish(finished_, std::move(handed));
        } catch (const std::bad_alloc&) {
        }
    }
    if (progress_) progress_->Finish();
    TreeNode* result = finished_;
    finished_ = nullptr;
    return result;
}

void DocumentParser::reportProgress(const char* at) {
    if (!progress_) return;
    size_t offset = static_cast<size_t>(at - begin_);
    uint32_t pos = offset > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(offset);
    progress_->SetPosition(pos);
    scheduleNextReport();
}

void DocumentParser::scheduleNextReport() {
    const uint32_t total = progress_->total();
    const uint32_t now = ProgressMonitor::percentage(progress_->position(), total);
    if (now >= 100 || total == 0) {
        setNextReport(UINT32_MAX);
        return;
    }
    uint32_t lo = progress_->position(), hi = total;  // percentage(hi) > now
    while (hi - lo > 1) {
        uint32_t mid = lo + (hi - lo) / 2;
        if (ProgressMonitor::percentage(mid, total) > now) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    setNextReport(hi);
}

void DocumentParser::noteFrontier(TreeNode* e, const char* text, size_t from, size_t length) {
    size_t frontier = entityFrontier(text, from, length);
    if (frontier < length) {
        entityFrontiers_[e] = frontier;
    } else if (!entityFrontiers_.empty()) {
        entityFrontiers_.erase(e);
    }
}

void DocumentParser::readCdata() {
    pos_ += 9;
    const char* close = findBytes(pos_, end_, "]]>");
    const char* stop = close ? close : end_;
    TreeNode* e = builder_.current();
    size_t n = static_cast<size_t>(stop - pos_);
    if (n > 0) {
        if (unsettled_ == e) settleFrontier();
        size_t before = currentFresh_ ? 0 : static_cast<size_t>(e->contentLength());
        currentFresh_ = false;
        if (before == 0) {
            builder_.setContent(e, pos_, n);
        } else {
            e->contentForWriting().appendBytes(pos_, checkedLength(n));
        }
        // Sections are not decoded, but a later run decodes them with the rest of the content.
        if (const void* amp = std::memchr(pos_, '&', n)) {
            size_t at = before + static_cast<size_t>(static_cast<const char*>(amp) - pos_);
            auto [it, fresh] = entityFrontiers_.try_emplace(e, at);
            if (!fresh && at < it->second) it->second = at;
        }
    }
    e->setCdata(true);
    pos_ = close ? close + 3 : end_;
    skipToByte('<');
    stepPast();
}

const char* DocumentParser::readTextRun(const char* p) {
    const char* start = p;
    bool ampersand;
    p = scanUntilNoting<kLessThan, kAmpersand>(p, end_, ampersand);
    if (p >= end_) return nullptr;
    stopAt(p);
    const char* stop = p;
    while (stop > start && inClass(stop[-1], kWhite)) --stop;
    if (stop > start) appendRun(builder_.current(), start, static_cast<size_t>(stop - start), ampersand);
    return p + 1;
}

void DocumentParser::appendRun(TreeNode* e, const char* run, size_t n, bool ampersand) {
    bool fresh = currentFresh_;
    currentFresh_ = false;
    if (fresh || !e->hasContent()) {
        // The whole content is this run: decode it on the way in.
        if (!ampersand) {
            builder_.setContent(e, run, n);
            return;
        }
        builder_.setContentBy(e, n, [&](char* to) { return decodeEntitiesCopy(to, run, n); });
        if (unsettled_) settleFrontier();
        unsettled_ = e;
        return;
    }
    if (unsettled_ == e) settleFrontier();
    StringBuffer& content = e->contentForWriting();
    size_t from = static_cast<size_t>(content.length());
    if (!entityFrontiers_.empty()) {
        auto it = entityFrontiers_.find(e);
        if (it != entityFrontiers_.end()) from = it->second;
    }
    content.appendChar(' ');
    content.appendBytes(run, checkedLength(n));
    decodeContent(e, from);
}

void DocumentParser::decodeContent(TreeNode* e, size_t from) {
    StringBuffer& content = e->contentForWriting();
    size_t len = static_cast<size_t>(content.length());
    size_t decoded = decodeEntities(content.mutableData(), from, len);
    if (decoded != len) content.shorten(static_cast<int32_t>(len - decoded));
    noteFrontier(e, content.data(), from, decoded);
}

DocumentParser::Step DocumentParser::readMarkup() {
    if (startsWith("!--")) {
        if (!skipPast("-->")) {
            if (logsNext()) log_->LogError("Unclosed comment");
            return Step::kStop;
        }
        return Step::kGoOn;
    }
    if (startsWithNoCase("!DOCTYPE")) {
        prolog_.appendChar('<');
        if (!collectBalanced('<', '>', prolog_) && logsNext()) log_->LogError("Failed to parse DTD");
        prolog_.appendChar('\n');
        return Step::kGoOn;
    }
    skipToByte('>');
    stepPast();
    return Step::kGoOn;
}

void DocumentParser::readQuestionMark() {
    ++pos_;
    if (startsWithNoCase("xml ")) {
        readDeclaration();
        return;
    }
    prolog_.append("<?");
    // Once "?>" is known to be missing from some point on, later searches from further on
    // cannot find it either; remembering that keeps a text full of "<?" linear.
    if (pos_ < noInstructionEndFrom_ && !collectThroughNoCase("?>", prolog_)) noInstructionEndFrom_ = pos_;
    prolog_.appendChar('\n');
}

void DocumentParser::readDeclaration() {
    const char* nameStart = pos_;
    pos_ = scanUntil(pos_, end_, kTagStop);
    TextRef name(nameStart, static_cast<size_t>(pos_ - nameStart));
    skipWhite();
    stepOver('/');
    TreeNode* declaration = TreeNode::newTree(name);
    TreeNode::destroyTree(pendingDeclaration_);
    pendingDeclaration_ = declaration;
    skipWhite();
    while (pos_ < end_ && *pos_ != '>') {
        const char* attrStart = pos_;
        pos_ = scanUntil(pos_, end_, kDeclNameStop);
        name_.clear();
        name_.appendBytes(attrStart, checkedLength(static_cast<size_t>(pos_ - attrStart)));
        name_.removeChar('"');
        skipWhite();
        value_.clear();
        if (peek() == '=') {
            ++pos_;
            skipWhite();
            stepOver('"');
            stepOver('\'');
            const char* valueStart = pos_;
            pos_ = scanUntil(pos_, end_, kDeclValueStop);
            decodeInto(value_, valueStart, static_cast<size_t>(pos_ - valueStart));
            stepOver('"');
            stepOver('\'');
        }
        declaration->addAttribute(name_, value_);
        skipWhite();
        if (peek() == '?') {
            ++pos_;
            skipWhite();
        }
    }
    stepPast();
}

const char* DocumentParser::readEndTag(const char* p) {
    if (p >= reportFrom_) reportProgress(p);
    // The first '>' or '<' after the '/'. Short names end within a few bytes. A longer one is
    // mostly the open element's own tag with a '>' after it: as a tag holds neither '>' nor '<',
    // that '>' is then the first of either, found without a scan.
    const char* const name = p + 1;
    p = name;
    for (int i = 0; i < 3 && p < end_ && *p != '>' && *p != '<' && *p != 0; ++i) ++p;
    if (p - name == 3) {
        if (TreeNode* open = builder_.current(); open && end_ - name > 8) {
            const TagEntry* tag = open->tagEntry();
            const size_t n = tag ? tag->length() : 0;
            if (n - 3 < 6 && name[n] == '>') {
                uint64_t w;
                std::memcpy(&w, name, 8);
                if (((w ^ tag->firstWord()) << (64 - 8 * n)) == 0) {
                    closeCurrent();
                    return name + n + 1;
                }
            }
        }
        p = findEither(p, end_, '>', '<');
    }
    if (p >= end_) return nullptr;
    if (*p == '>') {
        ++p;
    } else {
        stopAt(p);
        TreeNode* open = builder_.current();
        if (logsNext()) log_->LogError("Error in closing tag");
        if (logsNext()) log_->LogData("error_tag", open ? open->tag() : "");
    }
    closeCurrent();
    return p;
}

const char* DocumentParser::readStartTag(const char* p) {
    const char* const end = end_;
    // Documents repeat their sequences of tags: the tag expected here is tried before the
    // name is scanned. Spelled out and followed by a byte that ends a name, it is exactly what
    // the scan would find, as a pooled tag holds no byte that ends one or is removed from one.
    size_t guessLength;
    TagEntry* entry = tags_.takeIfNext(p, end, [](char c) { return inClass(c, kTagStop); }, guessLength);
    if (entry) {
        p += guessLength;
    } else {
        const char* tagStart = p;
        bool lessThan;
        p = scanUntilNoting<kTagStop, kLessThan>(p, end, lessThan);
        if (p >= end) return nullptr;
        const char* tag = tagStart;
        size_t tagLength = static_cast<size_t>(p - tagStart);
        if (lessThan) {
            scratch_.clear();
            scratch_.reserve(checkedLength(tagLength));
            scratch_.extendBy(static_cast<int32_t>(copyWithout(scratch_.mutableData(), tagStart, p, kLessThan)));
            tag = scratch_.data();
            tagLength = static_cast<size_t>(scratch_.length());
        }
        if (tagLength) entry = tags_.take(tag, tagLength);
    }
    if (p < end && *p == '>') {  // a bare start tag
        builder_.open(entry);
        currentFresh_ = true;
        return p + 1;
    }
    // Opened before anything is read that may end the parse, which would leave the tag's
    // reference with nobody to give it back.
    TreeNode* e = builder_.open(entry);
    currentFresh_ = true;
    p = skipWhiteAt(p, end);
    bool selfClosing = false;
    if (p < end && *p == '/') {
        selfClosing = true;
        p = skipWhiteAt(p + 1, end);
    }
    if (p < end && *p != '>') {
        // One name="value" right before the '>', as most elements with attributes are written,
        // is laid out here; any other shape goes on from what was found.
        const char* nameEnd;
        const char* quote = plainAttributeAt(p, end, nameEnd);
        if (quote && end - quote > 1 && quote[1] == '>') {
            builder_.setAttribute(e, TextRef(p, static_cast<size_t>(nameEnd - p)),
                                  TextRef(nameEnd + 2, static_cast<size_t>(quote - nameEnd - 2)));
            p = quote + 1;
        } else {
            p = readAttributes(p, e, selfClosing, quote ? nameEnd : nullptr, quote);
        }
    }
    if (p >= end) return nullptr;
    ++p;
    if (selfClosing) closeCurrent();
    return p;
}

const char* DocumentParser::readAttributes(const char* p, TreeNode* e, bool& selfClosing, const char* firstNameEnd,
                                          const char* firstQuote) {
    const char* const end = end_;
    // Each pair is written out as the element will keep it, on the way: the set is then laid
    // out with one copy.
    image_.clear();
    // Past an attribute: white space, and a '/' that makes the element close itself.
    auto skipToNext = [&](const char* at) {
        at = skipWhiteAt(at, end);
        if (at < end && *at == '/') {
            selfClosing = true;
            at = skipWhiteAt(at + 1, end);
        }
        return at;
    };
    auto addPlain = [&](const char* name, const char* nameEnd, const char* quote) {
        image_.addPair(name, static_cast<size_t>(nameEnd - name), nameEnd + 2, static_cast<size_t>(quote - nameEnd - 2));
        return skipToNext(quote + 1);
    };
    if (firstQuote) p = addPlain(p, firstNameEnd, firstQuote);
    for (size_t place = 1; p < end && *p != '>'; ++place) {
        const char* nameStart = p;
        // Plain name="value" is taken in two scans, and decoded when it holds an '&'; any other
        // shape is read again from its name by the general rules below. Documents repeat their
        // start tags, so the name is first compared with the one at this place last time.
        const char* plainEnd;
        bool plainAmpersand = false;
        const char* quote;
        NameGuess* guess = place < nameGuesses_.size() ? &nameGuesses_[place] : nullptr;
        if (guess && (plainEnd = guess->match(p, end))) {
            quote = plainValueAt(plainEnd + 2, end, &plainAmpersand);
        } else {
            quote = plainAttributeAt<true>(p, end, plainEnd, &plainAmpersand);
            if (quote && guess) guess->set(nameStart, static_cast<size_t>(plainEnd - nameStart));
        }
        if (quote) {
            if (!plainAmpersand) {
                p = addPlain(nameStart, plainEnd, quote);
            } else {
                addChangedPair(nameStart, plainEnd, false, plainEnd + 2, quote, true);
                p = skipToNext(quote + 1);
            }
            continue;
        }
        bool junk;
        p = scanUntilNoting<kAttrNameStop, kNameJunk>(nameStart, end, junk);
        const char* nameEnd = p;
        p = skipWhiteAt(p, end);
        const char* valueStart = p;
        const char* valueEnd = p;
        bool ampersand = false;
        if (p < end && *p == '=') {
            ++p;
            p = skipWhiteAt(p, end);
            if (p < end && *p == '"') {
                valueStart = ++p;
                p = scanUntilNoting<kQuotedStop, kAmpersand, 1>(p, end, ampersand);
            } else if (p < end && *p == '\'') {
                valueStart = ++p;
                p = scanUntilNoting<kApostStop, kAmpersand, 1>(p, end, ampersand);
            } else {
                valueStart = p;
                p = scanUntilNoting<kBareValueStop, kAmpersand>(p, end, ampersand);
            }
            valueEnd = p;
            if (p < end && (*p == '"' || *p == '\'')) ++p;
        }
        if (!junk && !ampersand) {
            image_.addPair(nameStart, static_cast<size_t>(nameEnd - nameStart), valueStart, static_cast<size_t>(valueEnd - valueStart));
        } else {
            addChangedPair(nameStart, nameEnd, junk, valueStart, valueEnd, ampersand);
        }
        p = skipToNext(p);
    }
    builder_.setAttributes(e, image_);
    return p;
}

void DocumentParser::addChangedPair(const char* name, const char* nameEnd, bool junk, const char* value,
                                    const char* valueEnd, bool ampersand) {
    const size_t rawName = static_cast<size_t>(nameEnd - name);
    const size_t rawValue = static_cast<size_t>(valueEnd - value);
    char* at = image_.extend(rawName + rawValue + 2);
    size_t nameLength = rawName;
    if (junk) {
        nameLength = copyWithout(at, name, nameEnd, kNameJunk);
    } else if (rawName) {
        std::memcpy(at, name, rawName);
    }
    at[nameLength] = 0;
    char* decoded = at + nameLength + 1;
    size_t valueLength = rawValue;
    if (ampersand) {
        valueLength = decodeEntitiesCopy(decoded, value, rawValue);
    } else if (rawValue) {
        std::memcpy(decoded, value, rawValue);
    }
    decoded[valueLength] = 0;
    const size_t kept = nameLength ? nameLength + valueLength + 2 : 0;
    image_.shorten(rawName + rawValue + 2 - kept);
    if (nameLength) image_.endPair(static_cast<uint32_t>(nameLength), static_cast<uint32_t>(valueLength));
}

void DocumentParser::closeCurrent() {
    currentFresh_ = false;
    TreeNode* e = builder_.close();
    if (!e) return;
    if (unsettled_ == e) unsettled_ = nullptr;
    if (!entityFrontiers_.empty()) entityFrontiers_.erase(e);
    if (!builder_.current()) closeTopLevel(e);  // no parent became the open element
}

void DocumentParser::closeTopLevel(TreeNode* root) {
    TreeInfo* tree = root->tree();
    if (pendingDeclaration_) {
        tree->setDeclaration(pendingDeclaration_);
        pendingDeclaration_ = nullptr;
    }
    // The prolog only ever grows, so the copy this root receives is its first bytes as they are
    // now. It is made when the root turns out to be the result: copying it for every top-level
    // element of a text that alternates prolog pieces and elements would be quadratic.
    finishedPrologLength_ = prolog_.length();
    TreeNode* previous = finished_;
    finished_ = root;
    TreeNode::destroyTree(previous);
}

}  // namespace

TreeNode* parse(const char* bytes, size_t length, LogBase* log, ProgressMonitor* progress) {
    if (!bytes || length == 0) return nullptr;
    // A text passed with its terminator, as many hosts pass one, would be parsed twice up to its
    // first 0 byte: that byte is looked for beforehand.
    const char* const first = bytes[length - 1] ? nullptr : static_cast<const char*>(std::memchr(bytes, 0, length));
    const size_t end = first ? static_cast<size_t>(first - bytes) : length;
    const char* zero;
    DocumentParser::Again again;
    {
        DocumentParser parser(bytes, length, end, log, progress, {});
        try {
            return parser.run();
        } catch (const ZeroByte& found) {
            zero = found.at;
            again = {parser.logged(), true};
        }
    }
    // Up to the first 0 byte that attempt did what this one does, having stopped at the first
    // byte it read there: it ends now where the text does, as if it had known.
    zero = static_cast<const char*>(std::memchr(bytes, 0, static_cast<size_t>(zero - bytes) + 1));
    DocumentParser parser(bytes, length, static_cast<size_t>(zero - bytes), log, progress, again);
    return parser.run();
}

TreeNode* parse(const char* text, LogBase* log, ProgressMonitor* progress) {
    return parse(text, text ? std::strlen(text) : 0, log, progress);
}

TreeNode* parse(const DataBuffer& bytes, LogBase* log, ProgressMonitor* progress) {
    return parse(reinterpret_cast<const char*>(bytes.data()), bytes.size(), log, progress);
}

}  // namespace quorvel
