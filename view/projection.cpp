// Projection of points and vertices onto the view plane with the axis
// vectors, the view rectangle, the canvas mapping and the two smallest
// drawing primitives (the point marker and the projected segment).
#include "view/projection.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "view/context.h"


namespace {

enum Bound { x_min, x_max, y_min, y_max };

constexpr float default_axes[10][2] = {
    {1.0f, 0.0f}, {0.0f, 1.0f}, {2.6f, 2.6f}, {-4.0f, 4.0f}, {2.0f, 1.0f},
    {2.0f, 2.0f}, {2.0f, 3.0f}, {2.0f, 4.0f}, {2.0f, 5.0f}, {2.0f, 6.0f},
};
static_assert(MAXDIM >= 10, "the default axes name ten dimensions");

// A range of zero width gets one unit on each side; where floats are too
// coarse for one unit to show, the smallest step that does.
void widen_if_empty(float& low, float& high) {
    if (high != low) return;
    high = high + 1;
    low = low - 1;
    if (high == low) {
        high = std::nextafter(high, INFINITY);
        low = std::nextafter(low, -INFINITY);
    }
}

}  // namespace

void check_dimension(long n) {
    if (n <= MAXDIM) return;
    std::fputs("Error : dimension is too high.\nplease increase 'MAXDIM' and rebuild\n", stderr);
    std::exit(0);
}

PlanePoint project_vertex(const Viewer& viewer, const Value* row, int d) {
    check_dimension(d);
    PlanePoint p{0.0f, 0.0f};
    if (d < 1) return p;
    const float den = static_cast<float>(row[d + 1]);
    for (int i = 0; i < d; ++i) {
        const float v = static_cast<float>(row[i + 1]);
        p.x = p.x + (v * viewer.projection.ProjectionAxes[i][0]) / den;
        p.y = p.y + (v * viewer.projection.ProjectionAxes[i][1]) / den;
    }
    return p;
}

PlanePoint from_canvas(const Viewer& viewer, int column, int row) {
    const float x =
        ((viewer.state.view_bounds[x_max] - viewer.state.view_bounds[x_min]) * static_cast<float>(column - 30)) /
            static_cast<float>(viewer.projection.canvas_width - 60) +
        viewer.state.view_bounds[x_min];
    const float y = ((viewer.state.view_bounds[y_max] - viewer.state.view_bounds[y_min]) *
                     static_cast<float>(viewer.projection.canvas_height - row - 30)) /
                        static_cast<float>(viewer.projection.canvas_height - 60) +
                    viewer.state.view_bounds[y_min];
    return {x, y};
}

std::array<MarkerColumn, 7> marker_columns(CanvasPoint c) {
    return {{
        {c.column - 3, c.row - 2, c.row + 2},
        {c.column - 2, c.row - 3, c.row + 3},
        {c.column - 1, c.row - 3, c.row + 3},
        {c.column, c.row - 3, c.row + 3},
        {c.column + 1, c.row - 3, c.row + 3},
        {c.column + 2, c.row - 3, c.row + 3},
        {c.column + 3, c.row - 2, c.row + 2},
    }};
}

bool canvas_takes_markers(const Viewer& viewer) {
    return viewer.projection.canvas_width >= 60 && viewer.projection.canvas_height >= 60;
}

void draw_marker(const Viewer& viewer, GdkDrawable* drawable, GdkGC* gc, float x, float y) {
    if (!canvas_takes_markers(viewer)) return;
    for (const MarkerColumn& m : marker_columns(to_canvas(viewer, x, y)))
        gdk_draw_line(drawable, gc, m.column, m.top, m.column, m.bottom);
}

void draw_point_marker(const Viewer& viewer, GdkDrawable* drawable, const std::int64_t* point, GdkGC* gc) {
    check_dimension(viewer.state.DimNP);
    PlanePoint p = project_point(viewer, point, viewer.state.DimNP);
    draw_marker(viewer, drawable, gc, p.x, p.y);
}

void draw_plane_segment(const Viewer& viewer, GdkDrawable* drawable, GdkGC* gc, PlanePoint p1, PlanePoint p2) {
    CanvasPoint a = to_canvas(viewer, p1.x, p1.y);
    CanvasPoint b = to_canvas(viewer, p2.x, p2.y);
    if (a.column == b.column && a.row == b.row)
        draw_marker(viewer, drawable, gc, p1.x, p1.y);
    else
        gdk_draw_line(drawable, gc, a.column, a.row, b.column, b.row);
}

// Generators with a zero denominator (rays, lines) have no place in the
// plane; shown domains are bounded, so this only keeps the rectangle finite.
void update_view_bounds(Viewer& viewer) {
    const Polyhedron* hull = viewer.state.view_hull;
    if (!hull) return;
    check_dimension(hull->Dimension);
    bool first = true;
    float bounds[4] = {0, 0, 0, 0};
    const int d = static_cast<int>(hull->Dimension);
    for (unsigned r = 0; r < hull->NbRays; ++r) {
        const Value* row = hull->Ray[r];
        if (row[d + 1] == 0) continue;
        PlanePoint p = project_vertex(viewer, row, d);
        if (first) {
            bounds[x_min] = bounds[x_max] = p.x;
            bounds[y_min] = bounds[y_max] = p.y;
            first = false;
            continue;
        }
        if (p.x > bounds[x_max]) bounds[x_max] = p.x;
        if (p.y > bounds[y_max]) bounds[y_max] = p.y;
        if (p.x < bounds[x_min]) bounds[x_min] = p.x;
        if (p.y < bounds[y_min]) bounds[y_min] = p.y;
    }
    if (first) return;
    widen_if_empty(bounds[x_min], bounds[x_max]);
    widen_if_empty(bounds[y_min], bounds[y_max]);
    for (int i = 0; i < 4; ++i) viewer.state.view_bounds[i] = bounds[i];
}

void update_axes_bounds(Viewer& viewer) {
    for (float& b : viewer.projection.axes_bounds) b = 0;
    const int n = viewer.state.DimNP < MAXDIM ? viewer.state.DimNP : MAXDIM;
    for (int i = 0; i < n; ++i) {
        const float ax = viewer.projection.ProjectionAxes[i][0];
        const float ay = viewer.projection.ProjectionAxes[i][1];
        if (ax > viewer.projection.axes_bounds[0]) viewer.projection.axes_bounds[0] = ax;
        if (ay > viewer.projection.axes_bounds[1]) viewer.projection.axes_bounds[1] = ay;
        if (ax < viewer.projection.axes_bounds[2]) viewer.projection.axes_bounds[2] = ax;
        if (ay < viewer.projection.axes_bounds[3]) viewer.projection.axes_bounds[3] = ay;
    }
}

void reset_axes(Viewer& viewer) {
    for (int i = 0; i < MAXDIM; ++i) {
        const int source = i < 10 ? i : 9;
        viewer.projection.ProjectionAxes[i][0] = default_axes[source][0];
        viewer.projection.ProjectionAxes[i][1] = default_axes[source][1];
    }
    update_axes_bounds(viewer);
}
