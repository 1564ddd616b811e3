// The outline of a shown polyhedron: its faces down to points and segments,
// recorded once per polyhedron and replayed through the current projection.
#pragma once

#include <gdk/gdk.h>

#include "view/painter.h"

struct FaceNode {
    FaceNode* next;
    Polyhedron* face;   // owned
};
// Each inequality of the polyhedron turned into an equality, the last first;
// empty below two dimensions. Expects domain_lock held.
FaceNode* polyhedron_faces(Polyhedron* polyhedron);
void free_faces(FaceNode* list);

// Points and segments are drawn; larger polyhedra through their faces.
// Expects domain_lock held.
void paint_polyhedron_outline(Painter& painter, const GdkColor& colour, Polyhedron* polyhedron);
// Every polyhedron of the union, in list order.
void paint_domain_outline(Painter& painter, const GdkColor& colour, Polyhedron* domain);
