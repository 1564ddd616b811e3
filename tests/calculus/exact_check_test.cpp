// The exact check of PolyLib's results: every operation's true result is
// accepted, and the same result with one value wrapped around (shifted by
// 2^64 modulo 64 bits, as PolyLib's arithmetic does) is refused, whichever
// constraint or generator holds it.
#include <gtest/gtest.h>

#include <functional>

#include "base/locks.h"
#include "calculus/exact_check.h"
#include "calculus/operations.h"

namespace {

using Rows = std::vector<std::vector<long>>;   // PolyLib constraint rows: flag, coefficients, constant

DomainPtr polyhedron(const Rows& rows) {
    Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows.size()), static_cast<unsigned>(rows.front().size()));
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < rows[r].size(); ++c) value_set_si(m->p[r][c], rows[r][c]);
    Polyhedron* p = Constraints2Polyhedron(m, 100);
    Matrix_Free(m);
    return DomainPtr(p);
}

DomainPtr union_of(const std::vector<Rows>& pieces) {
    Polyhedron* head = nullptr;
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
        Polyhedron* p = polyhedron(*it).release();
        p->next = head;
        head = p;
    }
    return DomainPtr(head);
}

MatrixPtr matrix(const Rows& rows) {
    Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows.size()), static_cast<unsigned>(rows.front().size()));
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < rows[r].size(); ++c) value_set_si(m->p[r][c], rows[r][c]);
    return MatrixPtr(m);
}

// A value as a product that passed 64 bits leaves it: v * 3 + 2^62, modulo 2^64.
Value wrapped(Value v) { return static_cast<long>(static_cast<unsigned long>(v) * 3u + (1ul << 62)); }

using Vector = std::vector<__int128>;

// Rank by fraction-free elimination; the rows here are short and all but
// one hold small values, so 128 bits hold every intermediate value.
std::size_t rank(std::vector<Vector> rows) {
    std::size_t r = 0;
    for (std::size_t c = 0; !rows.empty() && c < rows.front().size() && r < rows.size(); ++c) {
        std::size_t pivot = r;
        while (pivot < rows.size() && rows[pivot][c] == 0) ++pivot;
        if (pivot == rows.size()) continue;
        std::swap(rows[r], rows[pivot]);
        for (std::size_t k = r + 1; k < rows.size(); ++k) {
            __int128 f = rows[k][c], g = rows[r][c];
            for (std::size_t j = 0; j < rows[k].size(); ++j) rows[k][j] = rows[k][j] * g - rows[r][j] * f;
            __int128 d = 0;
            for (__int128 x : rows[k]) {
                __int128 a = x < 0 ? -x : x;
                while (a) {
                    __int128 t = d % a;
                    d = a;
                    a = t;
                }
            }
            if (d > 1)
                for (__int128& x : rows[k]) x /= d;
        }
        ++r;
    }
    return r;
}

Vector row_of(const Value* row, unsigned size) {
    Vector v;
    for (unsigned c = 1; c <= size; ++c) v.push_back(row[c]);
    return v;
}

// Whether the wrapped row means what the row meant: a multiple of it modulo
// the polyhedron's equalities (for a constraint) or lines (for a generator),
// as PolyLib's own unnormalised rows ("2i >= 0") are. Such a wrap leaves the
// set unchanged and the check accepts it by design.
bool same_meaning(const Vector& row, const Vector& tampered, const std::vector<Vector>& modulo) {
    std::vector<Vector> with_row = modulo, with_both = modulo;
    with_row.push_back(row);
    with_both.push_back(row);
    with_both.push_back(tampered);
    return rank(with_both) == rank(with_row);
}

// Every value of every constraint and generator row of every piece, one at a
// time, except those whose wrap-around leaves the row's meaning unchanged.
void for_each_value(Polyhedron* domain, const std::function<void(Value&, const std::string&)>& visit) {
    int piece = 0;
    for (Polyhedron* p = domain; p; p = p->next, ++piece) {
        unsigned n = p->Dimension + 1;
        std::vector<Vector> equalities, lines;
        for (unsigned r = 0; r < p->NbConstraints; ++r)
            if (p->Constraint[r][0] == 0) equalities.push_back(row_of(p->Constraint[r], n));
        for (unsigned r = 0; r < p->NbRays; ++r)
            if (p->Ray[r][0] == 0) lines.push_back(row_of(p->Ray[r], n));
        auto visit_rows = [&](Value** rows, unsigned count, const std::vector<Vector>& modulo, const char* kind) {
            for (unsigned r = 0; r < count; ++r)
                for (unsigned c = 1; c <= n; ++c) {
                    Vector row = row_of(rows[r], n), tampered = row;
                    tampered[c - 1] = wrapped(rows[r][c]);
                    if (same_meaning(row, tampered, modulo)) continue;
                    visit(rows[r][c], "piece " + std::to_string(piece) + " " + kind + " " + std::to_string(r) +
                                          " column " + std::to_string(c));
                }
        };
        visit_rows(p->Constraint, p->NbConstraints, equalities, "constraint");
        visit_rows(p->Ray, p->NbRays, lines, "ray");
    }
}

struct OperationCase {
    const char* name;
    std::vector<Rows> first;
    std::vector<Rows> second;   // the matrix for image and preimage
    const char* op;
};

// Two overlapping squares, a triangle, a strip with a line, an equality.
const Rows square_0_4 = {{1, 1, 0, 0}, {1, -1, 0, 4}, {1, 0, 1, 0}, {1, 0, -1, 4}};
const Rows square_2_6 = {{1, 1, 0, -2}, {1, -1, 0, 6}, {1, 0, 1, -2}, {1, 0, -1, 6}};
const Rows triangle = {{1, 0, 1, 0}, {1, 1, -1, 0}, {1, -1, 0, 5}};
const Rows strip = {{1, 1, 0, 1}, {1, -1, 0, 3}};
const Rows diagonal = {{0, 1, -1, 0}, {1, 1, 0, 0}, {1, -1, 0, 7}};

const OperationCase operation_cases[] = {
    {"Union", {square_0_4}, {square_2_6}, "union"},
    {"UnionOfThreePieces", {square_0_4, triangle}, {square_2_6}, "union"},
    {"Intersection", {square_0_4}, {square_2_6}, "inter"},
    {"IntersectionWithAStrip", {square_2_6, triangle}, {strip}, "inter"},
    {"IntersectionOnAnEquality", {square_0_4}, {diagonal}, "inter"},
    {"Difference", {square_0_4}, {square_2_6}, "diff"},
    {"DifferenceOfAStrip", {strip}, {triangle}, "diff"},
    {"ConvexHull", {square_0_4, square_2_6}, {}, "convex"},
    {"ConvexHullWithALine", {square_0_4, strip}, {}, "convex"},
    {"DisjointDecomposition", {square_0_4, square_2_6, triangle}, {}, "dd"},
    {"Image", {triangle}, {{{2, 1, 0}, {0, 3, 1}, {0, 0, 1}}}, "image"},
    {"ImageIntoThreeDimensions", {square_0_4, diagonal}, {{{1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}}}, "image"},
    {"Preimage", {square_2_6}, {{{2, 1, 0}, {0, 3, 1}, {0, 0, 1}}}, "preimage"},
    {"PreimageOfAStrip", {strip, triangle}, {{{1, 1, 0}, {0, 1, 0}, {0, 0, 1}}}, "preimage"},
};

void PrintTo(const OperationCase& c, std::ostream* os) { *os << c.name; }

class ExactCheck : public ::testing::TestWithParam<OperationCase> {};

TEST_P(ExactCheck, AcceptsTheResultAndRefusesEveryWrappedValue) {
    const OperationCase& c = GetParam();
    DomainLock lock;
    DomainPtr first = union_of(c.first);
    DomainPtr second = c.second.empty() || c.second.front().front().size() != 4 || std::string(c.op) == "image" ||
                               std::string(c.op) == "preimage"
                           ? nullptr
                           : union_of(c.second);
    MatrixPtr map = std::string(c.op) == "image" || std::string(c.op) == "preimage" ? matrix(c.second.front()) : nullptr;
    std::string op = c.op;
    std::function<Polyhedron*()> compute;
    std::function<bool(const Polyhedron*)> check;
    if (op == "union" || op == "inter" || op == "diff") {
        compute = [&] {
            return op == "union"   ? DomainUnion(first.get(), second.get(), 100)
                   : op == "inter" ? DomainIntersection(first.get(), second.get(), 100)
                                   : DomainDifference(first.get(), second.get(), 100);
        };
        check = [&](const Polyhedron* r) { return exact_binop_result(op, r, first.get(), second.get()); };
    } else if (op == "convex") {
        compute = [&] { return DomainConvex(first.get(), 100); };
        check = [&](const Polyhedron* r) { return exact_convex_result(r, first.get()); };
    } else if (op == "dd") {
        compute = [&] { return Disjoint_Domain(first.get(), 0, 100); };
        check = [&](const Polyhedron* r) { return exact_disjoint_result(r, first.get()); };
    } else {
        compute = [&] {
            return op == "image" ? DomainImage(first.get(), map.get(), 100) : DomainPreimage(first.get(), map.get(), 100);
        };
        check = [&](const Polyhedron* r) { return exact_image_result(op, r, first.get(), map.get()); };
    }
    DomainPtr result(compute());
    ASSERT_TRUE(result);
    EXPECT_TRUE(check(result.get()));
    int refused = 0, tried = 0;
    for_each_value(result.get(), [&](Value& v, const std::string& where) {
        Value saved = v;
        v = wrapped(v);
        ++tried;
        bool accepted = check(result.get());
        EXPECT_FALSE(accepted) << "wrapped value at " << where << " accepted";
        refused += !accepted;
        v = saved;
    });
    EXPECT_GT(tried, 0);
    EXPECT_EQ(refused, tried);
    EXPECT_TRUE(check(result.get()));
}

INSTANTIATE_TEST_SUITE_P(Operations, ExactCheck, ::testing::ValuesIn(operation_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// The check of one polyhedron's two descriptions, on its own: PolyLib's
// answer holds, and each kind of fault is seen.
TEST(ExactPolyhedron, SeesMissingAndForeignGeneratorsAndConstraints) {
    DomainLock lock;
    for (const Rows& rows : {square_0_4, triangle, strip, diagonal}) {
        DomainPtr p = polyhedron(rows);
        EXPECT_TRUE(exact_polyhedron(p.get()));
        if (p->NbRays > 1) {
            unsigned saved = p->NbRays;
            p->NbRays = saved - 1;   // a lost generator: the cone of the constraints is larger
            EXPECT_FALSE(exact_polyhedron(p.get()));
            p->NbRays = saved;
        }
        unsigned saved = p->NbConstraints;
        p->NbConstraints = saved - 1;   // a lost constraint: a generator of the constraints is missing
        EXPECT_FALSE(exact_polyhedron(p.get()));
        p->NbConstraints = saved;
    }
    DomainPtr empty = polyhedron({{1, 1, -1}, {1, -1, 0}});   // 1 <= i <= 0
    EXPECT_TRUE(exact_polyhedron(empty.get()));
    DomainPtr universe(Universe_Polyhedron(3));
    EXPECT_TRUE(exact_polyhedron(universe.get()));
}

// The exact double description against hand-computed generators.
TEST(ExactDoubleDescription, FindsVerticesRaysAndLines) {
    struct Known {
        const char* name;
        ConeConstraints constraints;   // in (i, j, d)
        std::size_t lines, rays, vertices;
    };
    auto row = [](long a, long b, long c) { return ExactRow{a, b, c}; };
    const Known known[] = {
        {"Square", {{}, {row(1, 0, 0), row(-1, 0, 4), row(0, 1, 0), row(0, -1, 4)}}, 0, 0, 4},
        {"Quadrant", {{}, {row(1, 0, 0), row(0, 1, 0)}}, 0, 2, 1},
        {"HalfPlane", {{}, {row(1, 0, -2)}}, 1, 1, 1},
        {"Plane", {{}, {}}, 2, 0, 1},
        {"Segment", {{row(1, -1, 0)}, {row(1, 0, 0), row(-1, 0, 3)}}, 0, 0, 2},
        {"Empty", {{}, {row(1, 0, -1), row(-1, 0, 0)}}, 1, 0, 0},
        {"PentagonCutCorner", {{}, {row(1, 0, 0), row(-1, 0, 4), row(0, 1, 0), row(0, -1, 4), row(-1, -1, 6)}}, 0, 0, 5},
    };
    for (const Known& k : known) {
        ExactSet set = exact_set_from_constraints(3, k.constraints);
        std::size_t vertices = 0, rays = 0;
        for (const ExactRow& r : set.generators.rays) (r.back() > 0 ? vertices : rays) += 1;
        EXPECT_EQ(set.generators.lines.size(), k.lines) << k.name;
        EXPECT_EQ(rays, k.rays) << k.name;
        EXPECT_EQ(vertices, k.vertices) << k.name;
        EXPECT_EQ(set.empty, k.vertices == 0) << k.name;
    }
}

// The hybrid integers against GMP alone, around the 128-bit edge where they
// change representation.
TEST(ExactNumberArithmetic, AgreesWithGmpAcrossThe128BitEdge) {
    const mpz_class edge = mpz_class(1) << 126;
    const mpz_class values[] = {0,           1,          -1,         mpz_class("9223372036854775807"),
                                mpz_class("-9223372036854775808"), edge - 1,   -(edge - 1), edge,
                                -edge,       edge * 3 + 7, mpz_class("170141183460469231731687303715884105727"),
                                mpz_class("-170141183460469231731687303715884105728")};
    for (const mpz_class& a : values) {
        for (const mpz_class& b : values) {
            ExactNumber x(a), y(b);
            EXPECT_EQ((x + y).to_mpz(), mpz_class(a + b)) << a << " + " << b;
            EXPECT_EQ((x - y).to_mpz(), mpz_class(a - b)) << a << " - " << b;
            EXPECT_EQ((x * y).to_mpz(), mpz_class(a * b)) << a << " * " << b;
            EXPECT_EQ(x < y, a < b) << a << " < " << b;
            EXPECT_EQ(x == y, a == b) << a << " == " << b;
            mpz_class g;
            mpz_gcd(g.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
            EXPECT_EQ(gcd(x, y).to_mpz(), g) << "gcd " << a << ", " << b;
            if (b != 0) {
                EXPECT_EQ(divide_exactly(x * y, y).to_mpz(), a) << a << " * " << b << " / " << b;
            }
        }
        EXPECT_EQ(sgn(ExactNumber(a)), sgn(a)) << a;
    }
}

}  // namespace
