// The picture of the shown domains, painted from scratch: outlines, integer
// points in blended colours, marked points. The canvas's off-screen image is
// painted through a GdkPainter; any other Painter (a figure file) gets the
// same calls.
#pragma once

#include <cstdint>
#include <gdk/gdk.h>
#include <string>
#include <vector>

#include "store/registry.h"
#include "view/gdk_painter.h"
#include "view/marker_batch.h"
#include "view/marker_runs.h"
#include "view/outline.h"
#include "view/painter.h"
#include "view/plane_outline.h"
#include "view/projection.h"
#include "view/stop_requests.h"
#include "view/visutypes.h"

// Expects the GDK lock and domain_lock held (so do all drawing functions below).
// A null pixmap (no canvas yet) paints nothing; the canvas is still queued.
// A redraw that has painted points for redraw_patience stops painting them
// when the user presses Escape in a viewer window (every window is frozen
// meanwhile), and says so in the picture with redraw_stopped_text; at once
// when a stop is requested (viewer.stop_requests), with redraw_interrupted_text.
void redraw_domains(Viewer& viewer, GdkPixmap* pixmap);
constexpr int redraw_patience_ms = 300;
inline const char* const redraw_stopped_text = "Drawing stopped (Escape): the picture is incomplete";
inline const char* const redraw_interrupted_text = "Drawing stopped (Ctrl-C): the picture is incomplete";
// Written in the picture while the parameter values lie outside the context.
inline const char* const bad_parameters_text = "Bad parameters for this context!";
// The whole picture, background first, on a width x height area; the
// projection maps to canvas_width x canvas_height.
void paint_domains(Viewer& viewer, Painter& painter, int width, int height);

// Markers on the integer points of the entry's view inside view_hull, in
// blended colours; 1 when every scan ran to its end.
int paint_integer_points(Viewer& viewer, Painter& painter, DomainEntry* entry);
// Blue markers and "(x,y,...)" labels of marked points.
void paint_marks(const Viewer& viewer, Painter& painter, const MarkedPoint* list);
std::string mark_label(const Viewer& viewer, const std::int64_t* coords);

// The colour of a point of `entry`: the entry's own colour averaged, in
// DomainList order and with truncation at each step, with those of the other
// entries whose points are shown and whose view holds the point.
GdkColor blended_colour(const Viewer& viewer, const DomainEntry* entry, const std::int64_t* point);

// The same on a drawable, outlines in domain_gc's colour.
void draw_domain_outline(Viewer& viewer, GdkDrawable* drawable, Polyhedron* domain);
void draw_polyhedron_outline(Viewer& viewer, GdkDrawable* drawable, Polyhedron* polyhedron);
void draw_plane_outline(Viewer& viewer, GdkDrawable* drawable, const PlanePoint* points, int n);
int draw_integer_points(Viewer& viewer, GdkDrawable* drawable, DomainEntry* entry);
void draw_marks(Viewer& viewer, GdkDrawable* drawable, const MarkedPoint* list);

// The drawing contexts of point colours are kept by colour between redraws,
// at most point_gc_capacity of them; these release them all, and those of
// outlines and labels (for instance before the display goes), and tell how
// many of the point colours are held.
constexpr int point_gc_capacity = 64;
void release_point_gcs(Viewer& viewer);
int point_gcs_held(Viewer& viewer);
