// Ehrhart polynomials checked by counting: for each parametric polytope the
// printed validity domains and polynomials are read back, the polynomial of
// the domain that holds a parameter value is evaluated there, and the result
// is compared with a brute-force count of the integer points.
#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <sstream>

#include "tests/calculus/ehrhart_reading.h"
#include "tests/calculus/integer_points.h"
#include "tests/support/run_program.h"

namespace {

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
    // PolyLib's own polynomial is wrong on one chamber (0 points at N = M = 3
    // where there are 2): the chamber's quasi-polynomial is computed again.
    {"PolyLibWrongOnAChamber", "{ i, N, M | 5i >= -7, 3i-N >= -20, -5i+2N+3M >= 11, -i >= 0, 5i-2N+M >= -8 }",
     "{ N, M | N >= 1, M >= 1 }", 0, 40, -3, 3},
    // PolyLib writes "Domain Overflow" lines of its own while it counts.
    {"PolyLibOverflowingWhileItCounts", "{ i, N, M | -5i-M >= -28, -2i-4N >= -17, 2i >= 2, -5i-3N >= -23, -3i+4N+5M >= 0 }",
     "{ N, M | N >= 1, M >= 1 }", 0, 30, -1, 8},
    {"NoParameters", "{ i, j | 0 <= j <= i <= 5 }", "{ | }", 0, 0, -1, 6},
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
    EXPECT_GE(checked, context.names.empty() ? 1 : 8) << "too few parameter values in the context";
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
    // Pieces that exist at one value of the parameters, or without parameters.
    {"SquareAndStrip", "{ i, j, N | 0 <= i <= N, 0 <= j <= N } ; { i, j, N | 1 <= i <= N+2, 1 <= j <= 2 }",
     "{ N | N >= 0 }", -1, 10, -1, 13},
    {"TwoIntervalsWithoutParameters", "{ i | 0 <= i <= 2 } ; { i | 5 <= i <= 6 }", "{ | }", 0, 0, -1, 8},
    {"TouchingSquaresWithoutParameters", "{ i, j | 0 <= i <= 3, 0 <= j <= 3 } ; { i, j | 3 <= i <= 5, 0 <= j <= 3 }",
     "{ | }", 0, 0, -1, 7},
    {"PointAtOneValue", "{ i, j, N | 0 <= i <= N, 0 <= j <= 1 } ; { i, j, N | i = 1, j = 2, N = 1 }", "{ N | N >= 0 }",
     -1, 10, -1, 11},
    {"NestedAndTouching", "{ i, N | 0 <= i <= 3N } ; { i, N | N <= i <= 2N } ; { i, N | 3N <= i <= 3N+2 } ; "
     "{ i, N | i = 7, N = 2 }", "{ N | N >= 0 }", -1, 9, -1, 30},
    {"TwoParametersPieceOnALine", "{ i, N, M | 0 <= i <= N } ; { i, N, M | i = N+1, N = M }",
     "{ N, M | N >= 0, M >= 0 }", -1, 7, -1, 9},
    {"TwoParametersPointAtOneValue", "{ i, j, N, M | 0 <= i <= N, 0 <= j <= M } ; { i, j, N, M | i = 5, j = 5, N = 2, M = 3 }",
     "{ N, M | N >= 0, M >= 0 }", -1, 6, -1, 7},
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

// Nothing but the chambers: PolyLib's own diagnostics ("Domain Overflow:
// ...") stay out of the answer, and out of standard error.
TEST(EhrhartOutput, HoldsNothingOfPolyLibsOwnDiagnostics) {
    ProgramResult run = run_qarnest(
        "D := { i, N, M | -5i-M >= -28, -2i-4N >= -17, 2i >= 2, -5i-3N >= -23, -3i+4N+5M >= 0 } ;\n"
        "E := { N, M | N >= 1, M >= 1 } ;\nehrhart (D, E) ;\ncard (D, E) ;\nC := { N, M | 1 <= N <= 3, 1 <= M <= 3 } ;\n"
        "card (D, C) ;\n");
    EXPECT_EQ(run.out.find("Overflow"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.find("Error"), std::string::npos) << run.out;
}

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
