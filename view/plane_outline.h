// The outline of points projected on the view plane: nothing, a segment (a
// marker when it covers one pixel), or their gift-wrapped convex outline.
#pragma once

#include <gdk/gdk.h>
#include <vector>

#include "view/painter.h"
#include "view/viewer.h"

// The canvas polyline of the gift wrapping of n >= 3 points (no display needed).
std::vector<CanvasPoint> plane_outline_polyline(const Viewer& viewer, const PlanePoint* points, int n);

// A segment whose ends fall on one pixel is drawn as a marker (where the
// canvas takes markers).
void paint_plane_segment(const Viewer& viewer, Painter& painter, const GdkColor& colour, PlanePoint from,
                         PlanePoint to);
void paint_plane_outline(const Viewer& viewer, Painter& painter, const GdkColor& colour, const PlanePoint* points,
                         int n);
// The marker of a point of the view plane, where the canvas takes markers.
void paint_plane_marker(const Viewer& viewer, Painter& painter, const GdkColor& colour, PlanePoint point);
