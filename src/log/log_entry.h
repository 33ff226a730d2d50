#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

namespace quorvel {

// One record of the error log. Its keyword and text share a single owned block, so an entry
// costs at most one allocation; either string may be absent (a context-closed entry has neither).
class LogEntry {
public:
    static constexpr char kMessage = 'M';
    static constexpr char kContextOpened = 'C';
    static constexpr char kContextClosed = 'E';
    static constexpr char kData = 'D';

    static constexpr char kLevelError = 'E';
    static constexpr char kLevelInfo = 'I';
    static constexpr char kLevelNone = '0';

    // A message line; the stored text is prefix followed by line.
    static LogEntry message(char level, std::string_view prefix, std::string_view line, bool continuation);
    // name may be null: the entry then has no text.
    static LogEntry contextOpened(const char* name);
    static LogEntry contextClosed();
    // value may be null: the entry then has no text.
    static LogEntry data(std::string_view keyword, const char* value);

    char kind() const { return kind_; }
    char level() const { return level_; }
    bool continuation() const { return continuation_ != 0; }
    bool isMessage() const { return kind_ == kMessage; }
    bool isError() const { return kind_ == kMessage && level_ == kLevelError; }

    // Null when absent.
    const char* text() const { return hasText_ ? bytes_.get() + keywordLength_ + (hasKeyword_ ? 1 : 0) : nullptr; }
    const char* keyword() const { return hasKeyword_ ? bytes_.get() : nullptr; }
    // Empty when absent.
    std::string_view textView() const { return hasText_ ? std::string_view(text(), textLength_) : std::string_view(); }
    std::string_view keywordView() const { return hasKeyword_ ? std::string_view(bytes_.get(), keywordLength_) : std::string_view(); }

private:
    LogEntry(char kind, char level, bool continuation) : kind_(kind), level_(level), continuation_(continuation ? 1 : 0) {}
    // Lays out "keyword\0" (when present) then "prefix+text\0" (when present) in one block.
    void store(const char* keyword, std::string_view kw, const char* text, std::string_view prefix, std::string_view tx);

    std::unique_ptr<char[]> bytes_;
    uint32_t keywordLength_ = 0;
    uint32_t textLength_ = 0;
    char kind_;
    char level_;
    uint8_t continuation_;
    bool hasKeyword_ = false;
    bool hasText_ = false;
};

}  // namespace quorvel
