// The outline of a shown polyhedron: its edges, found once per polyhedron from
// the constraints its vertices saturate and replayed through the current
// projection.
#pragma once

#include <gdk/gdk.h>

#include "view/painter.h"
#include "view/viewer.h"

struct FaceNode {
    FaceNode* next;
    Polyhedron* face;   // owned
};
// Each inequality of the polyhedron turned into an equality, the last first;
// empty below two dimensions. Expects domain_lock held.
FaceNode* polyhedron_faces(Polyhedron* polyhedron);
void free_faces(FaceNode* list);

// Points and segments are drawn; larger polyhedra edge by edge, each edge
// once. Expects domain_lock held.
void paint_polyhedron_outline(Viewer& viewer, Painter& painter, const GdkColor& colour, Polyhedron* polyhedron);
// Every polyhedron of the union, in list order.
void paint_domain_outline(Viewer& viewer, Painter& painter, const GdkColor& colour, Polyhedron* domain);
