// Counts: exact counts of large polytopes without parameters, the counting
// function in isl's notation read back by libisl as a client, and random
// small domains where PolyLib's 64-bit enumeration overflows, each against
// brute force.
#include <gtest/gtest.h>

#include <isl/ctx.h>
#include <isl/point.h>
#include <isl/polynomial.h>
#include <isl/val.h>
#include <algorithm>
#include <random>
#include <sstream>

#include "tests/calculus/ehrhart_reading.h"
#include "tests/calculus/point_cases.h"
#include "tests/support/run_program.h"

namespace {

std::string last_answer(const std::string& out, int statement) { return statement_output(out, statement); }

// ---- Large polytopes without parameters ------------------------------------------

struct LargeCount {
    const char* name;
    const char* domain;
    const char* points;   // exact
};

std::string box(unsigned dimension, const char* low, const char* high) {
    std::string names = "abcdefghij", text = "{ ";
    for (unsigned k = 0; k < dimension; ++k) text += std::string(k ? ", " : "") + names[k];
    text += " | ";
    for (unsigned k = 0; k < dimension; ++k)
        text += std::string(k ? ", " : "") + low + " <= " + names[k] + " <= " + high;
    return text + " }";
}

// |a| + |b| + ... <= r as its 2^d rows, around the centre (c, c, ..., c).
std::string cross_polytope(unsigned dimension, int radius, int centre) {
    std::string names = "abcdefghij", text = "{ ";
    for (unsigned k = 0; k < dimension; ++k) text += std::string(k ? ", " : "") + names[k];
    text += " | ";
    for (unsigned signs = 0; signs < (1u << dimension); ++signs) {
        if (signs) text += ", ";
        int constant = radius;
        for (unsigned k = 0; k < dimension; ++k) {
            bool minus = signs >> k & 1;
            text += std::string(minus ? "-" : (k ? "+" : "")) + names[k];
            constant += minus ? -centre : centre;
        }
        text += " <= " + std::to_string(constant);
    }
    return text + " }";
}

TEST(LargeCounts, ExactWhateverTheSize) {
    const std::string boxes[] = {box(4, "0", "1000"), box(4, "0", "1000000"), box(4, "1", "1000"), box(3, "-7", "999993")};
    const std::string cross = cross_polytope(5, 50, 0), shifted = cross_polytope(5, 50, 3);
    const LargeCount cases[] = {
        {"box 1000", boxes[0].c_str(), "1004006004001"},
        {"box 10^6", boxes[1].c_str(), "1000004000006000004000001"},
        {"box from 1", boxes[2].c_str(), "1000000000000"},
        {"box from -7", boxes[3].c_str(), "1000003000003000001"},
        {"simplex 100", "{ a, b, c, d, e, f | a >= 0, b >= 0, c >= 0, d >= 0, e >= 0, f >= 0, a+b+c+d+e+f <= 100 }",
         "1705904746"},
        {"cross-polytope 50", cross.c_str(), "87841821"},
        {"cross-polytope 50 shifted", shifted.c_str(), "87841821"},
        // Not a dilation (sides 300 and 299): the loop nest counts.
        {"box 300 by 299", "{ a, b | 0 <= a <= 300, 1 <= b <= 300 }", "90300"},
        {"thin simplex", "{ a, b, c | a >= 0, b >= 0, c >= 0, 2a + 3b + 5c <= 3000 }", "150826351"},
    };
    std::string script = "K := { | } ;\n";
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        std::string name = "P" + std::to_string(k);
        script += name + " := " + cases[k].domain + " ;\ncard (" + name + ", K) ;\nehrhart (" + name + ", K) ;\n";
    }
    ProgramResult run = run_qarnest(script, {}, std::chrono::seconds(60));
    int statement = 2;
    for (const LargeCount& c : cases) {
        ++statement;   // the declaration
        EXPECT_EQ(last_answer(run.out, statement++), std::string("> ") + c.points + " points\n") << c.name;
        EXPECT_EQ(last_answer(run.out, statement++),
                  std::string("          1 >= 0\n\n( ") + c.points + " )\n\n-----------------------------------\n")
            << c.name;
    }
}

// ---- The counting function in isl's notation --------------------------------------

struct IslContext {
    isl_ctx* ctx = isl_ctx_alloc();
    ~IslContext() { isl_ctx_free(ctx); }
};

const PointCase counting_functions[] = {
    {"Triangle", "{ i, j, N | 0 <= j <= i <= N }", "{ N | N >= 0 }", -2, 14, -1, 15},
    {"HalfInterval", "{ i, N | 0 <= 2i <= N }", "{ N | N >= -2 }", -3, 20, -1, 11},
    {"SquareAndStrip", "{ i, j, N | 0 <= i <= N, 0 <= j <= N } ; { i, j, N | 1 <= i <= N+2, 1 <= j <= 2 }",
     "{ N | N >= 0 }", -1, 10, -1, 13},
    {"Stride", "{ i, N | 2i = N, i >= 5 }", "{ N | }", -3, 20, -1, 11},
    {"PolyLibWrongOnAChamber", "{ i, N, M | 5i >= -7, 3i-N >= -20, -5i+2N+3M >= 11, -i >= 0, 5i-2N+M >= -8 }",
     "{ N, M | N >= 1, M >= 1 }", 0, 30, -3, 3},
    {"TwoParameters", "{ i, j, N, M | 0 <= i <= N, 0 <= j <= M, i + j <= 5 }", "{ N, M | N >= 0, M >= 0 }", -1, 8,
     -1, 9},
};

class CountingFunction : public ::testing::TestWithParam<PointCase> {};

TEST_P(CountingFunction, ReadByIslCountsAsBruteForce) {
    const PointCase& c = GetParam();
    int first = declaration_count(c) + 1;
    ProgramResult run = run_qarnest(declarations(c) + "card (P, K) ;\n");
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    BruteForce b = brute_force(c, run.out);
    ASSERT_GE(b.parameter_values.size(), 8u);
    std::string answer = last_answer(run.out, first);
    ASSERT_EQ(answer.compare(0, 2, "> "), 0) << answer;
    IslContext isl;
    isl_pw_qpolynomial* count = isl_pw_qpolynomial_read_from_str(isl.ctx, answer.substr(2).c_str());
    ASSERT_NE(count, nullptr) << answer;
    for (std::size_t k = 0; k < b.parameter_values.size(); ++k) {
        const Point& p = b.parameter_values[k];
        isl_point* at = isl_point_zero(isl_pw_qpolynomial_get_domain_space(count));
        for (std::size_t d = 0; d < p.size(); ++d)
            at = isl_point_set_coordinate_val(at, isl_dim_param, static_cast<int>(d), isl_val_int_from_si(isl.ctx, p[d]));
        isl_val* v = isl_pw_qpolynomial_eval(isl_pw_qpolynomial_copy(count), at);
        ASSERT_TRUE(isl_val_is_int(v)) << tuple_text(p);
        EXPECT_EQ(isl_val_get_num_si(v), static_cast<long>(b.points[k].size())) << "at " << tuple_text(p) << " in " << answer;
        isl_val_free(v);
    }
    isl_pw_qpolynomial_free(count);
}

INSTANTIATE_TEST_SUITE_P(Domains, CountingFunction, ::testing::ValuesIn(counting_functions),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Random small domains -----------------------------------------------------------

// A domain of `variables` variables in [-5, 5] and `parameters` parameters,
// cut by a few random rows with small coefficients (PolyLib's 64-bit
// enumeration overflows on many such domains).
std::string random_domain(std::mt19937& random, unsigned variables, unsigned parameters) {
    const std::string names = "ijklmNM";
    std::vector<std::string> dims;
    for (unsigned k = 0; k < variables; ++k) dims.push_back(std::string(1, names[k]));
    for (unsigned k = 0; k < parameters; ++k) dims.push_back(std::string(1, names[5 + k]));
    std::string text = "{ ";
    for (std::size_t k = 0; k < dims.size(); ++k) text += (k ? ", " : "") + dims[k];
    text += " | ";
    for (unsigned k = 0; k < variables; ++k) text += std::string(k ? ", " : "") + "-5 <= " + dims[k] + " <= 5";
    std::uniform_int_distribution<int> coefficient(-5, 5), constant(-15, 25), rows(2, 4);
    for (int r = rows(random); r > 0; --r) {
        std::string row;
        for (const std::string& d : dims) {
            int c = coefficient(random);
            if (c == 0) continue;
            row += (c < 0 ? " - " : (row.empty() ? "" : " + ")) + std::to_string(std::abs(c)) + d;
        }
        if (row.empty()) continue;
        text += ", " + row + " >= " + std::to_string(-constant(random));
    }
    return text + " }";
}

TEST(RandomDomains, EveryCountAnsweredAndRight) {
    std::mt19937 random(20271);
    int counted = 0, with_points = 0, refused = 0;
    for (int trial = 0; trial < 24; ++trial) {
        unsigned total = 4 + static_cast<unsigned>(trial % 3), parameters = 1 + static_cast<unsigned>(trial / 3 % 2);
        std::string domain = random_domain(random, total - parameters, parameters);
        PointCase c{"random", domain.c_str(), parameters == 1 ? "{ N | 0 <= N <= 6 }" : "{ N, M | 0 <= N <= 4, 0 <= M <= 4 }",
                    -1, 7, -5, 5};
        std::string unbounded = parameters == 1 ? "{ N | N >= 0 }" : "{ N, M | N >= 0, M >= 0 }";
        std::string script =
            declarations(c) + "card (P, K) ;\nE := " + unbounded + " ;\nehrhart (P, E) ;\nehrhart (P, K) ;\n";
        ProgramResult run = run_qarnest(script);
        SCOPED_TRACE(domain);
        ASSERT_EQ(run.err, "");
        BruteForce b = brute_force(c, run.out);
        std::string expected;
        for (std::size_t k = 0; k < b.parameter_values.size(); ++k) {
            std::size_t n = b.points[k].size();
            with_points += n > 0;
            expected += "> " + heading_text(b.context.names, b.parameter_values[k]) + std::to_string(n) +
                        (n == 1 ? " point" : " points") + "\n";
        }
        EXPECT_EQ(statement_output(run.out, declaration_count(c) + 1), expected);
        // The quasi-polynomials at every value of the box: within the box
        // always; within the unbounded context they are right or refused
        // in one line (a chamber whose periods the check cannot afford).
        for (int statement : {declaration_count(c) + 4, declaration_count(c) + 3}) {
            std::string ehrhart = statement_output(run.out, statement);
            if (ehrhart.compare(0, 8, "> Error ") == 0 && statement == declaration_count(c) + 3) {
                EXPECT_EQ(std::count(ehrhart.begin(), ehrhart.end(), '\n'), 1) << ehrhart;
                ++refused;
                continue;
            }
            ASSERT_EQ(ehrhart.find("> Error"), std::string::npos) << ehrhart;
            std::vector<ValidityPiece> pieces = read_enumeration(ehrhart, b.context.names);
            for (std::size_t k = 0; k < b.parameter_values.size(); ++k) {
                const Point& p = b.parameter_values[k];
                std::int64_t n = -1;
                EXPECT_TRUE(enumeration_count(pieces, b.context.names, p, n) &&
                            n == static_cast<std::int64_t>(b.points[k].size()))
                    << "at " << tuple_text(p) << ": " << n << " where there are " << b.points[k].size() << "\n"
                    << ehrhart;
            }
        }
        ++counted;
    }
    EXPECT_EQ(counted, 24);
    EXPECT_GT(with_points, 60);
    // Most unbounded contexts are answered too.
    EXPECT_LE(refused, 4);
    std::printf("ehrhart refused on %d of the 24 unbounded contexts\n", refused);
}

}  // namespace
