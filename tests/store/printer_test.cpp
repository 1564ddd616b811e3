// The constraint-notation and matrix printers on polyhedra whose rows are
// given exactly (as PolyLib would hold them).
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "store/printer.h"
#include "tests/support/capture.h"

namespace {

using Row = std::vector<long>;

// A polyhedron record holding exactly these constraint rows; the printer
// reads nothing else.
Polyhedron* polyhedron_with_rows(unsigned dimension, const std::vector<Row>& rows) {
    Polyhedron* p = Polyhedron_Alloc(dimension, static_cast<unsigned>(rows.size()), 0);
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < dimension + 2; ++c) value_set_si(p->Constraint[r][c], rows[r][c]);
    return p;
}

struct PrinterCase {
    const char* name;
    std::vector<Row> rows;
    const char* expected;
};

void PrintTo(const PrinterCase& c, std::ostream* os) { *os << c.name; }

class ConstraintNotation : public ::testing::TestWithParam<PrinterCase> {};

TEST_P(ConstraintNotation, PrintsTheNormalisedRows) {
    const PrinterCase& c = GetParam();
    DomainPtr p(polyhedron_with_rows(2, c.rows));
    EXPECT_EQ(capture_stdout([&] { print_domain_constraints(stdout, p.get(), {"i", "j"}); }), c.expected);
}

const PrinterCase two_variable_cases[] = {
    {"Triangle", {{1, 1, 0, 0}, {1, 0, 1, 0}, {1, -1, -1, 10}}, "  { i, j | i >= 0, j >= 0, i+j <= 10 }\n"},
    {"Coefficients", {{1, 2, 3, -5}}, "  { i, j | 2i+3j >= 5 }\n"},
    {"VariableOnBothSides", {{1, 1, -1, 0}}, "  { i, j | i >= j }\n"},
    {"NegativeLeadingTurnsRelation", {{1, -1, 0, 10}}, "  { i, j | i <= 10 }\n"},
    {"ConstantOnTheRight", {{1, 1, -1, 3}}, "  { i, j | i >= j-3 }\n"},
    {"NegativeLeadingWithRightSide", {{1, -1, 1, -2}}, "  { i, j | i <= j-2 }\n"},
    {"Equality", {{0, 2, -1, -1}}, "  { i, j | 2i = j+1 }\n"},
    {"FirstCoefficientZero", {{1, 0, -3, -4}}, "  { i, j | 3j <= -4 }\n"},
    {"NoVariable", {{1, 0, 0, 5}}, "  { i, j | 0 >= -5 }\n"},
    {"EmptyAsPolyLibHoldsIt", {{0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}, "  { i, j | i = 0, j = 0, 0 = -1 }\n"},
    {"UniverseOnlyPositivity", {{1, 0, 0, 1}}, "  { i, j |  }\n"},
    {"PositivityLaterIsSkipped", {{1, 1, 0, 0}, {1, 0, 0, 1}}, "  { i, j | i >= 0 }\n"},
    {"SixtyFourBitConstant", {{1, 1, 0, -5000000000L}}, "  { i, j | i >= 5000000000 }\n"},
    {"SixtyFourBitCoefficient", {{1, -5000000000L, 1, 7}}, "  { i, j | 5000000000i <= j+7 }\n"},
    {"SmallestConstant", {{1, 1, 0, INT64_MIN}}, "  { i, j | i >= 9223372036854775808 }\n"},
    {"ZeroConstantWithRightSide", {{0, 1, -1, 0}}, "  { i, j | i = j }\n"},
    {"PositiveConstantGoesRight", {{1, 1, 0, 7}}, "  { i, j | i >= -7 }\n"},
};
INSTANTIATE_TEST_SUITE_P(TwoVariables, ConstraintNotation, ::testing::ValuesIn(two_variable_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConstraintNotationEdges, PositivityAsRowZeroStillSeparatesTheNextRow) {
    DomainPtr p(polyhedron_with_rows(1, {{1, 0, 1}, {1, 1, 0}}));
    EXPECT_EQ(capture_stdout([&] { print_domain_constraints(stdout, p.get(), {"i"}); }), "  { i | , i >= 0 }\n");
}

TEST(ConstraintNotationEdges, PositivityLastPrintsNoSeparator) {
    DomainPtr p(polyhedron_with_rows(1, {{1, 1, 0}, {1, 0, 1}}));
    EXPECT_EQ(capture_stdout([&] { print_domain_constraints(stdout, p.get(), {"i"}); }), "  { i | i >= 0 }\n");
}

TEST(ConstraintNotationEdges, UnionStartsEachFurtherPolyhedronWithUnion) {
    Polyhedron* first = polyhedron_with_rows(1, {{1, 1, 0}, {1, -1, 5}});
    first->next = polyhedron_with_rows(1, {{1, 1, -10}, {1, -1, 20}});
    DomainPtr domain(first);
    EXPECT_EQ(capture_stdout([&] { print_domain_constraints(stdout, domain.get(), {"i"}); }),
              "  { i | i >= 0, i <= 5 }\nUNION   { i | i >= 10, i <= 20 }\n");
}

TEST(ConstraintNotationEdges, ZeroDimensionalDomain) {
    DomainPtr p(Empty_Polyhedron(0));
    EXPECT_EQ(capture_stdout([&] { print_domain_constraints(stdout, p.get(), {}); }), "{ | }\n");
}

TEST(ConstraintNotationEdges, ThreeNamesInOrder) {
    DomainPtr p(polyhedron_with_rows(3, {{1, 0, 0, 1, -2}, {1, 1, -2, 0, 0}}));
    EXPECT_EQ(capture_stdout([&] { print_domain_constraints(stdout, p.get(), {"a", "b", "c"}); }),
              "  { a, b, c | c >= 2, a >= 2b }\n");
}

Matrix* matrix_with_rows(unsigned columns, const std::vector<Row>& rows) {
    Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows.size()), columns);
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < columns; ++c) value_set_si(m->p[r][c], rows[r][c]);
    return m;
}

TEST(MatrixRows, TwoByThree) {
    MatrixPtr m(matrix_with_rows(3, {{1, 0, 2}, {0, 1, -1}}));
    EXPECT_EQ(capture_stdout([&] { print_matrix_rows(stdout, m.get()); }),
              "(\n"
              "             (    1 ,   0 ,   2  ),\n"
              "             (    0 ,   1 ,  -1  )   )\n");
}

TEST(MatrixRows, SingleElementRow) {
    MatrixPtr m(matrix_with_rows(1, {{5}}));
    EXPECT_EQ(capture_stdout([&] { print_matrix_rows(stdout, m.get()); }), "(\n             (    5  )   )\n");
}

TEST(MatrixRows, NoRows) {
    MatrixPtr m(matrix_with_rows(2, {}));
    EXPECT_EQ(capture_stdout([&] { print_matrix_rows(stdout, m.get()); }), "(\n   )\n");
}

TEST(MatrixRows, WideValuesPrintInFull) {
    MatrixPtr m(matrix_with_rows(2, {{5000000000L, -12345}}));
    EXPECT_EQ(capture_stdout([&] { print_matrix_rows(stdout, m.get()); }),
              "(\n             ( 5000000000 ,-12345  )   )\n");
}

}  // namespace
