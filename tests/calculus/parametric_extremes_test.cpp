// lexmin and lexmax with contexts of infinitely many values: the answers,
// in the constraint notation and in isl's, are read by libisl as a client
// and evaluated at every parameter value of a box, against brute force.
// The check that guards the answers is shown to refuse wrong ones.
#include <gtest/gtest.h>

#include <isl/aff.h>
#include <isl/ctx.h>
#include <isl/point.h>
#include <isl/set.h>
#include <isl/val.h>
#include <sstream>

#include "base/locks.h"
#include "formats/isl_notation.h"
#include "formats/constraint_rows.h"
#include "calculus/parametric_extremes.h"
#include "tests/calculus/point_cases.h"
#include "tests/support/run_program.h"

namespace {

const PointCase parametric_cases[] = {
    {"Triangle", "{ i, j, N | 0 <= j <= i <= N }", "{ N | N >= 0 }", -2, 12, -1, 13},
    {"HalfInterval", "{ i, N | 2i <= N, i >= 0 }", "{ N | N >= -3 }", -4, 15, -1, 9},
    {"TwoParametersWithADivision", "{ i, j, N, M | 0 <= i <= N, 0 <= j <= M, 3j <= i + 7 }",
     "{ N, M | N >= -3, M >= -2 }", -4, 9, -1, 10},
    {"EvenValuesOnly", "{ i, N | 2i = N }", "{ N | }", -9, 9, -6, 6},
    {"StrideInsideAPiece", "{ i, j, N | i = 2j, 0 <= j, i <= N }", "{ N | N >= 0 }", -1, 14, -1, 15},
    {"EmptyBelowAThreshold", "{ i, N | 5 <= i <= N, 3i <= 2N + 4 }", "{ N | N >= 0 }", -1, 20, -1, 21},
    {"UnionOfPieces", "{ i, N | 0 <= i <= N - 2 } ; { i, N | N + 3 <= i <= 8 }", "{ N | N >= 0 }", -1, 12, -1, 12},
    {"RationalVertices", "{ i, j, N | 3i >= 1, 3i <= 2N + 1, 2j >= i, 5j <= 3N }", "{ N | N >= 0 }", -1, 14, -1, 14},
    {"ParameterInTheUpperBoundOfTwoVariables", "{ i, j, N, M | i + j <= N, i - j <= M, j >= 0, i >= 0 }",
     "{ N, M | N >= 0 }", -2, 8, -1, 9},
};

struct IslCtx {
    isl_ctx* ctx = isl_ctx_alloc();
    ~IslCtx() { isl_ctx_free(ctx); }
};

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t k = 0; k < names.size(); ++k) text += (k ? ", " : "") + names[k];
    return text;
}

// One line of the constraint-notation answer, "> { N | N >= 0, ... } : (N, floor(N / 2))"
// or "... : empty", as the isl text of its piece: "{ [(N), (floor(N / 2))] : N >= 0 and ... }".
struct AnswerLine {
    std::string where;   // isl constraints
    std::string point;   // isl tuple, or empty for "empty"
};

AnswerLine read_answer_line(const std::string& line) {
    std::size_t bar = line.find('|'), close = line.find(" } : ");
    if (line.compare(0, 4, "> { ") != 0 || bar == std::string::npos || close == std::string::npos)
        throw std::runtime_error("not an answer line: '" + line + "'");
    AnswerLine a;
    std::string constraints = line.substr(bar + 1, close - bar - 1);
    std::istringstream list(constraints);
    for (std::string c; std::getline(list, c, ',');) {
        // A floor's text holds no comma: the constraints split on commas.
        if (c.find_first_not_of(' ') == std::string::npos) continue;
        a.where += (a.where.empty() ? "" : " and ") + c;
    }
    if (a.where.empty()) a.where = "true";
    std::string point = line.substr(close + 5);
    if (point == "empty") return a;
    if (point.front() != '(' || point.back() != ')') throw std::runtime_error("not a point: '" + point + "'");
    // The coordinates, split at the commas outside parentheses.
    std::string inside = point.substr(1, point.size() - 2), coordinate;
    int depth = 0;
    a.point = "[";
    for (char ch : inside + ",") {
        if (ch == ',' && depth == 0) {
            a.point += (a.point.size() > 1 ? ", (" : "(") + coordinate + ")";
            coordinate.clear();
            continue;
        }
        depth += ch == '(' ? 1 : ch == ')' ? -1 : 0;
        coordinate += ch;
    }
    a.point += "]";
    return a;
}

// Every line of an answer, "> ..." each.
std::vector<std::string> lines_of(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::optional<Point> evaluate(isl_pw_multi_aff* answer, const Point& p) {
    isl_size n = isl_pw_multi_aff_dim(answer, isl_dim_out);
    Point x;
    for (int k = 0; k < n; ++k) {
        isl_pw_aff* coordinate = isl_pw_multi_aff_get_at(answer, k);
        isl_point* at = isl_point_zero(isl_pw_aff_get_domain_space(coordinate));
        for (std::size_t d = 0; d < p.size(); ++d)
            at = isl_point_set_coordinate_val(at, isl_dim_param, static_cast<int>(d),
                                              isl_val_int_from_si(isl_pw_aff_get_ctx(coordinate), p[d]));
        isl_val* v = isl_pw_aff_eval(coordinate, at);
        bool defined = !isl_val_is_nan(v);
        if (defined) {
            EXPECT_TRUE(isl_val_is_int(v));
            x.push_back(isl_val_get_num_si(v));
        }
        isl_val_free(v);
        if (!defined) return std::nullopt;
    }
    if (n == 0) {
        isl_set* domain = isl_pw_multi_aff_domain(isl_pw_multi_aff_copy(answer));
        bool inside = false;
        isl_point* at = isl_point_zero(isl_set_get_space(domain));
        for (std::size_t d = 0; d < p.size(); ++d)
            at = isl_point_set_coordinate_val(at, isl_dim_param, static_cast<int>(d),
                                              isl_val_int_from_si(isl_set_get_ctx(domain), p[d]));
        isl_set* point = isl_set_from_point(at);
        inside = isl_set_is_subset(point, domain) == isl_bool_true;
        isl_set_free(point);
        isl_set_free(domain);
        if (!inside) return std::nullopt;
    }
    return x;
}

bool set_holds(isl_set* set, const Point& p) {
    isl_point* at = isl_point_zero(isl_set_get_space(set));
    for (std::size_t d = 0; d < p.size(); ++d)
        at = isl_point_set_coordinate_val(at, isl_dim_param, static_cast<int>(d),
                                          isl_val_int_from_si(isl_set_get_ctx(set), p[d]));
    isl_set* point = isl_set_from_point(at);
    bool inside = isl_set_is_subset(point, set) == isl_bool_true;
    isl_set_free(point);
    return inside;
}

class ParametricExtremes : public ::testing::TestWithParam<PointCase> {};

TEST_P(ParametricExtremes, AnswersAsBruteForceAtEveryValueOfABox) {
    const PointCase& c = GetParam();
    int first = declaration_count(c) + 1;
    ProgramResult run = run_qarnest(declarations(c) + "lexmin (P, K) ;\nlexmax (P, K) ;\nisl lexmin (P, K) ;\n" +
                                    "isl lexmax (P, K) ;\n");
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    BruteForce b = brute_force(c, run.out);
    ASSERT_GE(b.parameter_values.size(), 8u);
    std::string params = "[" + joined(b.context.names) + "] -> ";
    IslCtx isl;
    for (int statement = 0; statement < 4; ++statement) {
        bool maximum = statement % 2 == 1, isl_form = statement >= 2;
        std::string output = statement_output(run.out, first + statement);
        SCOPED_TRACE(output);
        isl_pw_multi_aff* answer = nullptr;
        isl_set* without_point = nullptr;   // the lines that say "empty"
        std::vector<isl_set*> line_sets;    // each line's piece
        if (isl_form) {
            ASSERT_EQ(output.compare(0, 2, "> "), 0);
            ASSERT_EQ(lines_of(output).size(), 1u);
            answer = isl_pw_multi_aff_read_from_str(isl.ctx, output.substr(2).c_str());
        } else {
            std::string pieces;
            std::string empty_pieces;
            for (const std::string& line : lines_of(output)) {
                AnswerLine a = read_answer_line(line);
                line_sets.push_back(isl_set_read_from_str(isl.ctx, (params + "{ : " + a.where + " }").c_str()));
                ASSERT_NE(line_sets.back(), nullptr) << line;
                if (a.point.empty())
                    empty_pieces += (empty_pieces.empty() ? "" : "; ") + std::string(" : ") + a.where;
                else
                    pieces += (pieces.empty() ? "" : "; ") + a.point + " : " + a.where;
            }
            answer = isl_pw_multi_aff_read_from_str(isl.ctx, (params + "{ " + pieces + " }").c_str());
            if (empty_pieces.empty()) empty_pieces = ": false";
            without_point = isl_set_read_from_str(isl.ctx, (params + "{ " + empty_pieces + " }").c_str());
            ASSERT_NE(without_point, nullptr);
        }
        ASSERT_NE(answer, nullptr) << "isl does not read the answer";
        for (std::size_t k = 0; k < b.parameter_values.size(); ++k) {
            const Point& p = b.parameter_values[k];
            const std::vector<Point>& at = b.points[k];
            std::optional<Point> x = evaluate(answer, p);
            if (at.empty()) {
                EXPECT_FALSE(x) << "a point where there is none, at " << tuple_text(p);
            } else {
                ASSERT_TRUE(x) << "no point at " << tuple_text(p);
                EXPECT_EQ(*x, maximum ? at.back() : at.front()) << "at " << tuple_text(p);
            }
            if (!isl_form) {
                int holders = 0;
                for (isl_set* s : line_sets) holders += set_holds(s, p);
                EXPECT_EQ(holders, 1) << "lines holding " << tuple_text(p);
                EXPECT_EQ(set_holds(without_point, p), at.empty()) << tuple_text(p);
            }
        }
        for (isl_set* s : line_sets) isl_set_free(s);
        isl_set_free(without_point);
        isl_pw_multi_aff_free(answer);
    }
}

INSTANTIATE_TEST_SUITE_P(Domains, ParametricExtremes, ::testing::ValuesIn(parametric_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParametricExtremes, WorkedExampleAndRefusals) {
    ProgramResult run = run_qarnest(
        "T := { i, j, N | 0 <= j <= i <= N } ;\nC := { N | N >= 0 } ;\nlexmax (T, C) ;\nisl lexmax (T, C) ;\n"
        "L := { i, N | i >= N } ;\nlexmin (L, C) ;\nsample (T, C) ;\nisl lexmin T ;\nisl lexmax (T) ;\n");
    EXPECT_EQ(statement_output(run.out, 3), "> { N | N >= 0 } : (N, N)\n");
    EXPECT_EQ(statement_output(run.out, 4), "> [N] -> { [(N), (N)] : N >= 0 }\n");
    EXPECT_EQ(statement_output(run.out, 6),
              "> Lexmin : domain 'L' has infinitely many points for some values of the parameters of 'C' - command "
              "ignored\n");
    EXPECT_NE(statement_output(run.out, 7).find("> Sample : context 'C' is unbounded"), std::string::npos);
    EXPECT_NE(statement_output(run.out, 8).find("> Syntax : isl lexmin ('domain', 'context') ;\n"), std::string::npos);
    EXPECT_NE(statement_output(run.out, 9).find("> Syntax : isl lexmax ('domain', 'context') ;\n"), std::string::npos);
}

// ---- The check refuses wrong answers --------------------------------------------

struct CheckFixture {
    DomainPtr domain, context;
    std::vector<LoopNest> nests{1};
    ExtremesRequest request;

    CheckFixture(const char* domain_text, const char* context_text, bool maximum) {
        DomainLock lock;
        domain = built(domain_text);
        context = built(context_text);
        EXPECT_EQ(build_loop_nest(domain.get(), context.get(), nests[0]), NestOutcome::ready);
        request.maximum = maximum;
        request.domain = domain.get();
        request.context = context.get();
        request.parameters = context->Dimension;
        request.nests = &nests;
        request.what = "the parametric lexicographic maximum of 'T'";
    }
    static DomainPtr built(const char* text) {
        ParsedSet set = std::get<ParsedSet>(read_constraint_notation(text));
        auto result = build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces);
        return std::move(std::get<DomainPtr>(result));
    }
};

TEST(ParametricExtremesCheck, RefusesAWrongPointAWrongPieceAndAGap) {
    CheckFixture f("{ i, j, N | 0 <= j <= i <= N }", "{ N | N >= 0 }", true);
    f.request.names = {"i", "j", "N"};
    WorkDeadline watch(nullptr, std::chrono::seconds(30));
    EXPECT_EQ(extremes_check_failure(f.request, "[N] -> { [(N), (N)] : N >= 0 }", watch), std::nullopt);
    struct Wrong {
        const char* answer;
        const char* says;
    };
    const Wrong wrong[] = {
        // Wrong at one far value only: the box around a point of that piece finds it.
        {"[N] -> { [(N), (N)] : 0 <= N < 4000; [(N), (N - 1)] : N >= 4000 }", "at N = 4000: the answer is (4000, 3999)"},
        {"[N] -> { [(N), (N)] : N >= 1 }", "at N = 0: the answer is empty where the domain has the point (0, 0)"},
        {"[N] -> { [(N), (floor(N / 2))] : N >= 0 }", "at N = 1: the answer is (1, 0) where the extreme is (1, 1)"},
        {"[N] -> { [(N), (N)] : N >= 0 and N != 7 }", "at N = 7: the answer is empty where the domain has the point (7, 7)"},
    };
    for (const Wrong& w : wrong) {
        std::optional<std::string> failure = extremes_check_failure(f.request, w.answer, watch);
        ASSERT_TRUE(failure) << w.answer;
        EXPECT_NE(failure->find(w.says), std::string::npos) << *failure;
        EXPECT_EQ(failure->find("the parametric lexicographic maximum of 'T' fails its check"), 0u) << *failure;
    }
}

TEST(ParametricExtremesCheck, RefusesAPointWhereTheDomainHasNone) {
    CheckFixture f("{ i, N | 5 <= i <= N }", "{ N | N >= 0 }", false);
    f.request.names = {"i", "N"};
    WorkDeadline watch(nullptr, std::chrono::seconds(30));
    EXPECT_EQ(extremes_check_failure(f.request, "[N] -> { [(5)] : N >= 5 }", watch), std::nullopt);
    std::optional<std::string> failure = extremes_check_failure(f.request, "[N] -> { [(5)] : N >= 4 }", watch);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find("at N = 4: the answer is (5) where the domain has no point"), std::string::npos) << *failure;
}

}  // namespace
