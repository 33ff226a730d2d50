#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/string_buffer.h"

namespace quorvel {

class DataBuffer;
class LogBase;
class ProgressMonitor;
class TreeNode;

// Turns XML text, already UTF-8, into a tree in one forward scan. Tolerant rather than
// validating: it never rejects a document, skips what it does not understand, closes elements
// on any end tag without comparing names, and returns whatever tree it has built when the text
// ends. The text ends at its first 0 byte or after its last byte, whichever comes first.
//
// The result is the root of the last top-level element that was closed (the caller owns its
// tree, with declaration node and doctype text), or none when the text holds no element. Log
// and progress monitor may each be absent. Progress is reported at end tags only.
TreeNode* parse(const DataBuffer& bytes, LogBase* log, ProgressMonitor* progress);
TreeNode* parse(const char* text, LogBase* log, ProgressMonitor* progress);  // 0-terminated
TreeNode* parse(const char* bytes, size_t length, LogBase* log, ProgressMonitor* progress);

// The scanner under the parser: a read-only view of the text and a position in it, with the
// primitives the grammar is written in. The parser itself (in parse_engine.cpp) is a ParseEngine
// that also holds the state of one parse. Each primitive starts at the position and leaves it at
// the byte where it stops; none reads past the end.
class ParseEngine {
public:
    ParseEngine(const char* bytes, size_t length);
    virtual ~ParseEngine() = default;
    ParseEngine(const ParseEngine&) = delete;
    ParseEngine& operator=(const ParseEngine&) = delete;

    size_t position() const { return static_cast<size_t>(pos_ - begin_); }
    size_t length() const { return static_cast<size_t>(end_ - begin_); }
    bool atEnd() const { return pos_ >= end_; }
    // The byte at the position, 0 at the end.
    char peek() const { return pos_ < end_ ? *pos_ : 0; }

    // Advances past white space (SP, TAB, CR, LF).
    void skipWhite();
    // Advances to the next c, or to the end.
    void skipToByte(char c);
    // Advances to the next c (true) or stops at a d (false); reaching the end counts as true.
    bool skipToByteUnless(char c, char d);
    // Appends the bytes before the first byte of set (or the end) to out.
    void collectUntilAny(const char* set, StringBuffer& out);
    // From the position on, appends bytes including the closing one, counting depth from 1:
    // open adds one, close subtracts one. True after depth 0, false at the end.
    bool collectBalanced(char open, char close, StringBuffer& out);
    // When s occurs later (ASCII case folded), appends everything through its end and moves
    // past it (true); else false and nothing moves.
    bool collectThroughNoCase(const char* s, StringBuffer& out);
    // When s occurs later (exact), moves past its end (true); else false.
    bool skipPast(const char* s);
    bool startsWith(std::string_view s) const;
    bool startsWithNoCase(std::string_view s) const;

protected:
    // The text's end given as `end`, no search for a 0 byte made: each primitive that meets one
    // before the end then throws, for the caller to start again with the end placed there.
    ParseEngine(const char* bytes, size_t length, size_t end);

    const char* begin_;
    const char* pos_;
    const char* end_;
    size_t fullLength_;  // the input's length, 0 bytes included: the total for progress
};

}  // namespace quorvel
