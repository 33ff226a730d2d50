#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

#include "log/log_entry.h"

namespace quorvel {

class StringBuffer;

// The ways the log's entries are written out. Each appends to out; an output that would not fit
// in a StringBuffer throws std::bad_alloc before anything is appended.

// One line per message entry and data item: lineTemplate with every "_MESSAGE_" replaced (in one
// left-to-right pass) by the entry's text, or by keyword ": " value; HTML escaping optional.
void renderLogLines(const std::vector<LogEntry>& entries, std::string_view lineTemplate, bool htmlEscape,
                    StringBuffer& out);

// The QuorvelLog element for entries [first, end of log); nothing for an empty range.
void renderLogXml(const std::vector<LogEntry>& entries, size_t first, StringBuffer& out);

// The short failure description for entries [first, end of log): context names, error lines
// and data items, one per line.
void renderErrorSummary(const std::vector<LogEntry>& entries, size_t first, StringBuffer& out);

// True when the text must go inside CDATA in the XML rendering.
bool logTextNeedsCdata(std::string_view text);

// One past the last entry of the message group that starts at first: the message and the
// continuation lines that directly follow it.
size_t messageGroupEnd(const std::vector<LogEntry>& entries, size_t first);

}  // namespace quorvel
