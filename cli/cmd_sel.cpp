// quorvel sel: XPath queries over documents, printing the selected values (one a line), their
// XML, their count, or each value after its file's name.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>
#include <variant>

#include "commands.h"
#include "session.h"
#include "xpath_options.h"

namespace quorvel::cli {

namespace {

// A number as XPath's string() writes it: integers without a point, NaN and the infinities by
// name, others in the shortest form that reads back, never with an exponent.
std::string number_text(double d) {
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0) return "0";
    if (std::fabs(d) < 1e15 && d == std::trunc(d)) return std::to_string(static_cast<long long>(d));
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed);
    if (ec != std::errc()) return std::to_string(d);
    return std::string(buffer, end);
}

std::string value_text(const xml::xpath_value& v) {
    if (const double* d = std::get_if<double>(&v)) return number_text(*d);
    if (const bool* b = std::get_if<bool>(&v)) return *b ? "true" : "false";
    return std::get<std::string>(v);
}

enum class mode { values, xml, count };

struct results {
    std::string text;
    long long count = 0;  // selected nodes, for -c
    bool any = false;     // anything selected or evaluated
};

// One query with `context` as the context node, its results added to `into`.
void query_into(const session& s, const xml::node& context, const std::string& query, mode m,
                const std::string& prefix, const std::string& file, results& into) {
    if (m == mode::count) {
        into.count += static_cast<long long>(select_or_fail(s, context, query, file).size());
        return;
    }
    if (m == mode::xml) {
        for (const xml::node& n : select_or_fail(s, context, query, file)) {
            std::string x = n.xml();
            if (!x.empty() && x.back() != '\n') x += '\n';
            into.text += prefix + x;
            into.any = true;
        }
        return;
    }
    // A node-set gives each node's value; any other result (a number, a string, a boolean) is
    // evaluated and printed once.
    xml::status st;
    const std::vector<std::string> values = context.select_values(query, st);
    if (st.ok()) {
        for (const std::string& v : values) into.text += prefix + v + "\n";
        if (!values.empty()) into.any = true;
        return;
    }
    xml::status second;
    const xml::xpath_value v = context.evaluate(query, second);
    if (second.failed())
        throw failure(kBad, display_name(file) + ": " + query + ": " + flatten(st.description), s.log_of(context));
    into.text += prefix + value_text(v) + "\n";
    into.any = true;
}

bool name_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Splits a query that starts with a record path ("//name" or "/a/b/c", plain names only) into
// that path and the rest as a query on each record: "//m:t[@x]/m:g" gives "//m:t" and
// "self::node()[@x]/m:g". Of an absolute path of plain steps the record is the deepest one.
bool split_record_path(const std::string& query, std::string& path, std::string& rest) {
    std::size_t i = 0;
    const auto name_at = [&](std::size_t at) {
        std::size_t e = at;
        while (e < query.size() && name_char(query[e])) ++e;
        if (query.substr(at, e - at).find("::") != std::string::npos) return at;  // an axis
        return e;
    };
    if (query.starts_with("//")) {
        const std::size_t e = name_at(2);
        if (e == 2) return false;
        i = e;
    } else if (query.starts_with("/")) {
        while (i < query.size() && query[i] == '/') {
            const std::size_t e = name_at(i + 1);
            if (e == i + 1) break;
            i = e;
        }
        if (i == 0) return false;
    } else {
        return false;
    }
    path = query.substr(0, i);
    rest = "self::node()" + query.substr(i);
    return true;
}

// A record is a tree of its own, so the namespace declarations of the elements around it in the
// file are no longer in scope for the query; they are copied onto it from its ancestors (the
// reader keeps their tags and attributes), nearest first, so the names mean what they meant.
void declare_inherited_namespaces(const xml::node& record) {
    const std::string path = record.record_path();
    const int levels = static_cast<int>(std::count(path.begin(), path.end(), '/'));
    for (int level = levels - 1; level >= 0; --level) {
        xml::status st;
        const std::optional<xml::node> ancestor = record.record_ancestor(level, st);
        if (!ancestor) continue;
        const int n = ancestor->attribute_count();
        for (int k = 0; k < n; ++k) {
            const std::string name = ancestor->attribute_name(k);
            if (name != "xmlns" && !name.starts_with("xmlns:")) continue;
            bool declared = false;
            const int own = record.attribute_count();
            for (int j = 0; j < own && !declared; ++j) declared = record.attribute_name(j) == name;
            if (!declared) record.add_attribute(name, ancestor->attribute_value(k));
        }
    }
}

// sel --stream: each record of the file read alone, the rest of the query asked of it.
void stream_file(const session& s, const std::string& file, const std::vector<std::string>& queries,
                 const xpath_context& context, mode m, const std::string& prefix, results& into) {
    for (const std::string& query : queries) {
        std::string path, rest;
        if (!split_record_path(query, path, rest))
            throw usage_error("--stream: '" + query + "' does not start with a record path (//name or /a/b)");
        results one;
        xml::status st;
        auto range = file == "-" ? xml::records(STDIN_FILENO, path, context.namespaces, st)
                                 : xml::records(file, path, context.namespaces, st);
        const bool whole = rest == "self::node()";
        for (const xml::node& record : range) {
            if (whole && m == mode::count) {  // the records themselves: no query to ask
                ++one.count;
                continue;
            }
            if (whole && m == mode::xml) {
                one.text += prefix + record.xml();
                one.any = true;
                continue;
            }
            declare_inherited_namespaces(record);
            context.apply(record);
            query_into(s, record, rest, m, prefix, file, one);
        }
        if (st.failed())
            throw failure(kBad, display_name(file) + ": " + path + ": " +
                                    (st.description.empty() ? std::string("the records cannot be read")
                                                            : flatten(st.description)),
                          s.log_of(range.reader()));
        into.text += one.text;
        into.count += one.count;
        into.any = into.any || one.any;
        if (m == mode::count) into.text += prefix + std::to_string(one.count) + "\n";
    }
}

constexpr option_spec kOptions[] = {
    {"xpath", 'e', "XPATH", "a query (repeatable); with -e every operand is a file"},
    {"value", 'v', "", "print the string-value of each selected node, one a line (the default)"},
    {"xml", 'x', "", "print the XML of each selected element"},
    {"count", 'c', "", "print the number of selected nodes"},
    {"with-filename", 'H', "", "print each result after its file's name and a colon"},
    QV_CLI_XPATH_OPTIONS,
    {"stream", 0, "", "read record by record (the query starts with a record path, //name or /a/b)"},
};

int run(const parsed_args& args) {
    std::vector<std::string> queries = args.values("xpath");
    std::vector<std::string> files = args.operands;
    if (queries.empty()) {
        if (files.empty()) throw usage_error("sel needs an XPath expression");
        queries.push_back(files.front());
        files.erase(files.begin());
    }
    const session s = session::from(args, files, false);
    const xpath_context context = xpath_context::from(args);
    const mode m = args.has("count") ? mode::count : args.has("xml") ? mode::xml : mode::values;
    const bool with_name = args.has("with-filename"), stream = args.has("stream");
    std::atomic<bool> any{false};
    const int status = s.for_each_file([&](const std::string& file, file_output& out) {
        const std::string prefix = with_name ? display_name(file) + ":" : std::string();
        results r;
        if (stream) {
            stream_file(s, file, queries, context, m, prefix, r);
        } else {
            const xml::node doc = s.load(file);
            context.apply(doc);
            for (const std::string& query : queries) {
                const long long before = r.count;
                query_into(s, doc, query, m, prefix, file, r);
                if (m == mode::count) r.text += prefix + std::to_string(r.count - before) + "\n";
            }
        }
        if (r.any || m == mode::count) any = true;
        out.print(r.text);
    });
    if (status != kOk) return status;
    return any ? kOk : kBad;  // as grep: nothing selected anywhere is status 1
}

}  // namespace

const command kSelCommand = {
    "sel", "[OPTIONS] XPATH [FILE...]", "print what an XPath expression selects",
    "Evaluates XPATH (or each -e XPATH) on every FILE (- or none: standard input) and prints each\n"
    "selected node's string-value on a line of its own (-v), each selected element's XML (-x), or\n"
    "the number of selected nodes (-c). An expression that gives a number, a string or a boolean\n"
    "prints that value. The status is 1 when nothing was selected in any file.\n"
    "--stream reads a file record by record, never whole: the query must start with a record path\n"
    "(//name, or /a/b/c of plain names), and the rest of it is asked of each record alone.",
    kOptions, run};

}  // namespace quorvel::cli
