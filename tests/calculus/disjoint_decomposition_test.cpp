// The disjoint decomposition, checked on PolyLib domains directly: points are
// tested against the constraint rows, so no printer is involved.
#include <gtest/gtest.h>

#include <random>

#include "base/locks.h"
#include "calculus/disjoint_decomposition.h"

namespace {

using Rows = std::vector<std::vector<long long>>;

constexpr long long low = -3;
constexpr long long high = 22;

// Expects domain_lock held.
Polyhedron* polyhedron_from(const Rows& rows) {
    Matrix* m = Matrix_Alloc(rows.size(), rows[0].size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) m->p[r][c] = rows[r][c];
    Polyhedron* p = Constraints2Polyhedron(m, 100);
    Matrix_Free(m);
    return p;
}

DomainPtr union_of(const std::vector<Rows>& pieces) {
    Polyhedron* head = nullptr;
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
        Polyhedron* p = polyhedron_from(*it);
        p->next = head;
        head = p;
    }
    return DomainPtr(head);
}

bool inside(const Polyhedron* p, long long x, long long y) {
    for (unsigned r = 0; r < p->NbConstraints; ++r) {
        const Value* c = p->Constraint[r];
        long long v = c[1] * x + c[2] * y + c[3];
        if (c[0] == 0 ? v != 0 : v < 0) return false;
    }
    return true;
}

int pieces_containing(const Polyhedron* domain, long long x, long long y) {
    int n = 0;
    for (const Polyhedron* p = domain; p; p = p->next) n += inside(p, x, y);
    return n;
}

bool partitions(const Polyhedron* pieces, const Polyhedron* operand) {
    for (long long x = low; x <= high; ++x)
        for (long long y = low; y <= high; ++y)
            if (pieces_containing(pieces, x, y) != (pieces_containing(operand, x, y) > 0 ? 1 : 0)) return false;
    return true;
}

// Every point of the box in exactly one piece if it is in the operand, in none otherwise.
void expect_partition(const Polyhedron* pieces, const Polyhedron* operand) {
    for (long long x = low; x <= high; ++x)
        for (long long y = low; y <= high; ++y) {
            int expected = pieces_containing(operand, x, y) > 0 ? 1 : 0;
            ASSERT_EQ(pieces_containing(pieces, x, y), expected) << "at (" << x << ", " << y << ")";
        }
}

// The three polyhedra on which PolyLib's Disjoint_Domain returns two pieces
// that share (6, 4) and (6, 5).
const std::vector<Rows> overlapping_case = {
    {{1, 1, 0, -4}, {1, -1, 0, 6}, {1, 0, 1, -7}, {1, 0, -1, 8}},
    {{1, -1, 0, 7}, {1, 0, 1, -3}, {1, 0, -1, 5}, {1, 3, 3, -26}},
    {{1, 1, 0, -6}, {1, -1, 0, 12}, {1, 0, 1, -4}, {1, 0, -1, 6}},
};

TEST(DisjointDomain, CheckSeesTheLibraryOverlapOnThreePieces) {
    DomainLock lock;
    DomainPtr operand = union_of(overlapping_case);
    DomainPtr library(Disjoint_Domain(operand.get(), 0, 100));
    bool library_partitions = partitions(library.get(), operand.get());
    EXPECT_EQ(is_disjoint_decomposition(library.get(), operand.get()), library_partitions);
}

TEST(DisjointDomain, SoundResultPartitionsTheThreePieces) {
    DomainLock lock;
    DomainPtr operand = union_of(overlapping_case);
    DomainPtr result = sound_disjoint_domain(operand.get());
    EXPECT_TRUE(is_disjoint_decomposition(result.get(), operand.get()));
    expect_partition(result.get(), operand.get());
}

TEST(DisjointDomain, CheckAcceptsAPartitionAndRefusesOverlapsAndLosses) {
    DomainLock lock;
    DomainPtr left = union_of({{{1, 1, 0, 0}, {1, -1, 0, 4}, {1, 0, 1, 0}, {1, 0, -1, 4}}});
    DomainPtr halves = union_of({{{1, 1, 0, 0}, {1, -1, 0, 1}, {1, 0, 1, 0}, {1, 0, -1, 4}},
                                 {{1, 1, 0, -2}, {1, -1, 0, 4}, {1, 0, 1, 0}, {1, 0, -1, 4}}});
    DomainPtr overlapping = union_of({{{1, 1, 0, 0}, {1, -1, 0, 2}, {1, 0, 1, 0}, {1, 0, -1, 4}},
                                      {{1, 1, 0, -2}, {1, -1, 0, 4}, {1, 0, 1, 0}, {1, 0, -1, 4}}});
    DomainPtr short_of_one = union_of({{{1, 1, 0, 0}, {1, -1, 0, 1}, {1, 0, 1, 0}, {1, 0, -1, 4}},
                                       {{1, 1, 0, -2}, {1, -1, 0, 4}, {1, 0, 1, -1}, {1, 0, -1, 4}}});
    EXPECT_TRUE(is_disjoint_decomposition(halves.get(), left.get()));
    EXPECT_FALSE(is_disjoint_decomposition(overlapping.get(), left.get()));
    EXPECT_FALSE(is_disjoint_decomposition(short_of_one.get(), left.get()));
}

TEST(DisjointDomain, EmptyOperandGivesAnEmptyDomain) {
    DomainLock lock;
    DomainPtr empty = union_of({{{1, 1, 0, -1}, {1, -1, 0, 0}, {1, 0, 1, 0}}});
    DomainPtr result = venn_decomposition(empty.get());
    ASSERT_TRUE(result);
    EXPECT_EQ(result->Dimension, 2u);
    EXPECT_EQ(result->NbRays, 0u);
    EXPECT_EQ(result->next, nullptr);
}

Rows random_polygon(std::mt19937& random) {
    std::uniform_int_distribution<int> position(0, 10), size(1, 7), slope(-3, 3), offset(0, 3);
    long long x0 = position(random), y0 = position(random), w = size(random), h = size(random);
    long long a = slope(random), b = slope(random);
    long long c = -(a * (x0 + w / 2) + b * (y0 + h / 2)) + offset(random);
    return {{1, 1, 0, -x0}, {1, -1, 0, x0 + w}, {1, 0, 1, -y0}, {1, 0, -1, y0 + h}, {1, a, b, c}};
}

// Random unions of two to five polygons, some with equalities, all partitioned exactly.
TEST(DisjointDomain, RandomUnionsArePartitionedExactly) {
    DomainLock lock;
    std::mt19937 random(20240611);
    int fallbacks = 0;
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<Rows> pieces;
        int count = 2 + trial % 4;
        for (int k = 0; k < count; ++k) pieces.push_back(random_polygon(random));
        if (trial % 7 == 0) pieces[0].push_back({0, 1, -1, 0});
        DomainPtr operand = union_of(pieces);
        DomainPtr library(Disjoint_Domain(operand.get(), 0, 100));
        bool accepted = is_disjoint_decomposition(library.get(), operand.get());
        EXPECT_TRUE(!accepted || partitions(library.get(), operand.get())) << "the check accepted a wrong result";
        if (!accepted) ++fallbacks;
        DomainPtr result = sound_disjoint_domain(operand.get());
        SCOPED_TRACE("trial " + std::to_string(trial));
        expect_partition(result.get(), operand.get());
        DomainPtr venn = venn_decomposition(operand.get());
        expect_partition(venn.get(), operand.get());
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(fallbacks, 0) << "no trial exercised the fallback";
}

}  // namespace
