// Marker centres found from the pixels' side against the centres of every
// point, over polygons and polytopes with axis-parallel, slanted and
// rational borders, under default, turned, nearly parallel and random axes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <utility>

#include "base/locks.h"
#include "tests/view/view_support.h"
#include "view/context.h"
#include "view/dense_cover.h"
#include "view/marker_batch.h"
#include "view/marker_runs.h"
#include "view/point_scanner.h"
#include "view/projection.h"

namespace {

// The viewer these tests draw with.
Viewer& viewer = test_viewer();

}   // namespace

namespace {

using Centres = std::set<std::pair<int, int>>;
using Axes = std::vector<std::pair<float, float>>;

class DenseCoverTest : public ::testing::Test {
protected:
    DomainLock lock;
    void SetUp() override {
        viewer.projection.canvas_width = 300;
        viewer.projection.canvas_height = 240;
    }
    void TearDown() override {
        viewer.state.view_hull = nullptr;
        viewer.state.DimNP = 2;
        reset_axes(viewer);
    }
    static void set_axes(unsigned dimension, const Axes& axes) {
        viewer.state.DimNP = static_cast<int>(dimension);
        reset_axes(viewer);
        for (std::size_t k = 0; k < axes.size(); ++k) {
            viewer.projection.ProjectionAxes[k][0] = axes[k].first;
            viewer.projection.ProjectionAxes[k][1] = axes[k].second;
        }
    }
    // The view fitted to the polyhedron, as the viewer fits it to its hull.
    static void fit_view(Polyhedron* p) {
        viewer.state.view_hull = p;
        update_view_bounds(viewer);
        viewer.state.view_hull = nullptr;
    }
    static Centres every_point(Polyhedron* p) {
        Centres seen;
        std::int64_t x[MAXDIM] = {};
        EXPECT_EQ(scan_points_by(p, x,
                                 [&](const std::int64_t* point) {
                                     const CanvasPoint c = marker_centre(viewer, point);
                                     if (c.column >= -3 && c.column <= viewer.projection.canvas_width + 2 &&
                                         c.row >= -3 && c.row <= viewer.projection.canvas_height + 2)
                                         seen.insert({c.column, c.row});
                                     return 1;
                                 }),
                  1);
        return seen;
    }
    // Every centre found, read back from its bit.
    static Centres from_pixels(DenseCover& cover) {
        EXPECT_TRUE(cover.centres([] { return false; }));
        Centres seen;
        for (int row = -10; row < viewer.projection.canvas_height + 10; ++row)
            for (int column = -10; column < viewer.projection.canvas_width + 10; ++column)
                if (cover.found_at(column, row)) seen.insert({column, row});
        EXPECT_EQ(static_cast<long>(seen.size()), cover.found_count());
        return seen;
    }
    static void expect_same(const Centres& expected, const Centres& got) {
        EXPECT_EQ(expected.size(), got.size());
        int missing = 0, extra = 0;
        for (const auto& c : expected) missing += got.count(c) == 0;
        for (const auto& c : got) extra += expected.count(c) == 0;
        EXPECT_EQ(missing, 0) << "centres of points not found";
        EXPECT_EQ(extra, 0) << "centres of no point";
    }
};

Rows box2(std::int64_t i0, std::int64_t i1, std::int64_t j0, std::int64_t j1) {
    return {{1, 1, 0, -i0}, {1, -1, 0, i1}, {1, 0, 1, -j0}, {1, 0, -1, j1}};
}
Rows box3(std::int64_t a, std::int64_t b, std::int64_t c) {
    return {{1, 1, 0, 0, 0}, {1, -1, 0, 0, a}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, b}, {1, 0, 0, 1, 0}, {1, 0, 0, -1, c}};
}

// A polyhedron of the tables below, by its constraint rows.
struct Shape {
    const char* name;
    unsigned dimension;
    Rows rows;
};

TEST_F(DenseCoverTest, CentresAreThoseOfEveryPoint) {
    const Shape cases[] = {
        {"box", 2, box2(0, 700, 0, 500)},
        {"box of negative coordinates", 2, box2(-900, -300, -410, 20)},
        {"triangle", 2, {{1, 1, -1, 0}, {1, 0, 1, 0}, {1, -1, 0, 900}}},
        {"polygon of rational vertices", 2, {{1, 3, 7, 0}, {1, -5, 2, 2300}, {1, 2, -9, 4100}, {1, 1, 1, -40}}},
        {"thin rational band", 2, {{1, 7, -5, 3}, {1, -7, 5, 5}, {1, 1, 1, -2}, {1, -1, -1, 30000}}},
        {"box, 3-D", 3, box3(60, 70, 50)},
        {"simplex, 3-D", 3, {{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 0, 1, 0}, {1, -1, -1, -1, 120}}},
        {"slanted prism, 3-D", 3, {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 80}, {1, -1, 1, 0, 0}, {1, 1, -1, 0, 50},
                                    {1, 0, 1, -2, 10}, {1, 0, -1, 2, 40}}},
        {"thin slanted slab, 3-D", 3, {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 300}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 250},
                                        {1, 3, 5, -7, 0}, {1, -3, -5, 7, 6}}},
        {"box, 4-D", 4, {{1, 1, 0, 0, 0, 0}, {1, -1, 0, 0, 0, 20}, {1, 0, 1, 0, 0, 0}, {1, 0, -1, 0, 0, 25},
                          {1, 0, 0, 1, 0, 0}, {1, 0, 0, -1, 0, 18}, {1, 0, 0, 0, 1, 0}, {1, 0, 0, 0, -1, 22}}},
    };
    const std::pair<const char*, Axes> turns[] = {
        {"default axes", {}},
        {"turned axes", {{0.9f, 0.3f}, {-0.2f, 1.1f}, {0.7f, -0.5f}, {0.3f, 0.3f}}},
        {"nearly parallel to the pixels", {{1.0f, 0.001f}, {0.002f, 1.0f}, {1.5f, 1.499f}, {-0.001f, 0.8f}}},
        {"steep and narrow", {{1.0f, 0.5f}, {0.5f, 1.0f}, {-0.4f, 0.9f}, {0.2f, -0.7f}}},
    };
    for (const Shape& c : cases) {
        SCOPED_TRACE(c.name);
        Polyhedron* p = polyhedron_from_rows(c.dimension, c.rows);
        for (const auto& [turn, axes] : turns) {
            SCOPED_TRACE(turn);
            set_axes(c.dimension, axes);
            fit_view(p);
            DenseCover cover(viewer);
            ASSERT_TRUE(cover.prepare(p));
            expect_same(every_point(p), from_pixels(cover));
        }
        Polyhedron_Free(p);
    }
}

// Polytopes whose every coordinate steps the markers by little, so that the
// points of most pixels are vouched for at once (a rounded point lies in the
// polytope and on the pixel), in 3 and 4 dimensions, and a 6-D box whose
// picture's border and corners are found box by box.
TEST_F(DenseCoverTest, CentresOfPolytopesCrowdedInEveryCoordinate) {
    const Shape cases[] = {
        {"box, 4-D", 4, {{1, 1, 0, 0, 0, 0}, {1, -1, 0, 0, 0, 300}, {1, 0, 1, 0, 0, 0}, {1, 0, -1, 0, 0, 290},
                          {1, 0, 0, 1, 0, 0}, {1, 0, 0, -1, 0, 4}, {1, 0, 0, 0, 1, 0}, {1, 0, 0, 0, -1, 3}}},
        {"simplex, 3-D", 3, {{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 0, 1, 0}, {1, -1, -1, -1, 300}}},
        {"slanted prism, 3-D", 3, {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 280}, {1, -1, 1, 0, 0}, {1, 1, -1, 0, 250},
                                    {1, 0, 1, -2, 10}, {1, 0, -1, 2, 40}}},
        {"box, 6-D", 6, {{1, 1, 0, 0, 0, 0, 0, 0}, {1, -1, 0, 0, 0, 0, 0, 250}, {1, 0, 1, 0, 0, 0, 0, 0},
                          {1, 0, -1, 0, 0, 0, 0, 200}, {1, 0, 0, 1, 0, 0, 0, 0}, {1, 0, 0, -1, 0, 0, 0, 3},
                          {1, 0, 0, 0, 1, 0, 0, 0}, {1, 0, 0, 0, -1, 0, 0, 2}, {1, 0, 0, 0, 0, 1, 0, 0},
                          {1, 0, 0, 0, 0, -1, 0, 3}, {1, 0, 0, 0, 0, 0, 1, 0}, {1, 0, 0, 0, 0, 0, -1, 2}}},
    };
    const std::pair<const char*, Axes> turns[] = {
        {"small steps", {{1.0f, 0.02f}, {0.03f, 1.0f}, {0.1f, 0.1f}, {-0.05f, 0.1f}, {0.04f, -0.03f}, {0.02f, 0.05f}}},
        {"turned", {{0.9f, 0.3f}, {-0.2f, 1.1f}, {0.07f, -0.05f}, {0.1f, 0.02f}, {-0.03f, 0.06f}, {0.05f, 0.04f}}},
    };
    for (const Shape& c : cases) {
        SCOPED_TRACE(c.name);
        Polyhedron* p = polyhedron_from_rows(c.dimension, c.rows);
        for (const auto& [turn, axes] : turns) {
            SCOPED_TRACE(turn);
            set_axes(c.dimension, Axes(axes.begin(), axes.begin() + c.dimension));
            fit_view(p);
            DenseCover cover(viewer);
            ASSERT_TRUE(cover.prepare(p));
            expect_same(every_point(p), from_pixels(cover));
        }
        Polyhedron_Free(p);
    }
}

// Random turns of the axes, as a user's drags leave them, over a dense box
// and a slanted polygon.
TEST_F(DenseCoverTest, CentresUnderRandomAxes) {
    std::mt19937 random(20261210);
    std::uniform_real_distribution<float> component(-1.5f, 1.5f);
    Polyhedron* box = polyhedron_from_rows(2, box2(0, 400, 0, 600));
    Polyhedron* polygon = polyhedron_from_rows(2, {{1, 3, 7, 0}, {1, -5, 2, 2300}, {1, 2, -9, 4100}, {1, 1, 1, -40}});
    int crowded = 0;
    for (int round = 0; round < 24; ++round) {
        set_axes(2, {{component(random), component(random)}, {component(random), component(random)}});
        for (Polyhedron* p : {box, polygon}) {
            SCOPED_TRACE("round " + std::to_string(round));
            fit_view(p);
            DenseCover cover(viewer);
            ASSERT_TRUE(cover.prepare(p));
            crowded += cover.crowded();
            expect_same(every_point(p), from_pixels(cover));
        }
    }
    EXPECT_GT(crowded, 24) << "most of these pictures are crowded";
    Polyhedron_Free(box);
    Polyhedron_Free(polygon);
}

// A view narrower than the points: centres off the canvas are left out, and
// those near its edges kept as their markers reach in.
TEST_F(DenseCoverTest, CentresBeyondTheCanvasAreLeftOut) {
    Polyhedron* p = polyhedron_from_rows(2, box2(-300, 900, -200, 700));
    set_axes(2, {{0.8f, 0.35f}, {-0.3f, 0.9f}});
    fit_view(p);
    viewer.state.view_bounds[0] = viewer.state.view_bounds[0] * 0.5f + viewer.state.view_bounds[1] * 0.5f - 300.0f;
    viewer.state.view_bounds[1] = viewer.state.view_bounds[0] + 600.0f;
    viewer.state.view_bounds[2] = viewer.state.view_bounds[2] * 0.5f + viewer.state.view_bounds[3] * 0.5f - 200.0f;
    viewer.state.view_bounds[3] = viewer.state.view_bounds[2] + 400.0f;
    DenseCover cover(viewer);
    ASSERT_TRUE(cover.prepare(p));
    ASSERT_TRUE(cover.crowded());
    const Centres found = from_pixels(cover);
    expect_same(every_point(p), found);
    EXPECT_EQ(found.size(),
              static_cast<std::size_t>((viewer.projection.canvas_width + 6) * (viewer.projection.canvas_height + 6)))
        << "the whole clip is covered";
    cover.forget_centres();
    EXPECT_EQ(cover.found_count(), 0);
    EXPECT_FALSE(cover.found_at(viewer.projection.canvas_width / 2, viewer.projection.canvas_height / 2));
    Polyhedron_Free(p);
}

TEST_F(DenseCoverTest, WhatDoesNotSuit) {
    const Shape cases[] = {
        {"an equality", 2, {{0, 1, -1, 0}, {1, 1, 0, 0}, {1, -1, 0, 50}}},
        {"unbounded", 2, {{1, 1, 0, 0}, {1, 0, 1, 0}}},
        {"no integer point in the box of its vertices", 2, {{1, 3, 0, -1}, {1, -3, 0, 2}, {1, 0, 1, 0}, {1, 0, -1, 4}}},
        {"beyond 32 bits", 2, box2(0, 5000000000LL, 0, 3)},
    };
    for (const Shape& c : cases) {
        SCOPED_TRACE(c.name);
        Polyhedron* p = polyhedron_from_rows(c.dimension, c.rows);
        DenseCover cover(viewer);
        EXPECT_FALSE(cover.prepare(p));
        EXPECT_FALSE(cover.crowded());
        Polyhedron_Free(p);
    }
}

// Domains that hold none of the points, and those that hold or may hold some.
TEST_F(DenseCoverTest, ApartFromOtherDomains) {
    Polyhedron* p = polyhedron_from_rows(2, box2(0, 100, 0, 50));
    DenseCover cover(viewer);
    ASSERT_TRUE(cover.prepare(p));
    struct Case {
        const char* name;
        unsigned dimension;
        std::vector<Rows> pieces;
        bool apart;
    };
    const Case cases[] = {
        {"beside it", 2, {box2(101, 200, 0, 50)}, true},
        {"across a slanted line", 2, {{{1, -1, -1, -160}, {1, 1, 0, 0}}}, true},
        {"on a line that misses it", 2, {{{0, 0, 1, -51}}}, true},
        {"overlapping", 2, {box2(90, 200, 40, 50)}, false},
        {"touching a corner", 2, {box2(100, 200, 50, 60)}, false},
        {"a union with one piece over it", 2, {box2(101, 200, 0, 50), box2(-5, 0, 10, 20)}, false},
        {"a union of pieces all beside it", 2, {box2(101, 200, 0, 50), box2(-50, -1, 0, 50)}, true},
        {"another dimension", 3, {box3(1, 1, 1)}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Polyhedron*> pieces;
        for (const Rows& rows : c.pieces) pieces.push_back(polyhedron_from_rows(c.dimension, rows));
        Polyhedron* domain = union_of(pieces);
        EXPECT_EQ(cover.apart_from(domain), c.apart);
        Domain_Free(domain);
    }
    Polyhedron_Free(p);
}

// A stop asked for is obeyed within a bounded amount of work.
TEST_F(DenseCoverTest, StopAbandonsTheWork) {
    Polyhedron* p = polyhedron_from_rows(2, box2(0, 1000000, 0, 1000000));
    set_axes(2, {{0.9f, 0.3f}, {-0.2f, 1.1f}});
    fit_view(p);
    DenseCover cover(viewer);
    ASSERT_TRUE(cover.prepare(p));
    int asked = 0;
    EXPECT_FALSE(cover.centres([&] { return ++asked == 2; }));
    EXPECT_EQ(asked, 2);
    Polyhedron_Free(p);
}

}   // namespace

namespace {

// The cover of centres given as rows of bits is the cover of the same
// centres given one by one: centres on both sides of word boundaries (the
// three columns of margin shift bits across them), on the first and last
// rows and columns, and scattered.
TEST(MarkerCoverOfBits, SameSpansAsFromCentres) {
    constexpr int width = 200, height = 40, words = (width + 63) / 64;
    std::mt19937 random(7);
    std::vector<std::vector<CanvasPoint>> sets = {
        {{0, 0}, {width - 1, height - 1}},
        {{60, 5}, {61, 5}, {62, 5}, {63, 5}, {64, 5}, {65, 5}, {127, 9}, {128, 9}, {191, 20}, {192, 20}},
        {},
    };
    for (int k = 0; k < 300; ++k)
        sets.back().push_back({static_cast<int>(random() % width), static_cast<int>(random() % height)});
    for (const auto& centres : sets) {
        const int left = -3, top = 7;
        std::vector<std::uint64_t> bits(static_cast<std::size_t>(words) * height, 0);
        std::vector<CanvasPoint> shifted;
        for (const CanvasPoint& c : centres) {
            bits[static_cast<std::size_t>(c.row) * words + c.column / 64] |= std::uint64_t{1} << (c.column % 64);
            shifted.push_back({c.column + left, c.row + top});
        }
        MarkerCover from_bits, from_centres;
        from_bits.build(bits.data(), words, left, top, width, height);
        from_centres.build(shifted, left, top, width, height);
        std::vector<PixelSpan> a, b;
        from_bits.spans(a);
        from_centres.spans(b);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t k = 0; k < a.size(); ++k) {
            EXPECT_EQ(a[k].x, b[k].x);
            EXPECT_EQ(a[k].y, b[k].y);
            EXPECT_EQ(a[k].length, b[k].length);
        }
        EXPECT_FALSE(a.empty());
    }
}

}  // namespace

namespace {

// The nearest point to a click, polyhedron by polyhedron of a union, against
// a scan of every point with the same float distance and the same rule
// (strictly nearer replaces: ties go to the first scanned). Axes that send
// several points to one place make ties on purpose.
TEST_F(DenseCoverTest, NearestPointIsTheScansNearest) {
    struct Case {
        const char* name;
        unsigned dimension;
        std::vector<Rows> pieces;
        Axes axes;
    };
    const Case cases[] = {
        {"box", 2, {box2(0, 300, 0, 200)}, {}},
        {"triangle under turned axes", 2, {{{1, 1, -1, 0}, {1, 0, 1, 0}, {1, -1, 0, 400}}}, {{0.9f, 0.3f}, {-0.2f, 1.1f}}},
        {"overlapping union, ties across pieces", 2, {box2(0, 50, 0, 50), box2(20, 90, 10, 70)}, {}},
        {"3-D box, points sharing places", 3, {box3(40, 30, 20)}, {{1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}}},
        {"3-D simplex, default axes", 3, {{{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 0, 1, 0}, {1, -1, -1, -1, 60}}}, {}},
    };
    std::mt19937 random(99);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        set_axes(c.dimension, c.axes);
        std::vector<Polyhedron*> pieces;
        for (const Rows& rows : c.pieces) pieces.push_back(polyhedron_from_rows(c.dimension, rows));
        for (int click = 0; click < 40; ++click) {
            // Clicks inside, near and beyond the picture, some on a point's place.
            std::uniform_real_distribution<float> place(-30.0f, 130.0f);
            float x = place(random), y = place(random);
            if (click % 4 == 0) x = std::round(x), y = std::round(y);
            std::int64_t expected[MAXDIM] = {};
            double expected_distance = -1;
            for (Polyhedron* p : pieces) {
                std::int64_t scan[MAXDIM] = {};
                scan_points_by(p, scan, [&](const std::int64_t* point) {
                    const PlanePoint q = project_point(viewer, point, viewer.state.DimNP);
                    const float dx = q.x - x, dy = q.y - y;
                    const float d = dx * dx + dy * dy;
                    if (d < 200 && (expected_distance < 0 || d < expected_distance)) {
                        expected_distance = d;
                        std::copy(point, point + c.dimension, expected);
                    }
                    return 1;
                });
            }
            std::int64_t got[MAXDIM] = {};
            double got_distance = -1;
            for (Polyhedron* p : pieces) {
                DenseCover cover(viewer);
                ASSERT_TRUE(cover.prepare(p));
                cover.nearest_point(x, y, 200, got, got_distance);
            }
            SCOPED_TRACE("click at " + std::to_string(x) + ", " + std::to_string(y));
            EXPECT_EQ(got_distance, expected_distance);
            for (unsigned k = 0; k < c.dimension; ++k) EXPECT_EQ(got[k], expected[k]) << "coordinate " << k;
        }
        for (Polyhedron* p : pieces) Polyhedron_Free(p);
    }
}

}  // namespace
