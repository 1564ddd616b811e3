// isl itself as the client of the isl notation: the text written for our
// domains is read by isl into the same integer points, isl's own printing of
// sets it built is read by us into the same points, and what isl prints for
// sets no PolyLib domain holds is refused with one line.
#include <gtest/gtest.h>

#include <isl/ctx.h>
#include <isl/point.h>
#include <isl/set.h>
#include <isl/space.h>
#include <isl/val.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/locks.h"
#include "formats/isl_notation.h"
#include "tests/support/run_program.h"

namespace {

using Point = std::vector<long>;

struct IslContext {
    isl_ctx* ctx = isl_ctx_alloc();
    ~IslContext() { isl_ctx_free(ctx); }
};

struct IslSetFree {
    void operator()(isl_set* s) const { isl_set_free(s); }
};
using IslSetPtr = std::unique_ptr<isl_set, IslSetFree>;

// Integer points of an isl set with its parameters fixed, inside a box.
std::set<Point> isl_points(isl_ctx* ctx, const std::string& text, const std::vector<long>& parameters, long bound) {
    IslSetPtr set(isl_set_read_from_str(ctx, text.c_str()));
    if (!set) ADD_FAILURE() << "isl did not read: " << text;
    if (!set) return {};
    unsigned params = isl_set_dim(set.get(), isl_dim_param);
    EXPECT_EQ(params, parameters.size()) << text;
    isl_set* s = set.release();
    for (unsigned k = 0; k < params && k < parameters.size(); ++k) s = isl_set_fix_si(s, isl_dim_param, k, parameters[k]);
    unsigned dims = isl_set_dim(s, isl_dim_set);
    for (unsigned k = 0; k < dims; ++k) {
        s = isl_set_lower_bound_si(s, isl_dim_set, k, -bound);
        s = isl_set_upper_bound_si(s, isl_dim_set, k, bound);
    }
    std::set<Point> points;
    isl_set_foreach_point(
        s,
        [](isl_point* p, void* user) {
            auto* out = static_cast<std::set<Point>*>(user);
            isl_space* space = isl_point_get_space(p);
            unsigned n = isl_space_dim(space, isl_dim_set);
            isl_space_free(space);
            Point point;
            for (unsigned k = 0; k < n; ++k) {
                isl_val* v = isl_point_get_coordinate_val(p, isl_dim_set, k);
                point.push_back(isl_val_get_num_si(v));
                isl_val_free(v);
            }
            out->insert(point);
            isl_point_free(p);
            return isl_stat_ok;
        },
        &points);
    isl_set_free(s);
    return points;
}

// Our points: the tuple's coordinates in the box, the parameters fixed, kept
// when one polyhedron's rows all hold.
std::set<Point> our_points(const Polyhedron* domain, unsigned dimension, const std::vector<long>& parameters,
                           long bound) {
    unsigned free_dims = dimension - static_cast<unsigned>(parameters.size());
    std::vector<PieceRows> pieces;
    {
        DomainLock lock;
        for (const Polyhedron* p = domain; p; p = p->next) pieces.push_back(rows_of(p));
    }
    std::set<Point> points;
    Point x(free_dims, -bound);
    std::function<void(unsigned)> walk = [&](unsigned k) {
        if (k == free_dims) {
            for (const PieceRows& rows : pieces) {
                bool inside = true;
                for (const ConstraintRow& row : rows) {
                    __int128 v = row.back();
                    for (unsigned c = 0; c < dimension; ++c)
                        v += __int128{row[c + 1]} * (c < free_dims ? x[c] : parameters[c - free_dims]);
                    if (row[0] == 0 ? v != 0 : v < 0) inside = false;
                }
                if (inside) {
                    points.insert(x);
                    return;
                }
            }
            return;
        }
        for (long v = -bound; v <= bound; ++v) {
            x[k] = v;
            walk(k + 1);
        }
    };
    walk(0);
    return points;
}

DomainPtr build(const ParsedSet& set) {
    DomainLock lock;
    auto built = build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces);
    if (!std::holds_alternative<DomainPtr>(built)) return nullptr;
    return std::move(std::get<DomainPtr>(built));
}

DomainPtr declared(const char* text) {
    ParseResult parsed = read_constraint_notation(text);
    if (!std::holds_alternative<ParsedSet>(parsed)) return nullptr;
    return build(std::get<ParsedSet>(parsed));
}

DomainPtr from_isl(const char* text) {
    ParseResult parsed = read_isl_set(text);
    if (!std::holds_alternative<ParsedSet>(parsed)) return nullptr;
    return build(std::get<ParsedSet>(parsed));
}

struct OurDomain {
    const char* name;
    std::function<DomainPtr()> make;
    std::vector<std::string> names;
    unsigned parameters;
    std::vector<std::vector<long>> parameter_values;
    long bound;
};

void PrintTo(const OurDomain& d, std::ostream* os) { *os << d.name; }

DomainPtr combined(const char* a, const char* b, Polyhedron* (*operation)(Polyhedron*, Polyhedron*, unsigned)) {
    DomainPtr first = declared(a), second = declared(b);
    DomainLock lock;
    return DomainPtr(operation(first.get(), second.get(), 100));
}

const std::vector<std::vector<long>> no_parameters = {{}};

const OurDomain our_domains[] = {
    {"TriangleWithParameter", [] { return declared("{ i, j, N | 0 <= j <= i <= N }"); }, {"i", "j", "N"}, 1,
     {{0}, {1}, {4}, {-1}}, 6},
    {"TwoParameters", [] { return declared("{ i, N, M | N <= i <= M, i <= 2N + 1 }"); }, {"i", "N", "M"}, 2,
     {{0, 3}, {2, 9}, {-2, 1}, {3, 2}}, 10},
    {"UnionOfBoxes",
     [] { return combined("{ i, j | 0 <= i <= 3, 0 <= j <= 3 }", "{ i, j | 2 <= i <= 6, 5 <= j <= 6 }", DomainUnion); },
     {"i", "j"}, 0, no_parameters, 8},
    {"DifferenceInPieces",
     [] { return combined("{ i, j | 0 <= i <= 6, 0 <= j <= 6 }", "{ i, j | 2 <= i <= 4, 2 <= j <= 4 }", DomainDifference); },
     {"i", "j"}, 0, no_parameters, 8},
    {"Equalities", [] { return declared("{ i, j, k | 2i = j + 1, k = i + j, 0 <= i <= 5 }"); }, {"i", "j", "k"}, 0,
     no_parameters, 20},
    {"RationalBounds", [] { return declared("{ i, j | 3i >= 1, 2j <= 5 + i, 5i <= 17, j >= -3 }"); }, {"i", "j"}, 0,
     no_parameters, 8},
    {"RationalWithParameter", [] { return declared("{ i, N | 2i >= N, 3i <= 2N + 1 }"); }, {"i", "N"}, 1,
     {{0}, {1}, {5}, {7}}, 8},
    {"Unbounded", [] { return declared("{ i, j | i >= j, j >= -2 }"); }, {"i", "j"}, 0, no_parameters, 5},
    {"Empty", [] { return declared("{ i, j | i >= 1, i <= 0 }"); }, {"i", "j"}, 0, no_parameters, 3},
    {"ZeroDimensionalUniverse",
     [] {
         DomainLock lock;
         return DomainPtr(Universe_Polyhedron(0));
     },
     {}, 0, no_parameters, 1},
    {"ZeroDimensionalEmpty", [] { return declared("{ | }"); }, {}, 0, no_parameters, 1},
    {"TenDimensions",
     [] {
         return from_isl("{ [a, b, c, d, e, f, g, h, k, l] : 0 <= a, b, c, d, e, f, g, h, k, l and "
                         "a + b + c + d + e + f + g + h + k + l <= 3 and a + 2l >= b - 1 }");
     },
     {"a", "b", "c", "d", "e", "f", "g", "h", "k", "l"}, 0, no_parameters, 2},
    {"LargeCoefficients", [] { return declared("{ i, j | 1000000 i - 999999 j >= 0, 0 <= j <= 4, i <= 4 }"); },
     {"i", "j"}, 0, no_parameters, 5},
};

class OurTextInIsl : public ::testing::TestWithParam<OurDomain> {};

TEST_P(OurTextInIsl, HasTheSameIntegerPoints) {
    const OurDomain& d = GetParam();
    DomainPtr domain = d.make();
    ASSERT_TRUE(domain);
    std::string text;
    {
        DomainLock lock;
        text = isl_text(domain.get(), d.names, d.parameters);
    }
    IslContext isl;
    for (const auto& values : d.parameter_values) {
        std::set<Point> ours = our_points(domain.get(), static_cast<unsigned>(d.names.size()), values, d.bound);
        EXPECT_EQ(isl_points(isl.ctx, text, values, d.bound), ours) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Domains, OurTextInIsl, ::testing::ValuesIn(our_domains),
                         [](const auto& info) { return std::string(info.param.name); });

// Sets built by isl, as isl prints them.
struct IslBuilt {
    const char* name;
    std::function<isl_set*(isl_ctx*)> make;
    std::vector<std::vector<long>> parameter_values;
    long bound;
};

void PrintTo(const IslBuilt& b, std::ostream* os) { *os << b.name; }

isl_set* read(isl_ctx* ctx, const char* text) { return isl_set_read_from_str(ctx, text); }

const IslBuilt isl_built[] = {
    {"Triangle", [](isl_ctx* c) { return read(c, "[N] -> { [i, j] : 0 <= j <= i <= N }"); }, {{0}, {3}, {6}}, 7},
    {"CoalescedUnion",
     [](isl_ctx* c) {
         return isl_set_coalesce(isl_set_union(read(c, "{ [i, j] : 0 <= i <= 4 and 0 <= j <= 2 }"),
                                               read(c, "{ [i, j] : 3 <= i <= 7 and 1 <= j <= 5 }")));
     },
     {{}}, 8},
    {"Subtraction",
     [](isl_ctx* c) {
         return isl_set_subtract(read(c, "[n] -> { [i, j] : 0 <= i, j <= n }"), read(c, "[n] -> { [i, j] : i + j = n }"));
     },
     {{0}, {2}, {5}}, 6},
    {"FixedDimension", [](isl_ctx* c) { return read(c, "{ [i, j] : j = 5 and 0 <= i <= 3 }"); }, {{}}, 6},
    {"DimensionEqualToAnother", [](isl_ctx* c) { return read(c, "{ [i, j] : j = i and -2 <= i <= 3 }"); }, {{}}, 4},
    {"TuplePoints", [](isl_ctx* c) { return isl_set_union(read(c, "{ [2, 3] }"), read(c, "{ [0, -1] }")); }, {{}}, 4},
    {"NotEqual", [](isl_ctx* c) { return read(c, "{ [i] : 0 <= i <= 6 and i != 3 }"); }, {{}}, 8},
    {"PiecesWithTheirOwnTuples",
     [](isl_ctx* c) { return read(c, "{ [i] : 0 <= i <= 9 or i = 20 }"); }, {{}}, 22},
    {"ParametricMax",
     [](isl_ctx* c) { return read(c, "[n] -> { [i] : 0 <= i <= n and i >= n - 5 }"); }, {{0}, {4}, {9}}, 10},
    {"EmptyWithParameter", [](isl_ctx* c) { return read(c, "[n] -> { [i] : i > n and i < n }"); }, {{0}, {2}}, 3},
    {"ParameterOnly", [](isl_ctx* c) { return read(c, "[n, m] -> { [] : n <= m + 1 }"); }, {{0, 0}, {3, 1}}, 1},
    {"NamedTuple", [](isl_ctx* c) { return read(c, "{ S[i, j] : 0 <= i < j <= 4 }"); }, {{}}, 5},
    {"TenDimensions",
     [](isl_ctx* c) {
         return read(c, "{ [a, b, c, d, e, f, g, h, k, l] : 0 <= a, b, c, d, e, f, g, h, k, l <= 1 and "
                        "a + b + c + d + e + f + g + h + k + l = 2 }");
     },
     {{}}, 1},
    {"Universe", [](isl_ctx* c) { return read(c, "{ [i, j] }"); }, {{}}, 2},
};

class IslPrintingInOurs : public ::testing::TestWithParam<IslBuilt> {};

TEST_P(IslPrintingInOurs, HasTheSameIntegerPoints) {
    const IslBuilt& b = GetParam();
    IslContext isl;
    isl_set* built = b.make(isl.ctx);
    ASSERT_TRUE(built);
    char* printed = isl_set_to_str(built);
    std::string text = printed;
    free(printed);
    isl_set_free(built);

    ParseResult parsed = read_isl_set(text);
    ASSERT_TRUE(std::holds_alternative<ParsedSet>(parsed)) << text << ": " << std::get<ParseProblem>(parsed).message;
    const ParsedSet& set = std::get<ParsedSet>(parsed);
    DomainPtr domain = build(set);
    ASSERT_TRUE(domain) << text;
    for (const auto& values : b.parameter_values) {
        ASSERT_EQ(values.size(), set.parameters) << text;
        std::set<Point> ours = our_points(domain.get(), static_cast<unsigned>(set.names.size()), values, b.bound);
        EXPECT_EQ(ours, isl_points(isl.ctx, text, values, b.bound)) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, IslPrintingInOurs, ::testing::ValuesIn(isl_built),
                         [](const auto& info) { return std::string(info.param.name); });

// Sets whose isl printing has existential variables or remainders: the
// calculator refuses them with one line and stores nothing.
struct Refused {
    const char* name;
    const char* built;
    const char* printed_word;   // what isl's printing holds
    const char* construct;      // as our refusal names it
};

void PrintTo(const Refused& r, std::ostream* os) { *os << r.name; }

class IslOnlySets : public ::testing::TestWithParam<Refused> {};

TEST_P(IslOnlySets, AreRefusedWithOneLine) {
    const Refused& r = GetParam();
    IslContext isl;
    isl_set* set = isl_set_read_from_str(isl.ctx, r.built);
    ASSERT_TRUE(set);
    char* printed = isl_set_to_str(set);
    std::string text = printed;
    free(printed);
    isl_set_free(set);
    ASSERT_NE(text.find(r.printed_word), std::string::npos) << text;

    ProgramResult result = run_qarnest("P := " + text + " ;\nlist ;\n");
    EXPECT_EQ(result.out, "<1> > Error - line 1 : isl notation: " + std::string(r.construct) +
                              " cannot be held by a PolyLib domain - 'P' is not stored \n"
                              "<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n")
        << text;
}

const Refused refused[] = {
    {"Stride", "{ [i] : exists (e : i = 3e) and 0 <= i <= 10 }", "mod", "remainders and strides ('mod')"},
    {"Remainder", "{ [i, j] : (i + j) mod 2 = 0 and 0 <= i, j <= 4 }", "mod", "remainders and strides ('mod')"},
    {"Existential", "{ [i, j] : exists (e : i <= 3e <= j) and 0 <= i, j <= 9 }", "exists",
     "existential variables ('exists')"},
    {"Division", "{ [i] : exists (e : 2e <= i <= 2e + 1 and 3e >= i - 1) and 0 <= i <= 20 }", "floor",
     "integer divisions ('floor')"},
};
INSTANTIATE_TEST_SUITE_P(Sets, IslOnlySets, ::testing::ValuesIn(refused),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
