// The constraint and matrix rows a declaration builds, in the order the
// grammar reduces them. The script stops before the final ";" so that the
// rows under construction are still there to be read.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "interpreter/declarations.h"
#include "interpreter/parser.h"
#include "interpreter/session.h"
#include "tests/support/capture.h"

namespace {

using Rows = std::vector<std::vector<std::int64_t>>;

Rows rows_built_by(const std::string& script) {
    Session session(stdout);
    FILE* input = fmemopen(const_cast<char*>(script.data()), script.size(), "r");
    scanner_reset(session, input);
    capture_stdout([&] { parse_statements(session); });
    std::fclose(input);
    Rows rows;
    Declaration& d = session.declaration;
    if (d.decl_matrix)
        for (int r = 0; r < d.decl_rows; ++r)
            rows.emplace_back(d.decl_matrix->row(r), d.decl_matrix->row(r) + d.decl_matrix->columns);
    return rows;
}

struct RowCase {
    const char* name;
    const char* script;
    Rows expected;
};

void PrintTo(const RowCase& c, std::ostream* os) { *os << c.name; }

class DeclarationRows : public ::testing::TestWithParam<RowCase> {};

TEST_P(DeclarationRows, AreWrittenInReductionOrder) {
    EXPECT_EQ(rows_built_by(GetParam().script), GetParam().expected);
}

const RowCase row_cases[] = {
    {"ChainRightmostPairFirst", "P := { i, j | 0 <= i <= 10, j = 2 i }",
     {{1, -1, 0, 10}, {1, 1, 0, 0}, {0, -2, 1, 0}}},
    {"StrictLess", "P := { i | i < 5 }", {{1, -1, 4}}},
    {"StrictGreater", "P := { i | i > 5 }", {{1, 1, -6}}},
    {"GreaterEqual", "P := { i, j | i + 1 >= j }", {{1, 1, -1, 1}}},
    {"TermsOfBothSidesAddUp", "P := { i | 2 * (i + 1) >= 3 - i }", {{1, 3, -1}}},
    {"NoConstraint", "P := { i | }", {}},
    {"LoneExpressionWritesNoRow", "P := { i | i }", {}},
    {"LeadingCommaAccepted", "P := { i | , i >= 0 }", {{1, 1, 0}}},
    {"UndeclaredTermDropped", "P := { i | a >= 0 }", {{1, 0, 0}}},
    {"UnaryMinusBindsTighter", "P := { i, j | - i + j >= 0 }", {{1, -1, 1, 0}}},
    {"SubtractionIsLeftAssociative", "P := { a, b, c | a - b + c >= 0 }", {{1, 1, -1, 1, 0}}},
    {"NumberTimesBindsTighter", "P := { a, b | 2 * a + b <= 7 }", {{1, -2, -1, 7}}},
    {"EquationConstants", "P := { i | 3 i + 2 = 8 }", {{0, 3, -6}}},
    {"ThreeWayChain", "P := { i, j | 0 < i < j <= 9 }", {{1, 0, -1, 9}, {1, -1, 1, -1}, {1, 1, 0, -1}}},
    {"MatrixRows", "M := ((1, -2), (+3, 4))", {{1, -2}, {3, 4}}},
    {"MatrixSingleEntry", "M := ((5))", {{5}}},
};
INSTANTIATE_TEST_SUITE_P(Grammar, DeclarationRows, ::testing::ValuesIn(row_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DeclarationState, DuplicateVariableCancelsTheDeclaration) {
    std::string script = "P := { i, i | i >= 0 }";
    Session session(stdout);
    Declaration& d = session.declaration;
    FILE* input = fmemopen(script.data(), script.size(), "r");
    scanner_reset(session, input);
    std::string out = capture_stdout([&] { parse_statements(session); });
    std::fclose(input);
    EXPECT_EQ(d.decl_failed, 1);
    EXPECT_NE(out.find("> more than one variable 'i' in polyhedron declaration - Action cancelled !\n"),
              std::string::npos);
    reset_declaration(d);
    EXPECT_EQ(d.decl_failed, 0);
    EXPECT_EQ(d.decl_vars, nullptr);
    EXPECT_EQ(d.next_index, 1);
}

TEST(DeclarationState, CoefficientOverflowCancelsTheDeclaration) {
    std::string script = "P := { i | 2147483647 * 2147483647 * 2147483647 * i >= 0 }";
    Session session(stdout);
    Declaration& d = session.declaration;
    FILE* input = fmemopen(script.data(), script.size(), "r");
    scanner_reset(session, input);
    std::string out = capture_stdout([&] { parse_statements(session); });
    std::fclose(input);
    EXPECT_EQ(d.decl_failed, 1);
    EXPECT_NE(out.find("> integer overflow in polyhedron declaration - Action cancelled !\n"), std::string::npos);
    reset_declaration(d);
}

TEST(DeclarationState, GrowsPastTheNominalCapacities) {
    std::string constraints = "P := { i | i >= 0";
    for (int k = 1; k <= 1000; ++k) constraints += ", i >= " + std::to_string(k);
    EXPECT_EQ(rows_built_by(constraints + " }").size(), 1001u);
    std::string rows = "M := ((0, 1)";
    for (int k = 1; k <= 100; ++k) rows += ", (" + std::to_string(k) + ", 1)";
    Rows matrix = rows_built_by(rows + ")");
    ASSERT_EQ(matrix.size(), 101u);
    EXPECT_EQ(matrix.back(), (std::vector<std::int64_t>{100, 1}));
}

}  // namespace
