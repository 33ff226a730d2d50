// The XPath 1.0 grammar over the lexer's tokens, into a Program. Recursive descent whose depth
// is bounded: nesting (parentheses, predicates, function arguments, path filters) deeper than
// kMaxNesting is refused with an error, and operator chains are built iteratively, so no
// expression can exhaust the stack here or in the evaluator.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "xpath/xpath_ast.h"

namespace quorvel::xpath {

inline constexpr int kMaxNesting = 64;

struct CompileError {
    std::string message;   // "XPath syntax error", "Unknown function", ...
    std::string name;      // the function, for those errors
    std::string expected;  // for syntax errors: what was expected
    size_t position = 0;   // 1-based character position of the offending token
};

// Compiles text; null with err filled when it is not a valid expression.
std::unique_ptr<Program> compileProgram(std::string_view text, CompileError& err);

}  // namespace quorvel::xpath
