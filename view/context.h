// The shown domains and the context: DomainView life, restriction of
// parametric domains to the typed parameter values, and the domains derived
// from all shown domains (their union, its hull, the union whose points show).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/registry.h"
#include "view/visutypes.h"

// Context state; guarded by domain_lock.
extern Polyhedron* Contexte;            // copy of the context domain
extern std::string context_name;
extern int nb_params;                   // dimension of Contexte, 0 when it is empty
extern std::vector<std::int64_t> param_values;
extern std::vector<int> param_set;
extern int context_valid;

// Derived domains; null when there is nothing to hold. Guarded by domain_lock.
extern Polyhedron* visible_union;
extern Polyhedron* view_hull;
extern Polyhedron* points_union;

// All of these expect domain_lock held.
// Null when the restriction is empty; also null, with *failed set, when it
// could not be computed (arithmetic overflow, PolyLib failure).
Polyhedron* restrict_to_context(const Polyhedron* domain, bool* failed = nullptr);
// Whether every generator of every polyhedron of the union is a vertex.
bool domain_is_bounded(const Polyhedron* domain);
int show_with_context(DomainEntry* entry);
int show_without_context(DomainEntry* entry);
void drop_derived_domains();
void update_view_hull();
void update_points_union();
MarkedPoint* collect_marks(DomainEntry* entry);
