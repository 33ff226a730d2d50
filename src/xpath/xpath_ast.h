// A compiled expression: a tree of Expr owned by its Program, made by the parser and only read
// afterwards. Same-precedence binary operators form one chain node, so an expression's depth
// grows only with its nesting (parentheses, predicates, arguments), which the parser bounds.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "xpath/xpath_value.h"

namespace quorvel {
class TagEntry;
}

namespace quorvel::xpath {

enum class Axis : uint8_t {
    Ancestor, AncestorOrSelf, Attribute, Child, Descendant, DescendantOrSelf, Following,
    FollowingSibling, Namespace, Parent, Preceding, PrecedingSibling, Self
};
bool isReverseAxis(Axis a);

enum class TestKind : uint8_t { Name, AnyName, PrefixAny, Node, Text, Comment, ProcessingInstruction };

struct Expr;

struct NodeTest {
    TestKind kind = TestKind::Node;
    std::string prefix;  // Name and PrefixAny; empty when the test has none
    std::string local;   // Name
    int prefixSlot = -1;  // index into Program::prefixes, -1 without prefix
    int id = 0;           // this test's number in its program, 0..Program::testCount-1
    // Name without prefix: the pooled tag of that name (one reference held by the program),
    // none when the pool lacked it at compile time, so no element could carry it then.
    TagEntry* tag = nullptr;
};

struct Step {
    Axis axis = Axis::Child;
    NodeTest test;
    std::vector<Expr*> predicates;
    // When the first predicate keeps only positions 1..limit along the axis (`[3]`,
    // `[position() < 10]`, `[position() = 2]`), limit; else 0. The axis is not walked past it.
    uint32_t positionLimit = 0;
};

enum class Op : uint8_t { Or, And, Eq, Ne, Lt, Le, Gt, Ge, Add, Sub, Mul, Div, Mod, Union };

enum class Function : uint8_t {
    Last, Position, Count, Id, LocalName, NamespaceUri, Name, String, Concat, StartsWith, Contains,
    SubstringBefore, SubstringAfter, Substring, StringLength, NormalizeSpace, Translate, Boolean,
    Not, True, False, Lang, Number, Sum, Floor, Ceiling, Round
};

enum class ExprKind : uint8_t { Chain, Negate, Literal, Number, Variable, Call, Path };

struct Expr {
    ExprKind kind = ExprKind::Literal;
    ValueType type = ValueType::String;  // the type the expression always yields
    bool anyType = false;                // a variable: its type is known only when bound
    // Chain: operands, with ops[i] between args[i] and args[i + 1]. Call: the arguments.
    // Negate: the operand (negated `negations` times).
    std::vector<Expr*> args;
    std::vector<Op> ops;
    int negations = 0;
    double number = 0;   // Number
    std::string text;    // Literal; Variable: the name
    Function function = Function::True;
    // Path: a filter expression (a primary with predicates) or the context or root, then steps.
    Expr* filter = nullptr;
    std::vector<Expr*> filterPredicates;
    bool absolute = false;
    std::vector<Step> steps;
    // Whether evaluating this expression reads the context position or size (position() or
    // last() outside nested steps' predicates), and the size alone.
    bool readsPosition = false;
    bool readsSize = false;
};

// What a compiled expression holds: its nodes, the prefixes and variables it names (resolved at
// each evaluation against the bindings), and its text.
struct Program {
    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program();

    std::string text;
    Expr* root = nullptr;
    std::vector<std::unique_ptr<Expr>> nodes;
    std::vector<std::string> prefixes;
    std::vector<std::string> variables;
    int testCount = 0;
    // Whether some element name test lacks a prefix (the default binding applies to it).
    bool unprefixedElementTests = false;

    Expr* make(ExprKind kind) {
        nodes.push_back(std::make_unique<Expr>());
        nodes.back()->kind = kind;
        return nodes.back().get();
    }
};

}  // namespace quorvel::xpath
