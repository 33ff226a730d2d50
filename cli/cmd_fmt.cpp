// quorvel fmt: writes documents indented (one element a line, a unit of indentation per level)
// or in the component's compact form.
#include <string>

#include "commands.h"
#include "session.h"

namespace quorvel::cli {

namespace {

constexpr option_spec kOptions[] = {
    {"indent", 0, "N", "indent each level by N spaces (default 2)"},
    {"tab", 0, "", "indent each level by a tab"},
    {"compact", 0, "", "write the component's compact form, without indentation"},
};

int run(const parsed_args& args) {
    const session s = session::from(args, args.operands, true);
    const long spaces = args.number("indent", 2, 1, 16);
    if (args.has("compact") && (args.has("tab") || args.has("indent")))
        throw usage_error("--compact excludes --indent and --tab");
    const bool compact = args.has("compact");
    const std::string unit = args.has("tab") ? std::string("\t") : std::string(static_cast<std::size_t>(spaces), ' ');
    return s.for_each_file([&](const std::string& file, file_output& out) {
        const xml::node doc = s.load(file);
        out.write_document(doc, file, compact ? std::string() : unit, !compact);
    });
}

}  // namespace

const command kFmtCommand = {
    "fmt", "[OPTIONS] [FILE...]", "indent documents, or write them compact",
    "Writes each FILE (- or none: standard input) with one element a line, each level indented by\n"
    "--indent N spaces (default 2) or a --tab; an element with content and no children stays on\n"
    "one line. --compact writes the component's compact form instead. The document keeps its\n"
    "declared encoding.",
    kOptions, run};

}  // namespace quorvel::cli
