#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "stream/record_path.h"

namespace quorvel {

// Finds the records of a document in its UTF-8 text as the text arrives, without building
// anything: a resumable state machine over the markup, one state per step of the tolerant
// parser's grammar (parse_engine.cpp), so that it opens and closes elements exactly where a
// whole load would. It keeps the stack of open elements outside records (their names, start
// tags and namespace declarations) and, inside a record, only a depth count.
//
// Invariants: the text kept starts at or before the first byte a later step may still need (the
// current record's '<', the current construct's '<', or the position); every position is an
// offset in the whole UTF-8 text. Costs: one pass over the text, each byte looked at once
// except where a multi-byte terminator straddles two appends; memory is the largest record (or
// construct) plus one append, and the open elements outside records.
//
// A record inside another record (a //x element within an x record) is part of the outer one.
class RecordScanner {
public:
    // An open element outside every record.
    struct Frame {
        std::string name;      // its tag as the parser keeps it ('<' removed)
        std::string startTag;  // its start tag's text, '<' through '>'
        std::vector<std::pair<std::string, std::string>> namespaces;  // xmlns[:prefix] it declares: prefix, uri
        bool leadsToRecords = true;  // an absolute path: it and its ancestors match the path's first steps
    };
    enum class Result { kNeedText, kRecord, kEnd, kTooLarge };

    // REQUIRES: path parsed.
    RecordScanner(const RecordPath& path, uint64_t sizeLimit);

    // More text. REQUIRES: no 0 byte in it, endInput not called.
    void append(const char* text, size_t n);
    // The text has ended; next() finishes what is open.
    void endInput() { inputEnded_ = true; }
    // Scans on: kRecord with record() set, kNeedText when everything given is scanned, kEnd at
    // the document's end (for good), kTooLarge when a record or construct outgrows the limit.
    Result next();

    // After kRecord, until the next append or next: the record's text and where it starts.
    std::string_view record() const { return {buf_.data() + (recordStart_ - base_), recordEnd_ - recordStart_}; }
    uint64_t recordOffset() const { return recordStart_; }
    // The open elements outside records: at kRecord, the record's ancestors, root first.
    const std::vector<Frame>& frames() const { return frames_; }
    // Changes whenever frames() does.
    uint64_t framesVersion() const { return framesVersion_; }
    // After kEnd: whether the text ended inside a record (or a record's start tag).
    bool endedInRecord() const { return endedInRecord_; }
    // The first offset still needed: the open record's or construct's start, else the position.
    uint64_t pendingFrom() const;
    // Offset of the position.
    uint64_t position() const { return pos_; }

    // For a reader that starts in the middle of a document: from the position on, the first
    // "<tag" followed by white space, '/' or '>' is taken as the start tag of a record whose
    // ancestors are `frames`. REQUIRES: nothing scanned yet.
    void resync(std::string tag, std::vector<Frame> frames);

private:
    enum class State : uint8_t {
        kProlog,               // outside every element: skipped up to '<'
        kAfterMarkup,          // after markup: white space, then text or '<'
        kText,                 // a run of text up to '<'
        kTagOpen,              // after '<'
        kTagOpenWhite,         // '<' and white space: a start tag whatever follows
        kTagName,              // up to white space, '/' or '>'
        kBeforeAttributeName,  // white space, then '/' or not
        kAfterSlash,           // white space after a '/' that makes the element close itself
        kAttributeStart,       // '>' ends the tag, anything else starts a name
        kAttributeName,        // up to white space, '=', '/' or '>'
        kAfterAttributeName,   // white space, then '=' or not
        kBeforeAttributeValue, // white space, then the opening quote or not
        kDoubleQuotedValue,    // up to '"' or '>'
        kSingleQuotedValue,    // up to '\'' or '>'
        kUnquotedValue,        // up to '\'', '"' or '>'
        kEndTag,               // up to '>' (taken) or '<' (left)
        kMarkupOpen,           // after "<!": CDATA section, comment, DOCTYPE or other markup
        kComment,              // up to "-->"; unclosed, it ends the document
        kDoctype,              // '<' and '>' balanced
        kBogusMarkup,          // up to '>'
        kCdataSection,         // up to "]]>"
        kAfterCdata,           // text dropped up to the '<' after the section
        kInstructionOpen,      // after "<?": the declaration or another instruction
        kDeclaration,          // up to '>'
        kInstruction,          // up to "?>"; unclosed, it reads on as text after "<?"
        kResync,               // looking for a record's start tag in the middle of a document
    };

    // The start tag whose '>' is at index i is complete; returns kRecord when it is a
    // self-closing record.
    bool completeStartTag(size_t i);
    // An end tag ending before index i closes the open element; returns kRecord when it is the record's.
    bool closeElement(size_t i);
    std::string tagName() const;
    bool stepMatches(const RecordPath::Step& step, std::string_view name, const Frame& own) const;
    void readNamespaces(Frame& frame) const;
    bool inStartTag() const { return state_ >= State::kTagName && state_ <= State::kUnquotedValue; }
    Result endOfText(size_t& i);
    Result recordOrTooLarge();

    const RecordPath& path_;
    uint64_t limit_;
    std::string buf_;
    uint64_t base_ = 0;        // offset of buf_[0]
    uint64_t pos_ = 0;         // the next byte to look at
    State state_ = State::kProlog;
    bool inputEnded_ = false;
    bool ended_ = false;
    bool endedInRecord_ = false;
    bool cdataAllowed_ = false;    // in kTagOpen/kMarkupOpen: only white space since the last markup
    bool selfClosing_ = false;
    uint64_t markStart_ = 0;       // the current construct's '<'
    uint64_t nameStart_ = 0, nameEnd_ = 0;
    int64_t doctypeDepth_ = 0;
    uint64_t noInstructionEndFrom_ = UINT64_MAX;  // "?>" is missing from here on
    int64_t depth_ = 0;            // open elements
    int64_t enclosedFrom_ = 0;     // depth of the open record's or skipped subtree's element; 0 for none
    bool recording_ = false;       // the enclosed element is a record
    uint64_t recordStart_ = 0, recordEnd_ = 0;
    std::vector<Frame> frames_;
    uint64_t framesVersion_ = 0;
    std::string resyncTag_;
};

}  // namespace quorvel
