#include "stream/record_scanner.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "tree/tree_node.h"
#include "xml/parse_engine.h"

namespace quorvel {
namespace {

// The parser's white space: SP, TAB, CR, LF (other control bytes are name bytes).
inline bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Stop bytes of the scans, one bit each.
enum : uint8_t {
    kTagStop = 1,        // white, '/', '>'
    kAttrNameStop = 2,   // white, '=', '/', '>'
    kUnquotedStop = 4,   // '\'', '"', '>'
};

struct StopTable {
    uint8_t of[256] = {};
    constexpr StopTable() {
        for (unsigned char c : {' ', '\t', '\r', '\n'}) of[c] |= kTagStop | kAttrNameStop;
        of[static_cast<unsigned char>('/')] |= kTagStop | kAttrNameStop;
        of[static_cast<unsigned char>('>')] |= kTagStop | kAttrNameStop | kUnquotedStop;
        of[static_cast<unsigned char>('=')] |= kAttrNameStop;
        of[static_cast<unsigned char>('\'')] |= kUnquotedStop;
        of[static_cast<unsigned char>('"')] |= kUnquotedStop;
    }
};
constexpr StopTable kStops;

inline size_t scanUntil(const char* b, size_t i, size_t n, uint8_t mask) {
    while (i < n && !(kStops.of[static_cast<unsigned char>(b[i])] & mask)) ++i;
    return i;
}

inline size_t skipWhite(const char* b, size_t i, size_t n) {
    while (i < n && isWhite(b[i])) ++i;
    return i;
}

// The first c or d at or after i, or n. Attribute values and end tags end this way: sixteen
// bytes a step once past the first few.
inline size_t findEither(const char* b, size_t i, size_t n, char c, char d) {
    for (int k = 0; k < 4 && i < n; ++k, ++i) {
        if (b[i] == c || b[i] == d) return i;
    }
#ifdef __SSE2__
    const __m128i vc = _mm_set1_epi8(c), vd = _mm_set1_epi8(d);
    for (; n - i >= 16; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const unsigned hits =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, vc), _mm_cmpeq_epi8(v, vd))));
        if (hits) return i + static_cast<size_t>(__builtin_ctz(hits));
    }
#endif
    while (i < n && b[i] != c && b[i] != d) ++i;
    return i;
}

inline size_t findByte(const char* b, size_t i, size_t n, char c) {
    const void* hit = i < n ? std::memchr(b + i, c, n - i) : nullptr;
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - b) : n;
}

inline size_t findBytes(const char* b, size_t i, size_t n, std::string_view s) {
    const void* hit = i < n ? memmem(b + i, n - i, s.data(), s.size()) : nullptr;
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - b) : n;
}

inline bool startsWithNoCase(const char* b, size_t i, size_t n, std::string_view s) {
    if (n - i < s.size()) return false;
    for (size_t k = 0; k < s.size(); ++k) {
        char c = b[i + k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != s[k]) return false;
    }
    return true;
}

}  // namespace

RecordScanner::RecordScanner(const RecordPath& path, uint64_t sizeLimit) : path_(path), limit_(sizeLimit) {}

uint64_t RecordScanner::pendingFrom() const {
    if (recording_) return recordStart_;
    switch (state_) {
        case State::kProlog:
        case State::kAfterMarkup:
        case State::kText:
        case State::kComment:
        case State::kDoctype:
        case State::kBogusMarkup:
        case State::kCdataSection:
        case State::kAfterCdata:
        case State::kEndTag:
        case State::kDeclaration:
        case State::kResync:
            return pos_;
        default:
            return markStart_;  // a start tag, or markup not yet told apart, or an instruction that may fall back
    }
}

void RecordScanner::append(const char* text, size_t n) {
    // Bytes nothing needs any more go when they are at least half of what is kept, so that each
    // byte is moved a bounded number of times however large a record grows.
    const size_t drop = static_cast<size_t>(pendingFrom() - base_);
    if (drop > 0 && drop >= buf_.size() / 2) {
        buf_.erase(0, drop);
        base_ += drop;
    }
    buf_.append(text, n);
}

void RecordScanner::resync(std::string tag, std::vector<Frame> frames) {
    resyncTag_ = "<" + tag;
    frames_ = std::move(frames);
    depth_ = static_cast<int64_t>(frames_.size());
    ++framesVersion_;
    state_ = State::kResync;
}

std::string RecordScanner::tagName() const {
    std::string name(buf_.data() + (nameStart_ - base_), nameEnd_ - nameStart_);
    std::erase(name, '<');  // the parser drops '<' from tags
    return name;
}

void RecordScanner::readNamespaces(Frame& frame) const {
    if (frame.startTag.find("xmlns") == std::string::npos) return;
    // The attributes as the parser reads them (junk removed, entities decoded).
    TreeNode* e = parse(frame.startTag.data(), frame.startTag.size(), nullptr, nullptr);
    if (!e) return;
    for (int32_t k = 0; k < e->attributeCount(); ++k) {
        const std::string_view name(e->attributes().name(k));
        if (name == "xmlns") {
            frame.namespaces.emplace_back("", std::string(e->attributes().value(k)));
        } else if (name.starts_with("xmlns:")) {
            frame.namespaces.emplace_back(std::string(name.substr(6)), std::string(e->attributes().value(k)));
        }
    }
    TreeNode::destroyTree(e);
}

bool RecordScanner::stepMatches(const RecordPath::Step& step, std::string_view name, const Frame& own) const {
    if (!step.bound) return name == step.text;
    const auto split = splitQualifiedName(name);
    const std::string_view prefix = split.first;
    if (split.second != step.local) return false;
    auto declared = [&](const Frame& f, std::string& uri) {
        for (auto it = f.namespaces.rbegin(); it != f.namespaces.rend(); ++it) {
            if (it->first == prefix) {
                uri = it->second;
                return true;
            }
        }
        return false;
    };
    std::string uri;
    bool found = declared(own, uri);
    for (auto f = frames_.rbegin(); !found && f != frames_.rend(); ++f) found = declared(*f, uri);
    return uri == step.uri;
}

bool RecordScanner::completeStartTag(size_t i) {
    const uint64_t tagEnd = base_ + i + 1;
    if (enclosedFrom_) {  // inside a record or a subtree that holds none
        if (!selfClosing_) ++depth_;
        return false;
    }
    if (depth_ == 0) ++topLevel_;
    Frame frame;
    frame.name = tagName();
    if (path_.usesNamespaces()) {
        frame.startTag.assign(buf_.data() + (markStart_ - base_), tagEnd - markStart_);
        readNamespaces(frame);
    }
    const auto& steps = path_.steps();
    bool isRecord;
    if (path_.anyDepth()) {
        isRecord = stepMatches(steps[0], frame.name, frame);
    } else {
        const size_t level = frames_.size();  // 0 for the root element
        frame.leadsToRecords = (level == 0 || frames_.back().leadsToRecords) && level < steps.size() &&
                               stepMatches(steps[level], frame.name, frame);
        isRecord = frame.leadsToRecords && level + 1 == steps.size();
        if (!frame.leadsToRecords) {
            // Nothing below can be a record: only its depth is kept.
            if (!selfClosing_) enclosedFrom_ = ++depth_;
            return false;
        }
    }
    if (isRecord) {
        recordStart_ = markStart_;
        if (selfClosing_) {
            recordEnd_ = tagEnd;
            return true;
        }
        recording_ = true;
        enclosedFrom_ = ++depth_;
        return false;
    }
    if (selfClosing_) return false;
    if (frame.startTag.empty()) frame.startTag.assign(buf_.data() + (markStart_ - base_), tagEnd - markStart_);
    frames_.push_back(std::move(frame));
    ++framesVersion_;
    ++depth_;
    return false;
}

bool RecordScanner::closeElement(size_t i) {
    if (depth_ == 0) return false;  // nothing open: the parser ignores it
    --depth_;
    if (enclosedFrom_) {
        if (depth_ >= enclosedFrom_) return false;
        enclosedFrom_ = 0;
        if (!recording_) return false;
        recording_ = false;
        recordEnd_ = base_ + i;
        return true;
    }
    frames_.pop_back();
    ++framesVersion_;
    return false;
}

RecordScanner::Result RecordScanner::endOfText(size_t& i) {
    switch (state_) {
        case State::kInstruction:
            // No "?>" anywhere after it: the parser reads on after "<?" as if it were text.
            noInstructionEndFrom_ = markStart_ + 2;
            i = static_cast<size_t>(markStart_ + 2 - base_);
            state_ = State::kAfterMarkup;
            return Result::kNeedText;  // meaning: go on scanning
        default:
            break;
    }
    ended_ = true;
    endedInRecord_ = recording_;
    if (!recording_ && !enclosedFrom_ && inStartTag() && state_ != State::kTagName) {
        // Cut inside a start tag: a record's own when its name is the record's.
        endedInRecord_ = tagName() == path_.last().text;
    } else if (!recording_ && !enclosedFrom_ && state_ == State::kTagName) {
        // Its name may be cut short too: a record's when it begins the record's name.
        endedInRecord_ = std::string_view(path_.last().text)
                             .starts_with(std::string_view(buf_.data() + (nameStart_ - base_),
                                                           buf_.size() - static_cast<size_t>(nameStart_ - base_)));
    }
    return Result::kEnd;
}

RecordScanner::Result RecordScanner::recordOrTooLarge() {
    if (recordEnd_ - recordStart_ <= limit_) return Result::kRecord;
    ended_ = true;
    return Result::kTooLarge;
}

RecordScanner::Result RecordScanner::next() {
    if (ended_) return Result::kEnd;
    const char* const b = buf_.data();
    const size_t n = buf_.size();
    size_t i = static_cast<size_t>(pos_ - base_);
    for (;;) {
        switch (state_) {
            case State::kProlog: {
                i = findByte(b, i, n, '<');
                if (i == n) goto needText;
                markStart_ = base_ + i;
                ++i;
                cdataAllowed_ = false;
                state_ = State::kTagOpen;
                break;
            }
            case State::kAfterMarkup: {
                i = skipWhite(b, i, n);
                if (i == n) goto needText;
                if (depth_ == 0) {
                    state_ = State::kProlog;
                } else if (b[i] == '<') {
                    markStart_ = base_ + i;
                    ++i;
                    cdataAllowed_ = true;  // only white space since the markup before
                    state_ = State::kTagOpen;
                } else {
                    state_ = State::kText;
                }
                break;
            }
            case State::kText: {
                i = findByte(b, i, n, '<');
                if (i == n) goto needText;
                markStart_ = base_ + i;
                ++i;
                cdataAllowed_ = false;
                state_ = State::kTagOpen;
                break;
            }
            case State::kTagOpen: {
                if (i == n) goto needText;
                const char c = b[i];
                if (static_cast<unsigned char>(c) <= ' ') {
                    state_ = State::kTagOpenWhite;
                } else if (c == '/') {
                    ++i;
                    state_ = State::kEndTag;
                } else if (c == '!') {
                    state_ = State::kMarkupOpen;
                } else if (c == '?') {
                    ++i;
                    state_ = State::kInstructionOpen;
                } else {
                    nameStart_ = base_ + i;
                    state_ = State::kTagName;
                }
                break;
            }
            case State::kTagOpenWhite: {
                i = skipWhite(b, i, n);
                if (i == n) goto needText;
                nameStart_ = base_ + i;
                state_ = State::kTagName;
                break;
            }
            case State::kTagName: {
                i = scanUntil(b, i, n, kTagStop);
                if (i == n) goto needText;
                nameEnd_ = base_ + i;
                selfClosing_ = false;
                if (b[i] == '>') {
                    state_ = State::kAfterMarkup;
                    if (completeStartTag(i)) {
                        pos_ = base_ + i + 1;
                        return recordOrTooLarge();
                    }
                    ++i;
                } else {
                    state_ = State::kBeforeAttributeName;
                }
                break;
            }
            case State::kBeforeAttributeName: {
                i = skipWhite(b, i, n);
                if (i == n) goto needText;
                if (b[i] == '/') {
                    selfClosing_ = true;
                    ++i;
                    state_ = State::kAfterSlash;
                } else {
                    state_ = State::kAttributeStart;
                }
                break;
            }
            case State::kAfterSlash: {
                i = skipWhite(b, i, n);
                if (i == n) goto needText;
                state_ = State::kAttributeStart;
                break;
            }
            case State::kAttributeStart: {
                if (i == n) goto needText;
                if (b[i] == '>') {
                    state_ = State::kAfterMarkup;
                    if (completeStartTag(i)) {
                        pos_ = base_ + i + 1;
                        return recordOrTooLarge();
                    }
                    ++i;
                } else {
                    state_ = State::kAttributeName;
                }
                break;
            }
            case State::kAttributeName: {
                i = scanUntil(b, i, n, kAttrNameStop);
                if (i == n) goto needText;
                state_ = State::kAfterAttributeName;
                break;
            }
            case State::kAfterAttributeName: {
                i = skipWhite(b, i, n);
                if (i == n) goto needText;
                if (b[i] == '=') {
                    ++i;
                    state_ = State::kBeforeAttributeValue;
                } else {
                    state_ = State::kBeforeAttributeName;  // a name without value
                }
                break;
            }
            case State::kBeforeAttributeValue: {
                i = skipWhite(b, i, n);
                if (i == n) goto needText;
                if (b[i] == '"') {
                    ++i;
                    state_ = State::kDoubleQuotedValue;
                } else if (b[i] == '\'') {
                    ++i;
                    state_ = State::kSingleQuotedValue;
                } else {
                    state_ = State::kUnquotedValue;
                }
                break;
            }
            case State::kDoubleQuotedValue:
            case State::kSingleQuotedValue:
            case State::kUnquotedValue: {
                // Every value ends at '>' as well: a start tag ends at its first '>'.
                if (state_ == State::kDoubleQuotedValue) {
                    i = findEither(b, i, n, '"', '>');
                } else if (state_ == State::kSingleQuotedValue) {
                    i = findEither(b, i, n, '\'', '>');
                } else {
                    i = scanUntil(b, i, n, kUnquotedStop);
                }
                if (i == n) goto needText;
                if (b[i] != '>') ++i;  // the closing quote
                state_ = State::kBeforeAttributeName;
                break;
            }
            case State::kEndTag: {
                i = findEither(b, i, n, '>', '<');
                if (i == n) goto needText;
                if (b[i] == '>') ++i;  // a '<' stays, to open what follows
                state_ = State::kAfterMarkup;
                if (closeElement(i)) {
                    pos_ = base_ + i;
                    return recordOrTooLarge();
                }
                break;
            }
            case State::kMarkupOpen: {
                // At the '!': the longest keyword is 8 bytes; the text's end decides with fewer.
                if (n - i < 8 && !inputEnded_) goto needText;
                if (cdataAllowed_ && depth_ > 0 && n - i >= 8 && std::memcmp(b + i, "![CDATA[", 8) == 0) {
                    i += 8;
                    state_ = State::kCdataSection;
                } else if (n - i >= 3 && std::memcmp(b + i, "!--", 3) == 0) {
                    // The whole load looks for the close from the first '-', so "<!-->" and
                    // "<!--->" are whole comments; the reader must end them where it does.
                    i += 1;
                    state_ = State::kComment;
                } else if (startsWithNoCase(b, i, n, "!doctype")) {
                    doctypeDepth_ = 1;
                    i += 8;
                    state_ = State::kDoctype;
                } else {
                    state_ = State::kBogusMarkup;
                }
                break;
            }
            case State::kComment: {
                const size_t hit = findBytes(b, i, n, "-->");
                if (hit == n) {
                    i = std::max(i, n >= 2 ? n - 2 : 0);
                    goto needText;
                }
                i = hit + 3;
                state_ = State::kAfterMarkup;
                break;
            }
            case State::kDoctype: {
                while (i < n && doctypeDepth_ > 0) {
                    const char c = b[i++];
                    if (c == '<') {
                        ++doctypeDepth_;
                    } else if (c == '>') {
                        --doctypeDepth_;
                    }
                }
                if (doctypeDepth_ > 0) goto needText;
                state_ = State::kAfterMarkup;
                break;
            }
            case State::kBogusMarkup: {
                i = findByte(b, i, n, '>');
                if (i == n) goto needText;
                ++i;
                state_ = State::kAfterMarkup;
                break;
            }
            case State::kCdataSection: {
                const size_t hit = findBytes(b, i, n, "]]>");
                if (hit == n) {
                    i = std::max(i, n >= 2 ? n - 2 : 0);
                    goto needText;
                }
                i = hit + 3;
                state_ = State::kAfterCdata;
                break;
            }
            case State::kAfterCdata: {
                i = findByte(b, i, n, '<');
                if (i == n) goto needText;
                markStart_ = base_ + i;
                ++i;
                cdataAllowed_ = false;
                state_ = State::kTagOpen;
                break;
            }
            case State::kInstructionOpen: {
                if (n - i < 4 && !inputEnded_) goto needText;
                if (startsWithNoCase(b, i, n, "xml ")) {
                    state_ = State::kDeclaration;
                } else if (base_ + i >= noInstructionEndFrom_) {
                    state_ = State::kAfterMarkup;  // known to have no "?>" after it
                } else {
                    state_ = State::kInstruction;
                }
                break;
            }
            case State::kDeclaration: {
                i = findByte(b, i, n, '>');
                if (i == n) goto needText;
                ++i;
                state_ = State::kAfterMarkup;
                break;
            }
            case State::kInstruction: {
                const size_t hit = findBytes(b, i, n, "?>");
                if (hit == n) {
                    i = std::max(i, n >= 1 ? n - 1 : 0);
                    goto needText;
                }
                i = hit + 2;
                state_ = State::kAfterMarkup;
                break;
            }
            case State::kResync: {
                const size_t hit = findBytes(b, i, n, resyncTag_);
                if (hit == n || hit + resyncTag_.size() >= n) {
                    if (hit == n) i = std::max(i, n >= resyncTag_.size() ? n - resyncTag_.size() : 0);
                    else i = hit;
                    goto needText;
                }
                const char after = b[hit + resyncTag_.size()];
                if (kStops.of[static_cast<unsigned char>(after)] & kTagStop) {
                    markStart_ = base_ + hit;
                    nameStart_ = markStart_ + 1;
                    i = hit + 1;
                    state_ = State::kTagName;
                } else {
                    i = hit + 1;
                }
                break;
            }
        }
        continue;
    needText:
        pos_ = base_ + i;
        if (inputEnded_) {
            if (endOfText(i) == Result::kEnd) return Result::kEnd;
            continue;
        }
        if (buf_.size() - static_cast<size_t>(pendingFrom() - base_) > limit_) {
            ended_ = true;
            return Result::kTooLarge;
        }
        return Result::kNeedText;
    }
}

}  // namespace quorvel
