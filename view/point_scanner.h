// Integer points of polyhedra: lexicographic enumeration through a scanning
// matrix built once per polyhedron, and membership in a union.
#pragma once

#include <cstdint>

#include "store/polylib.h"

// Called once per integer point with its coordinates (elements 0 .. d-1,
// reused for the next point); returns 0 to stop the whole enumeration.
using point_callback = int (*)(const std::int64_t* coordinates, void* data);

// Enumerates the integer points of one polyhedron (its `next` is ignored) in
// lexicographic order. 1 when the enumeration ran to its end, 0 when the
// callback stopped it or the polyhedron is not closed. Expects domain_lock held.
int scan_points(Polyhedron* polyhedron, std::int64_t* coordinates, point_callback callback, void* data);

// Consumes the rows of `lines`. Null when no rows result.
Matrix* Scanning_Matrix(Polyhedron* polyhedron, Matrix* lines, unsigned working_rows);

// Whether the integer point lies in at least one polyhedron of the union.
int point_in_domain(const Polyhedron* domain, const std::int64_t* coordinates);
