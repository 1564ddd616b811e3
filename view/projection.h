// Projection of DimNP-dimensional points onto the view plane, the view
// rectangle, the canvas mapping, and the marker and segment primitives.
#pragma once

#include <cstdint>
#include <gdk/gdk.h>

#include "store/polylib.h"
#include "view/visutypes.h"

struct PlanePoint {
    float x, y;
};
struct CanvasPoint {
    int column, row;
};

// Pair i is the image in the view plane of a unit step along dimension i.
extern float ProjectionAxes[MAXDIM][2];
// Largest ax, largest ay, smallest ax, smallest ay over the first DimNP axes and the origin.
extern float axes_bounds[4];
// x_min, x_max, y_min, y_max of the shown rectangle of the view plane.
extern float view_bounds[4];
extern int canvas_width;
extern int canvas_height;

PlanePoint project_point(const std::int64_t* point, int n);
PlanePoint project_vertex(const Value* row, int d);
CanvasPoint to_canvas(float x, float y);
PlanePoint from_canvas(int column, int row);

void draw_marker(GdkDrawable* drawable, GdkGC* gc, float x, float y);
void draw_point_marker(GdkDrawable* drawable, const std::int64_t* point, GdkGC* gc);
void draw_plane_segment(GdkDrawable* drawable, GdkGC* gc, PlanePoint p1, PlanePoint p2);

// Recomputes view_bounds from the vertices of view_hull (which must exist).
void update_view_bounds();
void update_axes_bounds();
void reset_axes();
