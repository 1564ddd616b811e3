// Ehrhart polynomials checked by counting: for each parametric polytope the
// printed validity domains and polynomials are read back, the polynomial of
// the domain that holds a parameter value is evaluated there, and the result
// is compared with a brute-force count of the integer points.
#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <sstream>

#include "tests/calculus/integer_points.h"
#include "tests/support/run_program.h"

namespace {

struct Rational {
    __int128 num = 0;
    __int128 den = 1;
};

__int128 gcd128(__int128 a, __int128 b) {
    if (a < 0) a = -a;
    if (b < 0) b = -b;
    while (b) {
        __int128 t = a % b;
        a = b;
        b = t;
    }
    return a;
}

Rational normal(Rational r) {
    if (r.den < 0) r = {-r.num, -r.den};
    __int128 g = gcd128(r.num, r.den);
    if (g > 1) r = {r.num / g, r.den / g};
    return r;
}

Rational operator+(Rational a, Rational b) { return normal({a.num * b.den + b.num * a.den, a.den * b.den}); }
Rational operator*(Rational a, Rational b) { return normal({a.num * b.num, a.den * b.den}); }

// Evaluates PolyLib's printed form of an Ehrhart quasi-polynomial:
//   value    := rational | "(" term { "+" term } ")" | "[" value { "," value } "]_" name
//   term     := value [ "*" name [ "^" digits ] ]
// A periodic number [ v0, v1, ... ]_N stands for v(N mod period).
class QuasiPolynomial {
public:
    QuasiPolynomial(std::string text, std::map<std::string, std::int64_t> parameters)
        : text_(std::move(text)), parameters_(std::move(parameters)) {}

    Rational evaluate() {
        Rational v = value();
        skip_blanks();
        if (at_ < text_.size()) fail("trailing text");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& why) {
        throw std::runtime_error(why + " at " + std::to_string(at_) + " in '" + text_ + "'");
    }
    void skip_blanks() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    bool next_is(char c) {
        skip_blanks();
        return at_ < text_.size() && text_[at_] == c;
    }
    void expect(char c) {
        if (!next_is(c)) fail(std::string("expected '") + c + "'");
        ++at_;
    }
    std::int64_t digits() {
        skip_blanks();
        std::size_t start = at_;
        while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
        if (start == at_) fail("expected digits");
        return std::stoll(text_.substr(start, at_ - start));
    }
    std::int64_t parameter() {
        skip_blanks();
        std::size_t start = at_;
        while (at_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[at_]))) ++at_;
        std::string name = text_.substr(start, at_ - start);
        auto it = parameters_.find(name);
        if (it == parameters_.end()) fail("unknown parameter '" + name + "'");
        return it->second;
    }
    Rational rational() {
        bool negative = next_is('-');
        if (negative) ++at_;
        Rational r{digits(), 1};
        if (next_is('/')) {
            ++at_;
            r.den = digits();
        }
        if (negative) r.num = -r.num;
        return normal(r);
    }
    Rational value() {
        if (next_is('(')) return polynomial();
        if (next_is('[')) return periodic();
        return rational();
    }
    Rational polynomial() {
        expect('(');
        Rational sum;
        for (;;) {
            Rational term = value();
            if (next_is('*')) {
                ++at_;
                std::int64_t base = parameter();
                std::int64_t power = 1;
                if (next_is('^')) {
                    ++at_;
                    power = digits();
                }
                for (std::int64_t k = 0; k < power; ++k) term = term * Rational{base, 1};
            }
            sum = sum + term;
            if (next_is('+')) {
                ++at_;
                continue;
            }
            expect(')');
            return sum;
        }
    }
    Rational periodic() {
        expect('[');
        std::vector<Rational> values{value()};
        while (next_is(',')) {
            ++at_;
            values.push_back(value());
        }
        expect(']');
        expect('_');
        std::int64_t n = parameter();
        std::int64_t period = static_cast<std::int64_t>(values.size());
        return values[static_cast<std::size_t>(((n % period) + period) % period)];
    }

    std::string text_;
    std::map<std::string, std::int64_t> parameters_;
    std::size_t at_ = 0;
};

struct ValidityPiece {
    ConvexSet domain;
    std::string polynomial;
};

// Reads one "constraint lines, blank line, quasi-polynomial" block per
// validity domain, the blocks ending with the separator line of dashes.
std::vector<ValidityPiece> read_enumeration(const std::string& output, const std::vector<std::string>& parameters) {
    const std::string separator = "\n-----------------------------------\n";
    std::vector<ValidityPiece> pieces;
    std::size_t start = 0, end;
    while ((end = output.find(separator, start)) != std::string::npos) {
        std::istringstream block(output.substr(start, end - start));
        ValidityPiece piece;
        std::string line, rest;
        while (std::getline(block, line) && !line.empty()) {
            bool equality = line.find(">=") == std::string::npos;
            std::size_t relation = line.find(equality ? "=" : ">=");
            if (relation == std::string::npos) throw std::runtime_error("not a constraint: '" + line + "'");
            LinearConstraint c{equality, std::vector<std::int64_t>(parameters.size(), 0), 0};
            read_linear_sum(line.substr(0, relation), parameters, c.coefficients, c.constant);
            piece.domain.push_back(c);
        }
        while (std::getline(block, line)) rest += line + "\n";
        piece.polynomial = rest;
        pieces.push_back(piece);
        start = end + separator.size();
    }
    return pieces;
}

struct EhrhartCase {
    const char* name;
    const char* domain;    // constraint notation; the last dimensions are the parameters
    const char* context;   // constraint notation over the parameters
    std::int64_t parameter_low, parameter_high;
    std::int64_t variable_low, variable_high;   // a box that holds every point counted
};

const EhrhartCase ehrhart_cases[] = {
    {"Triangle", "{ i, j, N | j >= 0, i >= j, i <= N }", "{ N | N >= 0 }", -2, 14, -1, 15},
    {"Square", "{ i, j, N | i >= 1, i <= N, j >= 1, j <= N }", "{ N | N >= 0 }", -2, 12, -1, 13},
    {"Simplex3D", "{ i, j, k, N | i >= 0, j >= 0, k >= 0, i+j+k <= N }", "{ N | N >= 0 }", -1, 9, -1, 10},
    {"HalfLine", "{ i, N | 2i >= 0, 2i <= N }", "{ N | N >= 0 }", -2, 17, -1, 10},
    {"ThirdsAndHalves", "{ i, j, N | 3i >= 0, 3i <= N, 2j >= 0, 2j <= i+N }", "{ N | N >= 0 }", -1, 14, -1, 15},
    {"TwoParameters", "{ i, N, M | i >= 0, i <= N, i <= M }", "{ N, M | N >= 0, M >= 0 }", -1, 9, -1, 10},
    {"TwoParametersCutCorner", "{ i, j, N, M | i >= 0, i <= N, j >= 0, j <= M, i+j <= 5 }",
     "{ N, M | N >= 0, M >= 0 }", -1, 9, -1, 10},
    {"PeriodicWithPolynomialParts", "{ i, N, M | 2i >= 0, 2i+2M <= 3N+7 }", "{ N, M | 2N >= 3, 2N >= 3M-1, M >= -5 }",
     -6, 8, -1, 20},
};

void PrintTo(const EhrhartCase& c, std::ostream* os) { *os << c.name; }

class EhrhartCheck : public ::testing::TestWithParam<EhrhartCase> {};

// Runs `script`, whose statement number `statement` is the ehrhart one on
// domain P and context K, and compares every printed polynomial with a
// brute-force count at the parameter values of the box that the context holds.
void check_enumeration(const std::string& script, int statement, const EhrhartCase& c) {
    ProgramResult run = run_qarnest(script);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    UnionSet domain = parse_constraint_notation(echoed_definition(run.out, "P"));
    UnionSet context = parse_constraint_notation(echoed_definition(run.out, "K"));
    std::string prompt = "<" + std::to_string(statement) + "> ";
    std::size_t first = run.out.find(prompt) + prompt.size();
    std::size_t last = run.out.find("<" + std::to_string(statement + 1) + "> ");
    ASSERT_NE(last, std::string::npos) << run.out;
    std::vector<ValidityPiece> pieces = read_enumeration(run.out.substr(first, last - first), context.names);
    ASSERT_FALSE(pieces.empty()) << run.out;

    std::size_t parameters = context.names.size();
    std::size_t variables = domain.names.size() - parameters;
    int checked = 0;
    for_each_point_in_box(static_cast<unsigned>(parameters), c.parameter_low, c.parameter_high, [&](const Point& p) {
        if (!contains(context, p)) return;
        std::int64_t count = 0;
        for_each_point_in_box(static_cast<unsigned>(variables), c.variable_low, c.variable_high, [&](const Point& x) {
            Point full = x;
            full.insert(full.end(), p.begin(), p.end());
            count += contains(domain, full);
        });
        std::map<std::string, std::int64_t> values;
        for (std::size_t k = 0; k < parameters; ++k) values[context.names[k]] = p[k];
        int holding = 0;
        for (const ValidityPiece& piece : pieces) {
            if (!contains(piece.domain, p)) continue;
            ++holding;
            Rational value = QuasiPolynomial(piece.polynomial, values).evaluate();
            EXPECT_TRUE(value.den == 1 && value.num == count)
                << "at " << ::testing::PrintToString(p) << ": polynomial gives " << static_cast<long long>(value.num)
                << "/" << static_cast<long long>(value.den) << ", brute force counts " << count;
        }
        if (holding == 0) {
            EXPECT_EQ(count, 0) << "no validity domain holds " << ::testing::PrintToString(p);
        }
        ++checked;
    });
    EXPECT_GE(checked, 8) << "too few parameter values in the context";
}

TEST_P(EhrhartCheck, PrintedPolynomialCountsThePoints) {
    const EhrhartCase& c = GetParam();
    check_enumeration(std::string("P := ") + c.domain + " ;\nK := " + c.context + " ;\nehrhart(P, K);\n", 3, c);
}

INSTANTIATE_TEST_SUITE_P(Polytopes, EhrhartCheck, ::testing::ValuesIn(ehrhart_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Unions whose pieces overlap: every point is counted once. `domain` holds
// the pieces separated by ';', joined by union in that order.
const EhrhartCase union_cases[] = {
    {"OverlappingIntervals", "{ i, N | i >= 0, i <= N } ; { i, N | i >= N, i <= 2N }", "{ N | N >= 0 }", -2, 12, -1, 25},
    {"IntervalInsideAnother", "{ i, N | i >= 0, i <= 2N } ; { i, N | i >= 1, i <= N }", "{ N | N >= 0 }", -2, 12, -1, 25},
    {"ThreeIntervals", "{ i, N | i >= 0, i <= N } ; { i, N | i >= N, i <= 2N } ; { i, N | i >= 0, i <= 5 }",
     "{ N | N >= 0 }", -2, 12, -1, 25},
    {"ThreeOverlappingTriangles",
     "{ i, j, N | j >= 0, i >= j, i <= N } ; { i, j, N | i >= 0, j >= i, j <= N } ; { i, j, N | i >= 1, j >= 1, "
     "i+j <= N }",
     "{ N | N >= 0 }", -1, 9, -1, 10},
    {"TwoParametersCrossingBoxes", "{ i, j, N, M | i >= 0, i <= N, j >= 0, j <= 2 } ; { i, j, N, M | i >= 1, i <= 3, j >= 0, j <= M }",
     "{ N, M | N >= 0, M >= 0 }", -1, 6, -1, 8},
    // Pieces on different lattices (equalities of different moduli): their
    // periodic parts have different periods.
    {"EqualitiesOfDifferentModuli", "{ i, j, N | 2j = i+N, i >= 0, i <= 2N } ; { i, j, N | i >= 0, i <= N, 3j = i+6 }",
     "{ N | N >= 0 }", -1, 12, -1, 30},
    {"HalvesAndThirdsMeetingAtTheOrigin", "{ i, j, N | i = 2j, j >= 0, i <= N } ; { i, j, N | i = 3j, j >= 0, i <= 2N }",
     "{ N | N >= 0 }", -1, 14, -1, 30},
};

class EhrhartUnionCheck : public ::testing::TestWithParam<EhrhartCase> {};

TEST_P(EhrhartUnionCheck, PrintedPolynomialCountsEveryPointOnce) {
    const EhrhartCase& c = GetParam();
    std::vector<std::string> pieces;
    std::istringstream list(c.domain);
    for (std::string piece; std::getline(list, piece, ';');) pieces.push_back(piece);
    std::string script, joined = "Q1";
    for (std::size_t k = 1; k <= pieces.size(); ++k) script += "Q" + std::to_string(k) + " := " + pieces[k - 1] + " ;\n";
    for (std::size_t k = 2; k <= pieces.size(); ++k) {
        std::string name = k == pieces.size() ? "P" : "U" + std::to_string(k);
        script += name + " := " + joined + " union Q" + std::to_string(k) + " ;\n";
        joined = name;
    }
    script += "K := " + std::string(c.context) + " ;\nehrhart(P, K);\n";
    check_enumeration(script, static_cast<int>(2 * pieces.size() + 1), c);
}

INSTANTIATE_TEST_SUITE_P(Unions, EhrhartUnionCheck, ::testing::ValuesIn(union_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QuasiPolynomialReader, EvaluatesPrintedForms) {
    struct Known {
        const char* text;
        std::int64_t n;
        std::int64_t expected;
    };
    const Known known[] = {
        {"( 1/2 * N^2 + 3/2 * N + 1 )\n", 4, 15},
        {"( 1/2 * N + [ 1, 1/2 ]_N )\n", 5, 3},
        {"( 1/2 * N + [ 1, 1/2 ]_N )\n", 6, 4},
        {"21", 3, 21},
        {"( -1 * N + ( [ 2, 3 ]_N * N + 1 )\n )\n", 3, 7},
    };
    for (const Known& k : known) {
        Rational r = QuasiPolynomial(k.text, {{"N", k.n}}).evaluate();
        EXPECT_TRUE(r.den == 1 && r.num == k.expected) << k.text;
    }
}

}  // namespace
