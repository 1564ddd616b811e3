// The view a shown domain carries in its DomainEntry, with its marked points
// and their dimension bound. The entry owns its view: the registry releases
// both together.
#pragma once

#include <cstdint>

#include "base/polylib.h"

// Largest number of visualised dimensions; raise it and rebuild for more.
constexpr int MAXDIM = 10;

struct MarkedPoint {
    std::int64_t coords[MAXDIM];   // the first DimNP are the point's coordinates
    MarkedPoint* next;
};

// Attached to a DomainEntry while the domain is shown.
struct DomainView {
    Polyhedron* domain;   // what is drawn, of dimension DimNP; owned
    int show_points;      // draw and pick the integer points
    MarkedPoint* marked;  // owned list
};

void free_marks(MarkedPoint* list);
// Expects domain_lock held (it releases the view's domain).
void free_view(DomainView* view);
