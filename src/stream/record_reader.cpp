#include "stream/record_reader.h"

#include <algorithm>
#include <cstring>

#include "core/log_base.h"
#include "core/progress_monitor.h"
#include "tree/tree_node.h"
#include "xml/parse_engine.h"

namespace quorvel {
namespace {

constexpr size_t kBlock = size_t{128} << 10;
// The head looked at for a byte-order mark and a declaration: a whole load looks at the whole text.
constexpr size_t kHead = size_t{64} << 10;

// The tag of a start tag's text as written, up to white space, '/' or '>'.
std::string writtenTag(std::string_view startTag) {
    size_t end = 1;
    while (end < startTag.size() && !std::strchr(" \t\r\n/>", startTag[end])) ++end;
    return std::string(startTag.substr(1, end - 1));
}

}  // namespace

std::string RecordAncestry::path() const {
    std::string p;
    for (const std::string& n : names) p += "/" + n;
    return p;
}

TreeNode* RecordAncestry::copy(size_t level) const {
    if (level >= startTags.size()) return nullptr;
    // The start tag alone parses to the element with its attributes and nothing inside.
    return parse(startTags[level].data(), startTags[level].size(), nullptr, nullptr);
}

RecordReader::RecordReader(std::unique_ptr<ByteSource> source, RecordPath path, Options options)
    : source_(std::move(source)), path_(std::move(path)), options_(options) {}

RecordReader::~RecordReader() = default;

bool RecordReader::fail(LogBase* log, const char* message, const char* detailKey, const std::string& detail) {
    failed_ = true;
    done_ = true;
    if (log) {
        log->LogError(message);
        if (detailKey) log->LogData(detailKey, detail.c_str());
    }
    return false;
}

uint8_t* RecordReader::RawBytes::room(size_t n) {
    if (capacity - end >= n) return block.get() + end;
    const size_t kept = size();
    if (capacity - kept < n || begin < kept) {
        // Moving down would not make room, or would move more than it frees: a larger block.
        const size_t grown = std::max(capacity * 2, kept + n);
        std::unique_ptr<uint8_t[]> bigger(new uint8_t[grown]);
        if (kept) std::memcpy(bigger.get(), data(), kept);
        block = std::move(bigger);
        capacity = grown;
    } else if (kept) {
        std::memmove(block.get(), data(), kept);
    }
    begin = 0;
    end = kept;
    return block.get() + end;
}

bool RecordReader::readBlock(LogBase* log) {
    uint8_t* to = raw_.room(kBlock);
    const ptrdiff_t got = source_->read(to, kBlock);
    if (got > 0) raw_.end += static_cast<size_t>(got);
    if (got < 0) return fail(log, "Failed to read the input", "error", source_->error());
    if (got == 0) rawEnded_ = true;
    return true;
}

void RecordReader::appendText(const char* p, size_t n) {
    if (n == 0) return;  // p may be null then
    // The text ends at its first 0 byte, as a whole load's does.
    if (const void* zero = std::memchr(p, 0, n)) {
        n = static_cast<size_t>(static_cast<const char*>(zero) - p);
        textEnded_ = true;
    }
    scanner_->append(p, n);
    textLength_ += n;
}

bool RecordReader::seekTo(uint64_t at, LogBase* log) {
    const uint64_t from = at > 0 ? at - 1 : 0;  // the byte before tells a sync point too
    if (!source_->seek(from)) return fail(log, "Failed to read the input", "error", source_->error());
    raw_.clear();
    rawEnded_ = false;
    rawOffset_ = from;
    prevByte_ = -1;
    for (;;) {
        if (!readBlock(log)) return false;
        const uint64_t sync = feed_.syncPoint(raw_.data(), raw_.size(), rawOffset_, prevByte_, at);
        if (sync == Utf8Feed::kNotFound && !rawEnded_) {
            if (raw_.size() > options_.sizeLimit) return fail(log, "Record is larger than RecordSizeLimit");
            continue;
        }
        const size_t drop = sync == Utf8Feed::kNotFound ? raw_.size() : static_cast<size_t>(sync - rawOffset_);
        if (drop > 0) prevByte_ = raw_[drop - 1];
        raw_.consume(drop);
        rawOffset_ += drop;
        return true;
    }
}

bool RecordReader::start(LogBase* log) {
    started_ = true;
    while (raw_.size() < kHead && !rawEnded_) {
        if (!readBlock(log)) return false;
    }
    const size_t mark = feed_.begin(raw_.data(), raw_.size(), log);
    if (mark) {
        prevByte_ = raw_[mark - 1];
        raw_.consume(mark);
        rawOffset_ = mark;
    }
    textFileStart_ = rawOffset_;
    scanner_ = std::make_unique<RecordScanner>(path_, options_.sizeLimit);
    if (!options_.ranged) return true;
    if (source_->length() < 0) return fail(log, "A range needs a file");
    if (!feed_.cuttable()) return fail(log, "The document's encoding cannot be read in ranges");
    if (options_.end <= options_.start) {
        done_ = true;
        return true;
    }
    endCut_.active = true;
    endCut_.at = options_.end;
    if (options_.start > rawOffset_) {
        startCut_.active = true;
        startCut_.at = options_.start;
        headScan_ = true;
    }
    return true;
}

bool RecordReader::pull(LogBase* log) {
    for (;;) {
        if (textEnded_) {
            scanner_->endInput();
            return true;
        }
        // What has been read is converted before anything more is asked for: a source may fail
        // or block on its next read.
        if (!rawEnded_ && raw_.empty() && !readBlock(log)) return false;
        uint64_t stop = rawOffset_ + raw_.size();
        Cut* exact = nullptr;
        bool needMore = false;
        for (Cut* cut : {&startCut_, &endCut_}) {
            if (!cut->active || cut->text != UINT64_MAX) continue;
            if (cut->sync == Utf8Feed::kNotFound) {
                if (cut->at > stop) continue;  // further on than what has been read
                const uint64_t sync =
                    feed_.syncPoint(raw_.data(), raw_.size(), rawOffset_, prevByte_, std::max(cut->at, rawOffset_));
                if (sync == Utf8Feed::kNotFound && !rawEnded_) {
                    needMore = true;
                    break;
                }
                cut->sync = sync == Utf8Feed::kNotFound ? stop : sync;
            }
            if (cut->sync <= stop) {
                stop = cut->sync;
                exact = cut;
                break;  // the start's cut comes before the end's
            }
        }
        const size_t available = static_cast<size_t>(stop - rawOffset_);
        const bool last = exact || (rawEnded_ && available == raw_.size());
        size_t used = 0;
        if (!needMore) {
            if (!feed_.converts()) {
                used = available;
                appendText(reinterpret_cast<const char*>(raw_.data()), used);
            } else {
                converted_.clear();
                if (!feed_.convert(raw_.data(), available, last, converted_, used, log)) {
                    return fail(log, "Failed to convert the input to UTF-8", "offset", std::to_string(rawOffset_));
                }
                appendText(reinterpret_cast<const char*>(converted_.data()), converted_.size());
            }
            if (used > 0) {
                prevByte_ = raw_[used - 1];
                raw_.consume(used);
                rawOffset_ += used;
            }
            if (exact && rawOffset_ == exact->sync) {
                exact->text = textLength_;
                if (exact == &startCut_ && endCut_.sync == exact->sync) endCut_.text = textLength_;
            }
            if (rawEnded_ && raw_.empty()) textEnded_ = true;
            if (used > 0 || textEnded_) {
                if (textEnded_) scanner_->endInput();
                return true;
            }
            if (exact) continue;  // a cut where it was: go on after it
        }
        // No place to stop converting in what has been read: read more.
        if (rawEnded_) continue;
        if (raw_.size() > options_.sizeLimit) return fail(log, "Record is larger than RecordSizeLimit");
        if (!readBlock(log)) return false;
    }
}

void RecordReader::reportProgress(ProgressMonitor* progress) {
    const int64_t length = source_->length();
    if (!progress || length <= 0) return;
    uint64_t first = options_.ranged ? std::min<uint64_t>(options_.start, static_cast<uint64_t>(length)) : 0;
    uint64_t last = options_.ranged ? std::min<uint64_t>(options_.end, static_cast<uint64_t>(length))
                                    : static_cast<uint64_t>(length);
    if (last <= first) return;
    if (!progressReset_) {
        while (((last - first) >> progressShift_) > UINT32_MAX) ++progressShift_;
        progress->Reset(static_cast<uint32_t>((last - first) >> progressShift_));
        progressReset_ = true;
    }
    const uint64_t at = std::clamp(rawOffset_, first, last) - first;
    progress->SetPosition(static_cast<uint32_t>(at >> progressShift_));
}

TreeNode* RecordReader::next(LogBase* log, ProgressMonitor* progress) {
    if (done_) return nullptr;
    if (!started_ && (!start(log) || done_)) return nullptr;
    for (;;) {
        const RecordScanner::Result result = scanner_->next();
        if (result == RecordScanner::Result::kNeedText) {
            if (endCut_.text != UINT64_MAX && scanner_->pendingFrom() >= endCut_.text) {
                done_ = true;  // nothing begun before the range's end is still open
            } else if (pull(log)) {
                continue;
            }
            if (!failed_ && progress) progress->Finish();
            return nullptr;
        }
        if (result == RecordScanner::Result::kTooLarge) {
            fail(log, "Record is larger than RecordSizeLimit", "limit", std::to_string(options_.sizeLimit));
            return nullptr;
        }
        if (result == RecordScanner::Result::kEnd) {
            done_ = true;
            if (scanner_->endedInRecord()) {
                fail(log, "The document ends inside a record", "record_number", std::to_string(records_ + 1));
                if (log) log->LogData("text_offset", std::to_string(scanner_->pendingFrom()).c_str());
            } else if (progress) {
                progress->Finish();
            }
            return nullptr;
        }
        // A record.
        if (headScan_) {
            headScan_ = false;
            if (startCut_.text == UINT64_MAX || scanner_->recordOffset() < startCut_.text) {
                // The first record lies before the range: its ancestors and tag are all the head
                // gives; the range is read from its start on.
                std::vector<RecordScanner::Frame> frames = scanner_->frames();
                const std::string tag = writtenTag(scanner_->record());
                scanner_ = std::make_unique<RecordScanner>(path_, options_.sizeLimit);
                scanner_->resync(tag, std::move(frames));
                textEnded_ = false;
                textLength_ = 0;
                startCut_.active = false;
                endCut_.sync = Utf8Feed::kNotFound;
                endCut_.text = UINT64_MAX;
                if (!seekTo(options_.start, log)) return nullptr;
                textFileStart_ = rawOffset_;
                continue;
            }
        }
        if (endCut_.text != UINT64_MAX && scanner_->recordOffset() >= endCut_.text) {
            done_ = true;
            if (progress) progress->Finish();
            return nullptr;
        }
        if (scanner_->framesVersion() != ancestryVersion_) {
            auto ancestry = std::make_shared<RecordAncestry>();
            for (const RecordScanner::Frame& f : scanner_->frames()) {
                ancestry->names.push_back(f.name);
                ancestry->startTags.push_back(f.startTag);
            }
            ancestry_ = std::move(ancestry);
            ancestryVersion_ = scanner_->framesVersion();
        }
        const std::string_view text = scanner_->record();
        TreeNode* root = parse(text.data(), text.size(), log, nullptr);
        if (!root) continue;  // cannot happen for text that starts with a start tag
        // What a whole load puts in the document's prolog is not the record's.
        TreeInfo* tree = root->tree();
        tree->setDoctype(TextRef());
        TreeNode::destroyTree(tree->takeDeclaration());
        ++records_;
        reportProgress(progress);
        return root;
    }
}

}  // namespace quorvel
