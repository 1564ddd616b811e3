// The shown domains and the context: DomainView life, restriction of
// parametric domains to the typed parameter values, and the domains derived
// from all shown domains (their union, its hull, the union whose points show).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/registry.h"
#include "view/visutypes.h"

// The context of the viewer and the parameter values typed for it; guarded
// by domain_lock.
struct ContextState {
    Polyhedron* Contexte = nullptr;   // owned copy of the context domain
    std::string context_name;
    int nb_params = 0;                // dimension of Contexte, 0 when it is empty
    std::vector<std::int64_t> param_values;
    std::vector<int> param_set;
    int context_valid = 0;
};
extern ContextState context_state;
// The fields go by their own names.
inline Polyhedron*& Contexte = context_state.Contexte;
inline std::string& context_name = context_state.context_name;
inline int& nb_params = context_state.nb_params;
inline std::vector<std::int64_t>& param_values = context_state.param_values;
inline std::vector<int>& param_set = context_state.param_set;
inline int& context_valid = context_state.context_valid;

// All of these expect domain_lock held.
// Null when the restriction is empty; also null, with *failed set, when it
// could not be computed (arithmetic overflow, PolyLib failure).
Polyhedron* restrict_to_context(const Polyhedron* domain, bool* failed = nullptr);
// Whether every generator of every polyhedron of the union is a vertex.
bool domain_is_bounded(const Polyhedron* domain);
int show_with_context(DomainEntry* entry);
int show_without_context(DomainEntry* entry);
void drop_derived_domains();
// Whether every parameter has a value and these lie outside the context: the
// viewer then says so in the picture and in the Context window.
bool parameter_values_outside_context();
void update_view_hull();
void update_points_union();
MarkedPoint* collect_marks(DomainEntry* entry);
