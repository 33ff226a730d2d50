#include "xpath_options.h"

#include "command.h"
#include "session.h"

namespace quorvel::cli {

namespace {

std::pair<std::string, std::string> split_binding(const std::string& text, const char* option) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) throw usage_error(std::string(option) + " wants NAME=VALUE, not '" + text + "'");
    return {text.substr(0, eq), text.substr(eq + 1)};
}

}  // namespace

xpath_context xpath_context::from(const parsed_args& args) {
    xpath_context c;
    for (const std::string& v : args.values("namespace")) {
        auto binding = split_binding(v, "-N");
        if (binding.second.empty()) throw usage_error("-N " + v + ": the namespace URI is empty");
        c.namespaces.push_back(std::move(binding));
    }
    for (const std::string& v : args.values("var")) {
        auto binding = split_binding(v, "--var");
        if (binding.first.empty()) throw usage_error("--var " + v + ": the variable has no name");
        c.variables.push_back(std::move(binding));
    }
    return c;
}

void xpath_context::apply(const xml::node& doc) const {
    for (const auto& [prefix, uri] : namespaces) doc.set_xpath_namespace(prefix, uri);
    for (const auto& [name, value] : variables) doc.set_xpath_variable(name, value);
}

std::vector<xml::node> select_or_fail(const session& s, const xml::node& doc, const std::string& xpath, const std::string& file) {
    xml::status st;
    std::vector<xml::node> nodes = doc.select(xpath, st);
    if (st.failed()) throw failure(kBad, display_name(file) + ": " + xpath + ": " + flatten(st.description),
                                 s.log_of(doc));
    return nodes;
}

}  // namespace quorvel::cli
