// The common options of one quorvel run, and the loop over its files: one document per file,
// several files at once with -j, each file's output and messages kept together and printed in
// the order the files were named.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "arguments.h"
#include "command.h"
#include "quorvel/xml.hpp"

namespace quorvel::cli {

class file_output;

struct session {
    std::vector<std::string> files;  // the operands that name inputs ("-" standard input)
    std::string output;              // -o FILE; empty: standard output
    bool in_place = false;
    std::string log_format;          // --log: "", "text", "xml" or "html"
    int jobs = 1;
    bool progress = false;

    // REQUIRES: files are the operands left after the command's own (none means "-").
    // writes_documents: the command writes a document per file, so -o takes one file only.
    static session from(const parsed_args& args, std::vector<std::string> files, bool writes_documents);

    // Loads one input into a new document: "-" reads standard input. Throws failure: the file
    // cannot be read (status 2), or holds no XML element (status 1).
    xml::node load(const std::string& path) const;

    // The component's log of the handle in the --log rendering, empty without --log.
    std::string log_of(const xml::node& n) const;

    // Runs work(file, out) for every file, at most `jobs` at a time, one document per thread.
    // What each writes to `out` is printed in file order; a failure is reported for its file and
    // the others go on. The result is the worst status.
    int for_each_file(const std::function<void(const std::string&, file_output&)>& work) const;
};

// Where one file's results go: standard output (directly when files are done one at a time,
// else gathered and printed in order), or a file with -o or --in-place.
class file_output {
public:
    file_output(const session& s, bool direct) : session_(s), direct_(direct) {}
    // Text for standard output (or -o FILE for the commands that print rather than rewrite).
    void print(std::string_view text);
    // A message for standard error, printed with this file's output.
    void warn(std::string_view text);
    // Writes the document for the input `input`: over it with --in-place, to -o FILE, else to
    // standard output. The file is written whole to a temporary file beside it and renamed, so a
    // failure never leaves half a file. indent: empty for the compact form, else one level's unit.
    void write_document(const xml::node& doc, const std::string& input, const std::string& indent = {},
                        bool indented = false);
    // Bytes as they are, to the same places as write_document.
    void write_bytes(std::string_view bytes, const std::string& input);

    void flush();  // prints what was gathered
    std::string take_text() { return std::exchange(out_, {}); }
    const session& owner() const { return session_; }

private:
    void emit(std::string_view bytes);
    const session& session_;
    bool direct_;
    std::string out_, err_;
    bool printed_to_file_ = false;
};

// Replaces `target` by a file written with `write(temporary path)`: the temporary file lives in
// the target's folder, gets the target's permissions when it exists, and is renamed over it only
// when write returned without throwing. Throws failure (status 2) when the folder is not writable.
void replace_file(const std::string& target, const std::function<void(const std::string&)>& write);

// Reads a whole file ("-" standard input). Throws failure (status 2).
std::string read_file(const std::string& path);

// A component's multi-line error summary on one line: "(GetURL) Failed to connect url: ...".
std::string flatten(std::string text);
// The name of an input in messages: "(standard input)" for "-".
std::string display_name(const std::string& path);

// A new empty file in $TMPDIR (else /tmp) named quorvel-<stem>-XXXXXX; its path. Throws failure
// (status 2) when none can be made. The caller removes it.
std::string temporary_file(const char* stem);

// The message for errno about a path, e.g. "a.xml: No such file or directory".
std::string io_message(const std::string& path, int error);

}  // namespace quorvel::cli
