// Projection of DimNP-dimensional points onto the view plane, the view
// rectangle, the canvas mapping, and the marker and segment primitives.
#pragma once

#include <array>
#include <cstdint>
#include <gdk/gdk.h>

#include "base/polylib.h"
#include "view/viewer.h"
#include "view/visutypes.h"

struct PlanePoint {
    float x, y;
};
struct CanvasPoint {
    int column, row;
};

// Ends the process (status 0) with a message when n exceeds MAXDIM.
void check_dimension(long n);

// Inline: every integer point drawn goes through these three, in single
// precision, one rounding per operation (no fused multiply-add, whatever the
// file that calls them).
inline PlanePoint project_point(const Viewer& viewer, const std::int64_t* point, int n) {
    check_dimension(n);
    if (n > MAXDIM) __builtin_unreachable();   // check_dimension ended the process
    PlanePoint p{0.0f, 0.0f};
    for (int i = 0; i < n; ++i) {
        const float v = static_cast<float>(point[i]);
        p.x = p.x + v * viewer.projection.ProjectionAxes[i][0];
        p.y = p.y + v * viewer.projection.ProjectionAxes[i][1];
    }
    return p;
}
PlanePoint project_vertex(const Viewer& viewer, const Value* row, int d);
// The canvas position before truncation (column, row as floats).
inline PlanePoint canvas_position(const Viewer& viewer, float x, float y) {
    const float width = static_cast<float>(viewer.projection.canvas_width - 60);
    const float height = static_cast<float>(viewer.projection.canvas_height - 60);
    const float column =
        width * ((x - viewer.state.view_bounds[0]) / (viewer.state.view_bounds[1] - viewer.state.view_bounds[0])) + 30;
    const float row =
        static_cast<float>(viewer.projection.canvas_height - 30) -
        height * ((y - viewer.state.view_bounds[2]) / (viewer.state.view_bounds[3] - viewer.state.view_bounds[2]));
    return {column, row};
}
// Truncation toward zero that stays defined for values no int can hold.
inline int truncate_to_int(float v) {
    constexpr float limit = 1.0e9f;
    if (v != v) return 0;   // NaN
    if (v > limit) return static_cast<int>(limit);
    if (v < -limit) return -static_cast<int>(limit);
    return static_cast<int>(v);
}
inline CanvasPoint to_canvas(const Viewer& viewer, float x, float y) {
    const PlanePoint p = canvas_position(viewer, x, y);
    return {truncate_to_int(p.x), truncate_to_int(p.y)};
}
PlanePoint from_canvas(const Viewer& viewer, int column, int row);

// The point marker: a filled 7 x 7 pixel square without its corners, as seven
// vertical runs (both ends included), left to right.
struct MarkerColumn {
    int column, top, bottom;
};
std::array<MarkerColumn, 7> marker_columns(CanvasPoint centre);
// Markers are drawn only on a canvas of at least 60 x 60 pixels.
bool canvas_takes_markers(const Viewer& viewer);

void draw_marker(const Viewer& viewer, GdkDrawable* drawable, GdkGC* gc, float x, float y);
void draw_point_marker(const Viewer& viewer, GdkDrawable* drawable, const std::int64_t* point, GdkGC* gc);
void draw_plane_segment(const Viewer& viewer, GdkDrawable* drawable, GdkGC* gc, PlanePoint p1, PlanePoint p2);

// Recomputes view_bounds from the vertices of view_hull (which must exist).
void update_view_bounds(Viewer& viewer);
void update_axes_bounds(Viewer& viewer);
void reset_axes(Viewer& viewer);
