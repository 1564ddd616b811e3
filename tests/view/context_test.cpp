// Showing domains with and without a context: restriction to parameter
// values, the refusals and their messages, the derived domains, shared marks.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/locks.h"
#include "tests/support/capture.h"
#include "tests/view/view_support.h"
#include "view/context.h"
#include "view/point_scanner.h"
#include "view/projection.h"

namespace {

// The viewer these tests draw with.
Viewer& viewer = test_viewer();

}   // namespace

namespace {

using Vertices = std::vector<std::vector<std::int64_t>>;

// 0 <= i <= N, 0 <= j <= i over (i, j, N).
const Rows parametric_triangle = {{1, 1, 0, 0, 0}, {1, -1, 0, 1, 0}, {1, 0, 1, 0, 0}, {1, 1, -1, 0, 0}};
// 0 <= i <= 2, 0 <= j <= 2.
const Rows square = {{1, 1, 0, 0}, {1, -1, 0, 2}, {1, 0, 1, 0}, {1, 0, -1, 2}};

class Context : public ::testing::Test {
protected:
    DomainLock lock;
    void SetUp() override {
        viewer.state.DimNP = 2;
        reset_axes(viewer);
    }
    void TearDown() override { clear_viewer_state(); }
    static void set_parameters(std::vector<std::int64_t> values) {
        viewer.context.nb_params = static_cast<int>(values.size());
        viewer.context.param_values = values;
        viewer.context.param_set.assign(values.size(), 1);
        viewer.context.context_valid = 1;
    }
    static MarkedPoint* marks(std::vector<std::vector<std::int64_t>> points) {
        MarkedPoint* list = nullptr;
        for (auto it = points.rbegin(); it != points.rend(); ++it) {
            auto* m = new MarkedPoint{};
            for (std::size_t k = 0; k < it->size(); ++k) m->coords[k] = (*it)[k];
            m->next = list;
            list = m;
        }
        return list;
    }
    static Vertices points_of(const MarkedPoint* list) {
        Vertices result;
        for (; list; list = list->next) result.push_back({list->coords[0], list->coords[1]});
        std::sort(result.begin(), result.end());
        return result;
    }
};

struct RestrictCase {
    std::int64_t n;
    Vertices vertices;   // empty: no restriction
};

TEST_F(Context, RestrictsTheParametricTriangle) {
    const RestrictCase cases[] = {
        {3, {{0, 0}, {3, 0}, {3, 3}}},
        {0, {{0, 0}}},
        {-1, {}},
    };
    Polyhedron* triangle = polyhedron_from_rows(3, parametric_triangle);
    for (const RestrictCase& c : cases) {
        SCOPED_TRACE(c.n);
        set_parameters({c.n});
        bool failed = true;
        DomainPtr restricted(restrict_to_context(viewer, triangle, &failed));
        EXPECT_FALSE(failed);
        if (c.vertices.empty()) {
            EXPECT_EQ(restricted, nullptr);
            continue;
        }
        ASSERT_NE(restricted, nullptr);
        EXPECT_EQ(restricted->Dimension, 2u);
        EXPECT_EQ(vertices_of(restricted.get()), c.vertices);
    }
    Domain_Free(triangle);
}

TEST_F(Context, RestrictsEveryPolyhedronOfAUnion) {
    // 0 <= i <= N, j = 0  union  i = 0, 0 <= j <= N + 1.
    Polyhedron* along_i = polyhedron_from_rows(3, {{1, 1, 0, 0, 0}, {1, -1, 0, 1, 0}, {0, 0, 1, 0, 0}});
    Polyhedron* along_j = polyhedron_from_rows(3, {{0, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, -1, 1, 1}});
    DomainPtr domain(union_of({along_i, along_j}));
    set_parameters({2});
    DomainPtr restricted(restrict_to_context(viewer, domain.get()));
    ASSERT_NE(restricted, nullptr);
    ASSERT_NE(restricted->next, nullptr);
    const std::int64_t on_i[2] = {2, 0}, on_j[2] = {0, 3}, off[2] = {1, 1};
    EXPECT_EQ(point_in_domain(restricted.get(), on_i), 1);
    EXPECT_EQ(point_in_domain(restricted.get(), on_j), 1);
    EXPECT_EQ(point_in_domain(restricted.get(), off), 0);
}

TEST_F(Context, OverflowingParameterValuesAreAFailureNotAnEmptyDomain) {
    DomainPtr triangle(polyhedron_from_rows(3, {{1, 1, 0, 0, 0}, {1, -1, 0, INT64_MAX / 4, 0}, {1, 0, 1, 0, 0},
                                                {1, 1, -1, 0, 0}}));
    set_parameters({16});
    bool failed = false;
    EXPECT_EQ(restrict_to_context(viewer, triangle.get(), &failed), nullptr);
    EXPECT_TRUE(failed);
    DomainEntry* t = push_entry("T", triangle.release());
    std::string out = capture_stdout([&] { EXPECT_EQ(show_with_context(viewer, t), 0); });
    EXPECT_EQ(out, "Domain T can't be restricted to these parameter values!\n");
}

TEST_F(Context, ShowWithContext) {
    DomainEntry* t = push_entry("T", polyhedron_from_rows(3, parametric_triangle));
    set_parameters({3});
    std::string out = capture_stdout([&] { EXPECT_EQ(show_with_context(viewer, t), 1); });
    EXPECT_EQ(out, "");
    ASSERT_NE(t->view, nullptr);
    EXPECT_EQ(t->view->show_points, 1);
    EXPECT_EQ(vertices_of(t->view->domain), (Vertices{{0, 0}, {3, 0}, {3, 3}}));
    ASSERT_NE(viewer.state.view_hull, nullptr);
    EXPECT_EQ(vertices_of(viewer.state.view_hull), (Vertices{{0, 0}, {3, 0}, {3, 3}}));

    set_parameters({-1});
    Polyhedron* kept = t->view->domain;
    out = capture_stdout([&] { EXPECT_EQ(show_with_context(viewer, t), 0); });
    EXPECT_EQ(out, "Empty domain T!\n");
    EXPECT_EQ(t->view->domain, kept);
}

struct RefusalCase {
    const char* name;
    int context_valid;
    unsigned dimension;
    Rows rows;
    const char* message;
};

TEST_F(Context, ShowWithContextRefusals) {
    const RefusalCase cases[] = {
        {"wrong dimension", 1, 2, square, "Domain D can't be vizualized with this context!\n"},
        {"context not valid", 0, 3, parametric_triangle, ""},
        {"wrong dimension, context not valid", 0, 2, square, ""},
        {"unbounded for this value", 1, 3, {{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 1, -1, 1, 0}},
         "Domain D is not bounded!\n"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        DomainEntry* d = push_entry("D", polyhedron_from_rows(c.dimension, c.rows));
        set_parameters({3});
        viewer.context.context_valid = c.context_valid;
        std::string out = capture_stdout([&] { EXPECT_EQ(show_with_context(viewer, d), 0); });
        EXPECT_EQ(out, c.message);
        EXPECT_EQ(d->view, nullptr);
        EXPECT_EQ(viewer.state.view_hull, nullptr);
        clear_viewer_state();
        viewer.state.DimNP = 2;
    }
}

TEST_F(Context, ShowWithContextRecollectsMarks) {
    DomainEntry* t = push_entry("T", polyhedron_from_rows(3, parametric_triangle));
    DomainEntry* s = push_entry("S", polyhedron_from_rows(2, square));
    set_parameters({3});
    ASSERT_EQ(show_with_context(viewer, t), 1);
    s->view = new DomainView{polyhedron_from_rows(2, square), 1, marks({{1, 1}, {2, 2}})};
    free_marks(t->view->marked);
    t->view->marked = marks({{3, 0}, {1, 1}});
    ASSERT_EQ(show_with_context(viewer, t), 1);
    // (3,0) was T's alone and is lost; S's points inside T are now T's too.
    EXPECT_EQ(points_of(t->view->marked), (Vertices{{1, 1}, {2, 2}}));
}

TEST_F(Context, ShowWithoutContextRefusals) {
    const RefusalCase cases[] = {
        {"wrong dimension", 1, 3, parametric_triangle, "Domain D can't be visualized!\n"},
        {"empty", 1, 2, {{1, 1, 0, -3}, {1, -1, 0, 1}}, "Empty domain D!\n"},
        {"half-plane", 1, 2, {{1, 1, 0, 0}}, "Domain D is not bounded!\n"},
        {"quadrant", 1, 2, {{1, 1, 0, 0}, {1, 0, 1, 0}}, "Domain D is not bounded!\n"},
        {"strip", 1, 2, {{1, 1, 0, 0}, {1, -1, 0, 2}, {1, 0, 1, 0}}, "Domain D is not bounded!\n"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        DomainEntry* d = push_entry("D", polyhedron_from_rows(c.dimension, c.rows));
        std::string out = capture_stdout([&] { EXPECT_EQ(show_without_context(viewer, d), 0); });
        EXPECT_EQ(out, c.message);
        EXPECT_EQ(d->view, nullptr);
        EXPECT_EQ(viewer.state.visible_union, nullptr);
        EXPECT_EQ(viewer.state.view_hull, nullptr);
        clear_viewer_state();
        viewer.state.DimNP = 2;
    }
}

// A domain whose first generator is a vertex but which has rays elsewhere:
// judged on every generator, it is refused, and the view rectangle stays finite.
TEST_F(Context, UnboundedDomainWithAVertexFirstIsRefused) {
    // i + j >= 2, i >= 0, j >= 0: PolyLib lists the vertex (0,2) first.
    Polyhedron* corner = polyhedron_from_rows(2, {{1, 1, 1, -2}, {1, 1, 0, 0}, {1, 0, 1, 0}});
    ASSERT_NE(corner->Ray[0][3], 0) << "the first generator should be a vertex";
    DomainEntry* d = push_entry("D", corner);
    std::string out = capture_stdout([&] { EXPECT_EQ(show_without_context(viewer, d), 0); });
    EXPECT_EQ(out, "Domain D is not bounded!\n");

    Polyhedron* bounded = polyhedron_from_rows(2, square);
    Polyhedron* unbounded = polyhedron_from_rows(2, {{1, 1, 0, -5}, {1, 0, 1, 0}, {1, 0, -1, 1}});
    DomainEntry* u = push_entry("U", union_of({bounded, unbounded}));
    out = capture_stdout([&] { EXPECT_EQ(show_without_context(viewer, u), 0); });
    EXPECT_EQ(out, "Domain U is not bounded!\n");
    EXPECT_FALSE(domain_is_bounded(u->domain));
}

TEST_F(Context, ShowWithoutContextCopiesTheDomain) {
    DomainEntry* d = push_entry("D", polyhedron_from_rows(2, square));
    std::string out = capture_stdout([&] { EXPECT_EQ(show_without_context(viewer, d), 1); });
    EXPECT_EQ(out, "");
    ASSERT_NE(d->view, nullptr);
    EXPECT_NE(d->view->domain, d->domain);
    EXPECT_EQ(vertices_of(d->view->domain), vertices_of(d->domain));
    EXPECT_EQ(d->view->show_points, 1);
    EXPECT_EQ(d->view->marked, nullptr);
    ASSERT_NE(viewer.state.view_hull, nullptr);
    EXPECT_EQ(vertices_of(viewer.state.view_hull), (Vertices{{0, 0}, {0, 2}, {2, 0}, {2, 2}}));
    EXPECT_EQ(viewer.projection.axes_bounds[0], 1.0f);
}

TEST_F(Context, DerivedDomains) {
    DomainEntry* a = push_entry("A", polyhedron_from_rows(2, square));
    DomainEntry* b = push_entry("B", polyhedron_from_rows(2, {{0, 1, 0, -5}, {0, 0, 1, -1}}));
    update_view_hull(viewer);
    EXPECT_EQ(viewer.state.visible_union, nullptr);
    EXPECT_EQ(viewer.state.view_hull, nullptr);
    ASSERT_EQ(show_without_context(viewer, a), 1);
    ASSERT_EQ(show_without_context(viewer, b), 1);
    ASSERT_NE(viewer.state.view_hull, nullptr);
    EXPECT_EQ(viewer.state.view_hull->next, nullptr);
    EXPECT_EQ(vertices_of(viewer.state.view_hull), (Vertices{{0, 0}, {0, 2}, {2, 0}, {2, 2}, {5, 1}}));
    b->view->show_points = 0;
    update_points_union(viewer);
    ASSERT_NE(viewer.state.points_union, nullptr);
    const std::int64_t in_b[2] = {5, 1}, in_a[2] = {1, 1};
    EXPECT_EQ(point_in_domain(viewer.state.points_union, in_b), 0);
    EXPECT_EQ(point_in_domain(viewer.state.points_union, in_a), 1);
    drop_derived_domains(viewer);
    EXPECT_EQ(viewer.state.visible_union, nullptr);
    EXPECT_EQ(viewer.state.view_hull, nullptr);
    EXPECT_EQ(viewer.state.points_union, nullptr);
    EXPECT_NE(a->view, nullptr);
}

TEST_F(Context, MarksSurviveThroughOtherViewsWithoutDuplicates) {
    DomainEntry* a = push_entry("A", polyhedron_from_rows(2, square));
    DomainEntry* b = push_entry("B", polyhedron_from_rows(2, {{1, 1, 0, 0}, {1, -1, 0, 1}, {1, 0, 1, 0}, {1, 0, -1, 1}}));
    DomainEntry* c = push_entry("C", polyhedron_from_rows(2, square));
    ASSERT_EQ(show_without_context(viewer, a), 1);
    ASSERT_EQ(show_without_context(viewer, b), 1);
    a->view->marked = marks({{1, 1}, {2, 2}});
    b->view->marked = marks({{1, 1}, {0, 1}});
    // Masking B and showing it again: (1,1) comes back from A, (0,1) was B's alone.
    free_view(b->view);
    b->view = nullptr;
    ASSERT_EQ(show_without_context(viewer, b), 1);
    b->view->marked = collect_marks(viewer, b);
    EXPECT_EQ(points_of(b->view->marked), (Vertices{{1, 1}}));
    // C holds every point of A and B once.
    free_marks(b->view->marked);
    b->view->marked = marks({{1, 1}, {0, 0}});
    ASSERT_EQ(show_without_context(viewer, c), 1);
    c->view->marked = collect_marks(viewer, c);
    EXPECT_EQ(points_of(c->view->marked), (Vertices{{0, 0}, {1, 1}, {2, 2}}));
}

}   // namespace
