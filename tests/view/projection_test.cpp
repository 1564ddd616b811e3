// The view mapping: default axes, single-precision projections, canvas
// mapping both ways, view and axes bounds, the marker's pixels, the MAXDIM guard.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "base/locks.h"
#include "tests/view/view_support.h"
#include "view/context.h"
#include "view/projection.h"

namespace {

// The viewer these tests draw with.
Viewer& viewer = test_viewer();

}   // namespace

namespace {

class Projection : public ::testing::Test {
protected:
    DomainLock lock;
    void SetUp() override {
        viewer.state.DimNP = 2;
        reset_axes(viewer);
        viewer.projection.canvas_width = 460;
        viewer.projection.canvas_height = 360;
        set_view(0, 10, 0, 5);
    }
    void TearDown() override { clear_viewer_state(); }
    static void set_view(float x0, float x1, float y0, float y1) {
        viewer.state.view_bounds[0] = x0;
        viewer.state.view_bounds[1] = x1;
        viewer.state.view_bounds[2] = y0;
        viewer.state.view_bounds[3] = y1;
    }
    // A view hull of the given constraints, as update_view_bounds reads it.
    static void set_hull(unsigned dimension, const Rows& rows) {
        drop_derived_domains(viewer);
        viewer.state.view_hull = polyhedron_from_rows(dimension, rows);
    }
};

TEST_F(Projection, DefaultAxes) {
    const float expected[10][2] = {{1, 0}, {0, 1}, {2.6f, 2.6f}, {-4, 4}, {2, 1},
                                   {2, 2}, {2, 3}, {2, 4},       {2, 5},  {2, 6}};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(viewer.projection.ProjectionAxes[i][0], expected[i][0]) << i;
        EXPECT_EQ(viewer.projection.ProjectionAxes[i][1], expected[i][1]) << i;
    }
}

TEST_F(Projection, PointsAndVerticesInSinglePrecision) {
    viewer.state.DimNP = 3;
    const std::int64_t point[3] = {1, 1, 1};
    PlanePoint p = project_point(viewer, point, 3);
    EXPECT_EQ(p.x, 3.6f);
    EXPECT_EQ(p.y, 3.6f);
    const Value row[5] = {1, 2, 0, 4, 2};
    PlanePoint v = project_vertex(viewer, row, 3);
    EXPECT_EQ(v.x, 6.2f);
    EXPECT_EQ(v.y, 5.2f);
    // Each term is divided before it is added: 1/3 + 1/3 in floats.
    const Value thirds[4] = {1, 1, 1, 3};
    viewer.projection.ProjectionAxes[1][0] = 1;
    EXPECT_EQ(project_vertex(viewer, thirds, 2).x, 1.0f / 3.0f + 1.0f / 3.0f);
    EXPECT_NE(static_cast<double>(project_vertex(viewer, thirds, 2).x), 2.0 / 3.0);
}

TEST_F(Projection, NoCoordinatesProjectToTheOrigin) {
    const std::int64_t point[1] = {7};
    PlanePoint p = project_point(viewer, point, 0);
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_EQ(p.y, 0.0f);
    const Value row[2] = {1, 1};
    EXPECT_EQ(project_vertex(viewer, row, 0).x, 0.0f);
}

struct CanvasCase {
    float x, y;
    int column, row;
};

TEST_F(Projection, CanvasMappingBothWays) {
    const CanvasCase cases[] = {
        {0, 0, 30, 330}, {10, 5, 430, 30}, {5, 2.5f, 230, 180}, {2.5f, 1.25f, 130, 255},
    };
    for (const CanvasCase& c : cases) {
        CanvasPoint pixel = to_canvas(viewer, c.x, c.y);
        EXPECT_EQ(pixel.column, c.column) << c.x << "," << c.y;
        EXPECT_EQ(pixel.row, c.row) << c.x << "," << c.y;
        PlanePoint back = from_canvas(viewer, c.column, c.row);
        EXPECT_FLOAT_EQ(back.x, c.x);
        EXPECT_FLOAT_EQ(back.y, c.y);
    }
}

TEST_F(Projection, CanvasMappingTruncatesTowardZero) {
    // 0.004 plane units is 0.16 pixel: still column 30; just left of the view is column 29.9 -> 29.
    EXPECT_EQ(to_canvas(viewer, 0.004f, 0).column, 30);
    EXPECT_EQ(to_canvas(viewer, -0.0025f, 0).column, 29);
    // Far outside any int stays a defined pixel.
    set_view(0, 1e-30f, 0, 1);
    EXPECT_EQ(to_canvas(viewer, 1e10f, 0).column, 1000000000);
}

struct HullCase {
    const char* name;
    Rows rows;
    float bounds[4];
};

TEST_F(Projection, ViewBoundsFromTheHull) {
    const HullCase cases[] = {
        {"single vertex (3,4)", {{0, 1, 0, -3}, {0, 0, 1, -4}}, {2, 4, 3, 5}},
        {"vertical segment widens x only", {{0, 1, 0, -1}, {1, 0, 1, 0}, {1, 0, -1, 6}}, {0, 2, 0, 6}},
        {"triangle", {{1, 0, 1, 0}, {1, 1, -1, 0}, {1, -1, 0, 3}}, {0, 3, 0, 3}},
        {"rational vertex", {{1, 2, 0, 1}, {1, -2, 0, 5}, {1, 0, 1, 0}, {1, 0, -1, 1}}, {-0.5f, 2.5f, 0, 1}},
    };
    for (const HullCase& c : cases) {
        SCOPED_TRACE(c.name);
        set_hull(2, c.rows);
        update_view_bounds(viewer);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(viewer.state.view_bounds[i], c.bounds[i]) << i;
    }
}

TEST_F(Projection, HullWithoutGeneratorsKeepsTheBounds) {
    set_hull(2, {{1, 1, 0, -3}, {1, -1, 0, 1}});
    update_view_bounds(viewer);
    EXPECT_EQ(viewer.state.view_bounds[1], 10);
    EXPECT_EQ(viewer.state.view_bounds[3], 5);
}

TEST_F(Projection, AxesBounds) {
    viewer.state.DimNP = 4;
    update_axes_bounds(viewer);
    EXPECT_EQ(viewer.projection.axes_bounds[0], 2.6f);
    EXPECT_EQ(viewer.projection.axes_bounds[1], 4.0f);
    EXPECT_EQ(viewer.projection.axes_bounds[2], -4.0f);
    EXPECT_EQ(viewer.projection.axes_bounds[3], 0.0f);
    viewer.state.DimNP = 1;
    update_axes_bounds(viewer);
    EXPECT_EQ(viewer.projection.axes_bounds[0], 1.0f);
    EXPECT_EQ(viewer.projection.axes_bounds[1], 0.0f);
    EXPECT_EQ(viewer.projection.axes_bounds[2], 0.0f);
    viewer.projection.ProjectionAxes[0][0] = -3;
    update_axes_bounds(viewer);
    EXPECT_EQ(viewer.projection.axes_bounds[0], 0.0f);
    EXPECT_EQ(viewer.projection.axes_bounds[2], -3.0f);
    reset_axes(viewer);
    EXPECT_EQ(viewer.projection.axes_bounds[0], 1.0f);
}

TEST_F(Projection, MarkerIsA7x7SquareWithoutCorners) {
    std::set<std::pair<int, int>> pixels;
    for (const MarkerColumn& m : marker_columns({100, 50}))
        for (int r = m.top; r <= m.bottom; ++r) pixels.insert({m.column, r});
    EXPECT_EQ(pixels.size(), 45u);
    for (int c = 97; c <= 103; ++c)
        for (int r = 47; r <= 53; ++r) {
            bool corner = (c == 97 || c == 103) && (r == 47 || r == 53);
            EXPECT_EQ(pixels.count({c, r}), corner ? 0u : 1u) << c << "," << r;
        }
}

TEST_F(Projection, MarkersNeedACanvasOfSixtyPixels) {
    EXPECT_TRUE(canvas_takes_markers(viewer));
    viewer.projection.canvas_width = 59;
    EXPECT_FALSE(canvas_takes_markers(viewer));
    viewer.projection.canvas_width = 60;
    viewer.projection.canvas_height = 59;
    EXPECT_FALSE(canvas_takes_markers(viewer));
}

using ProjectionDeathTest = Projection;

TEST_F(ProjectionDeathTest, TooManyCoordinatesEndTheProcess) {
    const std::int64_t point[11] = {};
    const Value row[13] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const char* message = "Error : dimension is too high\\.\nplease increase 'MAXDIM' and rebuild\n";
    EXPECT_EXIT(project_point(viewer, point, 11), ::testing::ExitedWithCode(0), message);
    EXPECT_EXIT(project_vertex(viewer, row, 11), ::testing::ExitedWithCode(0), message);
    viewer.state.DimNP = 11;
    EXPECT_EXIT(draw_point_marker(viewer, nullptr, point, nullptr), ::testing::ExitedWithCode(0), message);
    viewer.state.DimNP = 2;
    set_hull(11, {{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
    EXPECT_EXIT(update_view_bounds(viewer), ::testing::ExitedWithCode(0), message);
}

}   // namespace
