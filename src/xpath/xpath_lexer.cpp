#include "xpath/xpath_lexer.h"

namespace quorvel::xpath {

const char* tokenText(Tok t) {
    static const char* const names[] = {
        "end of expression", "'('", "')'", "'['", "']'", "'.'", "'..'", "'@'", "','", "'::'", "'/'", "'//'",
        "'|'", "'+'", "'-'", "'='", "'!='", "'<'", "'<='", "'>'", "'>='", "'*'", "'and'", "'or'", "'mod'", "'div'",
        "name test", "node type", "function name", "axis name", "literal", "number", "variable reference"};
    return names[static_cast<int>(t)];
}

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
// Bytes of multi-byte UTF-8 characters count as name characters.
bool isNameStart(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 0x80;
}
bool isNameChar(char c) { return isNameStart(c) || isDigit(c) || c == '-' || c == '.'; }

// Whether a token before a `*` or a name makes it an operator (it can end an operand).
bool endsOperand(Tok t) {
    switch (t) {
        case Tok::RParen: case Tok::RBracket: case Tok::Dot: case Tok::DotDot: case Tok::NameTest:
        case Tok::NodeType: case Tok::Literal: case Tok::Number: case Tok::Variable:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool tokenize(std::string_view s, std::vector<Token>& out, LexError& err) {
    out.clear();
    size_t i = 0, n = s.size();
    auto push = [&](Tok k, size_t at, std::string_view text = {}) { out.push_back({k, at, text}); };
    auto afterOperand = [&]() { return !out.empty() && endsOperand(out.back().kind); };
    auto fail = [&](size_t at, const char* expected, const char* message) {
        err.position = at;
        err.expected = expected;
        err.message = message;
        return false;
    };
    auto ncname = [&](size_t at) {
        size_t j = at;
        while (j < n && isNameChar(s[j])) ++j;
        return j;
    };
    while (true) {
        while (i < n && isSpace(s[i])) ++i;
        if (i >= n) break;
        size_t at = i;
        char c = s[i];
        switch (c) {
            case '(': push(Tok::LParen, at); ++i; continue;
            case ')': push(Tok::RParen, at); ++i; continue;
            case '[': push(Tok::LBracket, at); ++i; continue;
            case ']': push(Tok::RBracket, at); ++i; continue;
            case '@': push(Tok::At, at); ++i; continue;
            case ',': push(Tok::Comma, at); ++i; continue;
            case '|': push(Tok::Pipe, at); ++i; continue;
            case '+': push(Tok::Plus, at); ++i; continue;
            case '-': push(Tok::Minus, at); ++i; continue;
            case '=': push(Tok::Eq, at); ++i; continue;
            case '/':
                if (i + 1 < n && s[i + 1] == '/') {
                    push(Tok::SlashSlash, at);
                    i += 2;
                } else {
                    push(Tok::Slash, at);
                    ++i;
                }
                continue;
            case '!':
                if (i + 1 < n && s[i + 1] == '=') {
                    push(Tok::Ne, at);
                    i += 2;
                    continue;
                }
                return fail(at, "'!='", "Unexpected character");
            case '<':
            case '>': {
                bool eq = i + 1 < n && s[i + 1] == '=';
                push(c == '<' ? (eq ? Tok::Le : Tok::Lt) : (eq ? Tok::Ge : Tok::Gt), at);
                i += eq ? 2 : 1;
                continue;
            }
            case ':':
                if (i + 1 < n && s[i + 1] == ':') {
                    push(Tok::ColonColon, at);
                    i += 2;
                    continue;
                }
                return fail(at, "'::'", "Unexpected character");
            case '"':
            case '\'': {
                size_t end = s.find(c, i + 1);
                if (end == std::string_view::npos) return fail(n, c == '"' ? "'\"'" : "\"'\"", "Unterminated literal");
                push(Tok::Literal, at, s.substr(i + 1, end - i - 1));
                i = end + 1;
                continue;
            }
            case '$': {
                size_t j = i + 1;
                if (j >= n || !isNameStart(s[j])) return fail(j, "variable name", "Expected a variable name");
                j = ncname(j);
                if (j + 1 < n && s[j] == ':' && isNameStart(s[j + 1])) j = ncname(j + 1);
                push(Tok::Variable, at, s.substr(i + 1, j - i - 1));
                i = j;
                continue;
            }
            case '*':
                push(afterOperand() ? Tok::Multiply : Tok::NameTest, at, s.substr(i, 1));
                ++i;
                continue;
            default:
                break;
        }
        if (c == '.') {
            if (i + 1 < n && s[i + 1] == '.') {
                push(Tok::DotDot, at);
                i += 2;
                continue;
            }
            if (!(i + 1 < n && isDigit(s[i + 1]))) {
                push(Tok::Dot, at);
                ++i;
                continue;
            }
        }
        if (isDigit(c) || c == '.') {
            size_t j = i;
            while (j < n && isDigit(s[j])) ++j;
            if (j < n && s[j] == '.') {
                ++j;
                while (j < n && isDigit(s[j])) ++j;
            }
            push(Tok::Number, at, s.substr(i, j - i));
            i = j;
            continue;
        }
        if (!isNameStart(c)) return fail(at, "expression", "Unexpected character");
        size_t j = ncname(i);
        std::string_view name = s.substr(i, j - i);
        if (afterOperand()) {
            Tok op = name == "and" ? Tok::And : name == "or" ? Tok::Or : name == "mod" ? Tok::Mod
                   : name == "div" ? Tok::Div : Tok::End;
            if (op == Tok::End) return fail(at, "operator", "Expected an operator");
            push(op, at);
            i = j;
            continue;
        }
        // A prefix: p:* or p:local (a `::` after the name is an axis instead).
        if (j + 1 < n && s[j] == ':' && s[j + 1] != ':') {
            if (s[j + 1] == '*') {
                push(Tok::NameTest, at, s.substr(i, j + 2 - i));
                i = j + 2;
                continue;
            }
            if (!isNameStart(s[j + 1])) return fail(j + 1, "local name", "Expected a local name after the prefix");
            j = ncname(j + 1);
            name = s.substr(i, j - i);
        }
        size_t k = j;
        while (k < n && isSpace(s[k])) ++k;
        Tok kind = Tok::NameTest;
        if (k < n && s[k] == '(') {
            kind = (name == "comment" || name == "text" || name == "processing-instruction" || name == "node")
                       ? Tok::NodeType : Tok::FunctionName;
        } else if (k + 1 < n && s[k] == ':' && s[k + 1] == ':') {
            kind = Tok::AxisName;
        }
        push(kind, at, name);
        i = j;
    }
    push(Tok::End, n);
    return true;
}

}  // namespace quorvel::xpath
