// The statements on integer points checked against brute force on the
// table of cases: points, card, lexmin, lexmax and sample at each value of
// the parameters, then the tests between domains and gist on the domains
// cut to their context.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/calculus/point_cases.h"
#include "tests/support/run_program.h"

namespace {

std::string count_text(std::size_t n) { return std::to_string(n) + (n == 1 ? " point" : " points"); }

// Reads "(1, -2)" back.
Point read_tuple(const std::string& text) {
    Point p;
    std::size_t at = text.find('(');
    if (at == std::string::npos) throw std::runtime_error("no point in '" + text + "'");
    std::string inside = text.substr(at + 1, text.find(')') - at - 1);
    std::istringstream values(inside);
    for (std::string v; std::getline(values, v, ',');)
        if (v.find_first_not_of(' ') != std::string::npos) p.push_back(std::stoll(v));
    return p;
}

class PointQueries : public ::testing::TestWithParam<PointCase> {};

TEST_P(PointQueries, AnswerAsBruteForceDoes) {
    const PointCase& c = GetParam();
    int first = declaration_count(c) + 1;
    std::string script = declarations(c) + "points (P, K, 100000) ;\ncard (P, K) ;\nlexmin (P, K) ;\n" +
                         "lexmax (P, K) ;\nsample (P, K) ;\n";
    ProgramResult run = run_qarnest(script);
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    BruteForce b = brute_force(c, run.out);
    ASSERT_FALSE(b.parameter_values.empty());

    std::string points, counts, lexmin, lexmax;
    std::vector<std::string> sample_lines;
    for (std::size_t k = 0; k < b.parameter_values.size(); ++k) {
        std::string head = "> " + heading_text(b.context.names, b.parameter_values[k]);
        const std::vector<Point>& at = b.points[k];
        points += head + count_text(at.size()) + "\n";
        for (const Point& p : at) points += "  " + tuple_text(p) + "\n";
        counts += head + count_text(at.size()) + "\n";
        lexmin += head + (at.empty() ? "empty" : tuple_text(at.front())) + "\n";
        lexmax += head + (at.empty() ? "empty" : tuple_text(at.back())) + "\n";
    }
    EXPECT_EQ(statement_output(run.out, first), points);
    EXPECT_EQ(statement_output(run.out, first + 1), counts);
    EXPECT_EQ(statement_output(run.out, first + 2), lexmin);
    EXPECT_EQ(statement_output(run.out, first + 3), lexmax);

    std::istringstream samples(statement_output(run.out, first + 4));
    std::string line;
    for (std::size_t k = 0; k < b.parameter_values.size(); ++k) {
        ASSERT_TRUE(std::getline(samples, line)) << "no sample at value " << k;
        std::string head = "> " + heading_text(b.context.names, b.parameter_values[k]);
        ASSERT_EQ(line.substr(0, head.size()), head);
        const std::vector<Point>& at = b.points[k];
        if (at.empty()) {
            EXPECT_EQ(line.substr(head.size()), "empty");
            continue;
        }
        Point s = read_tuple(line);
        EXPECT_NE(std::find(at.begin(), at.end(), s), at.end()) << line << " is not a point of the domain";
    }
    EXPECT_FALSE(std::getline(samples, line)) << "more samples than values: " << line;
}

INSTANTIATE_TEST_SUITE_P(Domains, PointQueries, ::testing::ValuesIn(point_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Tests between domains and gist, on the domains cut to their context ----

// The integer points of a domain in the case's box (variables in one range,
// parameters in the other).
std::set<Point> points_in_case_box(const PointCase& c, const UnionSet& set, unsigned parameters) {
    std::set<Point> points;
    unsigned variables = static_cast<unsigned>(set.names.size()) - parameters;
    for_each_point_in_box(parameters, c.parameter_low, c.parameter_high, [&](const Point& p) {
        for_each_point_in_box(variables, c.variable_low, c.variable_high, [&](const Point& x) {
            Point full = x;
            full.insert(full.end(), p.begin(), p.end());
            if (contains(set, full)) points.insert(full);
        });
    });
    return points;
}

std::string names_list(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
    return text;
}

std::size_t constraint_count(const UnionSet& set) {
    std::size_t n = 0;
    for (const ConvexSet& piece : set.pieces) n += piece.size();
    return n;
}

class DomainTests : public ::testing::TestWithParam<PointCase> {};

TEST_P(DomainTests, AnswerAsBruteForceDoes) {
    const PointCase& c = GetParam();
    ProgramResult declared = run_qarnest(declarations(c));
    UnionSet domain = parse_constraint_notation(echoed_definition(declared.out, "P"));
    std::string context_body = c.context;
    context_body = context_body.substr(context_body.find('|') + 1);
    std::string names = names_list(domain.names), box;
    for (const std::string& n : domain.names) box += (box.empty() ? "" : ", ") + ("0 <= " + n + " <= 1");

    int first = declaration_count(c) + 1;
    std::string script = declarations(c) + "KX := { " + names + " |" + context_body + " ;\n" +   // first
                         "PB := P inter KX ;\nH := convex PB ;\nX := { " + names + " | " + box + " } ;\n" +
                         "Y := PB inter X ;\nG := gist (P, K) ;\n" +                                  // first + 5
                         "isempty (PB) ;\nisempty (Y) ;\nissubset (PB, H) ;\nissubset (H, PB) ;\n" +  // first + 6 ..
                         "isequal (PB, H) ;\nissubset (PB, X) ;\nissubset (X, PB) ;\nissubset (Y, PB) ;\n" +
                         "isequal (PB, PB) ;\nisequal (Y, X) ;\n";
    ProgramResult run = run_qarnest(script);
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    unsigned parameters = static_cast<unsigned>(parse_constraint_notation(echoed_definition(run.out, "K")).names.size());
    auto points_of = [&](const char* name) {
        return points_in_case_box(c, parse_constraint_notation(echoed_definition(run.out, name)), parameters);
    };
    std::set<Point> pb = points_of("PB"), h = points_of("H"), x = points_of("X"), y = points_of("Y");
    auto subset = [](const std::set<Point>& a, const std::set<Point>& b) {
        return std::includes(b.begin(), b.end(), a.begin(), a.end());
    };
    auto word = [](bool b) { return std::string(b ? "> true\n" : "> false\n"); };
    const std::string expected[] = {word(pb.empty()),     word(y.empty()),   word(subset(pb, h)), word(subset(h, pb)),
                                    word(pb == h),        word(subset(pb, x)), word(subset(x, pb)), word(subset(y, pb)),
                                    word(true),           word(y == x)};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(statement_output(run.out, first + 6 + k), expected[k]) << "test " << k;

    UnionSet context = parse_constraint_notation(echoed_definition(run.out, "K"));
    UnionSet gist = parse_constraint_notation(echoed_definition(run.out, "G"));
    UnionSet original = parse_constraint_notation(echoed_definition(run.out, "P"));
    auto within_context = [&](const UnionSet& set) {
        std::set<Point> kept;
        for (const Point& p : points_in_case_box(c, set, parameters))
            if (parameters == 0 || contains(context, Point(p.end() - parameters, p.end()))) kept.insert(p);
        return kept;
    };
    EXPECT_EQ(within_context(gist), within_context(original)) << statement_output(run.out, first + 5);
    EXPECT_LE(constraint_count(gist), constraint_count(original)) << statement_output(run.out, first + 5);
}

// The tests need a dimension to cut and box.
std::vector<PointCase> cases_with_dimensions() {
    std::vector<PointCase> cases;
    for (const PointCase& c : point_cases)
        if (std::string(c.pieces) != "{ | }") cases.push_back(c);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Domains, DomainTests, ::testing::ValuesIn(cases_with_dimensions()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
