#include "xpath/xpath_parser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "tree/tag_pool.h"
#include "xpath/xpath_lexer.h"

namespace quorvel::xpath {

Program::~Program() {
    for (auto& e : nodes) {
        for (Step& s : e->steps) CommonStrings::release(s.test.tag);
    }
}

bool isReverseAxis(Axis a) {
    return a == Axis::Ancestor || a == Axis::AncestorOrSelf || a == Axis::Preceding || a == Axis::PrecedingSibling;
}

namespace {

struct FunctionInfo {
    const char* name;
    Function id;
    int minArgs;
    int maxArgs;  // -1: any number
    ValueType type;
};

constexpr FunctionInfo kFunctions[] = {
    {"last", Function::Last, 0, 0, ValueType::Number},
    {"position", Function::Position, 0, 0, ValueType::Number},
    {"count", Function::Count, 1, 1, ValueType::Number},
    {"id", Function::Id, 1, 1, ValueType::NodeSet},
    {"local-name", Function::LocalName, 0, 1, ValueType::String},
    {"namespace-uri", Function::NamespaceUri, 0, 1, ValueType::String},
    {"name", Function::Name, 0, 1, ValueType::String},
    {"string", Function::String, 0, 1, ValueType::String},
    {"concat", Function::Concat, 2, -1, ValueType::String},
    {"starts-with", Function::StartsWith, 2, 2, ValueType::Boolean},
    {"contains", Function::Contains, 2, 2, ValueType::Boolean},
    {"substring-before", Function::SubstringBefore, 2, 2, ValueType::String},
    {"substring-after", Function::SubstringAfter, 2, 2, ValueType::String},
    {"substring", Function::Substring, 2, 3, ValueType::String},
    {"string-length", Function::StringLength, 0, 1, ValueType::Number},
    {"normalize-space", Function::NormalizeSpace, 0, 1, ValueType::String},
    {"translate", Function::Translate, 3, 3, ValueType::String},
    {"boolean", Function::Boolean, 1, 1, ValueType::Boolean},
    {"not", Function::Not, 1, 1, ValueType::Boolean},
    {"true", Function::True, 0, 0, ValueType::Boolean},
    {"false", Function::False, 0, 0, ValueType::Boolean},
    {"lang", Function::Lang, 1, 1, ValueType::Boolean},
    {"number", Function::Number, 0, 1, ValueType::Number},
    {"sum", Function::Sum, 1, 1, ValueType::Number},
    {"floor", Function::Floor, 1, 1, ValueType::Number},
    {"ceiling", Function::Ceiling, 1, 1, ValueType::Number},
    {"round", Function::Round, 1, 1, ValueType::Number},
};

struct AxisInfo {
    const char* name;
    Axis axis;
};
constexpr AxisInfo kAxes[] = {
    {"ancestor", Axis::Ancestor}, {"ancestor-or-self", Axis::AncestorOrSelf}, {"attribute", Axis::Attribute},
    {"child", Axis::Child}, {"descendant", Axis::Descendant}, {"descendant-or-self", Axis::DescendantOrSelf},
    {"following", Axis::Following}, {"following-sibling", Axis::FollowingSibling}, {"namespace", Axis::Namespace},
    {"parent", Axis::Parent}, {"preceding", Axis::Preceding}, {"preceding-sibling", Axis::PrecedingSibling},
    {"self", Axis::Self}};

// Thrown inside the parser only; compileProgram turns it into a CompileError.
struct Failure {
    CompileError error;
};

class Parser {
public:
    Parser(std::string_view text, std::vector<Token>& tokens, Program& program)
        : text_(text), tokens_(tokens), p_(program) {}

    Expr* parseAll() {
        Expr* e = parseExpr();
        if (peek() != Tok::End) syntax(tokenText(Tok::End));
        return e;
    }

private:
    Tok peek() const { return tokens_[at_].kind; }
    const Token& token() const { return tokens_[at_]; }
    const Token& take() { return tokens_[at_ < tokens_.size() - 1 ? at_++ : at_]; }
    bool accept(Tok t) {
        if (peek() != t) return false;
        ++at_;
        return true;
    }
    void expect(Tok t) {
        if (!accept(t)) syntax(tokenText(t));
    }
    size_t column(size_t offset) const {
        // 1-based position in characters (UTF-8 continuation bytes do not count).
        size_t col = 1;
        for (size_t i = 0; i < offset && i < text_.size(); ++i) {
            if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) ++col;
        }
        return col;
    }
    [[noreturn]] void syntax(const std::string& expected) {
        Failure f;
        f.error.message = "XPath syntax error";
        f.error.expected = expected;
        f.error.position = column(token().position);
        throw f;
    }
    [[noreturn]] void fail(const char* message, std::string name) {
        Failure f;
        f.error.message = message;
        f.error.name = std::move(name);
        f.error.position = column(token().position);
        throw f;
    }
    struct Nest {
        explicit Nest(Parser& p) : parser(p) {
            if (++parser.depth_ > kMaxNesting) parser.fail("XPath expression nested too deeply", std::to_string(kMaxNesting));
        }
        ~Nest() { --parser.depth_; }
        Parser& parser;
    };

    Expr* chain(Expr* first, std::vector<Expr*>&& rest, std::vector<Op>&& ops, ValueType type) {
        if (rest.empty()) return first;
        Expr* e = p_.make(ExprKind::Chain);
        e->type = type;
        e->args.push_back(first);
        for (Expr* r : rest) e->args.push_back(r);
        e->ops = std::move(ops);
        for (Expr* a : e->args) {
            e->readsPosition |= a->readsPosition;
            e->readsSize |= a->readsSize;
        }
        return e;
    }

    // One precedence level: operands from next, separated by the operators match() recognises.
    template <class Next, class Match>
    Expr* level(Next next, Match match, ValueType type) {
        Expr* first = (this->*next)();
        std::vector<Expr*> rest;
        std::vector<Op> ops;
        Op op;
        while (match(peek(), op)) {
            ++at_;
            ops.push_back(op);
            rest.push_back((this->*next)());
        }
        return chain(first, std::move(rest), std::move(ops), type);
    }

    Expr* parseExpr() {
        return level(&Parser::parseAnd, [](Tok t, Op& op) { op = Op::Or; return t == Tok::Or; }, ValueType::Boolean);
    }
    Expr* parseAnd() {
        return level(&Parser::parseEquality, [](Tok t, Op& op) { op = Op::And; return t == Tok::And; }, ValueType::Boolean);
    }
    Expr* parseEquality() {
        return level(&Parser::parseRelational, [](Tok t, Op& op) {
            op = t == Tok::Eq ? Op::Eq : Op::Ne;
            return t == Tok::Eq || t == Tok::Ne;
        }, ValueType::Boolean);
    }
    Expr* parseRelational() {
        return level(&Parser::parseAdditive, [](Tok t, Op& op) {
            switch (t) {
                case Tok::Lt: op = Op::Lt; return true;
                case Tok::Le: op = Op::Le; return true;
                case Tok::Gt: op = Op::Gt; return true;
                case Tok::Ge: op = Op::Ge; return true;
                default: return false;
            }
        }, ValueType::Boolean);
    }
    Expr* parseAdditive() {
        return level(&Parser::parseMultiplicative, [](Tok t, Op& op) {
            op = t == Tok::Plus ? Op::Add : Op::Sub;
            return t == Tok::Plus || t == Tok::Minus;
        }, ValueType::Number);
    }
    Expr* parseMultiplicative() {
        return level(&Parser::parseUnary, [](Tok t, Op& op) {
            switch (t) {
                case Tok::Multiply: op = Op::Mul; return true;
                case Tok::Div: op = Op::Div; return true;
                case Tok::Mod: op = Op::Mod; return true;
                default: return false;
            }
        }, ValueType::Number);
    }
    Expr* parseUnary() {
        int negations = 0;
        while (accept(Tok::Minus)) ++negations;
        Expr* operand = parseUnion();
        if (negations == 0) return operand;
        Expr* e = p_.make(ExprKind::Negate);
        e->type = ValueType::Number;
        e->negations = negations;
        e->args.push_back(operand);
        e->readsPosition = operand->readsPosition;
        e->readsSize = operand->readsSize;
        return e;
    }
    Expr* parseUnion() {
        Expr* first = parsePath();
        if (peek() != Tok::Pipe) return first;
        std::vector<Expr*> rest;
        std::vector<Op> ops;
        while (accept(Tok::Pipe)) {
            ops.push_back(Op::Union);
            rest.push_back(parsePath());
        }
        return chain(first, std::move(rest), std::move(ops), ValueType::NodeSet);
    }

    bool startsStep(Tok t) const {
        return t == Tok::Dot || t == Tok::DotDot || t == Tok::At || t == Tok::NameTest || t == Tok::NodeType ||
               t == Tok::AxisName;
    }

    Expr* parsePath() {
        Tok t = peek();
        if (t == Tok::Variable || t == Tok::LParen || t == Tok::Literal || t == Tok::Number || t == Tok::FunctionName) {
            Expr* primary = parsePrimary();
            if (peek() != Tok::LBracket && peek() != Tok::Slash && peek() != Tok::SlashSlash) return primary;
            Expr* e = p_.make(ExprKind::Path);
            e->type = ValueType::NodeSet;
            e->filter = primary;
            e->readsPosition = primary->readsPosition;
            e->readsSize = primary->readsSize;
            while (peek() == Tok::LBracket) e->filterPredicates.push_back(parsePredicate());
            if (accept(Tok::Slash)) {
                parseRelative(*e);
            } else if (accept(Tok::SlashSlash)) {
                addDescendantOrSelf(*e);
                parseRelative(*e, true);
            }
            return e;
        }
        Expr* e = p_.make(ExprKind::Path);
        e->type = ValueType::NodeSet;
        if (accept(Tok::Slash)) {
            e->absolute = true;
            if (startsStep(peek())) parseRelative(*e);
            return e;
        }
        if (accept(Tok::SlashSlash)) {
            e->absolute = true;
            addDescendantOrSelf(*e);
            parseRelative(*e, true);
            return e;
        }
        if (!startsStep(t)) syntax("location step or expression");
        parseRelative(*e);
        return e;
    }

    void addDescendantOrSelf(Expr& path) {
        Step s;
        s.test.id = p_.testCount++;
        s.axis = Axis::DescendantOrSelf;
        s.test.kind = TestKind::Node;
        path.steps.push_back(std::move(s));
    }

    // afterSlashSlash: the path's last step is the descendant-or-self step of a `//`.
    void parseRelative(Expr& path, bool afterSlashSlash = false) {
        path.steps.push_back(parseStep());
        if (afterSlashSlash) mergeDescendantStep(path);
        for (;;) {
            if (accept(Tok::Slash)) {
                path.steps.push_back(parseStep());
            } else if (accept(Tok::SlashSlash)) {
                addDescendantOrSelf(path);
                path.steps.push_back(parseStep());
                mergeDescendantStep(path);
            } else {
                return;
            }
        }
    }

    // `//x[p]` is descendant-or-self::node()/child::x[p]; when no predicate reads positions,
    // that is descendant::x[p], one walk that yields document order without sorting.
    static void mergeDescendantStep(Expr& path) {
        size_t n = path.steps.size();
        Step& last = path.steps[n - 1];
        if (last.axis != Axis::Child) return;
        for (const Expr* p : last.predicates) {
            if (p->readsPosition || p->type == ValueType::Number || p->anyType) return;
        }
        last.axis = Axis::Descendant;
        path.steps.erase(path.steps.end() - 2);
    }

    Step parseStep() {
        Step s;
        s.test.id = p_.testCount++;
        if (accept(Tok::Dot)) {
            s.axis = Axis::Self;
            return s;
        }
        if (accept(Tok::DotDot)) {
            s.axis = Axis::Parent;
            return s;
        }
        if (accept(Tok::At)) {
            s.axis = Axis::Attribute;
        } else if (peek() == Tok::AxisName) {
            std::string_view name = take().text;
            auto it = std::find_if(std::begin(kAxes), std::end(kAxes), [&](const AxisInfo& a) { return name == a.name; });
            if (it == std::end(kAxes)) {
                --at_;
                fail("Unknown XPath axis", std::string(name));
            }
            s.axis = it->axis;
            expect(Tok::ColonColon);
        }
        parseNodeTest(s);
        while (peek() == Tok::LBracket) s.predicates.push_back(parsePredicate());
        if (!s.predicates.empty()) s.positionLimit = positionLimitOf(s.predicates.front());
        return s;
    }

    void parseNodeTest(Step& s) {
        if (peek() == Tok::NodeType) {
            std::string_view type = take().text;
            expect(Tok::LParen);
            if (type == "processing-instruction" && peek() == Tok::Literal) take();
            expect(Tok::RParen);
            s.test.kind = type == "node" ? TestKind::Node : type == "text" ? TestKind::Text
                        : type == "comment" ? TestKind::Comment : TestKind::ProcessingInstruction;
            return;
        }
        if (peek() != Tok::NameTest) syntax("node test");
        std::string_view name = take().text;
        if (name == "*") {
            s.test.kind = TestKind::AnyName;
            return;
        }
        size_t colon = name.find(':');
        if (colon != std::string_view::npos) {
            s.test.prefix = std::string(name.substr(0, colon));
            auto it = std::find(p_.prefixes.begin(), p_.prefixes.end(), s.test.prefix);
            s.test.prefixSlot = static_cast<int>(it - p_.prefixes.begin());
            if (it == p_.prefixes.end()) p_.prefixes.push_back(s.test.prefix);
            if (name.substr(colon + 1) == "*") {
                s.test.kind = TestKind::PrefixAny;
                return;
            }
            s.test.kind = TestKind::Name;
            s.test.local = std::string(name.substr(colon + 1));
            // An element may carry the local name alone, in a default namespace equal to the
            // prefix's.
            if (s.axis != Axis::Attribute && s.axis != Axis::Namespace) s.test.tag = CommonStrings::intern(s.test.local);
            return;
        }
        s.test.kind = TestKind::Name;
        s.test.local = std::string(name);
        if (s.axis != Axis::Attribute && s.axis != Axis::Namespace) {
            p_.unprefixedElementTests = true;
            s.test.tag = CommonStrings::intern(s.test.local);
        }
    }

    Expr* parsePredicate() {
        Nest nest(*this);
        expect(Tok::LBracket);
        Expr* e = parseExpr();
        expect(Tok::RBracket);
        return e;
    }

    // The limit a first predicate puts on positions, 0 when it keeps later ones too.
    static uint32_t positionLimitOf(const Expr* pred) {
        auto whole = [](double d, uint32_t& out) {
            if (!(d >= 1 && d < 1e9) || d != std::floor(d)) return false;
            out = static_cast<uint32_t>(d);
            return true;
        };
        uint32_t n = 0;
        if (pred->kind == ExprKind::Number) return whole(pred->number, n) ? n : 0;
        if (pred->kind != ExprKind::Chain || pred->args.size() != 2) return 0;
        const Expr* lhs = pred->args[0];
        const Expr* rhs = pred->args[1];
        if (lhs->kind != ExprKind::Call || lhs->function != Function::Position || rhs->kind != ExprKind::Number) return 0;
        double d = rhs->number;
        switch (pred->ops[0]) {
            case Op::Eq: return whole(d, n) ? n : 0;
            case Op::Le: return d >= 1 && d < 1e9 ? static_cast<uint32_t>(std::floor(d)) : 0;
            case Op::Lt: return d > 1 && d < 1e9 ? static_cast<uint32_t>(std::ceil(d) - 1) : 0;
            default: return 0;
        }
    }

    Expr* parsePrimary() {
        const Token& t = take();
        switch (t.kind) {
            case Tok::Variable: {
                Expr* e = p_.make(ExprKind::Variable);
                e->text = std::string(t.text);
                e->type = ValueType::NodeSet;
                e->anyType = true;
                if (std::find(p_.variables.begin(), p_.variables.end(), e->text) == p_.variables.end()) {
                    p_.variables.push_back(e->text);
                }
                return e;
            }
            case Tok::LParen: {
                Nest nest(*this);
                Expr* e = parseExpr();
                expect(Tok::RParen);
                return e;
            }
            case Tok::Literal: {
                Expr* e = p_.make(ExprKind::Literal);
                e->text = std::string(t.text);
                e->type = ValueType::String;
                return e;
            }
            case Tok::Number: {
                Expr* e = p_.make(ExprKind::Number);
                e->type = ValueType::Number;
                e->number = stringToNumber(t.text);
                return e;
            }
            case Tok::FunctionName: return parseCall(t);
            default:
                --at_;
                syntax("expression");
        }
    }

    Expr* parseCall(const Token& name) {
        auto it = std::find_if(std::begin(kFunctions), std::end(kFunctions),
                               [&](const FunctionInfo& f) { return name.text == f.name; });
        if (it == std::end(kFunctions)) {
            --at_;
            fail("Unknown XPath function", std::string(name.text));
        }
        Nest nest(*this);
        Expr* e = p_.make(ExprKind::Call);
        e->function = it->id;
        e->type = it->type;
        expect(Tok::LParen);
        if (peek() != Tok::RParen) {
            e->args.push_back(parseExpr());
            while (accept(Tok::Comma)) e->args.push_back(parseExpr());
        }
        expect(Tok::RParen);
        int n = static_cast<int>(e->args.size());
        if (n < it->minArgs || (it->maxArgs >= 0 && n > it->maxArgs)) {
            --at_;
            fail("Wrong number of arguments to XPath function", it->name);
        }
        for (Expr* a : e->args) {
            e->readsPosition |= a->readsPosition;
            e->readsSize |= a->readsSize;
        }
        if (it->id == Function::Position) e->readsPosition = true;
        if (it->id == Function::Last) e->readsPosition = e->readsSize = true;
        // Functions that read the context node when called without argument need no flag: the
        // node is always at hand.
        return e;
    }

    std::string_view text_;
    std::vector<Token>& tokens_;
    Program& p_;
    size_t at_ = 0;
    int depth_ = 0;
};

}  // namespace

std::unique_ptr<Program> compileProgram(std::string_view text, CompileError& err) {
    auto program = std::make_unique<Program>();
    program->text = std::string(text);
    std::vector<Token> tokens;
    LexError lexError;
    if (!tokenize(program->text, tokens, lexError)) {
        err.message = lexError.message == "Unexpected character" ? "XPath syntax error" : "XPath syntax error";
        err.expected = lexError.expected;
        size_t col = 1;
        for (size_t i = 0; i < lexError.position && i < text.size(); ++i) {
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++col;
        }
        err.position = col;
        return nullptr;
    }
    Parser parser(program->text, tokens, *program);
    try {
        program->root = parser.parseAll();
    } catch (Failure& f) {
        err = std::move(f.error);
        return nullptr;
    }
    return program;
}

}  // namespace quorvel::xpath
