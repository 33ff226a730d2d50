// quorvel: the component for shell users. Each subcommand is one file (cmd_*.cpp) over the public
// C++ layer quorvel/xml.hpp; this file holds the table of them, the help texts and the entry.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "session.h"

namespace quorvel::cli {

namespace {

constexpr option_spec kCommon[] = {
    {"output", 'o', "FILE", "write to FILE (through a temporary file) instead of standard output"},
    {"in-place", 0, "", "rewrite each input file (through a temporary file and a rename)"},
    {"log", 0, "FORMAT", "on failure, print the component's error log (text, xml or html) to stderr"},
    {"jobs", 'j', "N", "work on N files at once, one document per thread"},
    {"no-progress", 0, "", "never draw the progress bar for long loads"},
    {"help", 'h', "", "print this help"},
};

const command* const kTable[] = {&kSelCommand,      &kEdCommand,      &kFmtCommand,        &kConvCommand,
                                 &kCheckCommand,    &kStatsCommand,   &kCompressCommand,   &kDecompressCommand,
                                 &kEncryptCommand,  &kDecryptCommand, &kGetCommand,        &kPostCommand};

const command* find(std::string_view name) {
    for (const command* c : kTable)
        if (c->name == name) return c;
    return nullptr;
}

std::vector<option_spec> options_of(const command& c) {
    std::vector<option_spec> all(c.options.begin(), c.options.end());
    all.insert(all.end(), std::begin(kCommon), std::end(kCommon));
    return all;
}

void print_usage(std::FILE* to) {
    std::fputs("usage: quorvel COMMAND [OPTIONS] [ARGUMENTS]\n\n"
               "XML on the command line, read and written by the QuorvelXml component.\n\ncommands:\n", to);
    for (const command* c : kTable) std::fprintf(to, "  %-12s%.*s\n", std::string(c->name).c_str(),
                                                  static_cast<int>(c->summary.size()), c->summary.data());
    std::fputs("\nquorvel COMMAND --help describes one command. FILE - is standard input.\n"
               "Exit status: 0 success, 1 bad document or failed work, 2 usage or I/O error.\n", to);
}

void print_help(const command& c) {
    std::printf("usage: quorvel %.*s %.*s\n\n%.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                static_cast<int>(c.synopsis.size()), c.synopsis.data(), static_cast<int>(c.summary.size()),
                c.summary.data());
    if (!c.details.empty()) std::printf("\n%.*s\n", static_cast<int>(c.details.size()), c.details.data());
    const std::vector<option_spec> all = options_of(c);
    std::printf("\noptions:\n%s", describe_options(all).c_str());
}

}  // namespace

std::span<const option_spec> common_options() { return kCommon; }

int main(int argc, char** argv) {
    const std::span<char* const> args(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
    if (args.empty()) {
        print_usage(stderr);
        return kUsageOrIo;
    }
    const std::string_view first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        if (args.size() > 1) {
            if (const command* c = find(args[1])) {
                print_help(*c);
                return kOk;
            }
        }
        print_usage(stdout);
        return kOk;
    }
    if (first == "--version") {
        std::printf("quorvel %s\n", xml::create().version().c_str());
        return kOk;
    }
    // For the shell completion: the command names, and a command's options.
    if (first == "--commands") {
        for (const command* c : kTable) std::printf("%.*s\n", static_cast<int>(c->name.size()), c->name.data());
        return kOk;
    }
    const command* c = find(first);
    if (!c) {
        std::fprintf(stderr, "quorvel: unknown command '%s'\n", std::string(first).c_str());
        print_usage(stderr);
        return kUsageOrIo;
    }
    const std::vector<option_spec> all = options_of(*c);
    if (args.size() == 2 && std::string_view(args[1]) == "--list-options") {
        for (const option_spec& o : all) std::printf("--%.*s\n", static_cast<int>(o.name.size()), o.name.data());
        return kOk;
    }
    try {
        const parsed_args parsed = parse_arguments(args.subspan(1), all);
        if (parsed.has("help")) {
            print_help(*c);
            return kOk;
        }
        return c->run(parsed);
    } catch (const usage_error& e) {
        std::fprintf(stderr, "quorvel %s: %s\n(quorvel %s --help lists the options)\n",
                     std::string(c->name).c_str(), e.what(), std::string(c->name).c_str());
        return kUsageOrIo;
    } catch (const failure& f) {
        std::fprintf(stderr, "quorvel: %s\n", f.what());
        if (!f.log().empty()) std::fprintf(stderr, "%s\n", f.log().c_str());
        return f.status();
    } catch (const xml::error& e) {
        std::fprintf(stderr, "quorvel: %s\n", flatten(e.what()).c_str());
        return kBad;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvel: %s\n", e.what());
        return kUsageOrIo;
    }
}

}  // namespace quorvel::cli

int main(int argc, char** argv) { return quorvel::cli::main(argc, argv); }
