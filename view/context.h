// The shown domains and the context: DomainView life, restriction of
// parametric domains to the typed parameter values, and the domains derived
// from all shown domains (their union, its hull, the union whose points show).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/registry.h"
#include "view/viewer.h"
#include "view/visutypes.h"

// All of these expect domain_lock held.
// Null when the restriction is empty; also null, with *failed set, when it
// could not be computed (arithmetic overflow, PolyLib failure).
Polyhedron* restrict_to_context(const Viewer& viewer, const Polyhedron* domain, bool* failed = nullptr);
// Whether every generator of every polyhedron of the union is a vertex.
bool domain_is_bounded(const Polyhedron* domain);
int show_with_context(Viewer& viewer, DomainEntry* entry);
int show_without_context(Viewer& viewer, DomainEntry* entry);
void drop_derived_domains(Viewer& viewer);
// Whether every parameter has a value and these lie outside the context: the
// viewer then says so in the picture and in the Context window.
bool parameter_values_outside_context(const Viewer& viewer);
void update_view_hull(Viewer& viewer);
void update_points_union(Viewer& viewer);
MarkedPoint* collect_marks(const Viewer& viewer, DomainEntry* entry);
