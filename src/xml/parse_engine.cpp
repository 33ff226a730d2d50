#include "xml/parse_engine.h"

#include <cstring>
#include <unordered_map>

#include "core/data_buffer.h"
#include "core/log_base.h"
#include "core/progress_monitor.h"
#include "tree/tree_node.h"
#include "xml/tag_cache.h"
#include "xml/xml_entities.h"

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
        add('<', kNameJunk);
    }
};
constexpr ByteClasses kClasses;

inline bool inClass(char c, uint16_t mask) { return kClasses.of[static_cast<unsigned char>(c)] & mask; }

inline const char* scanUntil(const char* p, const char* end, uint16_t mask) {
    while (end - p >= 4) {
        if (inClass(p[0], mask)) return p;
        if (inClass(p[1], mask)) return p + 1;
        if (inClass(p[2], mask)) return p + 2;
        if (inClass(p[3], mask)) return p + 3;
        p += 4;
    }
    while (p < end && !inClass(*p, mask)) ++p;
    return p;
}

inline unsigned char lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

const char* findBytes(const char* p, const char* end, std::string_view s) {
    if (static_cast<size_t>(end - p) < s.size()) return nullptr;
    return static_cast<const char*>(memmem(p, static_cast<size_t>(end - p), s.data(), s.size()));
}

// Appends bytes with every byte of the junk class removed.
void appendWithout(StringBuffer& out, const char* p, const char* end, uint16_t junk) {
    while (p < end) {
        const char* stop = scanUntil(p, end, junk);
        out.appendBytes(p, static_cast<int32_t>(stop - p));
        p = stop < end ? stop + 1 : end;
    }
}

int32_t checkedLength(size_t n) {
    if (n > static_cast<size_t>(INT32_MAX) - 1) throw std::bad_alloc();
    return static_cast<int32_t>(n);
}

}  // namespace

ParseEngine::ParseEngine(const char* bytes, size_t length) : fullLength_(bytes ? length : 0) {
    begin_ = bytes ? bytes : "";
    const void* zero = length ? std::memchr(begin_, 0, fullLength_) : nullptr;
    end_ = zero ? static_cast<const char*>(zero) : begin_ + fullLength_;
    pos_ = begin_;
}

void ParseEngine::skipWhite() {
    while (pos_ < end_ && inClass(*pos_, kWhite)) ++pos_;
}

void ParseEngine::skipToByte(char c) {
    const void* hit = pos_ < end_ ? std::memchr(pos_, c, static_cast<size_t>(end_ - pos_)) : nullptr;
    pos_ = hit ? static_cast<const char*>(hit) : end_;
}

bool ParseEngine::skipToByteUnless(char c, char d) {
    while (pos_ < end_) {
        if (*pos_ == c) return true;
        if (*pos_ == d) return false;
        ++pos_;
    }
    return true;
}

void ParseEngine::collectUntilAny(const char* set, StringBuffer& out) {
    const char* start = pos_;
    while (pos_ < end_ && !std::strchr(set, *pos_)) ++pos_;
    out.appendBytes(start, checkedLength(static_cast<size_t>(pos_ - start)));
}

bool ParseEngine::collectBalanced(char open, char close, StringBuffer& out) {
    const char* start = pos_;
    int64_t depth = 1;
    bool balanced = false;
    while (pos_ < end_) {
        char c = *pos_++;
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
    for (size_t i = 0; i < n; ++i) letters |= lower(static_cast<unsigned char>(s[i])) != static_cast<unsigned char>(s[i]) ||
                                             (s[i] >= 'a' && s[i] <= 'z');
    if (!letters) {
        const char* hit = findBytes(pos_, end_, std::string_view(s, n));
        if (!hit) return false;
        out.appendBytes(pos_, checkedLength(static_cast<size_t>(hit + n - pos_)));
        pos_ = hit + n;
        return true;
    }
    const char* p = pos_;
    for (; static_cast<size_t>(end_ - p) >= n; ++p) {
        size_t i = 0;
        while (i < n && lower(static_cast<unsigned char>(p[i])) == lower(static_cast<unsigned char>(s[i]))) ++i;
        if (i == n) {
            out.appendBytes(pos_, checkedLength(static_cast<size_t>(p + n - pos_)));
            pos_ = p + n;
            return true;
        }
    }
    return false;
}

bool ParseEngine::skipPast(const char* s) {
    const char* hit = findBytes(pos_, end_, s);
    if (!hit) return false;
    pos_ = hit + std::strlen(s);
    return true;
}

bool ParseEngine::startsWith(std::string_view s) const {
    return static_cast<size_t>(end_ - pos_) >= s.size() && std::memcmp(pos_, s.data(), s.size()) == 0;
}

bool ParseEngine::startsWithNoCase(std::string_view s) const {
    if (static_cast<size_t>(end_ - pos_) < s.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (lower(static_cast<unsigned char>(pos_[i])) != lower(static_cast<unsigned char>(s[i]))) return false;
    }
    return true;
}

namespace {

// The state of one parse over an engine's text.
class DocumentParser {
public:
    DocumentParser(ParseEngine& engine, const char*& pos, const char* begin, const char* end, LogBase* log,
                   ProgressMonitor* progress)
        : e_(engine), p_(pos), begin_(begin), end_(end), log_(log), progress_(progress), noInstructionEndFrom_(end),
          prolog_(2000) {}

    ~DocumentParser() {
        // Whatever was not handed out as the result ends here.
        TreeNode::destroyTree(pendingDeclaration_);
        if (current_) TreeNode::destroyTree(current_);
        TreeNode::destroyTree(finished_);
    }

    TreeNode* run(size_t fullLength);

private:
    enum class Step { kGoOn, kStop };

    bool atEnd() const { return p_ >= end_; }
    char peek() const { return p_ < end_ ? *p_ : 0; }
    void skipWhite() {
        while (p_ < end_ && inClass(*p_, kWhite)) ++p_;
    }
    // Steps over one byte; false when there is none (the text has ended).
    bool stepPast() {
        if (p_ >= end_) return false;
        ++p_;
        return true;
    }
    void stepOver(char c) {
        if (p_ < end_ && *p_ == c) ++p_;
    }

    void readCdata();
    Step readTextRun();
    Step readMarkup();
    void readQuestionMark();
    void readDeclaration();
    Step readEndTag();
    Step readStartTag();
    void reportProgress();

    void appendRun(TreeNode* e, const char* run, size_t n);
    void decodeContent(TreeNode* e, size_t from);
    void close(TreeNode* e);
    TreeNode* newElement(const char* tag, size_t n);

    ParseEngine& e_;
    const char*& p_;
    const char* begin_;
    const char* end_;
    LogBase* log_;
    ProgressMonitor* progress_;
    uint32_t nextReport_ = 0;  // the first position whose percentage beats the last one
    const char* noInstructionEndFrom_;

    TreeNode* current_ = nullptr;
    TreeNode* pendingDeclaration_ = nullptr;
    StringBuffer prolog_;
    TreeNode* finished_ = nullptr;
    int32_t finishedPrologLength_ = 0;
    TagCache tags_;
    StringBuffer scratch_;
    StringBuffer name_;
    StringBuffer value_;
    // Elements still open whose content holds an '&' that a later decode may replace, with the
    // first such position. Everything before it is final, so decoding resumes there.
    std::unordered_map<TreeNode*, size_t> entityFrontiers_;
};

TreeNode* DocumentParser::run(size_t fullLength) {
    if (progress_) {
        progress_->Reset(fullLength > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(fullLength));
        nextReport_ = 0;
    }
    while (p_ < end_) {
        if (!current_) {
            skipWhite();
            if (atEnd()) break;
            e_.skipToByte('<');
            if (!stepPast()) break;
        } else {
            skipWhite();
            if (e_.startsWith("<![CDATA[")) {
                readCdata();
            } else if (readTextRun() == Step::kStop) {
                break;
            }
        }
        char c = peek();
        skipWhite();
        if (atEnd()) break;
        Step step = Step::kGoOn;
        switch (c) {
            case '!': step = readMarkup(); break;
            case '?': readQuestionMark(); break;
            case '/': step = readEndTag(); break;
            default: step = readStartTag(); break;
        }
        if (step == Step::kStop) break;
    }
    if (!finished_ && current_) {
        TreeNode* root = current_->root();
        current_ = nullptr;
        close(root);
    }
    if (finished_ && finishedPrologLength_ > 0) {
        finished_->tree()->setDoctype(TextRef(prolog_.data(), static_cast<size_t>(finishedPrologLength_)));
    }
    if (progress_) progress_->Finish();
    TreeNode* result = finished_;
    finished_ = nullptr;
    return result;
}

void DocumentParser::reportProgress() {
    if (!progress_) return;
    size_t at = static_cast<size_t>(p_ - begin_);
    uint32_t pos = at > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(at);
    if (pos < nextReport_) return;
    // Positions below the next threshold cannot raise the percentage, so the monitor is asked
    // only about those that can; what it reports is the same.
    uint32_t total = progress_->total();
    uint32_t now = progress_->SetPosition(pos);
    if (now >= 100 || total == 0) {
        nextReport_ = UINT32_MAX;
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
    nextReport_ = hi;
}

void DocumentParser::readCdata() {
    p_ += 9;
    const char* close = findBytes(p_, end_, "]]>");
    const char* stop = close ? close : end_;
    TreeNode* e = current_;
    StringBuffer& content = e->contentForWriting();
    size_t before = static_cast<size_t>(content.length());
    if (stop > p_) {
        content.appendBytes(p_, checkedLength(static_cast<size_t>(stop - p_)));
        if (const void* amp = std::memchr(p_, '&', static_cast<size_t>(stop - p_))) {
            size_t at = before + static_cast<size_t>(static_cast<const char*>(amp) - p_);
            auto [it, fresh] = entityFrontiers_.try_emplace(e, at);
            if (!fresh && at < it->second) it->second = at;
        }
    }
    e->setCdata(true);
    p_ = close ? close + 3 : end_;
    e_.skipToByte('<');
    stepPast();
}

DocumentParser::Step DocumentParser::readTextRun() {
    const char* start = p_;
    e_.skipToByte('<');
    const char* stop = p_;
    if (!stepPast()) return Step::kStop;
    while (stop > start && inClass(stop[-1], kWhite)) --stop;
    if (stop > start) appendRun(current_, start, static_cast<size_t>(stop - start));
    return Step::kGoOn;
}

void DocumentParser::appendRun(TreeNode* e, const char* run, size_t n) {
    int32_t length = checkedLength(n);
    if (!e->hasContent()) {
        e->setContentBytes(run, length);
        decodeContent(e, 0);
        return;
    }
    StringBuffer& content = e->contentForWriting();
    size_t from = static_cast<size_t>(content.length());
    if (!entityFrontiers_.empty()) {
        auto it = entityFrontiers_.find(e);
        if (it != entityFrontiers_.end()) from = it->second;
    }
    content.appendChar(' ');
    content.appendBytes(run, length);
    decodeContent(e, from);
}

void DocumentParser::decodeContent(TreeNode* e, size_t from) {
    StringBuffer& content = e->contentForWriting();
    size_t len = static_cast<size_t>(content.length());
    size_t decoded = decodeEntities(content.mutableData(), from, len);
    if (decoded != len) content.shorten(static_cast<int32_t>(len - decoded));
    size_t frontier = entityFrontier(content.data(), from, decoded);
    if (frontier < decoded) {
        entityFrontiers_[e] = frontier;
    } else if (!entityFrontiers_.empty()) {
        entityFrontiers_.erase(e);
    }
}

DocumentParser::Step DocumentParser::readMarkup() {
    if (e_.startsWith("!--")) {
        if (!e_.skipPast("-->")) {
            if (log_) log_->LogError("Unclosed comment");
            return Step::kStop;
        }
        return Step::kGoOn;
    }
    if (e_.startsWithNoCase("!DOCTYPE")) {
        prolog_.appendChar('<');
        if (!e_.collectBalanced('<', '>', prolog_) && log_) log_->LogError("Failed to parse DTD");
        prolog_.appendChar('\n');
        return Step::kGoOn;
    }
    e_.skipToByte('>');
    stepPast();
    return Step::kGoOn;
}

void DocumentParser::readQuestionMark() {
    ++p_;
    if (e_.startsWithNoCase("xml ")) {
        readDeclaration();
        return;
    }
    prolog_.append("<?");
    // Once "?>" is known to be missing from some point on, later searches from further on
    // cannot find it either; remembering that keeps a text full of "<?" linear.
    if (p_ < noInstructionEndFrom_ && !e_.collectThroughNoCase("?>", prolog_)) noInstructionEndFrom_ = p_;
    prolog_.appendChar('\n');
}

void DocumentParser::readDeclaration() {
    const char* nameStart = p_;
    p_ = scanUntil(p_, end_, kTagStop);
    TextRef name(nameStart, static_cast<size_t>(p_ - nameStart));
    skipWhite();
    stepOver('/');
    TreeNode* declaration = TreeNode::newTree(name);
    TreeNode::destroyTree(pendingDeclaration_);
    pendingDeclaration_ = declaration;
    skipWhite();
    while (p_ < end_ && *p_ != '>') {
        const char* attrStart = p_;
        p_ = scanUntil(p_, end_, kDeclNameStop);
        name_.clear();
        name_.appendBytes(attrStart, checkedLength(static_cast<size_t>(p_ - attrStart)));
        name_.removeChar('"');
        skipWhite();
        value_.clear();
        if (peek() == '=') {
            ++p_;
            skipWhite();
            stepOver('"');
            stepOver('\'');
            const char* valueStart = p_;
            p_ = scanUntil(p_, end_, kDeclValueStop);
            value_.appendBytes(valueStart, checkedLength(static_cast<size_t>(p_ - valueStart)));
            size_t n = decodeEntities(value_.mutableData(), 0, static_cast<size_t>(value_.length()));
            value_.shorten(value_.length() - static_cast<int32_t>(n));
            stepOver('"');
            stepOver('\'');
        }
        declaration->addAttribute(name_, value_);
        skipWhite();
        if (peek() == '?') {
            ++p_;
            skipWhite();
        }
    }
    stepPast();
}

DocumentParser::Step DocumentParser::readEndTag() {
    reportProgress();
    if (e_.skipToByteUnless('>', '<')) {
        if (!stepPast()) return Step::kStop;
    } else if (log_) {
        log_->LogError("Error in closing tag");
        log_->LogData("error_tag", current_ ? current_->tag() : "");
    }
    if (current_) {
        TreeNode* closing = current_;
        current_ = closing->parent();
        close(closing);
    }
    return Step::kGoOn;
}

TreeNode* DocumentParser::newElement(const char* tag, size_t n) {
    if (!current_) return TreeNode::newTree(TextRef(tag, n));
    if (n == 0) return TreeNode::newChildAdoptingTag(current_, nullptr);
    return TreeNode::newChildAdoptingTag(current_, tags_.take(tag, n));
}

DocumentParser::Step DocumentParser::readStartTag() {
    const char* tagStart = p_;
    p_ = scanUntil(p_, end_, kTagStop);
    if (atEnd()) return Step::kStop;
    const char* tag = tagStart;
    size_t tagLength = static_cast<size_t>(p_ - tagStart);
    if (std::memchr(tagStart, '<', tagLength)) {
        scratch_.clear();
        for (const char* q = tagStart; q < p_; ++q) {
            if (*q != '<') scratch_.appendChar(*q);
        }
        tag = scratch_.data();
        tagLength = static_cast<size_t>(scratch_.length());
    }
    skipWhite();
    bool selfClosing = false;
    if (peek() == '/') {
        ++p_;
        selfClosing = true;
    }
    TreeNode* e = newElement(tag, tagLength);
    current_ = e;
    skipWhite();
    while (p_ < end_ && *p_ != '>') {
        const char* nameStart = p_;
        p_ = scanUntil(p_, end_, kAttrNameStop);
        const char* nameEnd = p_;
        skipWhite();
        const char* valueStart = p_;
        const char* valueEnd = p_;
        bool hasValue = false;
        if (peek() == '=') {
            hasValue = true;
            ++p_;
            skipWhite();
            uint16_t stop = kBareValueStop;
            if (peek() == '"') {
                ++p_;
                stop = kQuotedStop;
            } else if (peek() == '\'') {
                ++p_;
                stop = kApostStop;
            }
            valueStart = p_;
            p_ = scanUntil(p_, end_, stop);
            valueEnd = p_;
            if (p_ < end_ && (*p_ == '"' || *p_ == '\'')) ++p_;
        }
        name_.clear();
        appendWithout(name_, nameStart, nameEnd, kNameJunk);
        value_.clear();
        if (hasValue && valueEnd > valueStart) {
            value_.appendBytes(valueStart, checkedLength(static_cast<size_t>(valueEnd - valueStart)));
            size_t n = decodeEntities(value_.mutableData(), 0, static_cast<size_t>(value_.length()));
            value_.shorten(value_.length() - static_cast<int32_t>(n));
        }
        e->addAttribute(name_, value_);
        skipWhite();
        if (peek() == '/') {
            selfClosing = true;
            ++p_;
            skipWhite();
        }
    }
    if (!stepPast()) return Step::kStop;
    if (selfClosing) {
        current_ = e->parent();
        close(e);
    }
    return Step::kGoOn;
}

void DocumentParser::close(TreeNode* e) {
    if (!entityFrontiers_.empty()) entityFrontiers_.erase(e);
    if (e->parent()) return;
    TreeInfo* tree = e->tree();
    if (pendingDeclaration_) {
        tree->setDeclaration(pendingDeclaration_);
        pendingDeclaration_ = nullptr;
    }
    // The prolog only ever grows, so the copy this root receives is its first bytes as they are
    // now. It is made when the root turns out to be the result: copying it for every top-level
    // element of a text that alternates prolog pieces and elements would be quadratic.
    finishedPrologLength_ = prolog_.length();
    TreeNode* previous = finished_;
    finished_ = e;
    TreeNode::destroyTree(previous);
}

}  // namespace

TreeNode* ParseEngine::run(LogBase* log, ProgressMonitor* progress) {
    if (fullLength_ == 0) return nullptr;
    DocumentParser parser(*this, pos_, begin_, end_, log, progress);
    return parser.run(fullLength_);
}

TreeNode* parse(const char* bytes, size_t length, LogBase* log, ProgressMonitor* progress) {
    if (!bytes || length == 0) return nullptr;
    ParseEngine engine(bytes, length);
    return engine.run(log, progress);
}

TreeNode* parse(const char* text, LogBase* log, ProgressMonitor* progress) {
    return parse(text, text ? std::strlen(text) : 0, log, progress);
}

TreeNode* parse(const DataBuffer& bytes, LogBase* log, ProgressMonitor* progress) {
    return parse(reinterpret_cast<const char*>(bytes.data()), bytes.size(), log, progress);
}

}  // namespace quorvel
