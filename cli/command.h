// What every subcommand of quorvel shares: its entry in the command table, the options common to
// all, the failure it throws for one file, and the exit statuses.
#pragma once
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "arguments.h"

namespace quorvel::cli {

// Exit statuses, as xmllint's users read them: 0 all went well, 1 a document is bad or the work
// on it failed (broken XML, a bad expression, an unconvertible character, a wrong password,
// nothing selected), 2 the command line or the system failed (usage, a file not found, not
// readable or not writable, an unknown charset, a network failure).
enum exit_status : int { kOk = 0, kBad = 1, kUsageOrIo = 2 };

// One file's failure. The message is complete ("FILE:LINE:COL: what" or "FILE: what"); the log,
// when not empty, is the component's error log in the rendering --log asked for.
class failure : public std::runtime_error {
public:
    failure(exit_status status, const std::string& message, std::string log = {})
        : std::runtime_error(message), status_(status), log_(std::move(log)) {}
    exit_status status() const noexcept { return status_; }
    const std::string& log() const noexcept { return log_; }

private:
    exit_status status_;
    std::string log_;
};

struct command {
    std::string_view name;
    std::string_view synopsis;  // after "quorvel NAME "
    std::string_view summary;   // one line
    std::string_view details;   // paragraphs for --help, may be empty
    std::span<const option_spec> options;  // the command's own; the common ones are added
    int (*run)(const parsed_args& args);
};

// The options every file-handling subcommand takes.
std::span<const option_spec> common_options();

}  // namespace quorvel::cli
