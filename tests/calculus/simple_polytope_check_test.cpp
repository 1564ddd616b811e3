// The quick proof for simple polytopes: PolyLib's true descriptions of
// boxes and simplices pass it, and the same descriptions with a vertex
// taken away, a vertex moved, a constraint moved, a redundant constraint
// added or a declared row left out do not; polytopes that are not simple,
// or have an equality, a ray or a line, are left to the full check.
#include <gtest/gtest.h>

#include "base/locks.h"
#include "calculus/exact_check.h"
#include "calculus/simple_polytope_check.h"

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

std::vector<const std::int64_t*> pointers(const Rows& rows) {
    std::vector<const std::int64_t*> list;
    for (const auto& r : rows) list.push_back(reinterpret_cast<const std::int64_t*>(r.data()));
    return list;
}

Rows box(unsigned d, long side) {
    Rows rows;
    for (unsigned k = 0; k < d; ++k) {
        std::vector<long> low(d + 2, 0), high(d + 2, 0);
        low[0] = high[0] = 1;
        low[k + 1] = 1;
        high[k + 1] = -1;
        high[d + 1] = side;
        rows.push_back(low);
        rows.push_back(high);
    }
    return rows;
}

Rows simplex(unsigned d, long side) {
    Rows rows;
    for (unsigned k = 0; k < d; ++k) {
        std::vector<long> r(d + 2, 0);
        r[0] = 1;
        r[k + 1] = 1;
        rows.push_back(r);
    }
    std::vector<long> sum(d + 2, -1);
    sum[0] = 1;
    sum[d + 1] = side;
    rows.push_back(sum);
    return rows;
}

TEST(SimplePolytopeCheck, PolyLibsTrueDescriptionsPass) {
    DomainLock lock;
    for (unsigned d = 1; d <= 8; ++d)
        for (const Rows& rows : {box(d, 7), simplex(d, 5)}) {
            DomainPtr p = polyhedron(rows);
            EXPECT_TRUE(simple_polytope_shown(p.get())) << d;
            EXPECT_TRUE(simple_declaration_shown(p.get(), pointers(rows))) << d;
            EXPECT_TRUE(exact_polyhedron(p.get())) << d;
        }
}

TEST(SimplePolytopeCheck, WrongDescriptionsAreNotShown) {
    DomainLock lock;
    const Rows rows = box(3, 4);
    struct Fault {
        const char* name;
        void (*make)(Polyhedron*);
    };
    const Fault faults[] = {
        // The last vertex left out: its three edges have one end only.
        {"vertex left out", [](Polyhedron* p) { --p->NbRays; }},
        // A vertex moved off its corner: it is tight on fewer constraints.
        {"vertex moved", [](Polyhedron* p) { value_set_si(p->Ray[0][1], value_of(p->Ray[0][1]) + 1); }},
        // A constraint moved out: the vertices on it are no longer tight.
        {"constraint moved", [](Polyhedron* p) {
             Value* row = p->Constraint[0];
             value_set_si(row[p->Dimension + 1], value_of(row[p->Dimension + 1]) + 1);
         }},
        // Two vertices swapped for a copy of one: the edges do not pair up.
        {"vertex doubled", [](Polyhedron* p) {
             for (unsigned c = 0; c <= p->Dimension + 1; ++c) value_assign(p->Ray[1][c], p->Ray[0][c]);
         }},
    };
    for (const Fault& f : faults) {
        DomainPtr p = polyhedron(rows);
        f.make(p.get());
        EXPECT_FALSE(simple_polytope_shown(p.get())) << f.name;
    }
    // The declared set is another one: a row PolyLib has is not declared,
    // or a declared row cuts a vertex.
    DomainPtr p = polyhedron(rows);
    Rows fewer(rows.begin(), rows.end() - 1), tighter = rows;
    tighter.back().back() -= 1;
    EXPECT_FALSE(simple_declaration_shown(p.get(), pointers(fewer)));
    EXPECT_FALSE(simple_declaration_shown(p.get(), pointers(tighter)));
    // A redundant row declared too is fine: it holds at every vertex.
    Rows more = rows;
    more.push_back({1, -1, -1, -1, 100});
    EXPECT_TRUE(simple_declaration_shown(p.get(), pointers(more)));
}

TEST(SimplePolytopeCheck, OtherPolyhedraAreLeftToTheFullCheck) {
    DomainLock lock;
    const Rows others[] = {
        // An octahedron: four facets at each vertex in three dimensions.
        {{1, 1, 1, 1, 1}, {1, 1, 1, -1, 1}, {1, 1, -1, 1, 1}, {1, 1, -1, -1, 1},
         {1, -1, 1, 1, 1}, {1, -1, 1, -1, 1}, {1, -1, -1, 1, 1}, {1, -1, -1, -1, 1}},
        // A square pyramid: four facets at the apex.
        {{1, 0, 0, 1, 0}, {1, 1, 0, -1, 2}, {1, -1, 0, -1, 2}, {1, 0, 1, -1, 2}, {1, 0, -1, -1, 2}},
        // A triangle in a plane of three dimensions (an equality).
        {{0, 1, 1, 1, -3}, {1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 0, 1, 0}},
        // A quadrant (rays).
        {{1, 1, 0, 0}, {1, 0, 1, 0}},
    };
    for (const Rows& rows : others) {
        DomainPtr p = polyhedron(rows);
        EXPECT_FALSE(simple_polytope_shown(p.get()));
        EXPECT_TRUE(exact_polyhedron(p.get()));
    }
}

}  // namespace
