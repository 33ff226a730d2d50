// quorvel conv: rewrites a document in another encoding with its declaration updated. The
// component writes every document in its declared encoding but silently leaves out what the
// encoding cannot hold; the tool finds those characters first (by writing them through the
// component and reading them back), refuses them with their line, column and code point, or
// with --fallback=charref writes them as character references.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "commands.h"
#include "session.h"

namespace quorvel::cli {

namespace {

std::string utf8_of(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (c >> 18));
        s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

// Walks UTF-8 text a character at a time; invalid bytes come out as U+FFFD, one byte each.
template <class F>
void each_char(std::string_view text, F&& f) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        char32_t c = 0xFFFD;
        std::size_t n = 1;
        if (b < 0x80) {
            c = b;
        } else if (b >= 0xC2 && b < 0xF5) {
            n = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            if (i + n <= text.size()) {
                c = b & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
                for (std::size_t k = 1; k < n; ++k) {
                    const auto t = static_cast<unsigned char>(text[i + k]);
                    if ((t & 0xC0) != 0x80) {
                        c = 0xFFFD;
                        n = 1;
                        break;
                    }
                    c = (c << 6) | (t & 0x3F);
                }
            } else {
                n = 1;
            }
        }
        f(c, i, n);
        i += n;
    }
}

// Charsets that hold every character: nothing needs probing.
bool holds_everything(std::string name) {
    for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::erase(name, '-');
    std::erase(name, '_');
    return name == "utf8" || name.starts_with("utf16") || name.starts_with("utf32") || name == "ucs2" ||
           name == "ucs4" || name == "unicode" || name == "unicodefffe" || name == "gb18030";
}

// "UTF-16" as the component writes it: little-endian units, to which a mark must be added.
bool wants_byte_order_mark(std::string name) {
    for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::erase(name, '-');
    std::erase(name, '_');
    return name == "utf16" || name == "ucs2" || name == "unicode";
}

// Whether the component knows the charset: it logs "... Charset not recognized" when a document
// declared in it is read.
bool known_charset(const std::string& charset) {
    if (holds_everything(charset)) return true;
    if (charset.empty() || charset.find_first_of("\"<>&'") != std::string::npos) return false;
    const std::string probe = "<?xml version=\"1.0\" encoding=\"" + charset + "\"?><p>a</p>";
    xml::node doc = xml::create();
    xml::status st;
    const bool loaded = doc.load(std::as_bytes(std::span(probe.data(), probe.size())), st);
    return loaded && doc.error_log_text().find("not recognized") == std::string::npos;
}

// The characters of `wanted` the charset cannot hold, found by writing them through the
// component (one element each) in that charset and reading the file back.
std::set<char32_t> refused_by(const std::string& charset, const std::set<char32_t>& wanted) {
    std::set<char32_t> refused;
    if (wanted.empty()) return refused;
    xml::node probe = xml::create();
    probe.set_tag("p");
    std::vector<char32_t> order(wanted.begin(), wanted.end());
    for (char32_t c : order) probe.add_child("c", utf8_of(c));
    probe.set_encoding(charset);
    const std::string temp = temporary_file("probe");
    xml::node back = xml::create();
    xml::status st;
    probe.save_file(temp, st);
    const bool loaded = st.ok() && back.load_file(temp, st);
    ::unlink(temp.c_str());
    if (!loaded) throw failure(kUsageOrIo, "cannot write or read back text in " + charset);
    int i = 0;
    for (const xml::node& c : back.children()) {
        if (static_cast<std::size_t>(i) >= order.size()) break;
        if (std::string(c.content()) != utf8_of(order[static_cast<std::size_t>(i)]))
            refused.insert(order[static_cast<std::size_t>(i)]);
        ++i;
    }
    for (std::size_t k = static_cast<std::size_t>(i); k < order.size(); ++k) refused.insert(order[k]);
    return refused;
}

struct occurrence {
    long line, column;
    char32_t c;
};

std::vector<occurrence> find_refused(std::string_view text, const std::set<char32_t>& refused) {
    std::vector<occurrence> out;
    long line = 1, column = 0;
    each_char(text, [&](char32_t c, std::size_t, std::size_t) {
        if (c == '\n') {
            ++line;
            column = 0;
            return;
        }
        ++column;
        if (c >= 0x80 && refused.count(c)) out.push_back({line, column, c});
    });
    return out;
}

std::string describe(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return std::string(code) + " '" + utf8_of(c) + "'";
}

// Replaces each refused character in tags, contents and attribute values by a marker the
// output's bytes are later searched for: \x01, the code point in decimal, \x02. Tags cannot take
// a character reference; one holding a refused character is an error.
void mark_refused(const xml::node& doc, const std::set<char32_t>& refused, const std::string& name) {
    const auto marked = [&](std::string_view text, bool& changed) {
        std::string out;
        changed = false;
        each_char(text, [&](char32_t c, std::size_t at, std::size_t n) {
            if (c >= 0x80 && refused.count(c)) {
                out += '\x01' + std::to_string(static_cast<unsigned long>(c)) + '\x02';
                changed = true;
            } else {
                out.append(text.substr(at, n));
            }
        });
        return out;
    };
    xml::node at = doc.root();
    int depth = 1;
    for (;;) {
        bool changed = false;
        const std::string tag(at.tag());
        marked(tag, changed);
        if (changed) throw failure(kBad, name + ": the tag <" + tag + "> cannot be written in this charset");
        const std::string content(at.content());
        std::string text = marked(content, changed);
        if (changed) at.set_content(text);
        const int n = at.attribute_count();
        for (int k = 0; k < n; ++k) {
            const std::string value = at.attribute_value(k);
            text = marked(value, changed);
            if (changed) {
                // Attributes are set by name; with repeated names the first one is the one changed.
                at.update_attribute(at.attribute_name(k), text);
            }
        }
        if (at.move_to_first_child()) {
            ++depth;
            continue;
        }
        while (depth > 1 && !at.move_to_next_sibling()) {
            at.move_to_parent();
            --depth;
        }
        if (depth == 1) break;
    }
}

std::string unmark(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t m = bytes.find('\x01', i);
        if (m == std::string_view::npos) break;
        const std::size_t e = bytes.find('\x02', m);
        out.append(bytes.substr(i, m - i));
        if (e == std::string_view::npos) {
            i = m;
            break;
        }
        out += "&#";
        out.append(bytes.substr(m + 1, e - m - 1));
        out += ';';
        i = e + 1;
    }
    out.append(bytes.substr(i));
    return out;
}

constexpr option_spec kOptions[] = {
    {"to", 't', "CHARSET", "the encoding to write (required), e.g. iso-8859-1, windows-1252, utf-16"},
    {"fallback", 0, "MODE", "charref: write characters the charset lacks as &#N; (each is still listed)"},
};

int run(const parsed_args& args) {
    const session s = session::from(args, args.operands, true);
    const std::string charset = args.value("to");
    if (charset.empty()) throw usage_error("conv needs --to CHARSET");
    const std::string fallback = args.value("fallback");
    if (!fallback.empty() && fallback != "charref") throw usage_error("--fallback takes charref, not '" + fallback + "'");
    if (!known_charset(charset)) throw failure(kUsageOrIo, "unknown charset '" + charset + "'");
    return s.for_each_file([&](const std::string& file, file_output& out) {
        const std::string name = display_name(file);
        const std::string input = read_file(file);
        xml::node doc = xml::create();
        xml::status st;
        if (!doc.load(std::as_bytes(std::span(input.data(), input.size())), st))
            throw failure(kBad, name + ": not XML: the parser found no element", s.log_of(doc));
        // Positions are given in the input when it is UTF-8 text, else in the document's text.
        std::string declared = doc.encoding();
        for (char& ch : declared) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        const bool input_is_utf8 = declared.empty() || declared == "utf-8" || declared == "utf8";
        const std::string text = input_is_utf8 ? input : doc.xml();
        std::set<char32_t> wanted;
        if (!holds_everything(charset))
            each_char(text, [&](char32_t c, std::size_t, std::size_t) {
                if (c >= 0x80) wanted.insert(c);
            });
        const std::set<char32_t> refused = refused_by(charset, wanted);
        const std::vector<occurrence> found = find_refused(text, refused);
        const std::string where = input_is_utf8 ? name : name + " (as UTF-8)";
        for (const occurrence& o : found)
            out.warn(where + ":" + std::to_string(o.line) + ":" + std::to_string(o.column) + ": " + describe(o.c) +
                     (fallback.empty() ? " cannot be written in " : " written as a character reference in ") +
                     charset + "\n");
        if (!found.empty() && fallback.empty())
            throw failure(kBad, name + ": " + std::to_string(found.size()) + " character(s) cannot be written in " +
                                    charset + " (--fallback=charref writes them as references)");
        doc.set_encoding(charset);
        if (refused.empty() && !wants_byte_order_mark(charset)) {
            out.write_document(doc, file);
            return;
        }
        if (!refused.empty()) {
            if (text.find('\x01') != std::string::npos)
                throw failure(kBad, name + ": holds U+0001, which --fallback=charref uses as its marker");
            mark_refused(doc, refused, name);
        }
        // Written through the component to a temporary file, then the markers become references.
        session to_bytes = s;
        to_bytes.in_place = false;
        to_bytes.output.clear();
        file_output gather(to_bytes, false);
        gather.write_document(doc, file);
        // The component writes UTF-16 without a byte-order mark; a reader (the component's own
        // loader among them) needs one to know the text is UTF-16 at all.
        const std::string bom = wants_byte_order_mark(charset) ? std::string("\xFF\xFE") : std::string();
        out.write_bytes(bom + (refused.empty() ? gather.take_text() : unmark(gather.take_text())), file);
    });
}

}  // namespace

const command kConvCommand = {
    "conv", "--to CHARSET [OPTIONS] [FILE...]", "rewrite documents in another encoding",
    "Writes each FILE in CHARSET, with the declaration saying so. A character CHARSET cannot hold\n"
    "is refused: each is listed as FILE:LINE:COLUMN with its code point, nothing is written, and\n"
    "the status is 1. With --fallback=charref such characters are written as &#N; and still listed.\n"
    "Lines and columns count characters in the input (in its UTF-8 form when it is not UTF-8).",
    kOptions, run};

}  // namespace quorvel::cli
