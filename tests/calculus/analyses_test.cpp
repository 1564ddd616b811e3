// The pieces of the analyses that PolyLib's answers alone rarely exercise:
// the vertex-set bit order beyond one 32-bit word, the boundedness and line
// tests that guard the analyses, and the matrix checks of image/preimage.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "base/locks.h"
#include "calculus/analyses.h"
#include "calculus/operations.h"
#include "tests/support/capture.h"

namespace {

// A hand-built PolyLib answer: `count` one-dimensional vertices, vertex k at
// coordinate k, and parametric domains with the given vertex sets.
class FakeParamPolyhedron {
public:
    FakeParamPolyhedron(unsigned listed, int declared, const std::vector<std::set<unsigned>>& domains) {
        DomainLock lock;
        result_.nbV = declared;
        Param_Vertices** tail = &result_.V;
        for (unsigned k = 0; k < listed; ++k) {
            auto* v = static_cast<Param_Vertices*>(std::calloc(1, sizeof(Param_Vertices)));
            v->Vertex = Matrix_Alloc(1, 2);
            value_set_si(v->Vertex->p[0][0], k);
            value_set_si(v->Vertex->p[0][1], 1);
            *tail = v;
            tail = &v->next;
        }
        unsigned words = (listed + 31) / 32;
        Param_Domain** domain_tail = &result_.D;
        for (const auto& bits : domains) {
            auto* d = static_cast<Param_Domain*>(std::calloc(1, sizeof(Param_Domain)));
            d->F = static_cast<unsigned*>(std::calloc(words, sizeof(unsigned)));
            for (unsigned b : bits) d->F[b / 32] |= 1u << (31 - b % 32);
            d->Domain = Universe_Polyhedron(0);
            *domain_tail = d;
            domain_tail = &d->next;
        }
    }
    ~FakeParamPolyhedron() {
        DomainLock lock;
        for (Param_Vertices* v = result_.V; v;) {
            Param_Vertices* next = v->next;
            Matrix_Free(v->Vertex);
            std::free(v);
            v = next;
        }
        for (Param_Domain* d = result_.D; d;) {
            Param_Domain* next = d->next;
            Polyhedron_Free(d->Domain);
            std::free(d->F);
            std::free(d);
            d = next;
        }
    }
    const Param_Polyhedron* get() const { return &result_; }

private:
    Param_Polyhedron result_{};
};

std::string printed_vertices(const FakeParamPolyhedron& fake) {
    DomainLock lock;
    return capture_stdout([&] { print_parametric_vertices(fake.get(), nullptr); });
}

std::string domain_block(const std::vector<unsigned>& vertices) {
    DomainLock lock;
    std::string universe = capture_stdout([] {
        Polyhedron* u = Universe_Polyhedron(0);
        Print_Domain(stdout, u, nullptr);
        Polyhedron_Free(u);
    });
    std::string text = "---------------------------------------\nDomain :\n" + universe + "Vertices :\n";
    for (unsigned v : vertices) text += "[ " + std::to_string(v) + " ]\n";
    return text;
}

TEST(ParametricVertices, VertexSetBitsRunFromTheHighestBitOfEachWord) {
    FakeParamPolyhedron fake(40, 40, {{0, 31, 32, 39}, {1, 30, 33}});
    EXPECT_EQ(printed_vertices(fake), domain_block({0, 31, 32, 39}) + domain_block({1, 30, 33}));
}

TEST(ParametricVertices, WalkStopsAtTheDeclaredNumberOfVertices) {
    FakeParamPolyhedron fake(40, 33, {{0, 32, 33, 39}});
    EXPECT_EQ(printed_vertices(fake), domain_block({0, 32}));
}

TEST(ParametricVertices, DomainWithoutVerticesPrintsItsHeaderOnly) {
    FakeParamPolyhedron fake(3, 3, {{}, {2}});
    EXPECT_EQ(printed_vertices(fake), domain_block({}) + domain_block({2}));
}

struct BoundednessCase {
    const char* name;
    std::vector<std::vector<long long>> rows;
    unsigned parameters;
    bool bounded;
    bool has_line;
};

const BoundednessCase boundedness_cases[] = {
    {"TriangleInN", {{1, -1, 0, 1, 0}, {1, 1, -1, 0, 0}, {1, 0, 1, 0, 0}}, 1, true, false},
    {"AboveTheParameter", {{1, 1, -1, 0}}, 1, false, false},
    {"StripUnboundedInJ", {{1, 1, 0, 0, 0}, {1, -1, 0, 1, 0}, {1, 0, 1, 0, 0}}, 1, false, false},
    {"StripWithALineInJ", {{1, 1, 0, 0, 0}, {1, -1, 0, 1, 0}}, 1, false, true},
    {"FreeVariable", {{1, 0, 1, 0}}, 1, false, true},
    {"EqualityToTheParameter", {{0, 1, -1, 0}}, 1, true, false},
    {"PointLineAlongTheParameter", {{0, 1, 0, 0}}, 1, true, false},
    {"PolytopeWithoutParameters", {{1, 1, 0}, {1, -1, 5}}, 0, true, false},
    {"DiagonalWithoutParameters", {{0, 1, -1, 0}, {1, 1, 0, 0}}, 0, false, false},
    {"DiagonalLineWithoutParameters", {{0, 1, -1, 0}}, 0, false, true},
    {"OnlyParameters", {{1, 1, 0}}, 1, true, false},
    {"AboveBothParameters", {{1, 1, 0, 0, 0}, {1, 1, -1, 0, 0}, {1, 1, 0, -1, 0}}, 2, false, false},
    {"TwoParameterBounded", {{1, 1, 0, 0, 0}, {1, -1, 1, 0, 0}, {1, -1, 0, 1, 0}}, 2, true, false},
};

void PrintTo(const BoundednessCase& c, std::ostream* os) { *os << c.name; }

class BoundednessTest : public ::testing::TestWithParam<BoundednessCase> {};

TEST_P(BoundednessTest, MatchesTheGeometry) {
    const BoundednessCase& c = GetParam();
    DomainLock lock;
    Matrix* m = Matrix_Alloc(c.rows.size(), c.rows[0].size());
    for (std::size_t r = 0; r < c.rows.size(); ++r)
        for (std::size_t k = 0; k < c.rows[r].size(); ++k) value_set_si(m->p[r][k], c.rows[r][k]);
    PolyhedronPtr p(Constraints2Polyhedron(m, 100));
    Matrix_Free(m);
    bool failed = true;
    EXPECT_EQ(bounded_for_fixed_parameters(p.get(), c.parameters, failed), c.bounded);
    EXPECT_FALSE(failed);
    failed = true;
    EXPECT_EQ(has_line_for_fixed_parameters(p.get(), c.parameters, failed), c.has_line);
    EXPECT_FALSE(failed);
}

INSTANTIATE_TEST_SUITE_P(Domains, BoundednessTest, ::testing::ValuesIn(boundedness_cases),
                         [](const auto& info) { return std::string(info.param.name); });

struct MatrixCase {
    std::vector<std::vector<long long>> rows;
    unsigned dimension;
    const char* op;
    bool accepted;
};

TEST(ImageMatrix, SizeAndAffineLastRowAreChecked) {
    const MatrixCase cases[] = {
        {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 2, "image", true},
        {{{1, 0}, {0, 1}}, 2, "image", false},
        {{{1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}}, 2, "image", true},
        {{{1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}}, 2, "preimage", false},
        {{{1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}}, 3, "preimage", true},
        {{{1, 0, 0}, {0, 0, 1}}, 2, "image", true},
        {{{1, 0, 0}, {0, 0, 1}}, 1, "preimage", true},
        {{{1, 0, 0}, {0, 1, 0}, {0, 0, 2}}, 2, "image", true},
        {{{1, 0, 0}, {0, 1, 0}, {0, 0, 0}}, 2, "image", false},
        {{{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, 2, "preimage", false},
        {{{1, 0, 0}, {0, 1, 0}, {1, 0, 1}}, 2, "image", false},
        {{{1}}, 0, "image", true},
        {{{1}}, 1, "preimage", false},
    };
    DomainLock lock;
    for (const MatrixCase& c : cases) {
        MatrixPtr m(Matrix_Alloc(c.rows.size(), c.rows[0].size()));
        for (std::size_t r = 0; r < c.rows.size(); ++r)
            for (std::size_t k = 0; k < c.rows[r].size(); ++k) value_set_si(m->p[r][k], c.rows[r][k]);
        auto problem = image_matrix_problem(m.get(), c.dimension, c.op);
        EXPECT_EQ(!problem.has_value(), c.accepted)
            << c.op << " of dimension " << c.dimension << " by a " << c.rows.size() << "x" << c.rows[0].size()
            << " matrix: " << problem.value_or("accepted");
    }
}

}  // namespace
