// Domains made in the worker: the calculator rebuilds exactly the polyhedra
// PolyLib made (constraints, rays and their order), and the worker's
// failures are told as the work done here tells them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/locks.h"
#include "calculus/domain_work.h"
#include "store/registry.h"
#include "tests/support/capture.h"

namespace {

MatrixPtr matrix_of(unsigned columns, const std::vector<std::vector<long>>& rows) {
    MatrixPtr m(Matrix_Alloc(static_cast<unsigned>(rows.size()), columns));
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < columns; ++c) value_set_si(m->p[r][c], rows[r][c]);
    return m;
}

DomainPtr domain_of(unsigned columns, const std::vector<std::vector<long>>& rows) {
    MatrixPtr m = matrix_of(columns, rows);
    return DomainPtr(Constraints2Polyhedron(m.get(), 100));
}

// Every piece as PolyLib prints it: its constraint and ray rows in order.
std::string rows_of(const Polyhedron* domain) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    for (const Polyhedron* p = domain; p; p = p->next) Polyhedron_Print(out, "%4ld", const_cast<Polyhedron*>(p));
    std::fclose(out);
    std::string rows(text, size);
    std::free(text);
    return rows;
}

struct Operands {
    DomainPtr square = domain_of(4, {{1, 1, 0, 0}, {1, -1, 0, 4}, {1, 0, 1, 0}, {1, 0, -1, 4}});
    DomainPtr band = domain_of(4, {{1, 1, -1, 0}, {1, -1, 1, 2}});
    DomainPtr two_pieces;
    DomainPtr last_half = domain_of(3, {{1, -1, 2}});
    MatrixPtr box_rows = matrix_of(5, {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 3}, {1, 0, 1, 0, 0},
                                       {1, 0, -1, 0, 3}, {0, 0, 0, 1, -2}});
    MatrixPtr shear = matrix_of(3, {{1, 1, 0}, {0, 1, 1}, {0, 0, 1}});
    MatrixPtr wrapping = matrix_of(4, {{1, -2147483647, 2147483646, 2147483645}, {1, 2147483646, -2147483643, -7}});
    MatrixPtr throwing = matrix_of(5, {{1, 2000000000, 1999999999, 1999999998, 2147483647},
                                       {1, 1999999997, -2000000000, 1999999993, 2147483647},
                                       {1, 1999999991, 1999999999, -1999999998, 2147483641}});
    Operands() {
        two_pieces.reset(Domain_Copy(square.get()));
        two_pieces->next = Domain_Copy(band.get());
    }
};

TEST(DomainWork, TheWorkersResultIsTheVeryPolyhedraMadeHere) {
    DomainLock lock;
    Operands o;
    StoreSession session;
    struct Case {
        const char* what;
        DomainWork work;
    };
    const Case cases[] = {
        {"declaration with an equality", {DomainWorkKind::declaration, nullptr, nullptr, o.box_rows.get()}},
        {"union", {DomainWorkKind::union_of, o.square.get(), o.band.get()}},
        {"intersection", {DomainWorkKind::intersection, o.square.get(), o.band.get()}},
        {"difference", {DomainWorkKind::difference, o.square.get(), o.band.get()}},
        {"image", {DomainWorkKind::image, o.square.get(), nullptr, o.shear.get()}},
        {"preimage", {DomainWorkKind::preimage, o.square.get(), nullptr, o.shear.get()}},
        {"convex hull of two pieces", {DomainWorkKind::convex_hull, o.two_pieces.get()}},
        {"disjoint decomposition", {DomainWorkKind::disjoint, o.two_pieces.get()}},
        {"gist of two pieces in a band", {DomainWorkKind::gist, o.two_pieces.get(), o.band.get()}},
        {"gist of a square in a context on its last dimension", {DomainWorkKind::gist, o.square.get(), o.last_half.get()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MadeDomain here = make_domain_here(c.work);
        MadeDomain there = make_domain_in_worker(session, c.work);
        ASSERT_EQ(here.outcome, DomainWorkOutcome::Made);
        ASSERT_EQ(there.outcome, DomainWorkOutcome::Made);
        ASSERT_TRUE(here.domain && there.domain);
        EXPECT_EQ(rows_of(there.domain.get()), rows_of(here.domain.get()));
    }
}

TEST(DomainWork, PolyLibsFailuresAreToldAsTheWorkDoneHereTellsThem) {
    DomainLock lock;
    Operands o;
    StoreSession session;
    struct Case {
        const char* what;
        const Matrix* rows;
        DomainWorkOutcome outcome;
    };
    const Case cases[] = {
        {"a vertex wraps around", o.wrapping.get(), DomainWorkOutcome::WrappedAround},
        {"PolyLib throws on overflow", o.throwing.get(), DomainWorkOutcome::LibraryFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DomainWork work{DomainWorkKind::declaration, nullptr, nullptr, c.rows};
        MadeDomain here = make_domain_here(work);
        MadeDomain there = make_domain_in_worker(session, work);
        EXPECT_EQ(here.outcome, c.outcome);
        EXPECT_EQ(there.outcome, c.outcome);
        EXPECT_FALSE(here.domain);
        EXPECT_FALSE(there.domain);
    }
}

// Small work costs no exchange; a box of 10 dimensions (1024 vertices) or
// more, or an operation on many rows, goes to the worker.
TEST(DomainWork, OnlyWorkBoundedToFewVerticesStaysHere) {
    DomainLock lock;
    auto box = [](unsigned dimension) {
        std::vector<std::vector<long>> rows;
        for (unsigned k = 0; k < dimension; ++k) {
            std::vector<long> low(dimension + 2, 0), high(dimension + 2, 0);
            low[0] = high[0] = 1;
            low[k + 1] = 1;
            high[k + 1] = -1;
            high[dimension + 1] = 1;
            rows.push_back(low);
            rows.push_back(high);
        }
        return matrix_of(dimension + 2, rows);
    };
    struct Case {
        unsigned dimension;
        bool quick;
    };
    for (Case c : {Case{1, true}, Case{3, true}, Case{5, true}, Case{10, false}, Case{16, false}}) {
        SCOPED_TRACE(std::to_string(c.dimension) + " dimensions");
        MatrixPtr rows = box(c.dimension);
        EXPECT_EQ(quick_domain_work({DomainWorkKind::declaration, nullptr, nullptr, rows.get()}), c.quick);
    }
    Operands o;
    EXPECT_TRUE(quick_domain_work({DomainWorkKind::union_of, o.square.get(), o.band.get()}));
}

}  // namespace
