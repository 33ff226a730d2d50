#include "log/log_rendering.h"

#include <climits>
#include <cstdint>
#include <new>

#include "core/string_buffer.h"

namespace quorvel {

namespace {

constexpr std::string_view kPlaceholder = "_MESSAGE_";
constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";

// Every rendering runs twice: once into a LengthSink to learn the exact size, then into a
// BufferSink after one reservation, so output grows in one step however large the log is.
struct LengthSink {
    int64_t n = 0;
    void put(std::string_view s) { n += static_cast<int64_t>(s.size()); }
    void put(char) { ++n; }
    void blanks(size_t k) { n += static_cast<int64_t>(k); }
};

struct BufferSink {
    StringBuffer& out;
    void put(std::string_view s) { out.appendBytes(s.data(), static_cast<int32_t>(s.size())); }
    void put(char c) { out.appendChar(c); }
    void blanks(size_t k) {
        static constexpr char kBlanks[] = "                                                                ";
        constexpr size_t chunk = sizeof kBlanks - 1;
        for (; k >= chunk; k -= chunk) out.appendBytes(kBlanks, static_cast<int32_t>(chunk));
        out.appendBytes(kBlanks, static_cast<int32_t>(k));
    }
};

template <class Render>
void renderTwice(StringBuffer& out, Render render) {
    LengthSink length;
    render(length);
    if (length.n == 0) return;
    if (length.n >= INT32_MAX - static_cast<int64_t>(out.length()) - StringBuffer::kGrowthCap) throw std::bad_alloc();
    out.reserve(static_cast<int32_t>(length.n));
    BufferSink sink{out};
    render(sink);
}

// Replaces & < > (and the double quote when asked), in that order of precedence.
template <class Sink>
void putEscaped(Sink& sink, std::string_view text, bool quotes) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        std::string_view entity;
        switch (text[i]) {
            case '&': entity = "&amp;"; break;
            case '<': entity = "&lt;"; break;
            case '>': entity = "&gt;"; break;
            case '"':
                if (quotes) entity = "&quot;";
                break;
            default: break;
        }
        if (entity.empty()) continue;
        sink.put(text.substr(start, i - start));
        sink.put(entity);
        start = i + 1;
    }
    sink.put(text.substr(start));
}

template <class Sink>
void putLineText(Sink& sink, const LogEntry& e, bool htmlEscape) {
    auto put = [&](std::string_view s) {
        if (htmlEscape) {
            putEscaped(sink, s, true);
        } else {
            sink.put(s);
        }
    };
    if (e.kind() == LogEntry::kData) {
        put(e.keywordView());
        sink.put(": ");
    }
    put(e.textView());
}

template <class Sink>
void writeLines(const std::vector<LogEntry>& entries, std::string_view tmpl, bool htmlEscape, Sink& sink) {
    for (const LogEntry& e : entries) {
        bool line = (e.isMessage() && (e.level() == LogEntry::kLevelError || e.level() == LogEntry::kLevelInfo)) ||
                    e.kind() == LogEntry::kData;
        if (!line) continue;
        size_t pos = 0;
        for (size_t hit; (hit = tmpl.find(kPlaceholder, pos)) != std::string_view::npos; pos = hit + kPlaceholder.size()) {
            sink.put(tmpl.substr(pos, hit - pos));
            putLineText(sink, e, htmlEscape);
        }
        sink.put(tmpl.substr(pos));
    }
}

template <class Sink>
void writeXml(const std::vector<LogEntry>& entries, size_t first, Sink& sink) {
    if (first >= entries.size()) return;
    std::vector<size_t> open;  // indices of the contexts opened and not yet closed
    sink.put("<QuorvelLog>\n");
    for (size_t i = first; i < entries.size();) {
        const LogEntry& e = entries[i];
        switch (e.kind()) {
            case LogEntry::kContextOpened:
                sink.blanks(4 * open.size());
                sink.put('<');
                sink.put(e.textView());
                sink.put(">\n");
                open.push_back(i++);
                break;
            case LogEntry::kContextClosed:
                ++i;
                if (open.empty()) break;
                {
                    const LogEntry& opened = entries[open.back()];
                    open.pop_back();
                    sink.blanks(4 * open.size());
                    sink.put("</");
                    sink.put(opened.textView());
                    sink.put(">\n");
                }
                break;
            case LogEntry::kData: {
                ++i;
                std::string_view value = e.textView();
                sink.blanks(4 * open.size());
                sink.put('<');
                sink.put(e.keywordView());
                sink.put('>');
                if (logTextNeedsCdata(value)) {
                    sink.put(kCdataOpen);
                    sink.put(value);
                    sink.put(kCdataClose);
                } else {
                    putEscaped(sink, value, false);
                }
                sink.put("</");
                sink.put(e.keywordView());
                sink.put(">\n");
                break;
            }
            case LogEntry::kMessage: {
                size_t end = messageGroupEnd(entries, i);
                std::string_view tag = e.level() == LogEntry::kLevelError ? "error" : "info";
                sink.blanks(4 * open.size());
                sink.put('<');
                sink.put(tag);
                sink.put('>');
                if (end - i > 1 || logTextNeedsCdata(e.textView())) {
                    sink.put(kCdataOpen);
                    for (size_t j = i; j < end; ++j) {
                        if (j > i) sink.put('\n');
                        sink.put(entries[j].textView());
                    }
                    sink.put(kCdataClose);
                } else {
                    sink.put(e.textView());
                }
                sink.put("</");
                sink.put(tag);
                sink.put(">\n");
                i = end;
                break;
            }
            default:
                ++i;
                break;
        }
    }
    for (; !open.empty(); open.pop_back()) {
        sink.put("</");
        sink.put(entries[open.back()].textView());
        sink.put(">\n");
    }
    sink.put("</QuorvelLog>\n");
}

template <class Sink>
void writeSummary(const std::vector<LogEntry>& entries, size_t first, Sink& sink) {
    bool firstLine = true;  // nothing yet from a context or an error line
    bool written = false;
    for (size_t i = first; i < entries.size();) {
        const LogEntry& e = entries[i];
        if (e.kind() == LogEntry::kContextOpened) {
            if (!firstLine) sink.put('\n');
            sink.put('(');
            sink.put(e.textView());
            sink.put(')');
            firstLine = false;
            written = true;
            ++i;
        } else if (e.kind() == LogEntry::kData) {
            if (written) sink.put('\n');
            sink.put(e.keywordView());
            sink.put(": ");
            sink.put(e.textView());
            written = true;
            ++i;
        } else if (e.isMessage()) {
            size_t end = messageGroupEnd(entries, i);
            if (e.level() == LogEntry::kLevelError) {
                for (size_t j = i; j < end; ++j) {
                    if (!firstLine) sink.put('\n');
                    if (j > i) sink.blanks(4);
                    sink.put(entries[j].textView());
                    firstLine = false;
                    written = true;
                }
            }
            i = end;
        } else {
            ++i;
        }
    }
}

}  // namespace

bool logTextNeedsCdata(std::string_view text) {
    if (text.find(kCdataOpen) != std::string_view::npos && text.find(kCdataClose) != std::string_view::npos) {
        return false;
    }
    return text.find_first_of("\n\t&<>") != std::string_view::npos;
}

size_t messageGroupEnd(const std::vector<LogEntry>& entries, size_t first) {
    size_t end = first + 1;
    while (end < entries.size() && entries[end].isMessage() && entries[end].continuation()) ++end;
    return end;
}

void renderLogLines(const std::vector<LogEntry>& entries, std::string_view lineTemplate, bool htmlEscape,
                    StringBuffer& out) {
    renderTwice(out, [&](auto& sink) { writeLines(entries, lineTemplate, htmlEscape, sink); });
}

void renderLogXml(const std::vector<LogEntry>& entries, size_t first, StringBuffer& out) {
    renderTwice(out, [&](auto& sink) { writeXml(entries, first, sink); });
}

void renderErrorSummary(const std::vector<LogEntry>& entries, size_t first, StringBuffer& out) {
    renderTwice(out, [&](auto& sink) { writeSummary(entries, first, sink); });
}

}  // namespace quorvel
