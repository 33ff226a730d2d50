// Tokens of an XPath 1.0 expression, with the Recommendation's disambiguation: after a token
// that can end an operand, `*` multiplies and an NCName is an operator name; a name before `(`
// is a function or node type, before `::` an axis.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::xpath {

enum class Tok : uint8_t {
    End, LParen, RParen, LBracket, RBracket, Dot, DotDot, At, Comma, ColonColon, Slash, SlashSlash,
    Pipe, Plus, Minus, Eq, Ne, Lt, Le, Gt, Ge, Multiply, And, Or, Mod, Div,
    NameTest,      // `*`, `p:*`, a QName
    NodeType,      // comment, text, processing-instruction, node (before `(`)
    FunctionName,  // any other name before `(`
    AxisName,      // a name before `::`
    Literal, Number, Variable
};
const char* tokenText(Tok t);

struct Token {
    Tok kind = Tok::End;
    size_t position = 0;  // byte offset of the token's first byte
    std::string_view text;  // the name, the literal's inside, the variable's name, the number's digits
};

struct LexError {
    size_t position = 0;
    std::string expected;
    std::string message;
};

// Tokens of text ending with one End; false with err filled at the first bad character.
bool tokenize(std::string_view text, std::vector<Token>& out, LexError& err);

}  // namespace quorvel::xpath
