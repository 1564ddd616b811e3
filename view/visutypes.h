// Shared records of the viewer: the dimension bound, the number of shown
// dimensions, the view of a shown domain and its marked points.
#pragma once

#include <cstdint>

#include "base/polylib.h"

// Largest number of visualised dimensions; raise it and rebuild for more.
constexpr int MAXDIM = 10;

// Number of visualised (non-parameter) dimensions: 1 to MAXDIM once the
// viewer runs; set only by init_visu.
extern int DimNP;

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
