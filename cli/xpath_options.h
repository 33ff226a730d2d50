// What the XPath-driven commands (sel, ed, compress, decompress, encrypt, decrypt) share: the
// namespace bindings (-N prefix=uri, -N =uri for the default namespace) and variables (--var
// name=value) given to each document before its queries, and selection with a clear message.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "arguments.h"
#include "quorvel/xml.hpp"

namespace quorvel::cli {

struct session;

struct xpath_context {
    std::vector<std::pair<std::string, std::string>> namespaces;  // prefix ("" default), uri
    std::vector<std::pair<std::string, std::string>> variables;   // name, value

    static xpath_context from(const parsed_args& args);
    // Binds the namespaces and variables on the document.
    void apply(const xml::node& doc) const;
};

// The elements the expression selects, in document order. Throws failure (status 1) naming the
// file and the component's message when the expression is bad.
std::vector<xml::node> select_or_fail(const session& s, const xml::node& doc, const std::string& xpath, const std::string& file);

// The options -N and --var, for the commands' tables.
#define QV_CLI_XPATH_OPTIONS                                                                          \
    {"namespace", 'N', "PREFIX=URI", "bind PREFIX to URI in the expressions (-N =URI: default namespace)"}, \
    {"var", 0, "NAME=VALUE", "set the variable $NAME to the string VALUE"}

}  // namespace quorvel::cli
