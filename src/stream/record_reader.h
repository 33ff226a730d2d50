#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/data_buffer.h"
#include "stream/byte_source.h"
#include "stream/record_path.h"
#include "stream/record_scanner.h"
#include "stream/utf8_feed.h"

namespace quorvel {

class LogBase;
class ProgressMonitor;
class TreeNode;

// The open elements around a record, shared by every record that has the same ones.
struct RecordAncestry {
    std::vector<std::string> names;      // root element first
    std::vector<std::string> startTags;  // each one's start tag, '<' through '>'
    // "/a/b" for the ancestors a and b; "" for a record that is the root element.
    std::string path() const;
    // A new one-node tree with the tag and attributes of the ancestor at level (0 is the root
    // element), as the parser reads them; null when there is none at that level.
    TreeNode* copy(size_t level) const;
};

// Reads a document larger than memory one record at a time: the bytes come from a source block
// by block, are brought to UTF-8 as a whole load would (Utf8Feed), the scanner finds each
// record's text, and the parser builds that text alone into a tree of its own. Only the current
// record, one block and the open elements outside records are held.
//
// A range reader yields exactly the records whose start tag begins at a file offset in
// [start, end): it reads the document's head for its encoding and the first record's ancestors,
// then moves to start, takes the first start tag of the record's name from there on as the
// next record's, and reads on past end only to finish the last record that began before it.
// So the ranges of a file yield every record once, provided records do not nest and their
// start tag's text does not appear in comments or CDATA sections between them.
class RecordReader {
public:
    struct Options {
        uint64_t sizeLimit = uint64_t{64} << 20;  // bytes of text a record may hold
        bool ranged = false;
        uint64_t start = 0, end = UINT64_MAX;  // with ranged: file offsets
    };

    // REQUIRES: source; path parsed. A ranged reader needs a source that can seek.
    RecordReader(std::unique_ptr<ByteSource> source, RecordPath path, Options options);
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // The next record as the root of a new tree the caller owns; null at the end, or on a
    // failure (failed() then says so), logged with where it happened. Parser messages for the
    // record go to log. Progress, when the input's length is known, is the share of it read.
    TreeNode* next(LogBase* log, ProgressMonitor* progress);
    bool failed() const { return failed_; }
    bool done() const { return done_; }
    // The ancestry of the last record returned.
    const std::shared_ptr<const RecordAncestry>& ancestry() const { return ancestry_; }
    uint64_t recordCount() const { return records_; }
    const RecordPath& path() const { return path_; }
    void setSizeLimit(uint64_t limit) { options_.sizeLimit = limit; }

private:
    struct Cut {
        bool active = false;
        uint64_t at = 0;                      // the file offset asked for
        uint64_t sync = Utf8Feed::kNotFound;  // the file offset a conversion ends at for it
        uint64_t text = UINT64_MAX;           // where that is in the text
    };
    bool start(LogBase* log);
    bool readBlock(LogBase* log);
    // Gives the scanner more text, or ends its input; false on a failure, logged.
    bool pull(LogBase* log);
    void appendText(const char* p, size_t n);
    // Moves the input to the first sync point at or after the file offset at.
    bool seekTo(uint64_t at, LogBase* log);
    bool fail(LogBase* log, const char* message, const char* detailKey = nullptr, const std::string& detail = {});
    void reportProgress(ProgressMonitor* progress);

    std::unique_ptr<ByteSource> source_;
    RecordPath path_;
    Options options_;
    Utf8Feed feed_;
    std::unique_ptr<RecordScanner> scanner_;
    // Bytes read and not yet converted: taken from the front, read into the back; moved down
    // only when a read needs the room, so each byte moves a bounded number of times.
    struct RawBytes {
        std::unique_ptr<uint8_t[]> block;
        size_t begin = 0, end = 0, capacity = 0;
        const uint8_t* data() const { return block.get() + begin; }
        size_t size() const { return end - begin; }
        bool empty() const { return end == begin; }
        uint8_t operator[](size_t i) const { return block[begin + i]; }
        uint8_t* room(size_t n);  // at least n bytes after the end
        void consume(size_t n) {
            begin += n;
            if (begin == end) begin = end = 0;
        }
        void clear() { begin = end = 0; }
    };
    RawBytes raw_;
    uint64_t rawOffset_ = 0;       // file offset of raw_[0]
    int prevByte_ = -1;            // the byte before raw_[0]; -1 at the file's start
    bool rawEnded_ = false;
    bool textEnded_ = false;       // the text has ended (the source's end, or a 0 byte)
    uint64_t textLength_ = 0;      // text given to the scanner
    uint64_t textFileStart_ = 0;   // file offset where the scanner's text begins
    DataBuffer converted_;
    Cut startCut_, endCut_;
    bool headScan_ = false;        // looking for the first record before a range's start
    bool started_ = false, done_ = false, failed_ = false;
    uint64_t records_ = 0;
    uint64_t ancestryVersion_ = UINT64_MAX;
    std::shared_ptr<const RecordAncestry> ancestry_;
    uint32_t progressShift_ = 0;
    bool progressReset_ = false;
};

}  // namespace quorvel
