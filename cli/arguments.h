// Command-line arguments of quorvel: each subcommand declares its options in a table, from which
// the parser, --help, and the shell completion's word lists are all made.
#pragma once
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::cli {

// A mistake on the command line: exit status 2, the message and a pointer to --help.
class usage_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct option_spec {
    std::string_view name;   // long form, without the dashes
    char short_name;         // 0 when there is none
    std::string_view value;  // the value's name in help ("N", "FILE"); empty for a flag
    std::string_view help;
};

// The options in the order given (so that ed applies its edits in that order) and the operands.
class parsed_args {
public:
    bool has(std::string_view name) const;
    // The last value given for the option, or `fallback`.
    std::string value(std::string_view name, std::string_view fallback = {}) const;
    std::vector<std::string> values(std::string_view name) const;
    // REQUIRES: the option takes an integer; a usage_error names it otherwise.
    long number(std::string_view name, long fallback, long min, long max) const;

    std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for a flag)
    std::vector<std::string> operands;
};

// Parses argv against the options: --name VALUE, --name=VALUE, -x VALUE, -xVALUE, grouped short
// flags, "--" to end the options, and "-" as an operand (standard input).
parsed_args parse_arguments(std::span<char* const> args, std::span<const option_spec> options);

// The options' part of a help text, one aligned line each.
std::string describe_options(std::span<const option_spec> options);

}  // namespace quorvel::cli
