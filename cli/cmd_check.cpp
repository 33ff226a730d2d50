// quorvel check: loads each file with the component's tolerant parser and reports what it had to
// repair, as the component's own log records it.
#include <string>

#include "commands.h"
#include "session.h"

namespace quorvel::cli {

namespace {

// The repairs a load logged: each error entry of the log's XML rendering, with the data items
// logged after it (such as the tag an end tag closed). The log is read with the component.
std::vector<std::string> repairs_of(const xml::node& doc) {
    std::vector<std::string> out;
    const std::string log = doc.error_log_xml();
    if (log.find("<error>") == std::string::npos) return out;
    xml::node tree = xml::parse(log);
    // Depth-first, in document order, with one moving handle and no recursion.
    xml::node at = tree.root();
    int depth = 0;
    bool after_error = false;  // data items belong to the message before them
    for (;;) {
        const std::string tag(at.tag());
        if (tag == "error") {
            out.push_back(std::string(at.content()));
            after_error = true;
        } else if (tag == "info") {
            after_error = false;
        } else if (after_error && depth > 1 && at.child_count() == 0) {
            out.back() += " (" + tag + ": " + std::string(at.content()) + ")";
        }
        if (at.move_to_first_child()) {
            ++depth;
            continue;
        }
        while (depth > 0 && !at.move_to_next_sibling()) {
            at.move_to_parent();
            --depth;
        }
        if (depth == 0) break;
    }
    return out;
}

constexpr option_spec kOptions[] = {
    {"strict", 0, "", "a repaired document is an error (exit status 1)"},
    {"quiet", 'q', "", "print nothing; only the exit status tells"},
};

int run(const parsed_args& args) {
    const session s = session::from(args, args.operands, false);
    const bool strict = args.has("strict"), quiet = args.has("quiet");
    return s.for_each_file([&](const std::string& file, file_output& out) {
        const xml::node doc = s.load(file);
        const std::vector<std::string> repairs = repairs_of(doc);
        const std::string name = file == "-" ? "(standard input)" : file;
        if (!quiet)
            for (const std::string& r : repairs)
                out.warn(name + ": " + (strict ? "error: " : "repaired: ") + r + "\n");
        if (strict && !repairs.empty())
            throw failure(kBad, name + ": " + std::to_string(repairs.size()) + " repair(s) needed (--strict)",
                          s.log_of(doc));
    });
}

}  // namespace

const command kCheckCommand = {
    "check", "[OPTIONS] [FILE...]", "load each file and report what the tolerant parser repaired",
    "Loads each FILE (- or none: standard input) as every command does, then reports the repairs the\n"
    "component's parser logged while reading it: an unclosed comment, a DOCTYPE without its end, a\n"
    "start tag inside an end tag. A file with no element at all is bad XML (status 1); a file that\n"
    "cannot be read gives status 2. Nothing is printed for a file that needed no repair.",
    kOptions, run};

}  // namespace quorvel::cli
