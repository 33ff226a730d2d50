// quorvel ed: edits applied to every element an XPath expression selects, in the order given on
// the command line, then the document written out (or over the file with --in-place).
#include <algorithm>
#include <string>
#include <vector>

#include "commands.h"
#include "session.h"
#include "xpath_options.h"

namespace quorvel::cli {

namespace {

struct edit {
    std::string kind;   // update, insert, append, subnode, delete, rename, attr, sort
    std::string xpath;
    std::string value, name, to, by;
    bool descending = false;
    std::vector<std::pair<std::string, std::string>> attributes;  // --with for new elements
};

bool is_edit(std::string_view o) {
    return o == "update" || o == "insert" || o == "append" || o == "subnode" || o == "delete" || o == "rename" ||
           o == "attr" || o == "sort";
}

std::pair<std::string, std::string> name_value(const std::string& text, const std::string& option) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) throw usage_error(option + " wants NAME=VALUE, not '" + text + "'");
    return {text.substr(0, eq), text.substr(eq + 1)};
}

// The edits in command-line order; each modifier belongs to the edit before it.
std::vector<edit> edits_of(const parsed_args& args) {
    std::vector<edit> out;
    for (const auto& [option, value] : args.options) {
        if (is_edit(option)) {
            out.push_back({option, value, {}, {}, {}, {}, false, {}});
            continue;
        }
        const bool modifier = option == "value" || option == "name" || option == "to" || option == "by" ||
                              option == "descending" || option == "with";
        if (!modifier) continue;
        if (out.empty()) throw usage_error("--" + option + " must follow the edit it belongs to");
        edit& e = out.back();
        if (option == "value") e.value = value;
        else if (option == "name") e.name = value;
        else if (option == "to") e.to = value;
        else if (option == "by") e.by = value;
        else if (option == "descending") e.descending = true;
        else e.attributes.push_back(name_value(value, "--with"));
    }
    for (const edit& e : out) {
        if ((e.kind == "insert" || e.kind == "append" || e.kind == "subnode") && e.name.empty())
            throw usage_error("--" + e.kind + " needs --name TAG for the new element");
        if (e.kind == "rename" && e.to.empty()) throw usage_error("--rename needs --to TAG");
        if (e.kind == "attr") name_value(e.value.empty() ? e.to : e.value, "--attr");
        if (e.kind == "sort") {
            const std::string& b = e.by;
            if (!(b.empty() || b == "tag" || b == "content" || b.starts_with("attr:") || b.starts_with("child:")))
                throw usage_error("--by takes tag, content, attr:NAME, child:TAG or child:TAG@ATTR, not '" + b + "'");
        }
    }
    if (out.empty()) throw usage_error("ed needs at least one edit (--update, --delete, ...)");
    return out;
}

void fill(const xml::node& element, const edit& e) {
    for (const auto& [n, v] : e.attributes) element.add_attribute(n, v);
}

// Puts a new element before or after x among its siblings: the siblings from that place on are
// taken out, the new element is added, and they are put back after it.
void insert_beside(const xml::node& x, const edit& e, bool after, const std::string& file) {
    const std::optional<xml::node> parent = x.parent();
    if (!parent) throw failure(kBad, display_name(file) + ": --" + e.kind + " " + e.xpath + ": the root element has no siblings");
    int index = 0;
    if (std::optional<xml::node> before = x.previous_sibling()) {
        index = 1;
        while (before->move_to_previous_sibling()) ++index;
    }
    const int from = after ? index + 1 : index;
    const int count = parent->child_count();
    std::vector<xml::node> moved;
    moved.reserve(static_cast<std::size_t>(count - from));
    for (int k = from; k < count; ++k) moved.push_back(parent->extract_child(from));
    fill(parent->new_child(e.name, e.value), e);
    for (const xml::node& m : moved) parent->add_child_tree(m);
}

void sort_children(const xml::node& n, const edit& e) {
    const bool ascending = !e.descending;
    if (e.by.empty() || e.by == "tag") n.sort_by_tag(ascending);
    else if (e.by == "content") n.sort_by_content(ascending);
    else if (e.by.starts_with("attr:")) n.sort_by_attribute(e.by.substr(5), ascending);
    else {
        const std::string child = e.by.substr(6);
        const std::size_t at = child.find('@');
        if (at == std::string::npos) n.sort_records_by_content(child, ascending);
        else n.sort_records_by_attribute(child.substr(0, at), child.substr(at + 1), ascending);
    }
}

void apply(const session& s, const xml::node& doc, const edit& e, const std::string& file) {
    std::vector<xml::node> nodes = select_or_fail(s, doc, e.xpath, file);
    if (e.kind == "insert" || e.kind == "append" || e.kind == "delete") {
        // Last first: each change then leaves the places of the matches before it as they were,
        // and a match inside another's subtree is changed before its ancestor moves.
        std::reverse(nodes.begin(), nodes.end());
    }
    for (const xml::node& n : nodes) {
        if (e.kind == "update") n.set_content(e.value);
        else if (e.kind == "delete") n.remove_from_tree();
        else if (e.kind == "rename") n.set_tag(e.to);
        else if (e.kind == "attr") {
            const auto [name, value] = name_value(e.value.empty() ? e.to : e.value, "--attr");
            n.update_attribute(name, value);
        } else if (e.kind == "subnode") fill(n.new_child(e.name, e.value), e);
        else if (e.kind == "insert") insert_beside(n, e, false, file);
        else if (e.kind == "append") insert_beside(n, e, true, file);
        else if (e.kind == "sort") sort_children(n, e);
    }
}

constexpr option_spec kOptions[] = {
    {"update", 'u', "XPATH", "set the content of each selected element to --value"},
    {"insert", 'i', "XPATH", "add a new element (--name, --value, --with) before each selected one"},
    {"append", 'a', "XPATH", "add a new element after each selected one"},
    {"subnode", 's', "XPATH", "add a new element as the last child of each selected one"},
    {"delete", 'd', "XPATH", "remove each selected element with its subtree"},
    {"rename", 'r', "XPATH", "give each selected element the tag --to"},
    {"attr", 0, "XPATH", "set the attribute --value NAME=VALUE on each selected element"},
    {"sort", 0, "XPATH", "sort the children of each selected element --by tag|content|attr:NAME|child:TAG"},
    {"value", 0, "TEXT", "the content for --update and new elements, NAME=VALUE for --attr"},
    {"name", 0, "TAG", "the tag of a new element"},
    {"with", 0, "NAME=VALUE", "an attribute of a new element (repeatable)"},
    {"to", 0, "TAG", "the new tag for --rename"},
    {"by", 0, "KEY", "the sort key: tag (default), content, attr:NAME, child:TAG, child:TAG@ATTR"},
    {"descending", 0, "", "sort in descending order"},
    QV_CLI_XPATH_OPTIONS,
};

int run(const parsed_args& args) {
    const std::vector<edit> edits = edits_of(args);
    const session s = session::from(args, args.operands, true);
    const xpath_context context = xpath_context::from(args);
    return s.for_each_file([&](const std::string& file, file_output& out) {
        const xml::node doc = s.load(file);
        context.apply(doc);
        for (const edit& e : edits) apply(s, doc, e, file);
        out.write_document(doc, file);
    });
}

}  // namespace

const command kEdCommand = {
    "ed", "EDIT... [OPTIONS] [FILE...]", "edit documents with XPath-selected changes",
    "Applies the edits in the order given to every FILE (- or none: standard input) and writes the\n"
    "result to standard output, to -o FILE, or over each file with --in-place. Each edit selects\n"
    "elements with an XPath expression; the options after it (--value, --name, --with, --to, --by,\n"
    "--descending) belong to it. Examples:\n"
    "  quorvel ed --update '//price' --value 0 shop.xml\n"
    "  quorvel ed --subnode '/catalog' --name book --value Rain --with id=bk9 --in-place shop.xml\n"
    "  quorvel ed --sort '/catalog' --by attr:id --descending shop.xml",
    kOptions, run};

}  // namespace quorvel::cli
