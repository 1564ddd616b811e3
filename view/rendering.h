// The picture of the shown domains, painted from scratch into the off-screen
// image: outlines, integer points in blended colours, marked points.
#pragma once

#include <cstdint>
#include <gdk/gdk.h>
#include <string>
#include <vector>

#include "store/registry.h"
#include "view/projection.h"
#include "view/visutypes.h"

// Expects the GDK lock and domain_lock held (so do all drawing functions below).
// A null pixmap (no canvas yet) paints nothing; the canvas is still queued.
void redraw_domains(GdkPixmap* pixmap);

// Outlines every polyhedron of the domain, in list order, with domain_gc.
void draw_domain_outline(GdkDrawable* drawable, Polyhedron* domain);
// Points and segments are drawn; larger polyhedra through their faces.
void draw_polyhedron_outline(GdkDrawable* drawable, Polyhedron* polyhedron);

struct FaceNode {
    FaceNode* next;
    Polyhedron* face;   // owned
};
// Each inequality of the polyhedron turned into an equality, the last first;
// empty below two dimensions. Expects domain_lock held.
FaceNode* polyhedron_faces(Polyhedron* polyhedron);
void free_faces(FaceNode* list);

// The outline of n projected points: nothing, a segment (or marker), or the
// gift-wrapped convex outline as one polyline in domain_gc.
void draw_plane_outline(GdkDrawable* drawable, const PlanePoint* points, int n);
// The canvas polyline of the gift wrapping of n >= 3 points (no display needed).
std::vector<CanvasPoint> plane_outline_polyline(const PlanePoint* points, int n);

// Markers on the integer points of the entry's view inside view_hull, in
// blended colours; 1 when every scan ran to its end.
int draw_integer_points(GdkDrawable* drawable, DomainEntry* entry);
// The colour of a point of `entry`: the entry's own colour averaged, in
// DomainList order and with truncation at each step, with those of the other
// entries whose points are shown and whose view holds the point.
GdkColor blended_colour(const DomainEntry* entry, const std::int64_t* point);

// A run of at least this many markers of one colour may be sent as the spans
// of the pixels it covers instead of marker by marker (the same pixels).
extern int marker_cover_threshold;
// Whether points whose marker would repeat the one just painted (same centre,
// same blend) are skipped instead of painted again (the same pixels).
extern bool marker_run_skipping;

// Blue markers and "(x,y,...)" labels of marked points.
void draw_marks(GdkDrawable* drawable, const MarkedPoint* list);
std::string mark_label(const std::int64_t* coords);

// The drawing contexts of point colours are kept by colour between redraws,
// at most point_gc_capacity of them; these release them all (for instance
// before the display goes) and tell how many are held.
constexpr int point_gc_capacity = 64;
void release_point_gcs();
int point_gcs_held();
