// Reading sets written in isl notation or in the constraint notation into
// constraint rows, and writing a domain in isl notation. Formulas are
// brought to a union of conjunctions (one polyhedron each) as they are read.
#include "formats/isl_notation.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "store/printer.h"

namespace {

// ---- Tokens ----

enum class Kind { Name, Number, Symbol, End };

struct Token {
    Kind kind;
    std::string text;
    std::size_t offset;
};

struct Failure {
    ParseProblem problem;
};

using ProblemKind = ParseProblem::Kind;

[[noreturn]] void fail_at(std::size_t offset, std::string message, ProblemKind kind = ProblemKind::Syntax) {
    throw Failure{ParseProblem{offset, std::move(message), kind}};
}

// Longest first, so that "<=" is not read as "<" then "=".
constexpr const char* symbols[] = {"<<=", ">>=", "->", "<=", ">=", "!=", "<<", ">>", "&&", "||", "/\\", "\\/",
                                   "==", "[",  "]",  "{",  "}",  "(",  ")",  ",",  ";",  ":",  "+",   "-",
                                   "*",  "/",  "%",  "=",  "<",  ">",  "!",  "|"};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string shown_character(char c) {
    if (std::isprint(static_cast<unsigned char>(c))) return std::string("'") + c + "'";
    char code[8];
    std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(c));
    return std::string("'") + code + "'";
}

// isl names take '_' and primes; the constraint notation's are letters and digits.
std::vector<Token> tokenize(std::string_view text, bool isl) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (is_blank(c)) {
            ++i;
            continue;
        }
        std::size_t start = i;
        if (is_letter(c) || (isl && c == '_')) {
            while (i < text.size() &&
                   (is_letter(text[i]) || is_digit(text[i]) || (isl && (text[i] == '_' || text[i] == '\''))))
                ++i;
            tokens.push_back({Kind::Name, std::string(text.substr(start, i - start)), start});
            continue;
        }
        if (is_digit(c)) {
            while (i < text.size() && is_digit(text[i])) ++i;
            tokens.push_back({Kind::Number, std::string(text.substr(start, i - start)), start});
            continue;
        }
        bool matched = false;
        for (const char* s : symbols) {
            std::string_view symbol(s);
            if (text.substr(i, symbol.size()) == symbol) {
                tokens.push_back({Kind::Symbol, std::string(symbol), start});
                i += symbol.size();
                matched = true;
                break;
            }
        }
        if (!matched) fail_at(start, "unexpected character " + shown_character(c));
    }
    tokens.push_back({Kind::End, "", text.size()});
    return tokens;
}

// Words isl reserves: none of them can name a variable in its notation.
bool is_isl_word(std::string_view name) {
    static constexpr std::string_view words[] = {
        "and", "or",  "not",   "implies", "xor", "true", "false", "exists", "mod",    "floor",  "ceil",
        "min", "max", "infty", "NaN",     "rat", "if",   "then",  "else",   "domain", "range", "params"};
    return std::find(std::begin(words), std::end(words), name) != std::end(words);
}

// Constructs of isl that describe sets no PolyLib domain holds.
std::optional<std::string> unsupported_construct(const Token& t) {
    if (t.kind == Kind::Name) {
        if (t.text == "exists") return "existential variables ('exists')";
        if (t.text == "mod") return "remainders and strides ('mod')";
        if (t.text == "floor" || t.text == "ceil") return "integer divisions ('" + t.text + "')";
        if (t.text == "min" || t.text == "max") return "'" + t.text + "' of expressions";
        if (t.text == "infty") return "infinite bounds ('infty')";
        if (t.text == "rat") return "rational sets ('rat')";
    } else if (t.kind == Kind::Symbol) {
        if (t.text == "%") return "remainders and strides ('%')";
        if (t.text == "/") return "divisions ('/')";
        if (t.text == "->") return "relations between tuples ('->')";
        if (t.text == "<<" || t.text == ">>" || t.text == "<<=" || t.text == ">>=")
            return "lexicographic comparisons ('" + t.text + "')";
    }
    return std::nullopt;
}

// ---- Linear forms ----
// Computed wider than PolyLib's values, so that only a row's final values
// must fit in 64 bits: "i >= 9223372036854775808" is the row i - 2^63 >= 0.

using Wide = __int128;

const char* const overflow_message = "a coefficient overflows 64 bits";

Wide checked_add(Wide a, Wide b, std::size_t where) {
    Wide r;
    if (__builtin_add_overflow(a, b, &r)) fail_at(where, overflow_message, ProblemKind::Limit);
    return r;
}

Wide checked_mul(Wide a, Wide b, std::size_t where) {
    Wide r;
    if (__builtin_mul_overflow(a, b, &r)) fail_at(where, overflow_message, ProblemKind::Limit);
    return r;
}

std::int64_t narrowed(Wide v, std::size_t where) {
    if (v < INT64_MIN || v > INT64_MAX) fail_at(where, overflow_message, ProblemKind::Limit);
    return static_cast<std::int64_t>(v);
}

// coefficients · x + constant, over the variables in scope.
struct Affine {
    std::vector<Wide> coefficients;
    Wide constant = 0;

    bool constant_only() const {
        return std::all_of(coefficients.begin(), coefficients.end(), [](Wide c) { return c == 0; });
    }
};

Affine add(const Affine& a, const Affine& b, int sign, std::size_t where) {
    Affine r;
    r.coefficients.resize(std::max(a.coefficients.size(), b.coefficients.size()), 0);
    for (std::size_t k = 0; k < r.coefficients.size(); ++k) {
        Wide x = k < a.coefficients.size() ? a.coefficients[k] : 0;
        Wide y = k < b.coefficients.size() ? b.coefficients[k] : 0;
        r.coefficients[k] = checked_add(x, checked_mul(y, sign, where), where);
    }
    r.constant = checked_add(a.constant, checked_mul(b.constant, sign, where), where);
    return r;
}

Affine scale(const Affine& a, Wide k, std::size_t where) {
    Affine r = a;
    for (auto& c : r.coefficients) c = checked_mul(c, k, where);
    r.constant = checked_mul(r.constant, k, where);
    return r;
}

// form = 0 (equality) or form >= 0.
struct Atom {
    bool equality;
    Affine form;
    std::size_t offset;   // where it was written, for a value that overflows
};

using Conjunction = std::vector<Atom>;
using Disjunction = std::vector<Conjunction>;   // empty: false; one empty conjunction: true

constexpr std::size_t largest_piece_count = 10000;
constexpr int deepest_nesting = 500;

Disjunction always() { return {Conjunction{}}; }

Disjunction both(const Disjunction& a, const Disjunction& b, std::size_t where) {
    if (a.size() * b.size() > largest_piece_count)
        fail_at(where, "more than " + std::to_string(largest_piece_count) + " pieces", ProblemKind::Limit);
    Disjunction r;
    for (const Conjunction& x : a)
        for (const Conjunction& y : b) {
            Conjunction c = x;
            c.insert(c.end(), y.begin(), y.end());
            r.push_back(std::move(c));
        }
    return r;
}

Disjunction either(Disjunction a, const Disjunction& b, std::size_t where) {
    if (a.size() + b.size() > largest_piece_count)
        fail_at(where, "more than " + std::to_string(largest_piece_count) + " pieces", ProblemKind::Limit);
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Affine minus_one(const Affine& a, std::size_t where) {
    Affine r = a;
    r.constant = checked_add(r.constant, -1, where);
    return r;
}

// Over the integers, not (f >= 0) is -f - 1 >= 0 and not (f = 0) is f >= 1 or f <= -1.
Disjunction negation(const Atom& atom, std::size_t where) {
    Affine opposite = minus_one(scale(atom.form, -1, where), where);
    if (!atom.equality) return {Conjunction{Atom{false, opposite, where}}};
    return {Conjunction{Atom{false, minus_one(atom.form, where), where}}, Conjunction{Atom{false, opposite, where}}};
}

Disjunction negation(const Disjunction& d, std::size_t where) {
    Disjunction result = always();
    for (const Conjunction& c : d) {
        Disjunction any_false;
        for (const Atom& a : c) any_false = either(std::move(any_false), negation(a, where), where);
        result = both(result, any_false, where);
    }
    return result;
}

// ---- Parser ----

enum class Comparison { LessEqual, GreaterEqual, Less, Greater, Equal, NotEqual };

std::optional<Comparison> comparison_of(const Token& t) {
    if (t.kind != Kind::Symbol) return std::nullopt;
    if (t.text == "<=") return Comparison::LessEqual;
    if (t.text == ">=") return Comparison::GreaterEqual;
    if (t.text == "<") return Comparison::Less;
    if (t.text == ">") return Comparison::Greater;
    if (t.text == "=") return Comparison::Equal;
    if (t.text == "!=") return Comparison::NotEqual;
    return std::nullopt;
}

std::string shown(const Token& t) {
    if (t.kind == Kind::End) return "the end of the text";
    std::string text = t.text.size() > 24 ? t.text.substr(0, 24) + "..." : t.text;
    return "'" + text + "'";
}

class Parser {
public:
    Parser(std::vector<Token> tokens, bool isl) : tokens_(std::move(tokens)), isl_(isl) {}

    ParsedSet isl_set();
    ParsedSet declaration();

private:
    // One piece of an isl set: its tuple and its formula.
    struct Piece {
        std::string space;                     // the tuple's name, if any
        std::vector<std::string> names;        // empty for an unnamed entry
        std::vector<Atom> tuple_equalities;    // entries that are expressions
        Disjunction formula;
        std::size_t offset;
    };

    const Token& peek(std::size_t ahead = 0) const {
        return tokens_[std::min(position_ + ahead, tokens_.size() - 1)];
    }
    const Token& next() {
        const Token& t = tokens_[position_];
        if (position_ + 1 < tokens_.size()) ++position_;
        return t;
    }
    bool is(const char* text, std::size_t ahead = 0) const {
        const Token& t = peek(ahead);
        return (t.kind == Kind::Symbol || t.kind == Kind::Name) && t.text == text;
    }
    bool accept(const char* text) {
        if (!is(text)) return false;
        next();
        return true;
    }
    void expect(const char* text, const std::string& where) {
        if (!accept(text)) fail_at(peek().offset, "'" + std::string(text) + "' expected " + where + ", not " + shown(peek()));
    }
    bool is_and() const { return is("and") || is("&&") || is("/\\"); }
    bool is_or() const { return is("or") || is("||") || is("\\/"); }

    void refuse_unsupported_constructs(std::size_t from) const;
    std::vector<std::string> parameter_list();
    Piece piece();
    void tuple(Piece& piece);
    unsigned variable(const Token& t) const;

    Disjunction formula();
    Disjunction implication();
    Disjunction disjunction();
    Disjunction conjunction();
    Disjunction negated();
    Disjunction primary();
    bool parenthesis_holds_formula() const;
    Disjunction comparisons();
    std::vector<Affine> expression_list();
    Affine expression();
    Affine term();
    Affine factor();
    Affine number_value(const Token& t);

    void declaration_constraint(std::vector<Atom>& rows);
    Affine declaration_expression();
    Affine declaration_unary();

    Affine zero() const { return Affine{std::vector<Wide>(scope_names_.size(), 0), 0}; }
    Atom atom(const Affine& left, Comparison c, const Affine& right, std::size_t where) const;
    // A new variable; an unnamed one (a tuple entry given as an expression)
    // cannot be referred to.
    void enter(const std::string& name) {
        if (!name.empty()) scope_[name] = static_cast<unsigned>(scope_names_.size());
        scope_names_.push_back(name);
    }

    std::vector<Token> tokens_;
    bool isl_;
    std::size_t position_ = 0;
    int depth_ = 0;
    // The names a formula may use: parameters first, then the tuple's entries.
    std::vector<std::string> scope_names_;
    std::map<std::string, unsigned> scope_;
    unsigned parameter_count_ = 0;
};

void Parser::refuse_unsupported_constructs(std::size_t from) const {
    for (std::size_t k = from; k < tokens_.size(); ++k)
        if (std::optional<std::string> construct = unsupported_construct(tokens_[k]))
            fail_at(tokens_[k].offset, *construct, ProblemKind::Unsupported);
}

unsigned Parser::variable(const Token& t) const {
    auto found = scope_.find(t.text);
    if (found == scope_.end()) {
        if (isl_ && is_isl_word(t.text)) fail_at(t.offset, "unexpected " + shown(t));
        fail_at(t.offset, "unknown name " + shown(t));
    }
    return found->second;
}

Affine Parser::number_value(const Token& t) {
    Wide value = 0;
    for (char c : t.text) {
        if (__builtin_mul_overflow(value, 10, &value) || __builtin_add_overflow(value, c - '0', &value) ||
            value > Wide{UINT64_MAX})
            fail_at(t.offset, "the number " + shown(t) + " does not fit in 64 bits", ProblemKind::Limit);
    }
    if (!isl_ && value > 2147483647)
        fail_at(t.offset, "the number " + shown(t) + " is too large (the largest is 2147483647)", ProblemKind::Limit);
    Affine a = zero();
    a.constant = value;
    return a;
}

std::vector<std::string> Parser::parameter_list() {
    std::vector<std::string> names;
    expect("[", "before the parameters");
    if (!is("]")) {
        do {
            const Token& t = next();
            if (t.kind != Kind::Name || is_isl_word(t.text))
                fail_at(t.offset, "a parameter name expected, not " + shown(t));
            if (std::find(names.begin(), names.end(), t.text) != names.end())
                fail_at(t.offset, "the parameter " + shown(t) + " is given twice");
            names.push_back(t.text);
        } while (accept(","));
    }
    expect("]", "after the parameters");
    return names;
}

void Parser::tuple(Piece& piece) {
    if (peek().kind == Kind::Name && is("[", 1)) piece.space = next().text;
    expect("[", "to open the tuple");
    if (is("]")) {
        next();
        return;
    }
    do {
        const Token& t = peek();
        bool fresh = t.kind == Kind::Name && !scope_.count(t.text) && !is_isl_word(t.text);
        if (fresh && (is(",", 1) || is("]", 1))) {
            next();
            piece.names.push_back(t.text);
            enter(t.text);
            continue;
        }
        std::string name;
        std::size_t where = t.offset;
        if (fresh && is("=", 1)) {
            name = t.text;
            next();
            next();
        }
        Affine value = expression();
        piece.names.push_back(name);
        // The entry is a variable of its own, equal to the expression.
        enter(name);
        Affine entry = zero();
        entry.coefficients.back() = 1;
        value.coefficients.resize(scope_names_.size(), 0);
        piece.tuple_equalities.push_back(Atom{true, add(entry, value, -1, where), where});
    } while (accept(","));
    expect("]", "to close the tuple");
}

Parser::Piece Parser::piece() {
    Piece p;
    p.offset = peek().offset;
    scope_names_.resize(parameter_count_);
    scope_.clear();
    for (unsigned k = 0; k < parameter_count_; ++k) scope_[scope_names_[k]] = k;
    if (!is(":")) tuple(p);
    if (accept(":") && !is(";") && !is("}"))
        p.formula = formula();
    else
        p.formula = always();
    return p;
}

ParsedSet Parser::isl_set() {
    std::size_t brace = 0;
    while (brace < tokens_.size() && !(tokens_[brace].kind == Kind::Symbol && tokens_[brace].text == "{")) ++brace;
    refuse_unsupported_constructs(brace);
    std::vector<std::string> parameters;
    if (is("[")) {
        parameters = parameter_list();
        expect("->", "after the parameters");
    }
    scope_names_ = parameters;
    parameter_count_ = static_cast<unsigned>(parameters.size());
    expect("{", "to open the set");
    std::vector<Piece> pieces;
    if (!is("}")) {
        do pieces.push_back(piece());
        while (accept(";"));
    }
    expect("}", "to close the set");
    if (peek().kind != Kind::End) fail_at(peek().offset, "unexpected " + shown(peek()) + " after the set");

    ParsedSet set;
    set.parameters = parameter_count_;
    std::size_t dimension = pieces.empty() ? 0 : pieces.front().names.size();
    for (const Piece& p : pieces)
        if (p.names.size() != dimension || p.space != pieces.front().space)
            fail_at(p.offset, "pieces in different spaces ('" + pieces.front().space + "[...]' with " +
                                  std::to_string(dimension) + " and '" + p.space + "[...]' with " +
                                  std::to_string(p.names.size()) + " dimensions)",
                    ProblemKind::Unsupported);
    // Unnamed entries get fresh names that clash with none given.
    std::set<std::string> taken(parameters.begin(), parameters.end());
    if (!pieces.empty())
        for (const std::string& n : pieces.front().names) taken.insert(n);
    for (std::size_t k = 0; k < dimension; ++k) {
        std::string name = pieces.front().names[k];
        for (unsigned attempt = 0; name.empty(); ++attempt) {
            std::string candidate = "i" + std::to_string(k) + (attempt ? "x" + std::to_string(attempt) : "");
            if (!taken.count(candidate)) name = candidate;
        }
        taken.insert(name);
        set.names.push_back(name);
    }
    set.names.insert(set.names.end(), parameters.begin(), parameters.end());

    // Rows put the tuple's dimensions first and the parameters last.
    auto row_of = [&](const Atom& a) {
        ConstraintRow row;
        row.push_back(a.equality ? 0 : 1);
        auto coefficient = [&](std::size_t k) {
            return narrowed(k < a.form.coefficients.size() ? a.form.coefficients[k] : 0, a.offset);
        };
        for (std::size_t k = 0; k < dimension; ++k) row.push_back(coefficient(parameter_count_ + k));
        for (std::size_t k = 0; k < parameter_count_; ++k) row.push_back(coefficient(k));
        row.push_back(narrowed(a.form.constant, a.offset));
        return row;
    };
    for (const Piece& p : pieces)
        for (const Conjunction& c : p.formula) {
            if (set.pieces.size() >= largest_piece_count)
                fail_at(p.offset, "more than " + std::to_string(largest_piece_count) + " pieces", ProblemKind::Limit);
            PieceRows rows;
            for (const Atom& a : p.tuple_equalities) rows.push_back(row_of(a));
            for (const Atom& a : c) rows.push_back(row_of(a));
            set.pieces.push_back(std::move(rows));
        }
    return set;
}

Disjunction Parser::formula() {
    if (++depth_ > deepest_nesting) fail_at(peek().offset, "the formula is nested too deeply", ProblemKind::Limit);
    Disjunction d = implication();
    --depth_;
    return d;
}

// a implies b is (not a) or b; it binds loosest and groups to the right.
Disjunction Parser::implication() {
    Disjunction left = disjunction();
    if (!is("implies")) return left;
    std::size_t where = next().offset;
    if (++depth_ > deepest_nesting) fail_at(where, "the formula is nested too deeply", ProblemKind::Limit);
    Disjunction right = implication();
    --depth_;
    return either(negation(left, where), right, where);
}

Disjunction Parser::disjunction() {
    Disjunction d = conjunction();
    while (is_or()) {
        std::size_t where = next().offset;
        d = either(std::move(d), conjunction(), where);
    }
    return d;
}

Disjunction Parser::conjunction() {
    Disjunction d = negated();
    while (is_and()) {
        std::size_t where = next().offset;
        d = both(d, negated(), where);
    }
    return d;
}

Disjunction Parser::negated() {
    if (is("not") || is("!")) {
        std::size_t where = next().offset;
        if (++depth_ > deepest_nesting) fail_at(where, "the formula is nested too deeply", ProblemKind::Limit);
        Disjunction d = negation(negated(), where);
        --depth_;
        return d;
    }
    return primary();
}

// "(" opens a formula when a comparison or a logical word stands at its own
// level inside; otherwise it opens an expression, as in "(i + 1) * 2 >= 0".
bool Parser::parenthesis_holds_formula() const {
    int level = 0;
    for (std::size_t k = position_; k < tokens_.size(); ++k) {
        const Token& t = tokens_[k];
        if (t.kind == Kind::End) return false;
        if (t.kind == Kind::Symbol && t.text == "(") {
            ++level;
            continue;
        }
        if (t.kind == Kind::Symbol && t.text == ")") {
            if (--level == 0) return false;
            continue;
        }
        if (level > deepest_nesting) return true;   // refused as too deep once entered
        if (level != 1) continue;
        if (comparison_of(t) || t.text == "and" || t.text == "or" || t.text == "not" || t.text == "implies" ||
            t.text == "true" || t.text == "false" || t.text == "&&" || t.text == "||" || t.text == "!")
            return true;
    }
    return false;
}

Disjunction Parser::primary() {
    if (accept("true")) return always();
    if (accept("false")) return {};
    if (is("(") && parenthesis_holds_formula()) {
        next();
        Disjunction d = formula();
        expect(")", "to close the parenthesis");
        return d;
    }
    return comparisons();
}

Atom Parser::atom(const Affine& left, Comparison c, const Affine& right, std::size_t where) const {
    switch (c) {
    case Comparison::LessEqual: return Atom{false, add(right, left, -1, where), where};
    case Comparison::GreaterEqual: return Atom{false, add(left, right, -1, where), where};
    case Comparison::Less: return Atom{false, minus_one(add(right, left, -1, where), where), where};
    case Comparison::Greater: return Atom{false, minus_one(add(left, right, -1, where), where), where};
    case Comparison::Equal:
    case Comparison::NotEqual: break;
    }
    return Atom{true, add(left, right, -1, where), where};
}

// A chain a <= b < c is the conjunction of its adjacent comparisons, the
// rightmost first as in the constraint notation, so that one chain gives one
// domain in both; a side may be a list, "0 <= i, j <= N", compared
// element-wise.
Disjunction Parser::comparisons() {
    std::vector<std::vector<Affine>> sides{expression_list()};
    std::vector<std::pair<Comparison, std::size_t>> comparators;
    for (std::optional<Comparison> c = comparison_of(peek()); c; c = comparison_of(peek())) {
        comparators.emplace_back(*c, next().offset);
        sides.push_back(expression_list());
    }
    if (comparators.empty()) fail_at(peek().offset, "a comparison expected, not " + shown(peek()));
    Disjunction result = always();
    for (std::size_t k = comparators.size(); k-- > 0;) {
        auto [c, where] = comparators[k];
        for (const Affine& l : sides[k])
            for (const Affine& r : sides[k + 1]) {
                if (c == Comparison::NotEqual) {
                    Disjunction different = {Conjunction{atom(l, Comparison::Less, r, where)},
                                             Conjunction{atom(l, Comparison::Greater, r, where)}};
                    result = both(result, different, where);
                } else {
                    for (Conjunction& conjunction : result) conjunction.push_back(atom(l, c, r, where));
                }
            }
    }
    return result;
}

std::vector<Affine> Parser::expression_list() {
    std::vector<Affine> list{expression()};
    while (accept(",")) list.push_back(expression());
    return list;
}

Affine Parser::expression() {
    Affine e;
    if (is("-")) {
        std::size_t where = next().offset;
        e = scale(term(), -1, where);
    } else {
        accept("+");
        e = term();
    }
    while (is("+") || is("-")) {
        const Token& op = next();
        e = add(e, term(), op.text == "+" ? 1 : -1, op.offset);
    }
    return e;
}

// A product of factors, at most one of them with variables.
Affine Parser::term() {
    Affine t = factor();
    while (is("*")) {
        std::size_t where = next().offset;
        Affine f = factor();
        if (!t.constant_only() && !f.constant_only()) fail_at(where, "a product of variables is not linear");
        t = t.constant_only() ? scale(f, t.constant, where) : scale(t, f.constant, where);
    }
    return t;
}

Affine Parser::factor() {
    const Token& t = peek();
    if (t.kind == Kind::Number) {
        next();
        Affine n = number_value(t);
        if (peek().kind == Kind::Name && !is_isl_word(peek().text)) {
            const Token& name = next();
            Affine v = zero();
            v.coefficients[variable(name)] = n.constant;
            return v;
        }
        return n;
    }
    if (t.kind == Kind::Name && !is_isl_word(t.text)) {
        next();
        Affine v = zero();
        v.coefficients[variable(t)] = 1;
        return v;
    }
    if (is("(")) {
        next();
        if (++depth_ > deepest_nesting) fail_at(t.offset, "the formula is nested too deeply", ProblemKind::Limit);
        Affine e = expression();
        --depth_;
        expect(")", "to close the parenthesis");
        return e;
    }
    if (is("-")) {
        std::size_t where = next().offset;
        if (++depth_ > deepest_nesting) fail_at(t.offset, "the formula is nested too deeply", ProblemKind::Limit);
        Affine f = scale(factor(), -1, where);
        --depth_;
        return f;
    }
    fail_at(t.offset, "an expression expected, not " + shown(t));
}

// ---- The constraint notation ----
// Rows as the typed declaration writes them: a chain e1 op e2 op e3 gives
// the row of its rightmost pair first; "=" does not chain.

Affine Parser::declaration_unary() {
    const Token& t = peek();
    if (is("-")) {
        std::size_t where = next().offset;
        if (++depth_ > deepest_nesting) fail_at(where, "the constraint is nested too deeply", ProblemKind::Limit);
        Affine e = scale(declaration_unary(), -1, where);
        --depth_;
        return e;
    }
    if (t.kind == Kind::Number && is("*", 1)) {
        next();
        std::size_t where = next().offset;
        Affine n = number_value(t);
        if (++depth_ > deepest_nesting) fail_at(where, "the constraint is nested too deeply", ProblemKind::Limit);
        Affine e = scale(declaration_unary(), n.constant, where);
        --depth_;
        return e;
    }
    if (is("(")) {
        next();
        if (++depth_ > deepest_nesting) fail_at(t.offset, "the constraint is nested too deeply", ProblemKind::Limit);
        Affine e = declaration_expression();
        --depth_;
        expect(")", "to close the parenthesis");
        return e;
    }
    if (t.kind == Kind::Number) {
        next();
        Affine n = number_value(t);
        if (peek().kind != Kind::Name) return n;
        Affine v = zero();
        v.coefficients[variable(next())] = n.constant;
        return v;
    }
    if (t.kind == Kind::Name) {
        next();
        Affine v = zero();
        v.coefficients[variable(t)] = 1;
        return v;
    }
    fail_at(t.offset, "an expression expected, not " + shown(t));
}

Affine Parser::declaration_expression() {
    Affine e = declaration_unary();
    while (is("+") || is("-")) {
        const Token& op = next();
        e = add(e, declaration_unary(), op.text == "+" ? 1 : -1, op.offset);
    }
    return e;
}

void Parser::declaration_constraint(std::vector<Atom>& rows) {
    std::vector<Affine> chain{declaration_expression()};
    std::vector<std::pair<Comparison, std::size_t>> comparators;
    if (is("=")) {
        std::size_t where = next().offset;
        Affine right = declaration_expression();
        rows.push_back(atom(chain.front(), Comparison::Equal, right, where));
        return;
    }
    for (std::optional<Comparison> c = comparison_of(peek()); c && *c != Comparison::Equal && *c != Comparison::NotEqual;
         c = comparison_of(peek())) {
        comparators.emplace_back(*c, next().offset);
        chain.push_back(declaration_expression());
    }
    for (std::size_t k = comparators.size(); k-- > 0;)
        rows.push_back(atom(chain[k], comparators[k].first, chain[k + 1], comparators[k].second));
}

ParsedSet Parser::declaration() {
    ParsedSet set;
    expect("{", "to open the domain");
    if (accept("|")) {
        expect("}", "after '{ |'");
        if (peek().kind != Kind::End) fail_at(peek().offset, "unexpected " + shown(peek()) + " after the domain");
        return set;   // the 0-dimensional empty domain: no piece
    }
    do {
        const Token& t = next();
        if (t.kind != Kind::Name) fail_at(t.offset, "a variable name expected, not " + shown(t));
        if (scope_.count(t.text)) fail_at(t.offset, "the variable " + shown(t) + " is declared twice", ProblemKind::Syntax);
        enter(t.text);
    } while (accept(","));
    expect("|", "after the variables");
    std::vector<Atom> rows;
    while (!is("}")) {
        if (accept(",")) continue;
        declaration_constraint(rows);
        if (!is("}")) expect(",", "between constraints");
    }
    next();
    if (peek().kind != Kind::End) fail_at(peek().offset, "unexpected " + shown(peek()) + " after the domain");
    set.names = scope_names_;
    PieceRows piece;
    for (const Atom& a : rows) {
        ConstraintRow row{a.equality ? 0 : 1};
        for (Wide c : a.form.coefficients) row.push_back(narrowed(c, a.offset));
        row.push_back(narrowed(a.form.constant, a.offset));
        piece.push_back(std::move(row));
    }
    set.pieces.push_back(std::move(piece));
    return set;
}

ParseResult parse(std::string_view text, bool isl) {
    try {
        Parser parser(tokenize(text, isl), isl);
        return isl ? parser.isl_set() : parser.declaration();
    } catch (const Failure& f) {
        return f.problem;
    }
}

// ---- Writing ----

std::string fresh_isl_name(std::size_t k, const std::set<std::string>& taken) {
    for (unsigned attempt = 0;; ++attempt) {
        std::string candidate = "i" + std::to_string(k) + (attempt ? "x" + std::to_string(attempt) : "");
        if (!taken.count(candidate)) return candidate;
    }
}

std::vector<std::string> writable_names(const std::vector<std::string>& names, unsigned dimension) {
    std::vector<std::string> result(dimension);
    std::set<std::string> taken;
    for (unsigned k = 0; k < dimension && k < names.size(); ++k)
        if (is_isl_name(names[k]) && !taken.count(names[k])) {
            result[k] = names[k];
            taken.insert(names[k]);
        }
    for (unsigned k = 0; k < dimension; ++k)
        if (result[k].empty()) {
            result[k] = fresh_isl_name(k, taken);
            taken.insert(result[k]);
        }
    return result;
}

void append_joined(std::string& text, const std::vector<std::string>& names, std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to; ++k) {
        if (k > from) text += ", ";
        text += names[k];
    }
}

// The constraints of one polyhedron joined by "and"; "" for the universe.
std::string piece_text(const Polyhedron* p, const std::vector<std::string>& names) {
    if (emptyQ(p)) return "false";
    std::string text;
    for (unsigned r = 0; r < p->NbConstraints; ++r) {
        ConstraintRow row(p->Dimension + 2);
        for (unsigned c = 0; c < row.size(); ++c) row[c] = value_of(p->Constraint[r][c]);
        if (is_positivity_row(row)) continue;
        if (!text.empty()) text += " and ";
        text += constraint_text(p->Constraint[r], p->Dimension, names);
    }
    return text;
}

}  // namespace

ParseResult read_isl_set(std::string_view text) { return parse(text, true); }

std::string problem_text(const ParseProblem& problem) {
    if (problem.kind == ProblemKind::Unsupported) return problem.message + " cannot be held by a PolyLib domain";
    return problem.message;
}

ParseResult read_constraint_notation(std::string_view text) { return parse(text, false); }

bool is_isl_name(const std::string& name) {
    if (name.empty() || !(is_letter(name[0]) || name[0] == '_')) return false;
    for (char c : name)
        if (!(is_letter(c) || is_digit(c) || c == '_' || c == '\'')) return false;
    return !is_isl_word(name);
}

std::string isl_text(const Polyhedron* domain, const std::vector<std::string>& names, unsigned parameters) {
    unsigned dimension = domain->Dimension;
    parameters = std::min(parameters, dimension);
    std::vector<std::string> written = writable_names(names, dimension);
    std::string text;
    if (parameters > 0) {
        text += "[";
        append_joined(text, written, dimension - parameters, dimension);
        text += "] -> ";
    }
    text += "{ [";
    append_joined(text, written, 0, dimension - parameters);
    text += "]";
    std::vector<std::string> pieces;
    for (const Polyhedron* p = domain; p; p = p->next) pieces.push_back(piece_text(p, written));
    bool universe = std::any_of(pieces.begin(), pieces.end(), [](const std::string& s) { return s.empty(); });
    if (pieces.size() == 1 && !universe) {
        text += " : " + pieces.front();
    } else if (pieces.size() > 1) {
        text += " : ";
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            if (k > 0) text += " or ";
            const std::string& piece = pieces[k].empty() ? std::string("true") : pieces[k];
            bool grouped = piece.find(" and ") != std::string::npos;
            text += grouped ? "(" + piece + ")" : piece;
        }
    }
    text += " }";
    return text;
}
