// Projection of DimNP-dimensional points onto the view plane, the view
// rectangle, the canvas mapping, and the marker and segment primitives.
#pragma once

#include <array>
#include <cstdint>
#include <gdk/gdk.h>

#include "base/polylib.h"
#include "view/visutypes.h"

struct PlanePoint {
    float x, y;
};
struct CanvasPoint {
    int column, row;
};

// How the view plane is set up: the axis vectors, and the canvas it maps to.
// Outlives the shown domains: set by init_visu, the Projection window and
// the canvas's size changes.
struct ProjectionState {
    // Pair i is the image in the view plane of a unit step along dimension i.
    float ProjectionAxes[MAXDIM][2] = {};
    // Largest ax, largest ay, smallest ax, smallest ay over the first DimNP axes and the origin.
    float axes_bounds[4] = {};
    int canvas_width = 0;
    int canvas_height = 0;
};
extern ProjectionState projection_state;
// The fields go by their own names.
inline auto& ProjectionAxes = projection_state.ProjectionAxes;
inline auto& axes_bounds = projection_state.axes_bounds;
inline int& canvas_width = projection_state.canvas_width;
inline int& canvas_height = projection_state.canvas_height;

// Ends the process (status 0) with a message when n exceeds MAXDIM.
void check_dimension(long n);

PlanePoint project_point(const std::int64_t* point, int n);
PlanePoint project_vertex(const Value* row, int d);
CanvasPoint to_canvas(float x, float y);
// The canvas position before truncation (column, row as floats).
PlanePoint canvas_position(float x, float y);
PlanePoint from_canvas(int column, int row);

// The point marker: a filled 7 x 7 pixel square without its corners, as seven
// vertical runs (both ends included), left to right.
struct MarkerColumn {
    int column, top, bottom;
};
std::array<MarkerColumn, 7> marker_columns(CanvasPoint centre);
// Markers are drawn only on a canvas of at least 60 x 60 pixels.
bool canvas_takes_markers();

void draw_marker(GdkDrawable* drawable, GdkGC* gc, float x, float y);
void draw_point_marker(GdkDrawable* drawable, const std::int64_t* point, GdkGC* gc);
void draw_plane_segment(GdkDrawable* drawable, GdkGC* gc, PlanePoint p1, PlanePoint p2);

// Recomputes view_bounds from the vertices of view_hull (which must exist).
void update_view_bounds();
void update_axes_bounds();
void reset_axes();
