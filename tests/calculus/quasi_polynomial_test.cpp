// Quasi-polynomials added exactly: periodic numbers of different periods, a
// polynomial and a constant, several parameters; PolyLib's form read and
// written back without changing a value.
#include <gtest/gtest.h>

#include "calculus/quasi_polynomial.h"

namespace {

// PolyLib's form of c0 + c1 * N with periodic constant parts: the periodic
// numbers `constant` (period = its size) and a rational slope.
struct Linear {
    std::vector<long> constant;
    long slope_numerator, slope_denominator;
    unsigned position;   // 1 for N, 2 for M
};

evalue make_linear(const Linear& l) {
    evalue e;
    value_init(e.d);
    value_set_si(e.d, 0);
    enode* poly = new_enode(polynomial, 2, static_cast<int>(l.position));
    e.x.p = poly;
    if (l.constant.size() == 1) {
        value_set_si(poly->arr[0].d, 1);
        value_init(poly->arr[0].x.n);
        value_set_si(poly->arr[0].x.n, l.constant[0]);
    } else {
        enode* per = new_enode(periodic, static_cast<int>(l.constant.size()), static_cast<int>(l.position));
        poly->arr[0].x.p = per;
        for (std::size_t k = 0; k < l.constant.size(); ++k) {
            value_set_si(per->arr[k].d, 1);
            value_init(per->arr[k].x.n);
            value_set_si(per->arr[k].x.n, l.constant[k]);
        }
    }
    value_set_si(poly->arr[1].d, l.slope_denominator);
    value_init(poly->arr[1].x.n);
    value_set_si(poly->arr[1].x.n, l.slope_numerator);
    return e;
}

mpq_class expected_linear(const Linear& l, const std::vector<long>& at) {
    long x = at[l.position - 1];
    long size = static_cast<long>(l.constant.size());
    return mpq_class(l.constant[((x % size) + size) % size]) + mpq_class(l.slope_numerator, l.slope_denominator) * x;
}

QuasiPolynomial read(const Linear& l, unsigned parameters) {
    evalue e = make_linear(l);
    std::optional<QuasiPolynomial> q = QuasiPolynomial::from_evalue(e, parameters);
    free_evalue_refs(&e);
    EXPECT_TRUE(q.has_value());
    return *q;
}

struct SumCase {
    const char* name;
    Linear a, b;
    unsigned parameters;
};

const SumCase sum_cases[] = {
    {"PeriodsTwoAndThree", {{1, 0}, 1, 1, 1}, {{1, 0, 2}, 1, 3, 1}, 1},
    {"ConstantAndPeriodic", {{5}, 0, 1, 1}, {{0, 1, 0, 1}, 1, 2, 1}, 1},
    {"DifferentParameters", {{2, 1}, 3, 2, 1}, {{0, 0, 1}, -1, 1, 2}, 2},
    {"CancellingSlopes", {{1, 0}, 1, 2, 1}, {{0, 1}, -1, 2, 1}, 1},
};

void PrintTo(const SumCase& c, std::ostream* os) { *os << c.name; }

class QuasiPolynomialSum : public ::testing::TestWithParam<SumCase> {};

TEST_P(QuasiPolynomialSum, EqualsTheSumOfTheValuesAndSurvivesPolyLibsForm) {
    const SumCase& c = GetParam();
    std::optional<QuasiPolynomial> s = QuasiPolynomial::sum(read(c.a, c.parameters), read(c.b, c.parameters));
    ASSERT_TRUE(s.has_value());
    std::optional<evalue> written = s->to_evalue();
    ASSERT_TRUE(written.has_value());
    std::optional<QuasiPolynomial> back = QuasiPolynomial::from_evalue(*written, c.parameters);
    free_evalue_refs(&*written);
    ASSERT_TRUE(back.has_value());
    for (long n = -7; n <= 13; ++n)
        for (long m = -3; m <= (c.parameters > 1 ? 8 : -3); ++m) {
            std::vector<long> at = c.parameters > 1 ? std::vector<long>{n, m} : std::vector<long>{n};
            mpq_class expected = expected_linear(c.a, at) + expected_linear(c.b, at);
            EXPECT_EQ(s->at(at), expected) << "N = " << n << ", M = " << m;
            EXPECT_EQ(back->at(at), expected) << "read back, N = " << n << ", M = " << m;
        }
}

INSTANTIATE_TEST_SUITE_P(Cases, QuasiPolynomialSum, ::testing::ValuesIn(sum_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// The written form keeps periodic numbers as short as the values allow: the
// periods 2 and 2 of a sum stay 2, and a sum whose periodic parts cancel
// is a polynomial.
TEST(QuasiPolynomialForm, PeriodsAsShortAsTheValues) {
    Linear half{{1, 0}, 1, 2, 1}, other_half{{0, 1}, 1, 2, 1}, two{{7, 7, 7}, 0, 1, 1};
    std::optional<QuasiPolynomial> s = QuasiPolynomial::sum(read(half, 1), read(other_half, 1));
    ASSERT_TRUE(s.has_value());
    std::optional<evalue> e = s->to_evalue();
    ASSERT_TRUE(e.has_value());
    // 1/2 N + [1, 0] + 1/2 N + [0, 1] = N + 1: a polynomial of degree 1 with constant coefficients.
    ASSERT_TRUE(value_zero_p(e->d));
    EXPECT_EQ(e->x.p->type, polynomial);
    EXPECT_EQ(e->x.p->size, 2);
    EXPECT_TRUE(value_notzero_p(e->x.p->arr[0].d)) << "the constant part should not be periodic";
    free_evalue_refs(&*e);

    std::optional<evalue> constant = read(two, 1).to_evalue();
    ASSERT_TRUE(constant.has_value());
    // 0 * N + [7, 7, 7] is the constant 7.
    ASSERT_TRUE(value_notzero_p(constant->d)) << "[7, 7, 7] should be written 7";
    EXPECT_EQ(value_of(constant->x.n), 7 * value_of(constant->d));
    free_evalue_refs(&*constant);
}

TEST(QuasiPolynomialForm, CoefficientsBeyondSixtyFourBitsAreRefused) {
    QuasiPolynomial big = QuasiPolynomial::constant(1, mpq_class("9223372036854775807"));
    std::optional<QuasiPolynomial> s = QuasiPolynomial::sum(big, big);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->at({3}), mpq_class("18446744073709551614"));
    EXPECT_FALSE(s->to_evalue().has_value());
}

}  // namespace
