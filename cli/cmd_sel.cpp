// quorvel sel: XPath queries over documents, printing the selected values (one a line), their
// XML, their count, or each value after its file's name.
#include <atomic>
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

constexpr option_spec kOptions[] = {
    {"xpath", 'e', "XPATH", "a query (repeatable); with -e every operand is a file"},
    {"value", 'v', "", "print the string-value of each selected node, one a line (the default)"},
    {"xml", 'x', "", "print the XML of each selected element"},
    {"count", 'c', "", "print the number of selected nodes"},
    {"with-filename", 'H', "", "print each result after its file's name and a colon"},
    QV_CLI_XPATH_OPTIONS,
    {"stream", 0, "", "read record by record when the query starts with a record path"},
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
    const bool with_name = args.has("with-filename");
    if (args.has("stream"))
        throw usage_error("--stream: not yet; reading record by record waits for the component's record reader");
    std::atomic<bool> any{false};
    const int status = s.for_each_file([&](const std::string& file, file_output& out) {
        const xml::node doc = s.load(file);
        context.apply(doc);
        const std::string prefix = with_name ? display_name(file) + ":" : std::string();
        std::string text;
        for (const std::string& query : queries) {
            if (m == mode::count) {
                const std::size_t n = select_or_fail(s, doc, query, file).size();
                text += prefix + std::to_string(n) + "\n";
                any = true;
                continue;
            }
            if (m == mode::xml) {
                for (const xml::node& n : select_or_fail(s, doc, query, file)) {
                    std::string x = n.xml();
                    if (!x.empty() && x.back() != '\n') x += '\n';
                    text += prefix + x;
                    any = true;
                }
                continue;
            }
            // A node-set gives each node's value; any other result (a number, a string, a
            // boolean) is evaluated and printed once.
            xml::status st;
            const std::vector<std::string> values = doc.select_values(query, st);
            if (st.ok()) {
                for (const std::string& v : values) text += prefix + v + "\n";
                if (!values.empty()) any = true;
                continue;
            }
            xml::status second;
            const xml::xpath_value v = doc.evaluate(query, second);
            if (second.failed())
                throw failure(kBad, display_name(file) + ": " + query + ": " + flatten(st.description), s.log_of(doc));
            text += prefix + value_text(v) + "\n";
            any = true;
        }
        out.print(text);
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
    "prints that value. The status is 1 when nothing was selected in any file.",
    kOptions, run};

}  // namespace quorvel::cli
